// The POSIX Env (env.h) and the per-OS parts of the file-system layer (os_file.h), the working
// folder and file identities.
#include "platform/env.h"
#include "platform/fs.h"
#include "platform/fs_detail.h"
#include "platform/os_file.h"
#include "platform/watch_os.h"

#include <cerrno>
#include <cstring>
#include <dirent.h>
#include <fcntl.h>
#include <filesystem>
#include <signal.h>
#include <string>
#include <sys/file.h>
#include <sys/stat.h>
#include <unistd.h>

namespace kvr::platform {

struct ListingState {
    DIR* dir;
};

namespace {

// The failure of the call that just set errno.
Status osError() {
    return systemError(errno);
}

int descriptor(File file) {
    return static_cast<int>(file);
}

PathKind kindOf(mode_t mode) {
    if (S_ISREG(mode)) {
        return PathKind::Regular;
    }
    if (S_ISDIR(mode)) {
        return PathKind::Folder;
    }
    return S_ISLNK(mode) ? PathKind::Link : PathKind::Other;
}

// One read, write, pread or pwrite, `call()`, retried when a signal interrupts it.
template <typename Call> Status transferOnce(size_t& moved, Call call) {
    moved = 0;
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

std::string folderOf(const std::string& path) {
    size_t slash = path.rfind('/');
    if (slash == std::string::npos) {
        return ".";
    }
    return slash == 0 ? "/" : path.substr(0, slash);
}

class PosixEnv final : public os::SystemEnv {
  public:
    Status stat(const NativePath& path, bool followLinks, PathInfo& info) override {
        struct stat found;
        int rc = followLinks ? ::stat(path.c_str(), &found) : ::lstat(path.c_str(), &found);
        if (rc != 0) {
            return osError();
        }
        info.kind = kindOf(found.st_mode);
        info.bits = static_cast<uint32_t>(found.st_mode & 07777);
        return Status();
    }

    Status open(const NativePath& path, Access access, File& file) override {
        // O_NONBLOCK keeps an open from waiting on a FIFO swapped in after the check.
        int flags = O_RDONLY | O_NONBLOCK;
        switch (access) {
        case Access::ReadShared:
            break;
        case Access::UpdateInPlace:
            flags = O_RDWR | O_NONBLOCK | O_NOFOLLOW;
            break;
        case Access::AppendOrCreate:
            flags = O_RDWR | O_APPEND | O_CREAT | O_NONBLOCK;
            break;
        case Access::CreateNew:
            flags = O_WRONLY | O_CREAT | O_EXCL | O_NOFOLLOW;
            break;
        case Access::Folder:
            flags = O_RDONLY | O_DIRECTORY;
            break;
        }
        int fd;
        do {
            fd = ::open(path.c_str(), flags | O_CLOEXEC | O_NOCTTY, 0666);
        } while (fd < 0 && errno == EINTR);
        file = fd >= 0 ? fd : NoFile;
        return fd >= 0 ? Status() : osError();
    }

    Status statOpen(File file, OpenInfo& info) override {
        struct stat found;
        if (::fstat(descriptor(file), &found) != 0) {
            return osError();
        }
        info.regular = S_ISREG(found.st_mode);
        info.size = static_cast<uint64_t>(found.st_size);
        info.linked = found.st_nlink > 0;
        return Status();
    }

    Status lock(File file, bool exclusive) override {
        // Never waits for another holder.
        int rc;
        do {
            rc = ::flock(descriptor(file), (exclusive ? LOCK_EX : LOCK_SH) | LOCK_NB);
        } while (rc != 0 && errno == EINTR);
        return rc == 0 ? Status() : osError();
    }

    Status read(File file, uint8_t* buffer, size_t size, size_t& moved) override {
        return transferOnce(moved, [&] { return ::read(descriptor(file), buffer, size); });
    }

    Status readAt(File file, uint64_t offset, uint8_t* buffer, size_t size,
                  size_t& moved) override {
        return transferOnce(moved, [&] {
            return ::pread(descriptor(file), buffer, size, static_cast<off_t>(offset));
        });
    }

    Status writeAt(File file, uint64_t offset, const uint8_t* data, size_t size,
                   size_t& moved) override {
        return transferOnce(moved, [&] {
            return ::pwrite(descriptor(file), data, size, static_cast<off_t>(offset));
        });
    }

    Status append(File file, uint64_t, const uint8_t* data, size_t size, size_t& moved) override {
        // O_APPEND puts each write at the end, wherever that is.
        return transferOnce(moved, [&] { return ::write(descriptor(file), data, size); });
    }

    Status flush(File file) override {
        int rc;
        do {
            rc = ::fsync(descriptor(file));
        } while (rc != 0 && errno == EINTR);
        return rc == 0 ? Status() : osError();
    }

    Status close(File file) override {
        return ::close(descriptor(file)) == 0 ? Status() : osError();
    }

    void closeQuietly(File file) override { ::close(descriptor(file)); }

    Status changeMode(File file, const TargetState& state) override {
        return ::fchmod(descriptor(file), static_cast<mode_t>(state.bits)) == 0 ? Status()
                                                                                : osError();
    }

    Status rename(const NativePath& temporary, const NativePath& target,
                  const TargetState&) override {
        return ::rename(temporary.c_str(), target.c_str()) == 0 ? Status() : osError();
    }

    Status openListing(const NativePath& folder, const char*, Listing& listing) override {
        DIR* dir = ::opendir(folder.c_str());
        if (dir == nullptr) {
            listing = nullptr;
            return osError();
        }
        listing = new ListingState{dir};
        return Status();
    }

    Status readListing(Listing listing, std::string& name, bool& isFolder, bool& known,
                       bool& end) override {
        errno = 0;
        const dirent* entry = ::readdir(listing->dir);
        end = entry == nullptr;
        if (end) {
            return errno != 0 ? osError() : Status();
        }
        name = entry->d_name;
        isFolder = entry->d_type == DT_DIR;
        known = entry->d_type != DT_LNK && entry->d_type != DT_UNKNOWN;
        return Status();
    }

    void closeListing(Listing listing) override {
        if (listing != nullptr) {
            ::closedir(listing->dir);
            delete listing;
        }
    }

    long processId() override { return static_cast<long>(::getpid()); }
    bool processRuns(long pid) override {
        // A process of another user answers EPERM: it runs all the same.
        return pid > 0 && (::kill(static_cast<pid_t>(pid), 0) == 0 || errno == EPERM);
    }
    Status removeFile(const NativePath& path) override {
        return ::unlink(path.c_str()) == 0 ? Status() : systemError(errno);
    }
};

} // namespace

Env& Env::system() {
    static PosixEnv env;
    return env;
}

namespace {

StatusKind kindOfError(long code) {
    switch (code) {
    case ENOENT:
    case ENOTDIR:
        return StatusKind::NotFound;
    case ENOSPC:
    case EDQUOT:
        return StatusKind::NoSpace;
    case EIO:
        return StatusKind::IoError;
    case EACCES:
    case EPERM:
    case EROFS:
        return StatusKind::Denied;
    case EEXIST:
        return StatusKind::AlreadyExists;
    case EISDIR:
        return StatusKind::NotRegular;
    default:
        return StatusKind::Other;
    }
}

} // namespace

Status systemError(long code) {
    // A lock that would wait: the only step that can meet another holder.
    if (code == EWOULDBLOCK || code == EAGAIN) {
        return Status::failure(StatusKind::Held, HeldByAnotherProgram, code);
    }
    return Status::failure(kindOfError(code), std::strerror(static_cast<int>(code)), code);
}

long deviceErrorCode() {
    return EIO;
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

namespace {

struct HeldOpen {
    explicit HeldOpen(int opened) : fd(opened) {}
    ~HeldOpen() { ::close(fd); }
    HeldOpen(const HeldOpen&) = delete;
    HeldOpen& operator=(const HeldOpen&) = delete;
    int fd;
};

} // namespace

FileIdentity identifyFile(const std::string& path) {
    FileIdentity identity;
    std::error_code error;
    const std::filesystem::path absolute = std::filesystem::absolute(path, error);
    std::filesystem::path resolved = std::filesystem::weakly_canonical(absolute, error);
    if (error) {
        resolved = absolute.lexically_normal(); // a part that cannot be looked into
    }
    identity.resolved = resolved.empty() ? path : resolved.string();
    // O_PATH opens without reading: a folder, a pipe or a file without read permission alike.
    const int fd = ::open(path.c_str(), O_PATH | O_CLOEXEC);
    if (fd < 0) {
        return identity;
    }
    identity.held = std::make_shared<const HeldOpen>(fd);
    struct stat info;
    if (::fstat(fd, &info) == 0) {
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
    return status.kind() == StatusKind::NotFound;
}

bool isNameTaken(const Status& status) {
    return status.kind() == StatusKind::AlreadyExists;
}

Status checkBeforeOpen(Env& env, const NativePath& path) {
    // Only a regular file is opened: opening a device can act on it (a tape rewinds). The
    // check after the open (its size) catches a file swapped in between.
    PathInfo info;
    Status status = env.stat(path, true, info);
    if (status && info.kind != PathKind::Regular) {
        return Status::failure(StatusKind::NotRegular, NotARegularFile);
    }
    return status;
}

Status checkInPlaceTarget(Env& env, const NativePath& path, size_t checkedFrom) {
    // No link on the way: neither the file nor a folder on it from `checkedFrom` on. The write
    // stays inside the folder that the path's first part names.
    PathInfo info;
    if (checkedFrom < path.size()) {
        for (size_t slash = path.find('/', checkedFrom + (checkedFrom > 0 ? 1 : 0));
             slash != std::string::npos; slash = path.find('/', slash + 1)) {
            Status status = env.stat(path.substr(0, slash), false, info);
            if (!status) {
                return status;
            }
            if (info.kind != PathKind::Folder) {
                return Status::failure(StatusKind::BadInput,
                                       info.kind == PathKind::Link
                                           ? "a folder on the path is a link"
                                           : "a part of the path is not a folder");
            }
        }
    }
    Status status = env.stat(path, false, info);
    if (!status) {
        return status;
    }
    if (info.kind == PathKind::Link) {
        return Status::failure(StatusKind::NotRegular, "a link, not the file itself");
    }
    return info.kind == PathKind::Regular
               ? status
               : Status::failure(StatusKind::NotRegular, NotARegularFile);
}

Status syncFolderOf(Env& env, const NativePath& path) {
    File folder = NoFile;
    Status status = env.open(folderOf(path), Access::Folder, folder);
    if (!status) {
        return status;
    }
    Status flushed = env.flush(folder);
    Status closed = env.close(folder);
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

Status inspectTarget(Env& env, const NativePath& target, TargetState& state) {
    PathInfo info;
    Status found = env.stat(target, false, info);
    if (!found) {
        return isMissing(found) ? Status() : found;
    }
    // A replaced file keeps its permission bits; a link or anything else is simply replaced.
    state.exists = true;
    state.keep = info.kind == PathKind::Regular;
    state.bits = info.bits;
    return found;
}

Status createTemporary(Env& env, const NativePath& path, File& file, bool& nameTaken) {
    file = NoFile;
    nameTaken = false;
    File created = NoFile;
    Status opened = env.open(path, Access::CreateNew, created);
    if (!opened) {
        nameTaken = isNameTaken(opened);
        return opened;
    }
    // Locked for as long as it is open. A name that a cleaner removed between the create and
    // the lock (no link left) is given up, and so is one locked by someone else meanwhile.
    Status locked = env.lock(created, true);
    OpenInfo info;
    Status status = locked ? env.statOpen(created, info) : locked;
    if (status && info.linked) {
        file = created;
        return status;
    }
    env.closeQuietly(created);
    nameTaken = status.ok() || locked.kind() == StatusKind::Held;
    if (!nameTaken) {
        ::unlink(path.c_str());
    }
    return status ? Status::failure(StatusKind::Other, "removed before it was held") : status;
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
