// The Win32 parts of the file-system layer beside its Env (fs_win32.cpp): the per-OS parts
// (os_file.h), the check of a folder and file identities.
#include "platform/env.h"
#include "platform/fs.h"
#include "platform/fs_detail.h"
#include "platform/fs_win32_detail.h"
#include "platform/os_file.h"
#include "platform/win32.h"

#include <string>
#include <vector>

namespace kvr::platform {

using namespace win32;

Status checkFolder(const char* folder) {
    DWORD attributes = GetFileAttributesW(fullPath(folder).c_str());
    if (attributes == INVALID_FILE_ATTRIBUTES) {
        return lastError();
    }
    if ((attributes & FILE_ATTRIBUTE_DIRECTORY) == 0) {
        return Status::failure(StatusKind::NotFound, "not a folder");
    }
    return Status();
}

FileIdentity identifyFile(const std::string& path) {
    FileIdentity identity;
    const std::wstring full = fullPath(path);
    identity.resolved = fromWide(full.c_str(), full.size());
    // No access asked for: attributes only, past any sharing mode; folders open too.
    HANDLE handle =
        CreateFileW(full.c_str(), 0, FILE_SHARE_READ | FILE_SHARE_WRITE | FILE_SHARE_DELETE,
                    nullptr, OPEN_EXISTING, FILE_FLAG_BACKUP_SEMANTICS, nullptr);
    if (handle != INVALID_HANDLE_VALUE) {
        BY_HANDLE_FILE_INFORMATION info;
        if (GetFileInformationByHandle(handle, &info)) {
            identity.exists = true;
            identity.device = info.dwVolumeSerialNumber;
            identity.file = (uint64_t{info.nFileIndexHigh} << 32) | info.nFileIndexLow;
            identity.held = std::shared_ptr<const void>(
                handle, [](const void* h) { CloseHandle(const_cast<void*>(h)); });
        } else {
            CloseHandle(handle);
        }
    }
    return identity;
}

bool sameFile(const FileIdentity& a, const FileIdentity& b) {
    if (a.exists && b.exists) {
        return a.device == b.device && a.file == b.file;
    }
    const std::wstring x = toWide(a.resolved), y = toWide(b.resolved);
    return CompareStringOrdinal(x.c_str(), static_cast<int>(x.size()), y.c_str(),
                                static_cast<int>(y.size()), TRUE) == CSTR_EQUAL;
}

namespace os {

NativePath nativePath(const char* utf8) {
    return fullPath(utf8);
}

bool isMissing(const Status& status) {
    return status.kind() == StatusKind::NotFound;
}

bool isNameTaken(const Status& status) {
    return status.kind() == StatusKind::AlreadyExists;
}

Status checkBeforeOpen(Env& env, const NativePath& path) {
    // A folder is refused here; anything else is judged by its handle (its size).
    PathInfo info;
    Status status = env.stat(path, true, info);
    if (status && info.kind == PathKind::Folder) {
        return Status::failure(StatusKind::NotRegular, NotARegularFile);
    }
    return status;
}

Status checkInPlaceTarget(Env& env, const NativePath& path, size_t) {
    return checkBeforeOpen(env, path);
}

Status syncFolderOf(Env&, const NativePath&) {
    return Status(); // the rename is written through; a folder cannot be flushed
}

Place placeOf(const char* target) {
    Place place;
    place.path = fullPath(target);
    place.folder = folderOf(place.path);
    place.base = fromWide(lastName(place.path).c_str());
    return place;
}

NativePath pathIn(const NativePath& folder, const std::string& name) {
    return folder + L"\\" + toWide(name);
}

Status inspectTarget(Env& env, const NativePath& target, TargetState& state) {
    PathInfo info;
    Status found = env.stat(target, false, info);
    if (!found) {
        return isMissing(found) ? Status() : found;
    }
    if (info.kind == PathKind::Folder) {
        return Status::failure(StatusKind::NotRegular, NotARegularFile);
    }
    state.exists = true;
    state.keep = (info.bits & KeptAttributes) != 0;
    state.bits = info.bits;
    return found;
}

Status createTemporary(Env& env, const NativePath& path, File& file, bool& nameTaken) {
    Status status = env.open(path, Access::CreateNew, file);
    nameTaken = !status && isNameTaken(status);
    return status;
}

std::vector<NativePath> temporariesOf(const NativePath& folder, const std::string& base) {
    std::vector<NativePath> paths;
    WIN32_FIND_DATAW found;
    HANDLE search = FindFirstFileW(searchPattern(folder, ".tmp").c_str(), &found);
    if (search == INVALID_HANDLE_VALUE) {
        return paths;
    }
    do {
        if (isTemporaryName(fromWide(found.cFileName), base)) {
            paths.push_back(folder + L"\\" + found.cFileName);
        }
    } while (FindNextFileW(search, &found));
    FindClose(search);
    return paths;
}

void removeIfAbandoned(const NativePath& path) {
    // A live writer keeps its temporary file open without delete sharing, so deleting it fails
    // with a sharing violation and it stays.
    DeleteFileW(path.c_str());
}

void discardTemporary(File file, const NativePath& path) {
    // Closed first: a file open without delete sharing cannot be deleted.
    if (file != NoFile) {
        CloseHandle(handleOf(file));
    }
    if (!path.empty()) {
        DeleteFileW(path.c_str());
    }
}

} // namespace os

} // namespace kvr::platform
