#include "platform/folder_watch.h"

#include <algorithm>

namespace kvr::platform {

bool FolderWake::wait(std::chrono::milliseconds timeout) {
    // Waited in short slices, so that a stop request is seen soon whatever thread its signal
    // reached.
    constexpr std::chrono::milliseconds Slice{100};
    const auto until = std::chrono::steady_clock::now() + timeout;
    for (;;) {
        if (stopRequested()) {
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
