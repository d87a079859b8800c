// POSIX primitives of the file-system layer (os_file.h), the folder listing and the working
// folder.
#include "platform/fs.h"
#include "platform/fs_detail.h"
#include "platform/os_file.h"

#include <cerrno>
#include <cstring>
#include <dirent.h>
#include <fcntl.h>
#include <filesystem>
#include <string>
#include <sys/file.h>
#include <sys/stat.h>
#include <unistd.h>

namespace kvr::platform {

namespace {

// The failure of the call that just set errno.
Status osError() {
    int code = errno;
    if (code == EWOULDBLOCK) {
        return Status::failure(HeldByAnotherProgram, code);
    }
    return Status::failure(std::strerror(code), code);
}

// An injected fault looks like a failing disk.
Status injectedFault() {
    errno = EIO;
    return osError();
}

int descriptor(os::File file) {
    return static_cast<int>(file);
}

// Each wrapper counts as one operation for the fault-injection seam.
int openFile(const char* path, int flags, mode_t mode = 0) {
    if (operationFails()) {
        errno = EIO;
        return -1;
    }
    int fd;
    do {
        fd = ::open(path, flags | O_CLOEXEC | O_NOCTTY, mode);
    } while (fd < 0 && errno == EINTR);
    return fd;
}

// `how` is LOCK_SH or LOCK_EX; never waits for another holder.
Status lockFile(int fd, int how) {
    if (operationFails()) {
        return injectedFault();
    }
    int rc;
    do {
        rc = ::flock(fd, how | LOCK_NB);
    } while (rc != 0 && errno == EINTR);
    return rc == 0 ? Status() : osError();
}

// stat, lstat (`followLinks` false) and fstat (`path` null) as one counted operation.
Status statFile(const char* path, int fd, bool followLinks, struct stat& info) {
    if (operationFails()) {
        return injectedFault();
    }
    int rc;
    if (path == nullptr) {
        rc = ::fstat(fd, &info);
    } else {
        rc = followLinks ? ::stat(path, &info) : ::lstat(path, &info);
    }
    return rc == 0 ? Status() : osError();
}

// One read, write, pread or pwrite, `call()`, retried when a signal interrupts it.
template <typename Call> Status transferOnce(size_t& moved, Call call) {
    moved = 0;
    if (operationFails()) {
        return injectedFault();
    }
    ssize_t n;
    do {
        n = call();
    } while (n < 0 && errno == EINTR);
    if (n < 0) {
        return osError();
    }
    moved = static_cast<size_t>(n);
    return Status();
}

bool isFolderEntry(const char* folder, const dirent* entry) {
    if (entry->d_type == DT_DIR) {
        return true;
    }
    if (entry->d_type != DT_LNK && entry->d_type != DT_UNKNOWN) {
        return false;
    }
    // A link or an entry of unknown type: ask for what it points to. A dangling link or a
    // loop is not a folder; its import fails.
    std::string path = std::string(folder) + "/" + entry->d_name;
    struct stat info;
    return statFile(path.c_str(), -1, true, info).ok() && S_ISDIR(info.st_mode);
}

std::string folderOf(const std::string& path) {
    size_t slash = path.rfind('/');
    if (slash == std::string::npos) {
        return ".";
    }
    return slash == 0 ? "/" : path.substr(0, slash);
}

} // namespace

Status listFolder(const char* folder, const char* extension, std::vector<FolderEntry>& entries) {
    entries.clear();
    if (operationFails()) {
        return injectedFault();
    }
    DIR* dir = ::opendir(folder);
    if (dir == nullptr) {
        return osError();
    }
    Status status;
    for (;;) {
        // Reading the folder counts as a read. A read error fails the whole listing: a run
        // over part of the folder would drop participants without a word.
        if (operationFails()) {
            status = injectedFault();
            break;
        }
        errno = 0;
        const dirent* entry = ::readdir(dir);
        if (entry == nullptr) {
            if (errno != 0) {
                status = osError();
            }
            break;
        }
        std::string name = entry->d_name;
        if (name == "." || name == ".." || !nameHasExtension(name, extension)) {
            continue;
        }
        bool folderFlag = isFolderEntry(folder, entry);
        entries.push_back(FolderEntry{std::move(name), folderFlag});
    }
    ::closedir(dir);
    if (!status) {
        entries.clear();
        return status;
    }
    sortFolderEntries(entries);
    return status;
}

Status checkFolder(const char* folder) {
    // What entering the folder would meet: a missing path, a file, a folder not to be entered.
    struct stat info;
    if (::stat(folder, &info) != 0) {
        return osError();
    }
    if (!S_ISDIR(info.st_mode)) {
        errno = ENOTDIR;
        return osError();
    }
    return ::access(folder, X_OK) == 0 ? Status() : osError();
}

FileIdentity identifyFile(const std::string& path) {
    FileIdentity identity;
    std::error_code error;
    const std::filesystem::path absolute = std::filesystem::absolute(path, error);
    std::filesystem::path resolved = std::filesystem::weakly_canonical(absolute, error);
    if (error) {
        resolved = absolute.lexically_normal(); // a part that cannot be looked into
    }
    identity.resolved = resolved.empty() ? path : resolved.string();
    struct stat info;
    if (::stat(path.c_str(), &info) == 0) {
        identity.exists = true;
        identity.device = static_cast<uint64_t>(info.st_dev);
        identity.file = static_cast<uint64_t>(info.st_ino);
    }
    return identity;
}

bool sameFile(const FileIdentity& a, const FileIdentity& b) {
    if (a.exists && b.exists) {
        return a.device == b.device && a.file == b.file;
    }
    return a.resolved == b.resolved;
}

namespace os {

NativePath nativePath(const char* utf8) {
    return utf8;
}

bool isMissing(const Status& status) {
    return status.code() == ENOENT;
}

Status checkBeforeOpen(const NativePath& path) {
    // Only a regular file is opened: opening a device can act on it (a tape rewinds). The
    // check after the open (sizeOf) catches a file swapped in between.
    struct stat info;
    Status status = statFile(path.c_str(), -1, true, info);
    if (status && !S_ISREG(info.st_mode)) {
        return Status::failure(NotARegularFile);
    }
    return status;
}

Status checkInPlaceTarget(const NativePath& path) {
    // No link on the way: neither the file nor, for a path relative to the working folder,
    // a folder on it. The write stays inside the folder the path names.
    struct stat info;
    if (path[0] != '/') {
        for (size_t slash = path.find('/'); slash != std::string::npos;
             slash = path.find('/', slash + 1)) {
            Status status = statFile(path.substr(0, slash).c_str(), -1, false, info);
            if (!status) {
                return status;
            }
            if (!S_ISDIR(info.st_mode)) {
                return Status::failure(S_ISLNK(info.st_mode)
                                           ? "a folder on the path is a link"
                                           : "a part of the path is not a folder");
            }
        }
    }
    Status status = statFile(path.c_str(), -1, false, info);
    if (!status) {
        return status;
    }
    if (S_ISLNK(info.st_mode)) {
        return Status::failure("a link, not the file itself");
    }
    return S_ISREG(info.st_mode) ? status : Status::failure(NotARegularFile);
}

Status open(const NativePath& path, Access access, File& file) {
    // O_NONBLOCK keeps an open from waiting on a FIFO swapped in after the check.
    int flags = O_RDONLY | O_NONBLOCK;
    if (access == Access::UpdateInPlace) {
        flags = O_RDWR | O_NONBLOCK | O_NOFOLLOW;
    } else if (access == Access::AppendOrCreate) {
        flags = O_RDWR | O_APPEND | O_CREAT | O_NONBLOCK;
    }
    int fd = openFile(path.c_str(), flags, 0666);
    file = fd;
    return fd >= 0 ? Status() : osError();
}

Status sizeOf(File file, uint64_t& size) {
    struct stat info;
    Status status = statFile(nullptr, descriptor(file), false, info);
    if (status && !S_ISREG(info.st_mode)) {
        return Status::failure(NotARegularFile);
    }
    size = status ? static_cast<uint64_t>(info.st_size) : 0;
    return status;
}

Status lock(File file, bool exclusive) {
    return lockFile(descriptor(file), exclusive ? LOCK_EX : LOCK_SH);
}

Status read(File file, uint8_t* buffer, size_t size, size_t& moved) {
    return transferOnce(moved, [&] { return ::read(descriptor(file), buffer, size); });
}

Status readAt(File file, uint64_t offset, uint8_t* buffer, size_t size, size_t& moved) {
    return transferOnce(
        moved, [&] { return ::pread(descriptor(file), buffer, size, static_cast<off_t>(offset)); });
}

Status writeAt(File file, uint64_t offset, const uint8_t* data, size_t size, size_t& moved) {
    return transferOnce(
        moved, [&] { return ::pwrite(descriptor(file), data, size, static_cast<off_t>(offset)); });
}

Status append(File file, uint64_t, const uint8_t* data, size_t size, size_t& moved) {
    // O_APPEND puts each write at the end, wherever that is.
    return transferOnce(moved, [&] { return ::write(descriptor(file), data, size); });
}

Status flush(File file) {
    if (operationFails()) {
        return injectedFault();
    }
    int rc;
    do {
        rc = ::fsync(descriptor(file));
    } while (rc != 0 && errno == EINTR);
    return rc == 0 ? Status() : osError();
}

Status close(File file) {
    if (operationFails()) {
        ::close(descriptor(file));
        return injectedFault();
    }
    return ::close(descriptor(file)) == 0 ? Status() : osError();
}

void closeQuietly(File file) {
    ::close(descriptor(file));
}

Status syncFolderOf(const NativePath& path) {
    int fd = openFile(folderOf(path).c_str(), O_RDONLY | O_DIRECTORY);
    if (fd < 0) {
        return osError();
    }
    Status flushed = os::flush(fd);
    Status closed = os::close(fd);
    return flushed ? closed : flushed;
}

Place placeOf(const char* target) {
    Place place;
    place.path = target;
    place.folder = folderOf(place.path);
    place.base = place.path.substr(place.path.rfind('/') + 1);
    return place;
}

NativePath pathIn(const NativePath& folder, const std::string& name) {
    return folder + "/" + name;
}

Status inspectTarget(const NativePath& target, TargetState& state) {
    struct stat existing;
    Status found = statFile(target.c_str(), -1, false, existing);
    if (!found) {
        return isMissing(found) ? Status() : found;
    }
    // A replaced file keeps its permission bits; a link or anything else is simply replaced.
    state.exists = true;
    state.keep = S_ISREG(existing.st_mode);
    state.bits = static_cast<uint32_t>(existing.st_mode & 07777);
    return found;
}

Status keepBits(File file, const TargetState& state) {
    if (operationFails()) {
        return injectedFault();
    }
    return ::fchmod(descriptor(file), static_cast<mode_t>(state.bits)) == 0 ? Status() : osError();
}

Status createTemporary(const NativePath& path, File& file, bool& nameTaken) {
    file = NoFile;
    nameTaken = false;
    int fd = openFile(path.c_str(), O_WRONLY | O_CREAT | O_EXCL | O_NOFOLLOW, 0666);
    if (fd < 0) {
        nameTaken = errno == EEXIST;
        return osError();
    }
    // Locked for as long as it is open. A name that a cleaner removed between the create and
    // the lock (no link left) is given up, and so is one locked by someone else meanwhile.
    Status locked = lockFile(fd, LOCK_EX);
    struct stat info;
    Status status = locked ? statFile(nullptr, fd, false, info) : locked;
    if (status && info.st_nlink > 0) {
        file = fd;
        return status;
    }
    ::close(fd);
    nameTaken = status.ok() || locked.reason() == HeldByAnotherProgram;
    if (!nameTaken) {
        ::unlink(path.c_str());
    }
    return status ? Status::failure("removed before it was held") : status;
}

std::vector<NativePath> temporariesOf(const NativePath& folder, const std::string& base) {
    std::vector<NativePath> paths;
    DIR* dir = ::opendir(folder.c_str());
    if (dir == nullptr) {
        return paths;
    }
    while (const dirent* entry = ::readdir(dir)) {
        if (isTemporaryName(entry->d_name, base)) {
            paths.push_back(folder + "/" + entry->d_name);
        }
    }
    ::closedir(dir);
    return paths;
}

void removeIfAbandoned(const NativePath& path) {
    // Its writer holds an exclusive lock on it until the file has been renamed into place, so
    // a lock that can be taken means nobody works on it any more. The name is checked to
    // still be that locked file before it is removed.
    int fd = ::open(path.c_str(), O_RDONLY | O_NONBLOCK | O_NOFOLLOW | O_CLOEXEC | O_NOCTTY);
    if (fd < 0) {
        return;
    }
    struct stat held, named;
    if (::flock(fd, LOCK_EX | LOCK_NB) == 0 && ::fstat(fd, &held) == 0 &&
        ::lstat(path.c_str(), &named) == 0 && S_ISREG(named.st_mode) &&
        held.st_dev == named.st_dev && held.st_ino == named.st_ino) {
        ::unlink(path.c_str());
    }
    ::close(fd);
}

Status moveIntoPlace(const NativePath& temporary, const NativePath& target, const TargetState&) {
    if (operationFails()) {
        return injectedFault();
    }
    return ::rename(temporary.c_str(), target.c_str()) == 0 ? Status() : osError();
}

void discardTemporary(File file, const NativePath& path) {
    // Removed while still locked, so that no cleaner takes it for another run's.
    if (!path.empty()) {
        ::unlink(path.c_str());
    }
    if (file != NoFile) {
        ::close(descriptor(file));
    }
}

} // namespace os

} // namespace kvr::platform
