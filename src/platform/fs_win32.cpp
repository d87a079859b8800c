// Win32 implementation of the file-system layer. Wide-character API throughout: names are
// UTF-8 inside the program and UTF-16 at the OS, full paths carry the \\?\ prefix, so neither
// the ANSI code page nor the 260-character limit applies.
#include "platform/fs.h"
#include "platform/fs_detail.h"
#include "platform/wide_text.h"

#ifndef WIN32_LEAN_AND_MEAN
#define WIN32_LEAN_AND_MEAN
#endif
#ifndef NOMINMAX
#define NOMINMAX
#endif
#include <windows.h>

#include <shellapi.h>

#include <algorithm>
#include <io.h>
#include <string>

namespace kvr::platform {

namespace {

// The largest request handed to one ReadFile or WriteFile call.
constexpr size_t MaximumRequest = 1u << 30;

std::wstring toWide(const std::string& utf8) {
    std::u16string wide = utf16FromUtf8(utf8);
    return std::wstring(wide.begin(), wide.end());
}

std::string fromWide(const wchar_t* wide, size_t length) {
    return utf8FromUtf16(std::u16string(wide, wide + length));
}

std::string fromWide(const wchar_t* wide) {
    return fromWide(wide, std::wcslen(wide));
}

// The system's text for an error code, without its closing ".\r\n".
std::string systemMessage(DWORD code) {
    wchar_t* text = nullptr;
    DWORD length = FormatMessageW(FORMAT_MESSAGE_ALLOCATE_BUFFER | FORMAT_MESSAGE_FROM_SYSTEM |
                                      FORMAT_MESSAGE_IGNORE_INSERTS,
                                  nullptr, code, 0, reinterpret_cast<wchar_t*>(&text), 0, nullptr);
    std::string message = length > 0 && text != nullptr ? fromWide(text, length) : std::string();
    LocalFree(text);
    while (!message.empty() && (message.back() == '\n' || message.back() == '\r' ||
                                message.back() == '.' || message.back() == ' ')) {
        message.pop_back();
    }
    return message.empty() ? "system error " + std::to_string(code) : message;
}

// The failure with error code `code`, normally GetLastError() of the call that just failed.
Status osError(DWORD code) {
    if (code == ERROR_SHARING_VIOLATION || code == ERROR_LOCK_VIOLATION) {
        return Status::failure(HeldByAnotherProgram, static_cast<long>(code));
    }
    return Status::failure(systemMessage(code), static_cast<long>(code));
}

Status lastError() {
    return osError(GetLastError());
}

// An injected fault looks like a failing disk.
Status injectedFault() {
    return osError(ERROR_IO_DEVICE);
}

Status firstFailure(const Status& first, const Status& second) {
    return first.ok() ? second : first;
}

bool startsWith(const std::wstring& text, const wchar_t* prefix) {
    return text.compare(0, std::wcslen(prefix), prefix) == 0;
}

// A working folder too long for SetCurrentDirectoryW (without the machine-wide long-path
// switch): relative paths are resolved against it instead. Empty when the process's own
// working folder is the one in use.
std::wstring longWorkingFolder;

// `path` as a full path with the \\?\ prefix (\\?\UNC\ for a share); a device path (\\.\)
// stays as it is. Slashes become backslashes, as the prefix turns off that conversion.
std::wstring fullPath(const std::string& path) {
    std::wstring wide = toWide(path);
    std::replace(wide.begin(), wide.end(), L'/', L'\\');
    if (startsWith(wide, L"\\\\?\\") || startsWith(wide, L"\\\\.\\")) {
        return wide;
    }
    bool relative = !startsWith(wide, L"\\") && !(wide.size() >= 2 && wide[1] == L':');
    if (relative && !longWorkingFolder.empty()) {
        wide = longWorkingFolder + L"\\" + wide;
    }
    DWORD needed = GetFullPathNameW(wide.c_str(), 0, nullptr, nullptr);
    if (needed == 0) {
        return wide; // the call on it fails with its own reason
    }
    std::wstring full(needed, L'\0');
    DWORD length = GetFullPathNameW(wide.c_str(), needed, full.data(), nullptr);
    if (length == 0 || length >= needed) {
        return wide;
    }
    full.resize(length);
    if (startsWith(full, L"\\\\?\\") || startsWith(full, L"\\\\.\\")) {
        return full;
    }
    if (startsWith(full, L"\\\\")) {
        return L"\\\\?\\UNC\\" + full.substr(2);
    }
    return L"\\\\?\\" + full;
}

// The folder part of a full path and its last name.
std::wstring folderOf(const std::wstring& full) {
    return full.substr(0, full.rfind(L'\\'));
}

std::wstring lastName(const std::wstring& full) {
    return full.substr(full.rfind(L'\\') + 1);
}

// Each wrapper below counts as one operation for the fault-injection seam.

HANDLE openFile(const std::wstring& path, DWORD access, DWORD share, DWORD disposition,
                DWORD hints) {
    if (operationFails()) {
        SetLastError(ERROR_IO_DEVICE);
        return INVALID_HANDLE_VALUE;
    }
    return CreateFileW(path.c_str(), access, share, nullptr, disposition,
                       FILE_ATTRIBUTE_NORMAL | hints, nullptr);
}

// The attributes of the file at `path`, INVALID_FILE_ATTRIBUTES when there is none.
Status fileAttributes(const std::wstring& path, DWORD& attributes) {
    if (operationFails()) {
        return injectedFault();
    }
    attributes = GetFileAttributesW(path.c_str());
    return attributes != INVALID_FILE_ATTRIBUTES ? Status() : lastError();
}

Status closeFile(HANDLE handle) {
    if (operationFails()) {
        CloseHandle(handle);
        return injectedFault();
    }
    return CloseHandle(handle) != 0 ? Status() : lastError();
}

Status flushFile(HANDLE handle) {
    if (operationFails()) {
        return injectedFault();
    }
    return FlushFileBuffers(handle) != 0 ? Status() : lastError();
}

// A file on disk, not a folder, console, pipe or other device; `size` is its length.
Status diskFileSize(HANDLE handle, uint64_t& size) {
    if (operationFails()) {
        return injectedFault();
    }
    if (GetFileType(handle) != FILE_TYPE_DISK) {
        return Status::failure(NotARegularFile);
    }
    BY_HANDLE_FILE_INFORMATION info;
    if (GetFileInformationByHandle(handle, &info) == 0) {
        return lastError();
    }
    if ((info.dwFileAttributes & FILE_ATTRIBUTE_DIRECTORY) != 0) {
        return Status::failure(NotARegularFile);
    }
    size = (static_cast<uint64_t>(info.nFileSizeHigh) << 32) | info.nFileSizeLow;
    return Status();
}

// Refuses a folder before it is opened; anything else is judged by its handle.
Status refuseFolder(const std::wstring& path) {
    DWORD attributes = 0;
    Status status = fileAttributes(path, attributes);
    if (status && (attributes & FILE_ATTRIBUTE_DIRECTORY) != 0) {
        return Status::failure(NotARegularFile);
    }
    return status;
}

// Reads until `capacity` bytes or the end of the file.
Status readFully(HANDLE handle, uint8_t* buffer, size_t capacity, size_t& delivered) {
    delivered = 0;
    while (delivered < capacity) {
        if (operationFails()) {
            return injectedFault();
        }
        DWORD request = static_cast<DWORD>(std::min(capacity - delivered, MaximumRequest));
        DWORD n = 0;
        if (!ReadFile(handle, buffer + delivered, request, &n, nullptr)) {
            return lastError();
        }
        if (n == 0) {
            break;
        }
        delivered += n;
    }
    return Status();
}

OVERLAPPED overlappedAt(uint64_t position) {
    OVERLAPPED at{};
    at.Offset = static_cast<DWORD>(position & 0xFFFFFFFFu);
    at.OffsetHigh = static_cast<DWORD>(position >> 32);
    return at;
}

// Positioned transfers of exactly `size` bytes: the offset goes with each call in an
// OVERLAPPED, no separate seek, and the handle is synchronous, so each call has completed when
// it returns. `transfer(done, request, &n, &at)` is a ReadFile or WriteFile of the rest; the
// end of the file first is a failure.
template <typename Transfer>
Status transferFullyAt(uint64_t offset, size_t size, Transfer transfer) {
    size_t done = 0;
    while (done < size) {
        if (operationFails()) {
            return injectedFault();
        }
        OVERLAPPED at = overlappedAt(offset + done);
        DWORD request = static_cast<DWORD>(std::min(size - done, MaximumRequest));
        DWORD n = 0;
        if (!transfer(done, request, &n, &at)) {
            return lastError();
        }
        if (n == 0) {
            return Status::failure("unexpected end of file");
        }
        done += n;
    }
    return Status();
}

Status readFullyAt(HANDLE handle, uint64_t offset, uint8_t* buffer, size_t size) {
    return transferFullyAt(offset, size, [&](size_t done, DWORD request, DWORD* n, OVERLAPPED* at) {
        return ReadFile(handle, buffer + done, request, n, at) != 0;
    });
}

Status writeFullyAt(HANDLE handle, uint64_t offset, const uint8_t* data, size_t size) {
    return transferFullyAt(offset, size, [&](size_t done, DWORD request, DWORD* n, OVERLAPPED* at) {
        return WriteFile(handle, data + done, request, n, at) != 0;
    });
}

// The next entry of a listing; reading the folder counts as a read for the fault seam.
bool nextFolderEntry(HANDLE search, WIN32_FIND_DATAW& found) {
    if (operationFails()) {
        SetLastError(ERROR_READ_FAULT);
        return false;
    }
    return FindNextFileW(search, &found) != 0;
}

// The pattern that lists `fullFolder` (a full path) for names ending in `suffix`.
std::wstring searchPattern(std::wstring fullFolder, const std::string& suffix) {
    if (!fullFolder.empty() && fullFolder.back() == L'\\') {
        fullFolder.pop_back();
    }
    return fullFolder + L"\\*" + toWide(suffix);
}

} // namespace

Status listFolder(const char* folder, const char* extension, std::vector<FolderEntry>& entries) {
    entries.clear();
    if (operationFails()) {
        return injectedFault();
    }
    WIN32_FIND_DATAW found;
    HANDLE search = FindFirstFileW(searchPattern(fullPath(folder), extension).c_str(), &found);
    if (search == INVALID_HANDLE_VALUE) {
        // No match in an existing folder is an empty listing; anything else is a failure.
        DWORD error = GetLastError();
        return error == ERROR_FILE_NOT_FOUND ? Status() : osError(error);
    }
    do {
        std::string name = fromWide(found.cFileName);
        // The pattern also matches 8.3 short names ("x.kvrx" is "X~1.KVR"): check the long
        // name again.
        if (name == "." || name == ".." || !nameHasExtension(name, extension)) {
            continue;
        }
        bool folderFlag = (found.dwFileAttributes & FILE_ATTRIBUTE_DIRECTORY) != 0;
        entries.push_back(FolderEntry{std::move(name), folderFlag});
    } while (nextFolderEntry(search, found));
    // Only ERROR_NO_MORE_FILES ends a complete listing. Any other failure fails it, as on
    // POSIX: a run over part of the folder would drop participants without a word.
    DWORD error = GetLastError();
    FindClose(search);
    if (error != ERROR_NO_MORE_FILES) {
        entries.clear();
        return osError(error);
    }
    sortFolderEntries(entries);
    return Status();
}

Status readShared(const char* path, uint8_t* buffer, size_t capacity, size_t& delivered) {
    delivered = 0;
    const std::wstring full = fullPath(path);
    Status status = refuseFolder(full);
    if (!status) {
        return status;
    }
    // Read sharing only: other readers are welcome, a program that has the file open for
    // writing makes the open fail at once. A device such as "NUL" opens, and is refused by
    // its type.
    HANDLE handle =
        openFile(full, GENERIC_READ, FILE_SHARE_READ, OPEN_EXISTING, FILE_FLAG_SEQUENTIAL_SCAN);
    if (handle == INVALID_HANDLE_VALUE) {
        return lastError();
    }
    uint64_t size = 0;
    status = diskFileSize(handle, size);
    status = status ? readFully(handle, buffer, capacity, delivered) : status;
    return firstFailure(status, closeFile(handle));
}

Status writeBlocksInPlace(const char* path, const WriteBlock* blocks, size_t count,
                          uint64_t minimumSize) {
    const std::wstring full = fullPath(path);
    Status status = refuseFolder(full);
    if (!status) {
        return status;
    }
    // No sharing: while the handle is open no other program can open the file, and a file
    // another program has open fails at once. OPEN_EXISTING never creates or truncates it.
    // Read access too, for the bytes a failed update puts back.
    HANDLE handle =
        openFile(full, GENERIC_READ | GENERIC_WRITE, 0, OPEN_EXISTING, FILE_FLAG_RANDOM_ACCESS);
    if (handle == INVALID_HANDLE_VALUE) {
        return lastError();
    }
    uint64_t size = 0;
    status = diskFileSize(handle, size);
    if (status && size < minimumSize) {
        status = Status::failure(tooShort(size, minimumSize));
    }
    if (status) {
        status = detail::writeAllOrNone(
            blocks, count,
            [handle](uint64_t offset, uint8_t* buffer, size_t length) {
                return readFullyAt(handle, offset, buffer, length);
            },
            [handle](uint64_t offset, const uint8_t* data, size_t length) {
                return writeFullyAt(handle, offset, data, length);
            });
    }
    status = status ? flushFile(handle) : status;
    return firstFailure(status, closeFile(handle));
}

namespace {

// Attributes a replaced file keeps. Windows' replace call keeps them itself; Wine's does not,
// so they are given to the new file before it takes the target's place.
constexpr DWORD KeptAttributes = FILE_ATTRIBUTE_HIDDEN | FILE_ATTRIBUTE_SYSTEM |
                                 FILE_ATTRIBUTE_ARCHIVE | FILE_ATTRIBUTE_NOT_CONTENT_INDEXED;

Status setAttributes(HANDLE handle, DWORD attributes) {
    if (operationFails()) {
        return injectedFault();
    }
    FILE_BASIC_INFO info{}; // zero times: unchanged
    info.FileAttributes = attributes != 0 ? attributes : FILE_ATTRIBUTE_NORMAL;
    return SetFileInformationByHandle(handle, FileBasicInfo, &info, sizeof info) != 0 ? Status()
                                                                                      : lastError();
}

// Puts `temporary` in the place of `target`. An existing target goes through ReplaceFileW,
// which keeps its ACL and refuses a read-only file; a rename that would overwrite it is never
// tried instead, as it would do neither.
Status moveIntoPlace(const std::wstring& temporary, const std::wstring& target, bool exists) {
    if (operationFails()) {
        return injectedFault();
    }
    if (exists) {
        return ReplaceFileW(target.c_str(), temporary.c_str(), nullptr,
                            REPLACEFILE_IGNORE_MERGE_ERRORS, nullptr, nullptr) != 0
                   ? Status()
                   : lastError();
    }
    return MoveFileExW(temporary.c_str(), target.c_str(),
                       MOVEFILE_REPLACE_EXISTING | MOVEFILE_WRITE_THROUGH) != 0
               ? Status()
               : lastError();
}

// Removes the leftovers of runs that ended while writing `base` in `folder`. A live writer
// keeps its temporary file open without delete sharing, so deleting it fails with a sharing
// violation and it stays. Not counted by the fault seam: whatever happens here, the new file
// is written as before.
void removeStaleTemporaries(const std::wstring& folder, const std::string& base) {
    WIN32_FIND_DATAW found;
    HANDLE search = FindFirstFileW(searchPattern(folder, ".tmp").c_str(), &found);
    if (search == INVALID_HANDLE_VALUE) {
        return;
    }
    std::vector<std::wstring> stale;
    do {
        if (isTemporaryName(fromWide(found.cFileName), base)) {
            stale.push_back(folder + L"\\" + found.cFileName);
        }
    } while (FindNextFileW(search, &found));
    FindClose(search);
    for (const std::wstring& path : stale) {
        DeleteFileW(path.c_str());
    }
}

// Creates a fresh temporary file for `base` in `folder`, open for writing without delete
// sharing: no other run can remove it while it is written.
Status createTemporary(const std::wstring& folder, const std::string& base, std::wstring& path,
                       HANDLE& handle) {
    for (int attempt = 0; attempt < 100; ++attempt) {
        path = folder + L"\\" + toWide(temporaryName(base, uniqueNumber()));
        handle = openFile(path, GENERIC_WRITE, FILE_SHARE_READ, CREATE_NEW, 0);
        if (handle != INVALID_HANDLE_VALUE) {
            return Status();
        }
        DWORD error = GetLastError();
        if (error != ERROR_FILE_EXISTS && error != ERROR_ALREADY_EXISTS) {
            return osError(error);
        }
    }
    return Status::failure("no free temporary file name");
}

} // namespace

struct FileReplacement::State {
    std::wstring target;
    std::wstring temporary;
    HANDLE handle = INVALID_HANDLE_VALUE; // the temporary file while it is written
    bool exists = false;                  // the target existed at the start
    DWORD attributes = INVALID_FILE_ATTRIBUTES;
    uint64_t written = 0;
    Status failure; // the first failed step
    bool committed = false;
};

FileReplacement::FileReplacement() = default;

FileReplacement::~FileReplacement() {
    if (state_ && state_->handle != INVALID_HANDLE_VALUE) {
        CloseHandle(state_->handle);
        DeleteFileW(state_->temporary.c_str());
    }
}

namespace {

// Ends a replacement after a failed step: the temporary file goes, the target stays.
Status abandon(FileReplacement::State& state, Status status) {
    if (state.handle != INVALID_HANDLE_VALUE) {
        CloseHandle(state.handle);
        state.handle = INVALID_HANDLE_VALUE;
    }
    if (!state.temporary.empty()) {
        DeleteFileW(state.temporary.c_str());
    }
    state.failure = status;
    return status;
}

Status notUnderway(const std::unique_ptr<FileReplacement::State>& state) {
    if (!state) {
        return Status::failure("no replacement begun");
    }
    if (state->committed) {
        return Status::failure("replacement already committed");
    }
    return state->failure;
}

} // namespace

Status FileReplacement::begin(const char* target) {
    if (state_) {
        return Status::failure("replacement already begun");
    }
    state_ = std::make_unique<State>();
    State& state = *state_;
    state.target = fullPath(target);
    const std::wstring folder = folderOf(state.target);
    const std::string base = fromWide(lastName(state.target).c_str());
    Status found = fileAttributes(state.target, state.attributes);
    if (!found && found.code() != ERROR_FILE_NOT_FOUND) {
        return abandon(state, found);
    }
    if (found && (state.attributes & FILE_ATTRIBUTE_DIRECTORY) != 0) {
        return abandon(state, Status::failure(NotARegularFile));
    }
    state.exists = found.ok();

    removeStaleTemporaries(folder, base);

    // A fresh name beside the target, so the replace stays inside one volume.
    Status status = createTemporary(folder, base, state.temporary, state.handle);
    if (!status) {
        state.handle = INVALID_HANDLE_VALUE;
        state.temporary.clear();
        return abandon(state, status);
    }
    if (state.exists && (state.attributes & KeptAttributes) != 0) {
        status = setAttributes(state.handle, state.attributes & KeptAttributes);
    }
    return status ? status : abandon(state, status);
}

Status FileReplacement::write(const char* data, size_t size) {
    Status status = notUnderway(state_);
    if (!status) {
        return status;
    }
    status =
        writeFullyAt(state_->handle, state_->written, reinterpret_cast<const uint8_t*>(data), size);
    state_->written += size;
    return status ? status : abandon(*state_, status);
}

Status FileReplacement::commit() {
    Status status = notUnderway(state_);
    if (!status) {
        return status;
    }
    State& state = *state_;
    status = flushFile(state.handle);
    // The handle must be closed before the replace. Between the two another run's cleaner
    // could delete the finished file; the replace then fails and this run reports it.
    status = firstFailure(status, closeFile(state.handle));
    state.handle = INVALID_HANDLE_VALUE;
    status = status ? moveIntoPlace(state.temporary, state.target, state.exists) : status;
    if (state.exists && status.code() == ERROR_ACCESS_DENIED &&
        (state.attributes & FILE_ATTRIBUTE_READONLY) != 0) {
        // ReplaceFileW refuses a read-only target (and leaves it as it was): say so.
        status = Status::failure("read-only", status.code());
    }
    if (!status) {
        return abandon(state, status);
    }
    state.committed = true;
    return status;
}

Status replaceFile(const char* target, const char* data, size_t size) {
    FileReplacement replacement;
    Status status = replacement.begin(target);
    status = status ? replacement.write(data, size) : status;
    return status ? replacement.commit() : status;
}

struct AppendOnlyFile::State {
    HANDLE handle = INVALID_HANDLE_VALUE;
    uint64_t size = 0; // where the next append goes
};

AppendOnlyFile::AppendOnlyFile() = default;

AppendOnlyFile::~AppendOnlyFile() {
    if (state_ && state_->handle != INVALID_HANDLE_VALUE) {
        CloseHandle(state_->handle);
    }
}

Status AppendOnlyFile::open(const char* path) {
    if (state_) {
        return Status::failure("already open");
    }
    const std::wstring full = fullPath(path);
    Status status = refuseFolder(full);
    if (!status && status.code() != ERROR_FILE_NOT_FOUND) {
        return status;
    }
    // No sharing at all: while the handle is open no other program can open the file, and a
    // file another program has open fails at once. OPEN_ALWAYS creates a missing file and
    // never truncates one.
    HANDLE handle = openFile(full, GENERIC_READ | GENERIC_WRITE, 0, OPEN_ALWAYS, 0);
    if (handle == INVALID_HANDLE_VALUE) {
        return lastError();
    }
    uint64_t size = 0;
    status = diskFileSize(handle, size);
    if (!status) {
        CloseHandle(handle);
        return status;
    }
    state_ = std::make_unique<State>();
    state_->handle = handle;
    state_->size = size;
    return status;
}

Status AppendOnlyFile::readAll(std::string& content) {
    content.clear();
    if (!state_ || state_->handle == INVALID_HANDLE_VALUE) {
        return Status::failure("not open");
    }
    uint64_t size = 0;
    Status status = diskFileSize(state_->handle, size);
    if (!status) {
        return status;
    }
    content.resize(static_cast<size_t>(size));
    status = content.empty()
                 ? status
                 : readFullyAt(state_->handle, 0, reinterpret_cast<uint8_t*>(content.data()), size);
    if (!status) {
        content.clear();
        return status;
    }
    state_->size = size;
    return status;
}

Status AppendOnlyFile::append(const char* data, size_t size) {
    if (!state_ || state_->handle == INVALID_HANDLE_VALUE) {
        return Status::failure("not open");
    }
    // Nobody else can have the file open, so its end is where this handle left it.
    Status status =
        writeFullyAt(state_->handle, state_->size, reinterpret_cast<const uint8_t*>(data), size);
    if (status) {
        state_->size += size;
    }
    return status ? flushFile(state_->handle) : status;
}

Status AppendOnlyFile::close() {
    if (!state_ || state_->handle == INVALID_HANDLE_VALUE) {
        return Status::failure("not open");
    }
    HANDLE handle = state_->handle;
    state_->handle = INVALID_HANDLE_VALUE;
    return closeFile(handle);
}

Status enterFolder(const char* folder) {
    const std::wstring full = fullPath(folder);
    DWORD attributes = GetFileAttributesW(full.c_str());
    if (attributes == INVALID_FILE_ATTRIBUTES) {
        return lastError();
    }
    if ((attributes & FILE_ATTRIBUTE_DIRECTORY) == 0) {
        return Status::failure("not a folder");
    }
    // The working folder takes the path without the prefix, and only up to MAX_PATH unless
    // the machine-wide long-path switch is on: a longer folder is kept here instead.
    std::wstring plain = startsWith(full, L"\\\\?\\UNC\\") ? L"\\\\" + full.substr(8)
                         : startsWith(full, L"\\\\?\\")    ? full.substr(4)
                                                           : full;
    if (SetCurrentDirectoryW(plain.c_str())) {
        longWorkingFolder.clear();
        return Status();
    }
    DWORD error = GetLastError();
    if (plain.size() + 1 >= MAX_PATH) {
        longWorkingFolder = full;
        return Status();
    }
    return osError(error);
}

namespace {

// The OS handle of a C stream, or INVALID_HANDLE_VALUE.
HANDLE streamHandle(std::FILE* stream) {
    int fd = _fileno(stream);
    return fd < 0 ? INVALID_HANDLE_VALUE : reinterpret_cast<HANDLE>(_get_osfhandle(fd));
}

bool isConsole(HANDLE handle) {
    DWORD mode = 0;
    return handle != INVALID_HANDLE_VALUE && handle != nullptr && GetConsoleMode(handle, &mode);
}

} // namespace

void writeConsole(std::FILE* stream, const std::string& text) {
    HANDLE handle = streamHandle(stream);
    if (!isConsole(handle)) {
        // A file or a pipe gets UTF-8; the stream's text mode makes the line ends CR LF.
        std::fwrite(text.data(), 1, text.size(), stream);
        std::fflush(stream);
        return;
    }
    // A console shows UTF-16 as it is, whatever its code page.
    std::fflush(stream);
    std::string lines;
    for (char c : text) {
        if (c == '\n') {
            lines += '\r';
        }
        lines += c;
    }
    std::wstring wide = toWide(lines);
    size_t done = 0;
    while (done < wide.size()) {
        DWORD request = static_cast<DWORD>(std::min<size_t>(wide.size() - done, 16384));
        DWORD written = 0;
        if (!WriteConsoleW(handle, wide.data() + done, request, &written, nullptr) ||
            written == 0) {
            return;
        }
        done += written;
    }
}

void prepareConsole() {
    // Nothing to do: a write to a closed pipe fails with ERROR_NO_DATA, no signal ends the
    // process.
}

std::vector<std::string> commandLineArguments(int argc, char** argv) {
    // The UTF-16 command line, not the ANSI argv: a GAME_FOLDER with any letters arrives
    // intact.
    int count = 0;
    wchar_t** wide = CommandLineToArgvW(GetCommandLineW(), &count);
    if (wide == nullptr) {
        return std::vector<std::string>(argv + std::min(argc, 1), argv + argc);
    }
    std::vector<std::string> arguments;
    for (int i = 1; i < count; ++i) {
        arguments.push_back(fromWide(wide[i]));
    }
    LocalFree(wide);
    return arguments;
}

ConsoleStart consoleStart() {
    ConsoleStart start;
    start.inputIsConsole = isConsole(GetStdHandle(STD_INPUT_HANDLE));
    start.outputIsConsole = isConsole(GetStdHandle(STD_OUTPUT_HANDLE));
    DWORD processes[2];
    start.consoleProcesses = GetConsoleProcessList(processes, 2);
    return start;
}

} // namespace kvr::platform
