// The watch's look through an Env, the stop token and the system wake's sliced wait.
#include "platform/folder_watch.h"

#include "platform/env.h"
#include "platform/watch_os.h"

#include <algorithm>

namespace kvr::platform {

namespace {

// Constant-initialized, so a signal handler may reach it at any time.
StopToken systemToken;

} // namespace

Status lookAtFolder(Env& env, const char* folder, const char* extension,
                    std::vector<StampedEntry>& entries) {
    entries.clear();
    Status status = env.lookAtFolder(folder, extension, entries);
    if (!status) {
        entries.clear();
        return status;
    }
    std::sort(entries.begin(), entries.end(), [](const StampedEntry& a, const StampedEntry& b) {
        return folderNameLess(a.name, b.name);
    });
    return status;
}

Status stampOf(Env& env, const char* path, FileStamp& stamp) {
    return env.stampOf(path, stamp);
}

StopToken& systemStopToken() {
    return systemToken;
}

bool os::SlicedWake::wait(std::chrono::milliseconds timeout, const StopToken& stop) {
    constexpr std::chrono::milliseconds Slice{100};
    const auto until = std::chrono::steady_clock::now() + timeout;
    for (;;) {
        if (stop.requested()) {
            return false;
        }
        const auto left = std::chrono::duration_cast<std::chrono::milliseconds>(
            until - std::chrono::steady_clock::now());
        if (left.count() <= 0) {
            return false;
        }
        if (waitSlice(std::min(left, Slice))) {
            return true;
        }
    }
}

} // namespace kvr::platform
