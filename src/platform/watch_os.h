// The per-OS parts of the watch's look and wake (folder_watch.h) and of the system Env's clock,
// implemented in folder_watch_posix.cpp, folder_watch_win32.cpp and fs_common.cpp, and the steps
// both system Envs share. Not part of the layer's interface.
#pragma once

#include "platform/env.h"
#include "platform/folder_watch.h"
#include "platform/fs.h"

#include <chrono>
#include <memory>
#include <string>
#include <thread>
#include <vector>

namespace kvr::platform::os {

// The system's look at a folder and at one file: entries in the order the system gives them.
Status lookAtFolder(const std::string& folder, const char* extension,
                    std::vector<StampedEntry>& entries);
Status stampOf(const std::string& path, FileStamp& stamp);
// inotify (Linux) or a change notification (Win32); a wake that only waits elsewhere.
std::unique_ptr<FolderWake> folderWake();
LocalTime localNow();

// The system Envs' steps that are the same on every OS, forwarded to the OS's own above: the
// clocks, the sleeps and the watch's look at a folder.
class SystemEnv : public Env {
  public:
    std::chrono::steady_clock::time_point steadyNow() override {
        return std::chrono::steady_clock::now();
    }
    LocalTime localNow() override { return os::localNow(); }
    void sleepFor(std::chrono::milliseconds duration) override {
        std::this_thread::sleep_for(duration);
    }
    Status lookAtFolder(const std::string& folder, const char* extension,
                        std::vector<StampedEntry>& entries) override {
        return os::lookAtFolder(folder, extension, entries);
    }
    Status stampOf(const std::string& path, FileStamp& stamp) override {
        return os::stampOf(path, stamp);
    }
    std::unique_ptr<FolderWake> folderWake() override { return os::folderWake(); }
};

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
