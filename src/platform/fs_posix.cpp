// POSIX implementation of the file-system layer.
#include "platform/fs.h"
#include "platform/fs_detail.h"

#include <cerrno>
#include <csignal>
#include <cstring>
#include <dirent.h>
#include <fcntl.h>
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

Status closeFile(int fd) {
    if (operationFails()) {
        ::close(fd);
        return injectedFault();
    }
    return ::close(fd) == 0 ? Status() : osError();
}

Status flushFile(int fd) {
    if (operationFails()) {
        return injectedFault();
    }
    int rc;
    do {
        rc = ::fsync(fd);
    } while (rc != 0 && errno == EINTR);
    return rc == 0 ? Status() : osError();
}

// The first failure of a sequence of steps, in the order they ran.
Status firstFailure(const Status& first, const Status& second) {
    return first.ok() ? second : first;
}

// Reads until `capacity` bytes or the end of the file.
Status readFully(int fd, uint8_t* buffer, size_t capacity, size_t& delivered) {
    delivered = 0;
    while (delivered < capacity) {
        if (operationFails()) {
            return injectedFault();
        }
        ssize_t n = ::read(fd, buffer + delivered, capacity - delivered);
        if (n < 0) {
            if (errno == EINTR) {
                continue;
            }
            return osError();
        }
        if (n == 0) {
            break;
        }
        delivered += static_cast<size_t>(n);
    }
    return Status();
}

// Moves exactly `size` bytes at `offset` with `transfer(done, position)`, a pread or pwrite of
// the rest; reaching the end of the file first is a failure.
template <typename Transfer>
Status transferFullyAt(uint64_t offset, size_t size, Transfer transfer) {
    size_t done = 0;
    while (done < size) {
        if (operationFails()) {
            return injectedFault();
        }
        ssize_t n = transfer(done, static_cast<off_t>(offset + done));
        if (n < 0) {
            if (errno == EINTR) {
                continue;
            }
            return osError();
        }
        if (n == 0) {
            return Status::failure("unexpected end of file");
        }
        done += static_cast<size_t>(n);
    }
    return Status();
}

Status readFullyAt(int fd, uint64_t offset, uint8_t* buffer, size_t size) {
    return transferFullyAt(offset, size, [&](size_t done, off_t position) {
        return ::pread(fd, buffer + done, size - done, position);
    });
}

Status writeFullyAt(int fd, uint64_t offset, const uint8_t* data, size_t size) {
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
    return statFile(path.c_str(), -1, true, info).ok() && S_ISDIR(info.st_mode);
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

Status readShared(const char* path, uint8_t* buffer, size_t capacity, size_t& delivered) {
    delivered = 0;
    // Only a regular file is opened: opening a device can act on it (a tape rewinds). The
    // check after the open catches a file swapped in between; O_NONBLOCK keeps that open
    // from waiting on a FIFO.
    struct stat info;
    Status status = statFile(path, -1, true, info);
    if (!status) {
        return status;
    }
    if (!S_ISREG(info.st_mode)) {
        return Status::failure(NotARegularFile);
    }
    int fd = openFile(path, O_RDONLY | O_NONBLOCK);
    if (fd < 0) {
        return osError();
    }
    status = statFile(nullptr, fd, false, info);
    if (status && !S_ISREG(info.st_mode)) {
        status = Status::failure(NotARegularFile);
    }
    status = status ? lockFile(fd, LOCK_SH) : status;
    status = status ? readFully(fd, buffer, capacity, delivered) : status;
    return firstFailure(status, closeFile(fd));
}

Status writeBlocksInPlace(const char* path, const WriteBlock* blocks, size_t count,
                          uint64_t minimumSize) {
    // No link on the way: neither the file nor, for a path relative to the working folder,
    // a folder on it. The write stays inside the folder the path names.
    struct stat info;
    if (path[0] != '/') {
        for (const char* slash = std::strchr(path, '/'); slash != nullptr;
             slash = std::strchr(slash + 1, '/')) {
            std::string folder(path, static_cast<size_t>(slash - path));
            Status status = statFile(folder.c_str(), -1, false, info);
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
    Status status = statFile(path, -1, false, info);
    if (!status) {
        return status;
    }
    if (S_ISLNK(info.st_mode)) {
        return Status::failure("a link, not the file itself");
    }
    if (!S_ISREG(info.st_mode)) {
        return Status::failure(NotARegularFile);
    }
    int fd = openFile(path, O_RDWR | O_NONBLOCK | O_NOFOLLOW);
    if (fd < 0) {
        return osError();
    }
    status = statFile(nullptr, fd, false, info);
    if (status && !S_ISREG(info.st_mode)) {
        status = Status::failure(NotARegularFile);
    }
    if (status && static_cast<uint64_t>(info.st_size) < minimumSize) {
        status = Status::failure(tooShort(static_cast<uint64_t>(info.st_size), minimumSize));
    }
    status = status ? lockFile(fd, LOCK_EX) : status;
    if (status) {
        status = detail::writeAllOrNone(
            blocks, count,
            [fd](uint64_t offset, uint8_t* buffer, size_t size) {
                return readFullyAt(fd, offset, buffer, size);
            },
            [fd](uint64_t offset, const uint8_t* data, size_t size) {
                return writeFullyAt(fd, offset, data, size);
            });
    }
    status = status ? flushFile(fd) : status;
    return firstFailure(status, closeFile(fd));
}

namespace {

std::string folderOf(const std::string& path) {
    size_t slash = path.rfind('/');
    if (slash == std::string::npos) {
        return ".";
    }
    return slash == 0 ? "/" : path.substr(0, slash);
}

Status changeMode(int fd, mode_t mode) {
    if (operationFails()) {
        return injectedFault();
    }
    return ::fchmod(fd, mode) == 0 ? Status() : osError();
}

Status renameFile(const char* from, const char* to) {
    if (operationFails()) {
        return injectedFault();
    }
    return ::rename(from, to) == 0 ? Status() : osError();
}

// Makes a rename in `folder` durable.
Status flushFolder(const std::string& folder) {
    int fd = openFile(folder.c_str(), O_RDONLY | O_DIRECTORY);
    if (fd < 0) {
        return osError();
    }
    Status flushed = flushFile(fd);
    return firstFailure(flushed, closeFile(fd));
}

// Removes the temporary file at `path` if the process that made it is gone: its writer holds
// an exclusive lock on it until the file has been renamed into place, so a lock that can be
// taken means nobody works on it any more. The name is checked to still be that locked file
// before it is removed. Not counted by the fault seam: whatever happens here, the new file is
// written as before.
void removeIfStale(const std::string& path) {
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

void removeStaleTemporaries(const std::string& folder, const std::string& base) {
    DIR* dir = ::opendir(folder.c_str());
    if (dir == nullptr) {
        return;
    }
    std::vector<std::string> stale;
    while (const dirent* entry = ::readdir(dir)) {
        if (isTemporaryName(entry->d_name, base)) {
            stale.push_back(folder + "/" + entry->d_name);
        }
    }
    ::closedir(dir);
    for (const std::string& path : stale) {
        removeIfStale(path);
    }
}

// Creates a fresh temporary file for `target` and locks it for as long as it is open. A name
// that a cleaner removed between the create and the lock is given up for a new one.
Status createTemporary(const std::string& folder, const std::string& base, std::string& path,
                       int& fd) {
    for (int attempt = 0; attempt < 100; ++attempt) {
        path = folder + "/" + temporaryName(base, uniqueNumber());
        fd = openFile(path.c_str(), O_WRONLY | O_CREAT | O_EXCL | O_NOFOLLOW, 0666);
        if (fd < 0) {
            if (errno == EEXIST) {
                continue;
            }
            return osError();
        }
        Status locked = lockFile(fd, LOCK_EX);
        struct stat info;
        Status status = locked ? statFile(nullptr, fd, false, info) : locked;
        if (status && info.st_nlink > 0) {
            return status;
        }
        ::close(fd);
        fd = -1;
        if (!status && locked) {
            ::unlink(path.c_str());
            return status;
        }
        if (!locked && locked.reason() != HeldByAnotherProgram) {
            ::unlink(path.c_str());
            return locked;
        }
    }
    return Status::failure("no free temporary file name");
}

} // namespace

struct FileReplacement::State {
    std::string target;
    std::string folder;
    std::string temporary;
    int fd = -1;          // the locked temporary file while it is written
    uint64_t written = 0; // bytes written so far
    Status failure;       // the first failed step
    bool committed = false;
};

FileReplacement::FileReplacement() = default;

FileReplacement::~FileReplacement() {
    if (state_ && state_->fd >= 0) {
        ::unlink(state_->temporary.c_str());
        ::close(state_->fd);
    }
}

namespace {

// Ends a replacement after a failed step: the temporary file goes, the target stays.
Status abandon(FileReplacement::State& state, Status status) {
    if (state.fd >= 0) {
        ::unlink(state.temporary.c_str());
        ::close(state.fd);
        state.fd = -1;
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
    std::string targetPath = target;
    state_->target = targetPath;
    state_->folder = folderOf(targetPath);
    const std::string base = targetPath.substr(targetPath.rfind('/') + 1);
    // The target itself, not what a link there points to: a link is replaced by the new
    // file, and whatever it pointed to is never written.
    struct stat existing;
    Status found = statFile(target, -1, false, existing);
    if (!found && found.code() != ENOENT) {
        return abandon(*state_, found);
    }
    bool keepMode = found && S_ISREG(existing.st_mode);

    removeStaleTemporaries(state_->folder, base);

    // A fresh name beside the target, so the rename stays inside one file system. The file
    // stays locked until it has been renamed into place.
    Status status = createTemporary(state_->folder, base, state_->temporary, state_->fd);
    if (!status) {
        state_->fd = -1;
        return abandon(*state_, status);
    }
    status = keepMode ? changeMode(state_->fd, existing.st_mode & 07777) : status;
    return status ? status : abandon(*state_, status);
}

Status FileReplacement::write(const char* data, size_t size) {
    Status status = notUnderway(state_);
    if (!status) {
        return status;
    }
    status =
        writeFullyAt(state_->fd, state_->written, reinterpret_cast<const uint8_t*>(data), size);
    state_->written += size;
    return status ? status : abandon(*state_, status);
}

Status FileReplacement::commit() {
    Status status = notUnderway(state_);
    if (!status) {
        return status;
    }
    status = flushFile(state_->fd);
    status = status ? renameFile(state_->temporary.c_str(), state_->target.c_str()) : status;
    if (!status) {
        return abandon(*state_, status);
    }
    state_->committed = true;
    status = closeFile(state_->fd);
    state_->fd = -1;
    return firstFailure(status, flushFolder(state_->folder));
}

Status replaceFile(const char* target, const char* data, size_t size) {
    FileReplacement replacement;
    Status status = replacement.begin(target);
    status = status ? replacement.write(data, size) : status;
    return status ? replacement.commit() : status;
}

namespace {

// Writes all of `size` bytes at the end of an O_APPEND file: one write, unless the system
// takes only part of it.
Status appendFully(int fd, const char* data, size_t size) {
    size_t done = 0;
    while (done < size) {
        if (operationFails()) {
            return injectedFault();
        }
        ssize_t n = ::write(fd, data + done, size - done);
        if (n < 0) {
            if (errno == EINTR) {
                continue;
            }
            return osError();
        }
        if (n == 0) {
            return Status::failure("nothing written");
        }
        done += static_cast<size_t>(n);
    }
    return Status();
}

} // namespace

struct AppendOnlyFile::State {
    std::string path;
    int fd = -1;
    bool empty = false; // nothing in it when read: perhaps created by this run
};

AppendOnlyFile::AppendOnlyFile() = default;

AppendOnlyFile::~AppendOnlyFile() {
    if (state_ && state_->fd >= 0) {
        ::close(state_->fd);
    }
}

Status AppendOnlyFile::open(const char* path) {
    if (state_) {
        return Status::failure("already open");
    }
    // As for reading: nothing but a regular file is opened, so that no device is acted on.
    struct stat info;
    Status status = statFile(path, -1, true, info);
    if (status && !S_ISREG(info.st_mode)) {
        return Status::failure(NotARegularFile);
    }
    if (!status && status.code() != ENOENT) {
        return status;
    }
    int fd = openFile(path, O_RDWR | O_APPEND | O_CREAT | O_NONBLOCK, 0666);
    if (fd < 0) {
        return osError();
    }
    status = statFile(nullptr, fd, false, info);
    if (status && !S_ISREG(info.st_mode)) {
        status = Status::failure(NotARegularFile);
    }
    status = status ? lockFile(fd, LOCK_EX) : status;
    if (!status) {
        ::close(fd);
        return status;
    }
    state_ = std::make_unique<State>();
    state_->path = path;
    state_->fd = fd;
    return status;
}

Status AppendOnlyFile::readAll(std::string& content) {
    content.clear();
    if (!state_ || state_->fd < 0) {
        return Status::failure("not open");
    }
    struct stat info;
    Status status = statFile(nullptr, state_->fd, false, info);
    if (!status) {
        return status;
    }
    content.resize(static_cast<size_t>(info.st_size));
    size_t delivered = 0;
    status = content.empty() ? status
                             : readFully(state_->fd, reinterpret_cast<uint8_t*>(content.data()),
                                         content.size(), delivered);
    content.resize(delivered);
    state_->empty = content.empty();
    return status;
}

Status AppendOnlyFile::append(const char* data, size_t size) {
    if (!state_ || state_->fd < 0) {
        return Status::failure("not open");
    }
    Status status = appendFully(state_->fd, data, size);
    status = status ? flushFile(state_->fd) : status;
    // A file this run created is only kept after a crash once its folder entry is on disk.
    return status && state_->empty ? flushFolder(folderOf(state_->path)) : status;
}

Status AppendOnlyFile::close() {
    if (!state_ || state_->fd < 0) {
        return Status::failure("not open");
    }
    int fd = state_->fd;
    state_->fd = -1;
    return closeFile(fd);
}

Status enterFolder(const char* folder) {
    return ::chdir(folder) == 0 ? Status() : osError();
}

void writeConsole(std::FILE* stream, const std::string& text) {
    std::fwrite(text.data(), 1, text.size(), stream);
    std::fflush(stream);
}

void prepareConsole() {
    std::signal(SIGPIPE, SIG_IGN);
}

std::vector<std::string> commandLineArguments(int argc, char** argv) {
    return std::vector<std::string>(argv + (argc > 0 ? 1 : 0), argv + argc);
}

ConsoleStart consoleStart() {
    ConsoleStart start;
    start.inputIsConsole = ::isatty(0) == 1;
    start.outputIsConsole = ::isatty(1) == 1;
    return start; // a terminal's processes are not counted: never the only one
}

} // namespace kvr::platform
