// Win32 implementation of the file-system layer.
#include "platform/fs.h"
#include "platform/fs_detail.h"

#ifndef WIN32_LEAN_AND_MEAN
#define WIN32_LEAN_AND_MEAN
#endif
#ifndef NOMINMAX
#define NOMINMAX
#endif
#include <windows.h>

#include <algorithm>
#include <string>

namespace kvr::platform {

namespace {

// The largest request handed to one ReadFile or WriteFile call.
constexpr size_t MaximumRequest = 1u << 30;

// Each wrapper counts as one operation for the fault-injection seam.

// Opens without sharing: while the handle is open no other program can open the file, and a
// file another program has open fails at once with a sharing violation.
HANDLE openFile(const char* path, DWORD access, DWORD disposition, DWORD hints) {
    if (operationFails()) {
        SetLastError(ERROR_IO_DEVICE);
        return INVALID_HANDLE_VALUE;
    }
    return CreateFileA(path, access, 0, nullptr, disposition, FILE_ATTRIBUTE_NORMAL | hints,
                       nullptr);
}

bool closeFile(HANDLE handle) {
    if (operationFails()) {
        CloseHandle(handle);
        return false;
    }
    return CloseHandle(handle) != 0;
}

bool flushFile(HANDLE handle) {
    if (operationFails()) {
        return false;
    }
    return FlushFileBuffers(handle) != 0;
}

// A file on disk, not a folder, console, pipe or other device.
bool isDiskFile(HANDLE handle) {
    if (GetFileType(handle) != FILE_TYPE_DISK) {
        return false;
    }
    BY_HANDLE_FILE_INFORMATION info;
    return GetFileInformationByHandle(handle, &info) != 0 &&
           (info.dwFileAttributes & FILE_ATTRIBUTE_DIRECTORY) == 0;
}

// Reads until `capacity` bytes or the end of the file.
bool readFully(HANDLE handle, uint8_t* buffer, size_t capacity, size_t& delivered) {
    delivered = 0;
    while (delivered < capacity) {
        if (operationFails()) {
            return false;
        }
        DWORD request = static_cast<DWORD>(std::min(capacity - delivered, MaximumRequest));
        DWORD n = 0;
        if (!ReadFile(handle, buffer + delivered, request, &n, nullptr)) {
            return false;
        }
        if (n == 0) {
            break;
        }
        delivered += n;
    }
    return true;
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
template <typename Transfer> bool transferFullyAt(uint64_t offset, size_t size, Transfer transfer) {
    size_t done = 0;
    while (done < size) {
        if (operationFails()) {
            return false;
        }
        OVERLAPPED at = overlappedAt(offset + done);
        DWORD request = static_cast<DWORD>(std::min(size - done, MaximumRequest));
        DWORD n = 0;
        if (!transfer(done, request, &n, &at) || n == 0) {
            return false;
        }
        done += n;
    }
    return true;
}

bool readFullyAt(HANDLE handle, uint64_t offset, uint8_t* buffer, size_t size) {
    return transferFullyAt(offset, size, [&](size_t done, DWORD request, DWORD* n, OVERLAPPED* at) {
        return ReadFile(handle, buffer + done, request, n, at) != 0;
    });
}

bool writeFullyAt(HANDLE handle, uint64_t offset, const uint8_t* data, size_t size) {
    return transferFullyAt(offset, size, [&](size_t done, DWORD request, DWORD* n, OVERLAPPED* at) {
        return WriteFile(handle, data + done, request, n, at) != 0;
    });
}

// The next entry of a listing; reading the folder counts as a read for the fault seam.
bool nextFolderEntry(HANDLE search, WIN32_FIND_DATAA& found) {
    if (operationFails()) {
        SetLastError(ERROR_READ_FAULT);
        return false;
    }
    return FindNextFileA(search, &found) != 0;
}

} // namespace

bool listFolder(const char* folder, const char* extension, std::vector<FolderEntry>& entries) {
    entries.clear();
    if (operationFails()) {
        return false;
    }
    std::string pattern = std::string(folder) + "/*" + extension;
    WIN32_FIND_DATAA found;
    HANDLE search = FindFirstFileA(pattern.c_str(), &found);
    if (search == INVALID_HANDLE_VALUE) {
        // No match in an existing folder is an empty listing; anything else is a failure.
        return GetLastError() == ERROR_FILE_NOT_FOUND;
    }
    do {
        std::string name = found.cFileName;
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
    bool complete = GetLastError() == ERROR_NO_MORE_FILES;
    FindClose(search);
    if (!complete) {
        entries.clear();
        return false;
    }
    sortFolderEntries(entries);
    return true;
}

bool readExclusive(const char* path, uint8_t* buffer, size_t capacity, size_t& delivered) {
    delivered = 0;
    // A folder cannot be opened this way (no FILE_FLAG_BACKUP_SEMANTICS); a device such as
    // "con.kvr" can, and is refused by its type.
    HANDLE handle = openFile(path, GENERIC_READ, OPEN_EXISTING, FILE_FLAG_SEQUENTIAL_SCAN);
    if (handle == INVALID_HANDLE_VALUE) {
        return false;
    }
    bool ok = isDiskFile(handle) && readFully(handle, buffer, capacity, delivered);
    bool closed = closeFile(handle);
    return ok && closed;
}

bool writeBlocksInPlace(const char* path, const WriteBlock* blocks, size_t count,
                        uint64_t minimumSize) {
    // OPEN_EXISTING: never creates or truncates the file. Read access too, for the bytes a
    // failed update puts back.
    HANDLE handle =
        openFile(path, GENERIC_READ | GENERIC_WRITE, OPEN_EXISTING, FILE_FLAG_RANDOM_ACCESS);
    if (handle == INVALID_HANDLE_VALUE) {
        return false;
    }
    LARGE_INTEGER fileSize;
    bool ok = isDiskFile(handle) && GetFileSizeEx(handle, &fileSize) != 0 &&
              fileSize.QuadPart >= 0 && static_cast<uint64_t>(fileSize.QuadPart) >= minimumSize;
    ok = ok && detail::writeAllOrNone(
                   blocks, count,
                   [handle](uint64_t offset, uint8_t* buffer, size_t size) {
                       return readFullyAt(handle, offset, buffer, size);
                   },
                   [handle](uint64_t offset, const uint8_t* data, size_t size) {
                       return writeFullyAt(handle, offset, data, size);
                   });
    ok = ok && flushFile(handle);
    bool closed = closeFile(handle);
    return ok && closed;
}

namespace {

// Replaces `to` by `from`; write-through, so the rename is on disk when it returns.
bool renameFile(const char* from, const char* to) {
    if (operationFails()) {
        return false;
    }
    return MoveFileExA(from, to, MOVEFILE_REPLACE_EXISTING | MOVEFILE_WRITE_THROUGH) != 0;
}

} // namespace

bool replaceFile(const char* target, const char* data, size_t size) {
    // A fresh name beside the target, so the rename stays inside one volume. The renamed file
    // has the permissions the folder gives a new file.
    std::string targetPath = target;
    std::string temporary;
    HANDLE handle = INVALID_HANDLE_VALUE;
    for (int attempt = 0; attempt < 100 && handle == INVALID_HANDLE_VALUE; ++attempt) {
        temporary = targetPath + "." + std::to_string(GetCurrentProcessId()) + "-" +
                    std::to_string(attempt) + ".tmp";
        handle = openFile(temporary.c_str(), GENERIC_WRITE, CREATE_NEW, 0);
        if (handle == INVALID_HANDLE_VALUE) {
            DWORD error = GetLastError();
            if (error != ERROR_FILE_EXISTS && error != ERROR_ALREADY_EXISTS) {
                return false;
            }
        }
    }
    if (handle == INVALID_HANDLE_VALUE) {
        return false;
    }
    bool ok = writeFullyAt(handle, 0, reinterpret_cast<const uint8_t*>(data), size);
    ok = ok && flushFile(handle);
    bool closed = closeFile(handle);
    ok = ok && closed && renameFile(temporary.c_str(), target);
    if (!ok) {
        DeleteFileA(temporary.c_str());
        return false;
    }
    return true;
}

} // namespace kvr::platform
