// The per-OS parts of the watch's look and wake (folder_watch.h) and of the system Env's clock,
// implemented in folder_watch_posix.cpp, folder_watch_win32.cpp and fs_common.cpp. Not part of
// the layer's interface.
#pragma once

#include "platform/env.h"
#include "platform/folder_watch.h"
#include "platform/fs.h"

#include <chrono>
#include <memory>
#include <string>
#include <vector>

namespace kvr::platform::os {

// The system's look at a folder and at one file: entries in the order the system gives them.
Status lookAtFolder(const std::string& folder, const char* extension,
                    std::vector<StampedEntry>& entries);
Status stampOf(const std::string& path, FileStamp& stamp);
// inotify (Linux) or a change notification (Win32); a wake that only waits elsewhere.
std::unique_ptr<FolderWake> folderWake();
LocalTime localNow();

// A system wake waits in short slices, so that a stop request is seen soon whatever thread its
// signal reached.
class SlicedWake : public FolderWake {
  public:
    bool wait(std::chrono::milliseconds timeout, const StopToken& stop) final;

  protected:
    // One slice of the wait, no longer than 100 ms: true when the folder may have changed.
    virtual bool waitSlice(std::chrono::milliseconds slice) = 0;
};

} // namespace kvr::platform::os
