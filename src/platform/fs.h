// The thin file-system layer: with the console (console.h), the only place that talks to the
// operating system. Its policies are written once (fs_policy.cpp) over the steps of an Env
// (env.h), the real system's implemented for POSIX and for Win32; each policy takes the Env
// its steps go through.
#pragma once

#include <cstddef>
#include <cstdint>
#include <memory>
#include <string>
#include <utility>
#include <vector>

namespace kvr::platform {

class Env;

// What kind of failure a status is, so that callers decide by it and never by the reason's text.
enum class StatusKind {
    Ok,            // success
    NotFound,      // the file, or a folder on its path, does not exist
    Held,          // another program holds the file; a later try may succeed
    NoSpace,       // the disk or the user's quota is full
    IoError,       // the device failed to read or write
    BadInput,      // the file is there but not what it should be (too short, too long)
    AlreadyExists, // a file that must be new is there already
    NotRegular,    // a folder, a device, a pipe or a link where a file should be
    Denied,        // not permitted, or a read-only file or file system
    Other,
};

// The outcome of an operation: success, or why it failed. The reason is made where the failure
// is known: the OS's text for its error code, or a reason of our own ("held by another
// program"); the kind tells what the failure means. Call sites read as a boolean.
class Status {
  public:
    Status() = default; // success
    // A failure of `kind` (Ok is taken as Other: a failure never reads as success).
    static Status failure(StatusKind kind, std::string reason, long code = 0) {
        Status status;
        status.kind_ = kind == StatusKind::Ok ? StatusKind::Other : kind;
        status.code_ = code;
        status.reason_ = std::move(reason);
        return status;
    }
    bool ok() const { return kind_ == StatusKind::Ok; }
    explicit operator bool() const { return ok(); }
    StatusKind kind() const { return kind_; }
    long code() const { return code_; } // errno or GetLastError(); 0 for a reason of our own
    const std::string& reason() const { return reason_; }

  private:
    StatusKind kind_ = StatusKind::Ok;
    long code_ = 0;
    std::string reason_;
};

// Reasons of our own, the same on every platform, and the kinds they go with: Held,
// NotRegular, and BadInput for tooShort.
constexpr const char* HeldByAnotherProgram = "held by another program";
constexpr const char* NotARegularFile = "not a regular file";
// "too short: 2000 bytes, at least 4884 needed"
std::string tooShort(uint64_t size, uint64_t minimum);

// The line end of text files and of the console on this platform, and the separator of the
// paths it shows.
#ifdef _WIN32
constexpr const char* TextLineEnd = "\r\n";
constexpr char PathSeparator = '\\';
#else
constexpr const char* TextLineEnd = "\n";
constexpr char PathSeparator = '/';
#endif

struct FolderEntry {
    std::string name; // bare name, without the folder
    bool isFolder;    // after following symbolic links
};

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

// True when `name` ends in `extension` (for example ".kvr"), ASCII letters compared
// without regard to case.
bool nameHasExtension(const std::string& name, const char* extension);

// The listing order: names compared with ASCII letters folded to upper case, ties broken
// by the raw bytes. The same folder lists in the same order on every platform.
bool folderNameLess(const std::string& a, const std::string& b);

// Sorts entries into listing order.
void sortFolderEntries(std::vector<FolderEntry>& entries);

// Lists the entries of `folder` whose names end in `extension`, in listing order.
// Fails when the folder cannot be listed (missing, not a folder, not permitted) or a read of
// it fails part-way.
Status listFolder(Env& env, const char* folder, const char* extension,
                  std::vector<FolderEntry>& entries);

// Opens an existing regular file for reading under a shared lock, without waiting, and reads
// up to `capacity` bytes from its start. Other readers do not stand in the way; a file that
// another program holds exclusively (POSIX) or has open for writing (Windows) is refused.
// Anything that is not a regular file after following links is refused before it is opened.
Status readShared(Env& env, const char* path, uint8_t* buffer, size_t capacity, size_t& delivered);

// Reads the whole of an existing regular file of at most `limit` bytes into `content`, under
// a shared lock as readShared does. A longer file fails without being read.
Status readWholeShared(Env& env, const char* path, size_t limit, std::string& content);

// True when `status` is the failure of a file that does not exist (StatusKind::NotFound).
inline bool isMissingFile(const Status& status) {
    return status.kind() == StatusKind::NotFound;
}

constexpr const char* AlreadyExists = "already exists";
// Creates the file `path`, which must not exist, with `size` bytes of `data`, flushed to disk.
// Anything already at `path`, a link included, is left alone and fails with AlreadyExists
// (StatusKind::AlreadyExists). A
// write that fails removes the file again.
Status createNewFile(Env& env, const char* path, const char* data, size_t size);

struct WriteBlock {
    uint64_t offset;
    const uint8_t* data;
    size_t size;
};

// Overwrites `count` blocks of an existing regular file of at least `minimumSize` bytes in
// place, exclusively and without waiting, and flushes them to disk. A missing file, a
// folder, a symbolic link (the file, or a folder of the path below `within`, the folder the
// write must stay in, which begins the path; without it, every folder of a relative path), a
// shorter file or one held by another program fails before a byte is written. When a write
// fails, the blocks already written get their earlier bytes back. Never creates, truncates or
// grows the file.
Status writeBlocksInPlace(Env& env, const char* path, const WriteBlock* blocks, size_t count,
                          uint64_t minimumSize, const std::string& within = std::string());

// Replaces the file `target` with `size` bytes of `data`: written to a temporary file beside
// it and renamed over it only when every write succeeded. A replaced file keeps its permission
// bits; a symbolic link at `target` is replaced itself, its destination is never written. On
// failure the temporary file is removed and `target` is left as it was.
Status replaceFile(Env& env, const char* target, const char* data, size_t size);
// Removes the file `path`.
Status removeFile(Env& env, const char* path);

// The same replacement for output made in pieces: begin(), any number of write()s that append,
// then commit(). Until commit() succeeds the target is untouched; a replacement destroyed
// uncommitted, or one whose step failed, removes its temporary file. A failed step fails every
// later one with the same reason.
class FileReplacement {
  public:
    explicit FileReplacement(Env& env);
    ~FileReplacement();
    FileReplacement(const FileReplacement&) = delete;
    FileReplacement& operator=(const FileReplacement&) = delete;

    Status begin(const char* target);
    Status write(const char* data, size_t size);
    Status commit();

    struct State; // the platform's own

  private:
    Env& env_;
    std::unique_ptr<State> state_;
};

// A log that is only ever appended to, such as the season's history: held exclusively from
// open() to close() (another holder fails at once, "held by another program"), read whole,
// then appended to. Nothing is ever rewritten or truncated.
class AppendOnlyFile {
  public:
    explicit AppendOnlyFile(Env& env);
    ~AppendOnlyFile();
    AppendOnlyFile(const AppendOnlyFile&) = delete;
    AppendOnlyFile& operator=(const AppendOnlyFile&) = delete;

    // Opens the regular file at `path`, created empty when missing, and locks it.
    Status open(const char* path);
    // Everything the file holds.
    Status readAll(std::string& content);
    // Writes `size` bytes at the end of the file in one write and flushes them to disk.
    Status append(const char* data, size_t size);
    // Releases the lock; the destructor does the same without a result.
    Status close();

    struct State; // the platform's own

  private:
    Env& env_;
    std::unique_ptr<State> state_;
};

// Where a path leads, to tell whether two paths name one file.
struct FileIdentity {
    // Absolute, with "." and ".." resolved, and symbolic links as far as the path exists
    // (POSIX); UTF-8.
    std::string resolved;
    bool exists = false; // then `device` and `file` tell it from every other file
    uint64_t device = 0;
    uint64_t file = 0;
    // The file held open, for no access and with every sharing allowed, while the identity
    // lives: a file that another program replaces meanwhile cannot hand its number on to a
    // new one, so that two identities taken one after the other still compare truly.
    std::shared_ptr<const void> held;
};

// Looks `path` up (links followed). A query only: it opens nothing for reading or writing, and
// it takes no step of an Env.
FileIdentity identifyFile(const std::string& path);

// Whether two identities are of one file: by device and file where both exist, otherwise by
// the resolved paths (on Windows without regard to letter case).
bool sameFile(const FileIdentity& a, const FileIdentity& b);

// `path` made absolute against the working folder (UTF-8); unchanged if it already is.
std::string absolutePath(const std::string& path);
// `path` made absolute against the folder of the file `file` (UTF-8, itself taken from the
// working folder when relative); unchanged if it already is absolute.
std::string absolutePathBeside(const std::string& file, const std::string& path);

// Whether `folder` is a folder that can be entered; the reason when it is not.
Status checkFolder(const char* folder);

} // namespace kvr::platform
