// POSIX implementation of the file-system layer.
#include "platform/fs.h"
#include "platform/fs_blocks.h"

#include <cerrno>
#include <cstring>
#include <dirent.h>
#include <fcntl.h>
#include <string>
#include <sys/file.h>
#include <sys/stat.h>
#include <unistd.h>

namespace kvr::platform {

namespace {

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

bool lockExclusive(int fd) {
    if (operationFails()) {
        return false;
    }
    int rc;
    do {
        rc = ::flock(fd, LOCK_EX | LOCK_NB);
    } while (rc != 0 && errno == EINTR);
    return rc == 0;
}

// stat, lstat (`followLinks` false) and fstat (`path` null) as one counted operation.
bool statFile(const char* path, int fd, bool followLinks, struct stat& info) {
    if (operationFails()) {
        errno = EIO;
        return false;
    }
    if (path == nullptr) {
        return ::fstat(fd, &info) == 0;
    }
    return (followLinks ? ::stat(path, &info) : ::lstat(path, &info)) == 0;
}

bool closeFile(int fd) {
    if (operationFails()) {
        ::close(fd);
        return false;
    }
    return ::close(fd) == 0;
}

bool flushFile(int fd) {
    if (operationFails()) {
        return false;
    }
    int rc;
    do {
        rc = ::fsync(fd);
    } while (rc != 0 && errno == EINTR);
    return rc == 0;
}

// Reads until `capacity` bytes or the end of the file.
bool readFully(int fd, uint8_t* buffer, size_t capacity, size_t& delivered) {
    delivered = 0;
    while (delivered < capacity) {
        if (operationFails()) {
            return false;
        }
        ssize_t n = ::read(fd, buffer + delivered, capacity - delivered);
        if (n < 0) {
            if (errno == EINTR) {
                continue;
            }
            return false;
        }
        if (n == 0) {
            break;
        }
        delivered += static_cast<size_t>(n);
    }
    return true;
}

// Moves exactly `size` bytes at `offset` with `transfer(done, position)`, a pread or pwrite of
// the rest; reaching the end of the file first is a failure.
template <typename Transfer> bool transferFullyAt(uint64_t offset, size_t size, Transfer transfer) {
    size_t done = 0;
    while (done < size) {
        if (operationFails()) {
            return false;
        }
        ssize_t n = transfer(done, static_cast<off_t>(offset + done));
        if (n < 0) {
            if (errno == EINTR) {
                continue;
            }
            return false;
        }
        if (n == 0) {
            return false;
        }
        done += static_cast<size_t>(n);
    }
    return true;
}

bool readFullyAt(int fd, uint64_t offset, uint8_t* buffer, size_t size) {
    return transferFullyAt(offset, size, [&](size_t done, off_t position) {
        return ::pread(fd, buffer + done, size - done, position);
    });
}

bool writeFullyAt(int fd, uint64_t offset, const uint8_t* data, size_t size) {
    return transferFullyAt(offset, size, [&](size_t done, off_t position) {
        return ::pwrite(fd, data + done, size - done, position);
    });
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
    return statFile(path.c_str(), -1, true, info) && S_ISDIR(info.st_mode);
}

} // namespace

bool listFolder(const char* folder, const char* extension, std::vector<FolderEntry>& entries) {
    entries.clear();
    if (operationFails()) {
        return false;
    }
    DIR* dir = ::opendir(folder);
    if (dir == nullptr) {
        return false;
    }
    bool complete = true;
    for (;;) {
        // Reading the folder counts as a read. A read error fails the whole listing: a run
        // over part of the folder would drop participants without a word.
        if (operationFails()) {
            complete = false;
            break;
        }
        errno = 0;
        const dirent* entry = ::readdir(dir);
        if (entry == nullptr) {
            complete = errno == 0;
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
    if (!complete) {
        entries.clear();
        return false;
    }
    sortFolderEntries(entries);
    return true;
}

bool readExclusive(const char* path, uint8_t* buffer, size_t capacity, size_t& delivered) {
    delivered = 0;
    // Only a regular file is opened: opening a device can act on it (a tape rewinds). The
    // check after the open catches a file swapped in between; O_NONBLOCK keeps that open
    // from waiting on a FIFO.
    struct stat info;
    if (!statFile(path, -1, true, info) || !S_ISREG(info.st_mode)) {
        return false;
    }
    int fd = openFile(path, O_RDONLY | O_NONBLOCK);
    if (fd < 0) {
        return false;
    }
    bool ok = statFile(nullptr, fd, false, info) && S_ISREG(info.st_mode) && lockExclusive(fd) &&
              readFully(fd, buffer, capacity, delivered);
    bool closed = closeFile(fd);
    return ok && closed;
}

bool writeBlocksInPlace(const char* path, const WriteBlock* blocks, size_t count,
                        uint64_t minimumSize) {
    // No link on the way: neither the file nor, for a path relative to the working folder,
    // a folder on it. The write stays inside the folder the path names.
    struct stat info;
    if (path[0] != '/') {
        for (const char* slash = std::strchr(path, '/'); slash != nullptr;
             slash = std::strchr(slash + 1, '/')) {
            std::string folder(path, static_cast<size_t>(slash - path));
            if (!statFile(folder.c_str(), -1, false, info) || !S_ISDIR(info.st_mode)) {
                return false;
            }
        }
    }
    if (!statFile(path, -1, false, info) || !S_ISREG(info.st_mode)) {
        return false;
    }
    int fd = openFile(path, O_RDWR | O_NONBLOCK | O_NOFOLLOW);
    if (fd < 0) {
        return false;
    }
    bool ok = statFile(nullptr, fd, false, info) && S_ISREG(info.st_mode) &&
              static_cast<uint64_t>(info.st_size) >= minimumSize && lockExclusive(fd);
    ok = ok && detail::writeAllOrNone(
                   blocks, count,
                   [fd](uint64_t offset, uint8_t* buffer, size_t size) {
                       return readFullyAt(fd, offset, buffer, size);
                   },
                   [fd](uint64_t offset, const uint8_t* data, size_t size) {
                       return writeFullyAt(fd, offset, data, size);
                   });
    ok = ok && flushFile(fd);
    bool closed = closeFile(fd);
    return ok && closed;
}

namespace {

std::string folderOf(const std::string& path) {
    size_t slash = path.rfind('/');
    if (slash == std::string::npos) {
        return ".";
    }
    return slash == 0 ? "/" : path.substr(0, slash);
}

bool changeMode(int fd, mode_t mode) {
    if (operationFails()) {
        return false;
    }
    return ::fchmod(fd, mode) == 0;
}

bool renameFile(const char* from, const char* to) {
    if (operationFails()) {
        return false;
    }
    return ::rename(from, to) == 0;
}

// Makes a rename in `folder` durable.
bool flushFolder(const std::string& folder) {
    int fd = openFile(folder.c_str(), O_RDONLY | O_DIRECTORY);
    if (fd < 0) {
        return false;
    }
    bool flushed = flushFile(fd);
    bool closed = closeFile(fd);
    return flushed && closed;
}

} // namespace

bool replaceFile(const char* target, const char* data, size_t size) {
    std::string targetPath = target;
    // The target itself, not what a link there points to: a link is replaced by the new
    // file, and whatever it pointed to is never written.
    struct stat existing;
    bool found = statFile(target, -1, false, existing);
    if (!found && errno != ENOENT) {
        return false;
    }
    bool keepMode = found && S_ISREG(existing.st_mode);

    // A fresh name beside the target, so the rename stays inside one file system.
    std::string temporary;
    int fd = -1;
    for (int attempt = 0; attempt < 100 && fd < 0; ++attempt) {
        temporary =
            targetPath + "." + std::to_string(::getpid()) + "-" + std::to_string(attempt) + ".tmp";
        fd = openFile(temporary.c_str(), O_WRONLY | O_CREAT | O_EXCL | O_NOFOLLOW, 0666);
        if (fd < 0 && errno != EEXIST) {
            return false;
        }
    }
    if (fd < 0) {
        return false;
    }
    bool ok = !keepMode || changeMode(fd, existing.st_mode & 07777);
    ok = ok && writeFullyAt(fd, 0, reinterpret_cast<const uint8_t*>(data), size);
    ok = ok && flushFile(fd);
    bool closed = closeFile(fd);
    ok = ok && closed && renameFile(temporary.c_str(), target);
    if (!ok) {
        ::unlink(temporary.c_str());
        return false;
    }
    return flushFolder(folderOf(targetPath));
}

} // namespace kvr::platform
