// The Win32 Env (env.h), the kinds of the system's errors and the wide paths that the per-OS
// parts (fs_win32_os.cpp) share. Wide-character API throughout: names are UTF-8 inside the program
// and UTF-16 at the OS, full paths carry the \\?\ prefix, so neither the ANSI code page nor the
// 260-character limit applies.
#include "platform/env.h"
#include "platform/fs.h"
#include "platform/fs_detail.h"
#include "platform/fs_win32_detail.h"
#include "platform/os_file.h"
#include "platform/wait.h"
#include "platform/watch_os.h"
#include "platform/wide_text.h"
#include "platform/win32.h"

#include <algorithm>
#include <string>

namespace kvr::platform {

struct ListingState {
    HANDLE search = INVALID_HANDLE_VALUE; // none when nothing matched
    WIN32_FIND_DATAW found;               // the entry the last call delivered
    bool pending = false;                 // `found` not yet read
};

namespace {

bool startsWith(const std::wstring& text, const wchar_t* prefix) {
    return text.compare(0, std::wcslen(prefix), prefix) == 0;
}

} // namespace

namespace win32 {

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

Status osError(DWORD code) {
    return systemError(static_cast<long>(code));
}

Status lastError() {
    return osError(GetLastError());
}

std::wstring fullPath(const std::string& path) {
    std::wstring wide = toWide(path);
    std::replace(wide.begin(), wide.end(), L'/', L'\\');
    if (startsWith(wide, L"\\\\?\\") || startsWith(wide, L"\\\\.\\")) {
        return wide;
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

std::wstring folderOf(const std::wstring& full) {
    return full.substr(0, full.rfind(L'\\'));
}

std::wstring lastName(const std::wstring& full) {
    return full.substr(full.rfind(L'\\') + 1);
}

std::wstring searchPattern(std::wstring fullFolder, const std::string& suffix) {
    if (!fullFolder.empty() && fullFolder.back() == L'\\') {
        fullFolder.pop_back();
    }
    return fullFolder + L"\\*" + toWide(suffix);
}

} // namespace win32

using namespace win32;

namespace {

// The largest request handed to one ReadFile or WriteFile call.
constexpr size_t MaximumRequest = 1u << 30;

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

OVERLAPPED overlappedAt(uint64_t position) {
    OVERLAPPED at{};
    at.Offset = static_cast<DWORD>(position & 0xFFFFFFFFu);
    at.OffsetHigh = static_cast<DWORD>(position >> 32);
    return at;
}

// One ReadFile or WriteFile, `call(request, &n)`, of at most MaximumRequest bytes. A
// positioned one takes its offset in an OVERLAPPED, no separate seek; the handle is
// synchronous, so the call has completed when it returns.
template <typename Call> Status transferOnce(size_t size, size_t& moved, Call call) {
    moved = 0;
    DWORD n = 0;
    if (!call(static_cast<DWORD>(std::min(size, MaximumRequest)), &n)) {
        return lastError();
    }
    moved = n;
    return Status();
}

void describe(const WIN32_FIND_DATAW& found, std::string& name, bool& isFolder) {
    name = fromWide(found.cFileName);
    isFolder = (found.dwFileAttributes & FILE_ATTRIBUTE_DIRECTORY) != 0;
}

class Win32Env final : public os::SystemEnv {
  public:
    Status stat(const NativePath& path, bool, PathInfo& info) override {
        DWORD attributes = GetFileAttributesW(path.c_str());
        if (attributes == INVALID_FILE_ATTRIBUTES) {
            return lastError();
        }
        info.kind =
            (attributes & FILE_ATTRIBUTE_DIRECTORY) != 0 ? PathKind::Folder : PathKind::Regular;
        info.bits = attributes;
        return Status();
    }

    Status open(const NativePath& path, Access access, File& file) override {
        DWORD rights = GENERIC_READ | GENERIC_WRITE;
        DWORD share = 0;
        DWORD disposition = OPEN_EXISTING;
        DWORD hints = 0;
        switch (access) {
        case Access::ReadShared:
            // Read sharing only: other readers are welcome, a program that has the file open
            // for writing makes the open fail at once. A device such as "NUL" opens, and is
            // refused by its type.
            rights = GENERIC_READ;
            share = FILE_SHARE_READ;
            hints = FILE_FLAG_SEQUENTIAL_SCAN;
            break;
        case Access::UpdateInPlace:
        case Access::AppendOrCreate:
            // No sharing: while the handle is open no other program can open the file, and a
            // file another program has open fails at once. OPEN_EXISTING never creates or
            // truncates the file, OPEN_ALWAYS creates a missing one and never truncates one.
            // Read access too: for the bytes a failed update puts back, or the log read before
            // it is appended to.
            if (access == Access::UpdateInPlace) {
                hints = FILE_FLAG_RANDOM_ACCESS;
            } else {
                disposition = OPEN_ALWAYS;
            }
            break;
        case Access::CreateNew:
            // Open for writing without delete sharing: no other run can remove it while it is
            // written.
            rights = GENERIC_WRITE;
            share = FILE_SHARE_READ;
            disposition = CREATE_NEW;
            break;
        case Access::Folder:
            rights = 0;
            share = FILE_SHARE_READ | FILE_SHARE_WRITE | FILE_SHARE_DELETE;
            hints = FILE_FLAG_BACKUP_SEMANTICS;
            break;
        }
        HANDLE handle = CreateFileW(path.c_str(), rights, share, nullptr, disposition,
                                    FILE_ATTRIBUTE_NORMAL | hints, nullptr);
        if (handle == INVALID_HANDLE_VALUE) {
            file = NoFile;
            return lastError();
        }
        file = reinterpret_cast<File>(handle);
        return Status();
    }

    Status statOpen(File file, OpenInfo& info) override {
        // A file on disk, not a folder, console, pipe or other device.
        info = OpenInfo();
        if (GetFileType(handleOf(file)) != FILE_TYPE_DISK) {
            return Status();
        }
        BY_HANDLE_FILE_INFORMATION found;
        if (GetFileInformationByHandle(handleOf(file), &found) == 0) {
            return lastError();
        }
        info.regular = (found.dwFileAttributes & FILE_ATTRIBUTE_DIRECTORY) == 0;
        info.size = (static_cast<uint64_t>(found.nFileSizeHigh) << 32) | found.nFileSizeLow;
        info.linked = found.nNumberOfLinks > 0;
        return Status();
    }

    Status lock(File, bool) override {
        return Status(); // the sharing mode of the open holds the file
    }

    Status read(File file, uint8_t* buffer, size_t size, size_t& moved) override {
        return transferOnce(size, moved, [&](DWORD request, DWORD* n) {
            return ReadFile(handleOf(file), buffer, request, n, nullptr) != 0;
        });
    }

    Status readAt(File file, uint64_t offset, uint8_t* buffer, size_t size,
                  size_t& moved) override {
        OVERLAPPED at = overlappedAt(offset);
        return transferOnce(size, moved, [&](DWORD request, DWORD* n) {
            return ReadFile(handleOf(file), buffer, request, n, &at) != 0;
        });
    }

    Status writeAt(File file, uint64_t offset, const uint8_t* data, size_t size,
                   size_t& moved) override {
        OVERLAPPED at = overlappedAt(offset);
        return transferOnce(size, moved, [&](DWORD request, DWORD* n) {
            return WriteFile(handleOf(file), data, request, n, &at) != 0;
        });
    }

    Status append(File file, uint64_t end, const uint8_t* data, size_t size,
                  size_t& moved) override {
        // Nobody else can have the file open, so its end is where this handle left it.
        return writeAt(file, end, data, size, moved);
    }

    Status flush(File file) override {
        return FlushFileBuffers(handleOf(file)) != 0 ? Status() : lastError();
    }

    Status close(File file) override {
        return CloseHandle(handleOf(file)) != 0 ? Status() : lastError();
    }

    void closeQuietly(File file) override { CloseHandle(handleOf(file)); }

    Status changeMode(File file, const TargetState& state) override {
        FILE_BASIC_INFO info{}; // zero times: unchanged
        info.FileAttributes = state.bits & KeptAttributes;
        return SetFileInformationByHandle(handleOf(file), FileBasicInfo, &info, sizeof info) != 0
                   ? Status()
                   : lastError();
    }

    Status rename(const NativePath& temporary, const NativePath& target,
                  const TargetState& state) override {
        // Another program that reads the target, such as a second run looking at its outputs
        // or a virus scanner, holds it for a moment: the replacement waits up to a second for
        // it, and a target held longer is held for good.
        DWORD error = ERROR_SUCCESS;
        retryWhileHeld(*this, std::chrono::seconds(1), [&] {
            error = renameOnce(temporary, target, state);
            return isMomentaryHold(error, state)
                       ? Status::failure(StatusKind::Held, HeldByAnotherProgram,
                                         static_cast<long>(error))
                       : Status();
        });
        if (error == ERROR_SUCCESS) {
            return Status();
        }
        if (error == ERROR_ACCESS_DENIED && (state.bits & FILE_ATTRIBUTE_READONLY) != 0) {
            // ReplaceFileW refuses a read-only target (and leaves it as it was): say so.
            return Status::failure(StatusKind::Denied, "read-only", static_cast<long>(error));
        }
        if (error == ERROR_UNABLE_TO_REMOVE_REPLACED) {
            return Status::failure(StatusKind::Held, HeldByAnotherProgram,
                                   static_cast<long>(error));
        }
        return osError(error);
    }

    // A target that another handle has open refuses its replacement with one of these. A denied
    // access is one too, except on a read-only target, which refuses it for good.
    static bool isMomentaryHold(DWORD error, const TargetState& state) {
        return error == ERROR_SHARING_VIOLATION || error == ERROR_LOCK_VIOLATION ||
               error == ERROR_UNABLE_TO_REMOVE_REPLACED ||
               (error == ERROR_ACCESS_DENIED && (state.bits & FILE_ATTRIBUTE_READONLY) == 0);
    }

    // One try; the system's error, ERROR_SUCCESS when the temporary file took the target's
    // place.
    static DWORD renameOnce(const NativePath& temporary, const NativePath& target,
                            const TargetState& state) {
        // An existing target goes through ReplaceFileW, which keeps its ACL and refuses a
        // read-only file; a rename that would overwrite it is never tried instead, as it would
        // do neither.
        const bool done =
            state.exists ? ReplaceFileW(target.c_str(), temporary.c_str(), nullptr,
                                        REPLACEFILE_IGNORE_MERGE_ERRORS, nullptr, nullptr) != 0
                         : MoveFileExW(temporary.c_str(), target.c_str(),
                                       MOVEFILE_REPLACE_EXISTING | MOVEFILE_WRITE_THROUGH) != 0;
        return done ? ERROR_SUCCESS : GetLastError();
    }

    Status openListing(const NativePath& folder, const char* extension, Listing& listing) override {
        listing = new ListingState;
        listing->search = FindFirstFileW(searchPattern(folder, extension).c_str(), &listing->found);
        if (listing->search != INVALID_HANDLE_VALUE) {
            listing->pending = true;
            return Status();
        }
        // No match in an existing folder is an empty listing; anything else is a failure.
        DWORD error = GetLastError();
        if (error == ERROR_FILE_NOT_FOUND) {
            return Status();
        }
        delete listing;
        listing = nullptr;
        return osError(error);
    }

    Status readListing(Listing listing, std::string& name, bool& isFolder, bool& known,
                       bool& end) override {
        known = true;
        end = false;
        if (listing->pending) {
            listing->pending = false;
            describe(listing->found, name, isFolder);
            return Status();
        }
        if (listing->search == INVALID_HANDLE_VALUE) {
            end = true;
            return Status();
        }
        if (FindNextFileW(listing->search, &listing->found) == 0) {
            // Only ERROR_NO_MORE_FILES ends a complete listing.
            DWORD error = GetLastError();
            end = true;
            return error == ERROR_NO_MORE_FILES ? Status() : osError(error);
        }
        describe(listing->found, name, isFolder);
        return Status();
    }

    void closeListing(Listing listing) override {
        if (listing == nullptr) {
            return;
        }
        if (listing->search != INVALID_HANDLE_VALUE) {
            FindClose(listing->search);
        }
        delete listing;
    }

    long processId() override { return static_cast<long>(GetCurrentProcessId()); }
    bool processRuns(long pid) override {
        if (pid <= 0) {
            return false;
        }
        HANDLE process =
            OpenProcess(PROCESS_QUERY_LIMITED_INFORMATION, FALSE, static_cast<DWORD>(pid));
        if (process == nullptr) {
            return false;
        }
        DWORD code = 0;
        const bool runs = GetExitCodeProcess(process, &code) && code == STILL_ACTIVE;
        CloseHandle(process);
        return runs;
    }
    Status removeFile(const NativePath& path) override {
        return DeleteFileW(path.c_str()) ? Status()
                                         : systemError(static_cast<long>(GetLastError()));
    }
};

} // namespace

Env& Env::system() {
    static Win32Env env;
    return env;
}

namespace {

StatusKind kindOfError(DWORD error) {
    switch (error) {
    case ERROR_FILE_NOT_FOUND:
    case ERROR_PATH_NOT_FOUND:
    case ERROR_BAD_NETPATH:
        return StatusKind::NotFound;
    case ERROR_DISK_FULL:
    case ERROR_HANDLE_DISK_FULL:
        return StatusKind::NoSpace;
    case ERROR_IO_DEVICE:
    case ERROR_CRC:
    case ERROR_READ_FAULT:
    case ERROR_WRITE_FAULT:
        return StatusKind::IoError;
    case ERROR_ACCESS_DENIED:
    case ERROR_WRITE_PROTECT:
        return StatusKind::Denied;
    case ERROR_FILE_EXISTS:
    case ERROR_ALREADY_EXISTS:
        return StatusKind::AlreadyExists;
    default:
        return StatusKind::Other;
    }
}

} // namespace

Status systemError(long code) {
    const auto error = static_cast<DWORD>(code);
    if (error == ERROR_SHARING_VIOLATION || error == ERROR_LOCK_VIOLATION) {
        return Status::failure(StatusKind::Held, HeldByAnotherProgram, code);
    }
    return Status::failure(kindOfError(error), systemMessage(error), code);
}

long deviceErrorCode() {
    return static_cast<long>(ERROR_IO_DEVICE);
}

} // namespace kvr::platform
