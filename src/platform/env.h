// The operating system's file steps, as one interface: every step that can fail on its own (an
// open, a stat, a lock, a read, a write, a flush, a close, a rename, a mode change, a listing
// and each read of it) is one virtual call. The layer's policies (fs.h) run over an Env, so a
// test or a fuzzer can pass one that fails or ends the process at a chosen step. The clock,
// sleeps and the watch's look at a folder go through it too, so that a test can fake time.
#pragma once

#include "platform/folder_watch.h"
#include "platform/fs.h"

#include <chrono>
#include <cstddef>
#include <cstdint>
#include <memory>
#include <string>
#include <vector>

namespace kvr::platform {

// An open file: a descriptor (POSIX) or a handle (Win32). Both are -1 when there is none.
using File = std::intptr_t;
constexpr File NoFile = -1;

// A path as the OS takes it: the UTF-8 path itself (POSIX) or the full UTF-16 path with the
// \\?\ prefix (Win32).
#ifdef _WIN32
using NativePath = std::wstring;
#else
using NativePath = std::string;
#endif

enum class Access {
    ReadShared,     // read an existing file; other readers are welcome, writers are not
    UpdateInPlace,  // read and write an existing file, never created or truncated
    AppendOrCreate, // read and append; created empty when missing, never truncated
    CreateNew,      // write a file that must not exist yet, held against removal while open
    Folder,         // a folder, opened only to make its entries durable (POSIX)
};

// What a name leads to.
enum class PathKind {
    Regular, // a file (Win32: anything that is not a folder)
    Folder,
    Link, // only when links are not followed (POSIX)
    Other,
};
struct PathInfo {
    PathKind kind = PathKind::Other;
    uint32_t bits = 0; // the permission bits (POSIX) or the attributes (Win32)
};

// What an open file is.
struct OpenInfo {
    bool regular = false; // a file on disk, not a folder, pipe or device
    uint64_t size = 0;    // when regular
    bool linked = true;   // still has a name in a folder (POSIX)
};

// What a replacement keeps of the target it replaces.
struct TargetState {
    bool exists = false; // the target was there at the start
    bool keep = false;   // bits that the new file must be given before it takes the place
    uint32_t bits = 0;   // the permission bits (POSIX) or attributes (Win32) found
};

// An open folder listing, the platform's own.
struct ListingState;
using Listing = ListingState*;

// A moment in local time; all zero when the system cannot tell it.
struct LocalTime {
    int year = 0, month = 0, day = 0, hour = 0, minute = 0, second = 0;
};

class Env {
  public:
    Env() = default;
    virtual ~Env() = default;
    Env(const Env&) = delete;
    Env& operator=(const Env&) = delete;

    // The real operating system's.
    static Env& system();

    // The kind and bits of what `path` names; links followed or not (POSIX; Win32 never
    // follows).
    virtual Status stat(const NativePath& path, bool followLinks, PathInfo& info) = 0;
    // Opens `path` without waiting for anything. `file` is NoFile on failure.
    virtual Status open(const NativePath& path, Access access, File& file) = 0;
    // What the open file is, and its size on disk.
    virtual Status statOpen(File file, OpenInfo& info) = 0;
    // Holds the file against other programs without waiting (POSIX; on Win32 the sharing mode
    // of the open holds it, and the layer never calls this).
    virtual Status lock(File file, bool exclusive) = 0;

    // One call that moves up to `size` bytes; `moved` tells how many. A read from where the
    // last one ended gives 0 at the end of the file.
    virtual Status read(File file, uint8_t* buffer, size_t size, size_t& moved) = 0;
    virtual Status readAt(File file, uint64_t offset, uint8_t* buffer, size_t size,
                          size_t& moved) = 0;
    virtual Status writeAt(File file, uint64_t offset, const uint8_t* data, size_t size,
                           size_t& moved) = 0;
    // Writes at the end of a file opened with AppendOrCreate, `end` bytes long when nobody
    // else writes to it.
    virtual Status append(File file, uint64_t end, const uint8_t* data, size_t size,
                          size_t& moved) = 0;

    // Makes what was written to the file (or, for a folder, its entries) durable.
    virtual Status flush(File file) = 0;
    // Closes the file; a close can report a failed write. The file is closed either way.
    virtual Status close(File file) = 0;
    // Closes the file after a failure, when its result would change nothing.
    virtual void closeQuietly(File file) = 0;

    // Gives the new file of a replacement the bits of `state` that it keeps.
    virtual Status changeMode(File file, const TargetState& state) = 0;
    // Puts the file `temporary` in the place of `target`, as one step.
    virtual Status rename(const NativePath& temporary, const NativePath& target,
                          const TargetState& state) = 0;

    // Starts listing `folder`: every entry (POSIX) or those whose names end in `extension`
    // (Win32). A listing opened successfully is closed with closeListing.
    virtual Status openListing(const NativePath& folder, const char* extension,
                               Listing& listing) = 0;
    // The next entry: its name, and whether it is a folder. `known` is false when only a
    // look at what it leads to can tell (a link). `end` is set after the last one.
    virtual Status readListing(Listing listing, std::string& name, bool& isFolder, bool& known,
                               bool& end) = 0;
    virtual void closeListing(Listing listing) = 0;

    // The monotonic clock, for timeouts and waits.
    virtual std::chrono::steady_clock::time_point steadyNow() = 0;
    // Now, in local time.
    virtual LocalTime localNow() = 0;
    virtual void sleepFor(std::chrono::milliseconds duration) = 0;

    // The watch's look (lookAtFolder and stampOf in folder_watch.h are its entry points):
    // UTF-8 paths, entries in any order.
    virtual Status lookAtFolder(const std::string& folder, const char* extension,
                                std::vector<StampedEntry>& entries) = 0;
    virtual Status stampOf(const std::string& path, FileStamp& stamp) = 0;
    // A new wake for one watched folder; never null.
    virtual std::unique_ptr<FolderWake> folderWake() = 0;

    // This process's id.
    virtual long processId() = 0;
    // Whether a process with id `pid` runs now; false when it is gone or the system cannot tell.
    virtual bool processRuns(long pid) = 0;
    // Takes the name `path` away from its file.
    virtual Status removeFile(const NativePath& path) = 0;
};

// Forwards every step to another Env: a test overrides only the steps it needs.
class EnvWrapper : public Env {
  public:
    explicit EnvWrapper(Env& target) : target_(target) {}
    Env& target() const { return target_; }

    Status stat(const NativePath& path, bool followLinks, PathInfo& info) override {
        return target_.stat(path, followLinks, info);
    }
    Status open(const NativePath& path, Access access, File& file) override {
        return target_.open(path, access, file);
    }
    Status statOpen(File file, OpenInfo& info) override { return target_.statOpen(file, info); }
    Status lock(File file, bool exclusive) override { return target_.lock(file, exclusive); }
    Status read(File file, uint8_t* buffer, size_t size, size_t& moved) override {
        return target_.read(file, buffer, size, moved);
    }
    Status readAt(File file, uint64_t offset, uint8_t* buffer, size_t size,
                  size_t& moved) override {
        return target_.readAt(file, offset, buffer, size, moved);
    }
    Status writeAt(File file, uint64_t offset, const uint8_t* data, size_t size,
                   size_t& moved) override {
        return target_.writeAt(file, offset, data, size, moved);
    }
    Status append(File file, uint64_t end, const uint8_t* data, size_t size,
                  size_t& moved) override {
        return target_.append(file, end, data, size, moved);
    }
    Status flush(File file) override { return target_.flush(file); }
    Status close(File file) override { return target_.close(file); }
    void closeQuietly(File file) override { target_.closeQuietly(file); }
    Status changeMode(File file, const TargetState& state) override {
        return target_.changeMode(file, state);
    }
    Status rename(const NativePath& temporary, const NativePath& target,
                  const TargetState& state) override {
        return target_.rename(temporary, target, state);
    }
    Status openListing(const NativePath& folder, const char* extension, Listing& listing) override {
        return target_.openListing(folder, extension, listing);
    }
    Status readListing(Listing listing, std::string& name, bool& isFolder, bool& known,
                       bool& end) override {
        return target_.readListing(listing, name, isFolder, known, end);
    }
    void closeListing(Listing listing) override { target_.closeListing(listing); }
    std::chrono::steady_clock::time_point steadyNow() override { return target_.steadyNow(); }
    LocalTime localNow() override { return target_.localNow(); }
    void sleepFor(std::chrono::milliseconds duration) override { target_.sleepFor(duration); }
    Status lookAtFolder(const std::string& folder, const char* extension,
                        std::vector<StampedEntry>& entries) override {
        return target_.lookAtFolder(folder, extension, entries);
    }
    Status stampOf(const std::string& path, FileStamp& stamp) override {
        return target_.stampOf(path, stamp);
    }
    std::unique_ptr<FolderWake> folderWake() override { return target_.folderWake(); }
    long processId() override { return target_.processId(); }
    bool processRuns(long pid) override { return target_.processRuns(pid); }
    Status removeFile(const NativePath& path) override { return target_.removeFile(path); }

  private:
    Env& target_;
};

// The failure the system reports for its error code `code` (errno or GetLastError()), with
// the system's own text and the kind the code means: what a step that failed with that code
// returns.
Status systemError(long code);
// The code of a device that fails to read or write: EIO (POSIX), ERROR_IO_DEVICE (Win32).
long deviceErrorCode();

} // namespace kvr::platform
