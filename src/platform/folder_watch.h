// What a watch of the game folder needs from the operating system: a cheap look at a folder's
// files (name, size, modification time), an early wake when the folder changes, and the
// requests to stop (Ctrl+C, a terminal or console window closed, SIGTERM). A look reads no
// file and changes nothing, so it is not a step of an Env: the imports still go through one.
#pragma once

#include "platform/fs.h"

#include <chrono>
#include <cstdint>
#include <memory>
#include <string>
#include <vector>

namespace kvr::platform {

// A file as one look saw it. Two looks that see the same stamp saw the same file, as far as
// the file system tells.
struct FileStamp {
    uint64_t size = 0;
    int64_t modified = 0; // in the system's own ticks
    bool operator==(const FileStamp& other) const {
        return size == other.size && modified == other.modified;
    }
    bool operator!=(const FileStamp& other) const { return !(*this == other); }
};

struct StampedEntry {
    std::string name; // bare name
    bool isFolder = false;
    FileStamp stamp; // of a file; zero for a folder
};

// The entries of `folder` whose names end in `extension`, with their stamps, in listing order.
// An entry that goes away during the look is left out.
Status lookAtFolder(const char* folder, const char* extension, std::vector<StampedEntry>& entries);

// The stamp of one file; fails when it is missing.
Status stampOf(const char* path, FileStamp& stamp);

// Wakes a waiting watch early when a folder's entries change. Best effort: some file systems
// (network shares) tell nothing, so a watch still looks at the folder on its own schedule.
class FolderWake {
  public:
    FolderWake();
    ~FolderWake();
    FolderWake(const FolderWake&) = delete;
    FolderWake& operator=(const FolderWake&) = delete;

    // Starts (or restarts) watching `folder`; false when the system cannot watch it.
    bool watch(const std::string& folder);
    // Waits up to `timeout`; true when the folder may have changed. Returns early, false,
    // when a stop is requested.
    bool wait(std::chrono::milliseconds timeout);

  private:
    // One slice of the wait, no longer than 100 ms: true when the folder may have changed.
    bool waitSlice(std::chrono::milliseconds slice);

    struct State;
    std::unique_ptr<State> state_;
};

// From now on Ctrl+C, SIGTERM, a closed terminal (SIGHUP) or a closed console window only ask
// the process to stop; stopRequested() tells it. On Windows a closed console window waits
// (a few seconds at most) for stopDone() before the process is ended.
void catchStopRequests();
bool stopRequested();
// Asks to stop as a signal would.
void requestStop();
// The program has finished what a stop asked for.
void stopDone();

} // namespace kvr::platform
