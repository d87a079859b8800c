// The watch's look, wake and stop requests on POSIX: stat per entry, inotify on Linux, signals.
#include "platform/folder_watch.h"

#include "platform/env.h"
#include "platform/watch_os.h"

#include <cerrno>
#include <csignal>
#include <cstring>
#include <dirent.h>
#include <fcntl.h>
#include <poll.h>
#include <sys/stat.h>
#include <unistd.h>

#ifdef __linux__
#include <sys/inotify.h>
#endif

namespace kvr::platform {

namespace {

extern "C" void onStopSignal(int) {
    systemStopToken().request();
}

FileStamp stampFrom(const struct stat& info) {
    FileStamp stamp;
    stamp.size = static_cast<uint64_t>(info.st_size);
    stamp.modified = static_cast<int64_t>(info.st_mtim.tv_sec) * 1000000000 +
                     static_cast<int64_t>(info.st_mtim.tv_nsec);
    return stamp;
}

} // namespace

namespace os {

Status lookAtFolder(const std::string& folder, const char* extension,
                    std::vector<StampedEntry>& entries) {
    entries.clear();
    DIR* dir = opendir(folder.c_str());
    if (dir == nullptr) {
        return systemError(errno);
    }
    const int fd = dirfd(dir);
    for (;;) {
        errno = 0;
        const dirent* entry = readdir(dir);
        if (entry == nullptr) {
            const int error = errno;
            closedir(dir);
            return error == 0 ? Status() : systemError(error);
        }
        const std::string name = entry->d_name;
        if (name == "." || name == ".." || !nameHasExtension(name, extension)) {
            continue;
        }
        struct stat info;
        if (fstatat(fd, entry->d_name, &info, 0) != 0) {
            continue; // gone since the listing, or a link to nothing: the import will tell
        }
        StampedEntry stamped;
        stamped.name = name;
        stamped.isFolder = S_ISDIR(info.st_mode);
        if (!stamped.isFolder) {
            stamped.stamp = stampFrom(info);
        }
        entries.push_back(std::move(stamped));
    }
}

Status stampOf(const std::string& path, FileStamp& stamp) {
    struct stat info;
    if (stat(path.c_str(), &info) != 0) {
        return systemError(errno);
    }
    stamp = stampFrom(info);
    return Status();
}

namespace {

class InotifyWake final : public SlicedWake {
  public:
    InotifyWake() = default;
    ~InotifyWake() override { stop(); }
    InotifyWake(const InotifyWake&) = delete;
    InotifyWake& operator=(const InotifyWake&) = delete;

    bool watch(const std::string& folder) override {
        stop();
#ifdef __linux__
        fd_ = inotify_init1(IN_NONBLOCK | IN_CLOEXEC);
        if (fd_ < 0) {
            return false;
        }
        constexpr uint32_t Changes = IN_CREATE | IN_DELETE | IN_MODIFY | IN_CLOSE_WRITE |
                                     IN_MOVED_FROM | IN_MOVED_TO | IN_ATTRIB | IN_DELETE_SELF |
                                     IN_MOVE_SELF;
        if (inotify_add_watch(fd_, folder.c_str(), Changes) < 0) {
            stop();
            return false;
        }
        return true;
#else
        (void)folder;
        return false;
#endif
    }

    bool tellsCloses() const override {
        return fd_ >= 0 && !overflowed_;
    }

    void takeNews(std::vector<FileNews>& news) override {
        drain();
        news = std::move(news_);
        news_.clear();
        // After a lost event nothing can be told of closes until the next watch.
    }

  private:
    bool waitSlice(std::chrono::milliseconds slice) override {
        const int waited = static_cast<int>(slice.count());
        if (fd_ < 0) {
            poll(nullptr, 0, waited);
            return false;
        }
        pollfd waiting{fd_, POLLIN, 0};
        if (poll(&waiting, 1, waited) <= 0) {
            return false;
        }
        // Drained whole: one wake for any number of events.
        drain();
        return true;
    }

    // Reads every event waiting, keeping what it tells of files.
    void drain() {
#ifdef __linux__
        if (fd_ < 0) {
            return;
        }
        alignas(inotify_event) char buffer[4096];
        for (;;) {
            const ssize_t got = read(fd_, buffer, sizeof buffer);
            if (got <= 0) {
                return;
            }
            for (size_t at = 0; at + sizeof(inotify_event) <= static_cast<size_t>(got);) {
                inotify_event event;
                std::memcpy(&event, buffer + at, sizeof event);
                const char* name = buffer + at + sizeof event;
                at += sizeof event + event.len;
                if ((event.mask & IN_Q_OVERFLOW) != 0) {
                    overflowed_ = true;
                    continue;
                }
                if (event.len == 0) {
                    continue;
                }
                const std::string file(name, strnlen(name, event.len));
                if ((event.mask & (IN_CLOSE_WRITE | IN_MOVED_TO)) != 0) {
                    news_.push_back({file, true});
                } else if ((event.mask & (IN_CREATE | IN_MODIFY)) != 0) {
                    news_.push_back({file, false});
                }
            }
        }
#endif
    }

    void stop() {
        if (fd_ >= 0) {
            close(fd_);
            fd_ = -1;
        }
        overflowed_ = false;
        news_.clear();
    }

    int fd_ = -1;
    bool overflowed_ = false;
    std::vector<FileNews> news_;
};

} // namespace

std::unique_ptr<FolderWake> folderWake() {
    return std::make_unique<InotifyWake>();
}

} // namespace os

void catchStopRequests() {
    struct sigaction action;
    std::memset(&action, 0, sizeof action);
    action.sa_handler = onStopSignal;
    sigemptyset(&action.sa_mask);
    action.sa_flags = SA_RESTART;
    sigaction(SIGINT, &action, nullptr);
    sigaction(SIGTERM, &action, nullptr);
    sigaction(SIGHUP, &action, nullptr);
}

void stopDone() {}

} // namespace kvr::platform
