// What a watch of the game folder needs from the operating system: a cheap look at a folder's
// files (name, size, modification time), an early wake when the folder changes, and the
// requests to stop (Ctrl+C, a terminal or console window closed, SIGTERM). The look and the
// wake are steps of an Env (env.h), so a test can fake them; a look reads no file and changes
// nothing.
#pragma once

#include "platform/fs.h"

#include <atomic>
#include <chrono>
#include <string>
#include <vector>

namespace kvr::platform {

class Env;

// The entries of `folder` whose names end in `extension`, with their stamps, in listing order
// (folderNameLess). An entry that goes away during the look is left out; on failure there are
// none.
Status lookAtFolder(Env& env, const char* folder, const char* extension,
                    std::vector<StampedEntry>& entries);

// The stamp of one file; fails when it is missing.
Status stampOf(Env& env, const char* path, FileStamp& stamp);

// A request to stop, set from any thread or a signal handler and read by the loop it stops.
class StopToken {
  public:
    constexpr StopToken() = default;
    StopToken(const StopToken&) = delete;
    StopToken& operator=(const StopToken&) = delete;

    void request() { requested_.store(true); }
    void clear() { requested_.store(false); }
    bool requested() const { return requested_.load(); }

  private:
    std::atomic<bool> requested_{false};
};

// Wakes a waiting watch early when a folder's entries change. Best effort: some file systems
// (network shares) tell nothing, so a watch still looks at the folder on its own schedule.
// What the notifications told of one file of the watched folder: a writer changed it (it may
// still hold it open), or the last writer closed it, or it was moved in whole.
struct FileNews {
    std::string name;  // bare name
    bool done = false; // closed after writing, or moved in; false: being written
};

class FolderWake {
  public:
    virtual ~FolderWake() = default;
    // Starts (or restarts) watching `folder`; false when the system cannot watch it.
    virtual bool watch(const std::string& folder) = 0;
    // Waits up to `timeout`; true when the folder may have changed. Returns early, false,
    // when `stop` is requested.
    virtual bool wait(std::chrono::milliseconds timeout, const StopToken& stop) = 0;
    // Whether the notifications tell when a writer closes a file (inotify on a local folder);
    // where they do not, only two looks can tell that a file has settled.
    virtual bool tellsCloses() const { return false; }
    // The news of files since the last call, oldest first; moved out of the wake.
    virtual void takeNews(std::vector<FileNews>& news) { news.clear(); }
};

// The token that Ctrl+C, SIGTERM, a closed terminal (SIGHUP) or a closed console window
// request once catchStopRequests() has run.
StopToken& systemStopToken();

// From now on those only ask the process to stop, through systemStopToken(). On Windows a
// closed console window waits (a few seconds at most) for stopDone() before the process is
// ended.
void catchStopRequests();
// The program has finished what a stop asked for.
void stopDone();

} // namespace kvr::platform
