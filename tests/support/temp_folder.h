// Temporary game folders, file helpers, a second holder of a file, and running the binary.
#pragma once

#include <cstdint>
#include <cstdio>
#include <filesystem>
#include <functional>
#include <map>
#include <memory>
#include <string>
#include <vector>

namespace kvrtest {

namespace fs = std::filesystem;

std::vector<uint8_t> readBytes(const fs::path& path);
std::string readText(const fs::path& path);
void writeBytes(const fs::path& path, const std::vector<uint8_t>& bytes);
void writeText(const fs::path& path, const std::string& text);

// Text as the platform writes it to the console and the report: CR LF line ends on Windows,
// LF elsewhere.
std::string platformText(const std::string& text);

// A fresh empty folder, removed with everything in it at the end of the scope.
class TempFolder {
  public:
    TempFolder();
    ~TempFolder();
    TempFolder(const TempFolder&) = delete;
    TempFolder& operator=(const TempFolder&) = delete;

    const fs::path& path() const { return path_; }
    fs::path operator/(const std::string& relative) const { return path_ / relative; }

  private:
    fs::path path_;
};

// Makes `folder` the working folder for the scope.
class WorkingFolder {
  public:
    explicit WorkingFolder(const fs::path& folder);
    ~WorkingFolder();
    WorkingFolder(const WorkingFolder&) = delete;
    WorkingFolder& operator=(const WorkingFolder&) = delete;

  private:
    fs::path previous_;
};

// A synthetic records file of `size` bytes with a recognisable pattern.
std::vector<uint8_t> syntheticRecordsFile(size_t size);

// Holds a file open, as another program would, for the scope: exclusively (POSIX: an exclusive
// lock; Windows: no sharing), or as a second reader (a shared lock; sharing reading).
class HeldFile {
  public:
    HeldFile(const fs::path& path, bool exclusive);
    ~HeldFile();
    HeldFile(const HeldFile&) = delete;
    HeldFile& operator=(const HeldFile&) = delete;
    bool holding() const { return holding_; }

  private:
    intptr_t handle_ = -1;
    bool holding_ = false;
};

struct ExclusiveHolder : HeldFile {
    explicit ExclusiveHolder(const fs::path& path) : HeldFile(path, true) {}
};
struct SharedHolder : HeldFile {
    explicit SharedHolder(const fs::path& path) : HeldFile(path, false) {}
};

struct ProcessResult {
    int exitStatus = -1;
    std::string output; // standard output, byte for byte
    std::string errors; // standard error
};

// Limits for a run of a program under test; POSIX only, ignored elsewhere.
struct ProcessLimits {
    unsigned hangSeconds = 0;   // ends a hanging run with SIGALRM after this long (0: never)
    uint64_t fileSizeLimit = 0; // RLIMIT_FSIZE with SIGXFSZ ignored, as `ulimit -f` (0: none)
};

// Runs `program` with no arguments in `folder`.
ProcessResult runProgram(const fs::path& program, const fs::path& folder,
                         const ProcessLimits& limits = {});
// Runs `program` with `arguments` (UTF-8) in `folder`.
ProcessResult runProgram(const fs::path& program, const fs::path& folder,
                         const std::vector<std::string>& arguments,
                         const ProcessLimits& limits = {});

struct ConsoleRun {
    int status = -1;
    std::string console; // everything written to the console, byte for byte
    std::string errors;  // everything written to the error stream
};

// Calls `run` with a console and an error stream that are captured.
ConsoleRun captureConsole(const std::function<int(std::FILE*, std::FILE*)>& run);

// Everything below `root`, links not followed, by relative path: files with their bytes,
// links with their destination, folders, and anything else as "special".
std::map<std::string, std::string> snapshot(const fs::path& root);

// Whether FIFOs and symbolic links can be made here.
bool posixFileSystem();

} // namespace kvrtest
