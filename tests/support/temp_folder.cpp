#include "support/temp_folder.h"

#include <atomic>
#include <chrono>
#include <fstream>
#include <random>
#include <sstream>
#include <stdexcept>

#ifdef _WIN32
#include <windows.h>
#else
#include <csignal>
#include <fcntl.h>
#include <sys/file.h>
#include <sys/resource.h>
#include <sys/wait.h>
#include <unistd.h>
#endif

namespace kvrtest {

std::vector<uint8_t> readBytes(const fs::path& path) {
    std::ifstream in(path, std::ios::binary);
    if (!in) {
        throw std::runtime_error("cannot read " + path.string());
    }
    return std::vector<uint8_t>(std::istreambuf_iterator<char>(in), {});
}

std::string readText(const fs::path& path) {
    std::vector<uint8_t> bytes = readBytes(path);
    return std::string(bytes.begin(), bytes.end());
}

void writeBytes(const fs::path& path, const std::vector<uint8_t>& bytes) {
    fs::create_directories(path.parent_path());
    std::ofstream out(path, std::ios::binary | std::ios::trunc);
    out.write(reinterpret_cast<const char*>(bytes.data()),
              static_cast<std::streamsize>(bytes.size()));
    if (!out) {
        throw std::runtime_error("cannot write " + path.string());
    }
}

void writeText(const fs::path& path, const std::string& text) {
    writeBytes(path, std::vector<uint8_t>(text.begin(), text.end()));
}

std::string platformText(const std::string& text) {
#ifdef _WIN32
    std::string converted;
    for (char c : text) {
        if (c == '\n') {
            converted += '\r';
        }
        converted += c;
    }
    return converted;
#else
    return text;
#endif
}

TempFolder::TempFolder() {
    static std::atomic<unsigned> counter{0};
    std::random_device entropy;
    for (int attempt = 0; attempt < 100; ++attempt) {
        std::ostringstream name;
        name << "kvrtest-" << entropy() << "-" << counter++;
        fs::path candidate = fs::temp_directory_path() / name.str();
        if (fs::create_directory(candidate)) {
            path_ = candidate;
            return;
        }
    }
    throw std::runtime_error("cannot create a temporary folder");
}

TempFolder::~TempFolder() {
    std::error_code ignored;
    fs::remove_all(path_, ignored);
}

WorkingFolder::WorkingFolder(const fs::path& folder) : previous_(fs::current_path()) {
    fs::current_path(folder);
}

WorkingFolder::~WorkingFolder() {
    std::error_code ignored;
    fs::current_path(previous_, ignored);
}

namespace {

std::string readAndClose(std::FILE* stream) {
    std::string text;
    std::rewind(stream);
    char buffer[4096];
    size_t n;
    while ((n = std::fread(buffer, 1, sizeof buffer, stream)) > 0) {
        text.append(buffer, n);
    }
    std::fclose(stream);
    return text;
}

} // namespace

namespace {

void snapshotInto(const fs::path& root, const fs::path& folder,
                  std::map<std::string, std::string>& entries) {
    for (const fs::directory_entry& entry : fs::directory_iterator(folder)) {
        const fs::path& path = entry.path();
        std::string key = path.lexically_relative(root).string();
        fs::file_status status = fs::symlink_status(path);
        if (fs::is_symlink(status)) {
            entries[key] = "link to " + fs::read_symlink(path).string();
        } else if (fs::is_regular_file(status)) {
            entries[key] = "file " + readText(path);
        } else if (fs::is_directory(status)) {
            entries[key] = "folder";
            snapshotInto(root, path, entries);
        } else {
            entries[key] = "special";
        }
    }
}

} // namespace

std::map<std::string, std::string> snapshot(const fs::path& root) {
    std::map<std::string, std::string> entries;
    snapshotInto(root, root, entries);
    return entries;
}

ConsoleRun captureConsole(const std::function<int(std::FILE*, std::FILE*)>& run) {
    // Under Wine, two test processes at once can pick the same temporary name, and the second
    // open fails: a few more tries get another name.
    auto temporary = [] {
        std::FILE* file = nullptr;
        for (int attempt = 0; attempt < 20 && file == nullptr; ++attempt) {
            file = std::tmpfile();
        }
        if (file == nullptr) {
            throw std::runtime_error("no temporary file");
        }
        return file;
    };
    std::FILE* console = temporary();
    std::FILE* errors = temporary();
    ConsoleRun result;
    result.status = run(console, errors);
    result.console = readAndClose(console);
    result.errors = readAndClose(errors);
    return result;
}

std::vector<uint8_t> syntheticRecordsFile(size_t size) {
    std::vector<uint8_t> bytes(size);
    for (size_t i = 0; i < size; ++i) {
        bytes[i] = static_cast<uint8_t>((i * 7 + 3) ^ (i >> 8));
    }
    return bytes;
}

#ifdef _WIN32

HeldFile::HeldFile(const fs::path& path, bool exclusive) {
    HANDLE h = CreateFileW(path.wstring().c_str(), GENERIC_READ, exclusive ? 0 : FILE_SHARE_READ,
                           nullptr, OPEN_EXISTING, FILE_ATTRIBUTE_NORMAL, nullptr);
    holding_ = h != INVALID_HANDLE_VALUE;
    handle_ = reinterpret_cast<intptr_t>(h);
}

HeldFile::~HeldFile() {
    if (holding_) {
        CloseHandle(reinterpret_cast<HANDLE>(handle_));
    }
}

bool posixFileSystem() {
    return false;
}

namespace {

// A file handle the child inherits as its standard output or error.
HANDLE inheritableOutput(const fs::path& path) {
    SECURITY_ATTRIBUTES inherit{};
    inherit.nLength = sizeof inherit;
    inherit.bInheritHandle = TRUE;
    HANDLE h = CreateFileW(path.wstring().c_str(), GENERIC_WRITE, FILE_SHARE_READ, &inherit,
                           CREATE_ALWAYS, FILE_ATTRIBUTE_NORMAL, nullptr);
    if (h == INVALID_HANDLE_VALUE) {
        throw std::runtime_error("cannot create " + path.string());
    }
    return h;
}

} // namespace

namespace {

// One argument quoted for CommandLineToArgvW: backslashes before a quote doubled.
std::wstring quotedArgument(const std::wstring& argument) {
    std::wstring out = L"\"";
    size_t backslashes = 0;
    for (wchar_t c : argument) {
        if (c == L'\\') {
            ++backslashes;
            continue;
        }
        out.append(c == L'"' ? backslashes * 2 + 1 : backslashes, L'\\');
        backslashes = 0;
        out += c;
    }
    out.append(backslashes * 2, L'\\');
    return out + L"\"";
}

} // namespace

ProcessResult runProgram(const fs::path& program, const fs::path& folder,
                         const ProcessLimits& limits) {
    return runProgram(program, folder, {}, limits);
}

ProcessResult runProgram(const fs::path& program, const fs::path& folder,
                         const std::vector<std::string>& arguments, const ProcessLimits& limits) {
    (void)limits;
    TempFolder capture;
    fs::path outPath = capture / "stdout";
    fs::path errPath = capture / "stderr";
    // Made absolute before the child starts in another folder (and, under Wine, a Unix path
    // from the build becomes a drive path).
    std::wstring application = fs::absolute(program).wstring();
    std::wstring commandLine = quotedArgument(application);
    for (const std::string& argument : arguments) {
        commandLine += L" " + quotedArgument(fs::u8path(argument).wstring());
    }
    std::wstring workingFolder = fs::absolute(folder).wstring();

    HANDLE out = inheritableOutput(outPath);
    HANDLE err = inheritableOutput(errPath);
    STARTUPINFOW startup{};
    startup.cb = sizeof startup;
    startup.dwFlags = STARTF_USESTDHANDLES;
    startup.hStdInput = nullptr;
    startup.hStdOutput = out;
    startup.hStdError = err;
    PROCESS_INFORMATION child{};
    // Wine now and then fails to start a large program while others start beside it: a few
    // tries, a moment apart, before the test gives up.
    BOOL started = FALSE;
    for (int attempt = 0; attempt < 5 && !started; ++attempt) {
        if (attempt > 0) {
            Sleep(200);
        }
        started =
            CreateProcessW(application.c_str(), commandLine.data(), nullptr, nullptr, TRUE,
                           CREATE_NO_WINDOW, nullptr, workingFolder.c_str(), &startup, &child);
    }
    CloseHandle(out);
    CloseHandle(err);
    if (!started) {
        throw std::runtime_error("cannot start " + program.string());
    }
    DWORD exitCode = 0;
    bool finished = WaitForSingleObject(child.hProcess, INFINITE) == WAIT_OBJECT_0 &&
                    GetExitCodeProcess(child.hProcess, &exitCode);
    CloseHandle(child.hThread);
    CloseHandle(child.hProcess);
    if (!finished) {
        throw std::runtime_error("cannot wait for " + program.string());
    }
    ProcessResult result;
    result.exitStatus = static_cast<int>(exitCode);
    result.output = readText(outPath);
    result.errors = readText(errPath);
    return result;
}

#else

HeldFile::HeldFile(const fs::path& path, bool exclusive) {
    int fd = ::open(path.c_str(), O_RDONLY | O_CLOEXEC);
    if (fd >= 0 && ::flock(fd, (exclusive ? LOCK_EX : LOCK_SH) | LOCK_NB) == 0) {
        handle_ = fd;
        holding_ = true;
    } else if (fd >= 0) {
        ::close(fd);
    }
}

HeldFile::~HeldFile() {
    if (holding_) {
        ::close(static_cast<int>(handle_));
    }
}

bool posixFileSystem() {
    return true;
}

ProcessResult runProgram(const fs::path& program, const fs::path& folder,
                         const ProcessLimits& limits) {
    return runProgram(program, folder, {}, limits);
}

ProcessResult runProgram(const fs::path& program, const fs::path& folder,
                         const std::vector<std::string>& arguments, const ProcessLimits& limits) {
    TempFolder capture;
    fs::path outPath = capture / "stdout";
    fs::path errPath = capture / "stderr";
    std::vector<char*> argv = {const_cast<char*>(program.c_str())};
    for (const std::string& argument : arguments) {
        argv.push_back(const_cast<char*>(argument.c_str()));
    }
    argv.push_back(nullptr);
    pid_t child = ::fork();
    if (child < 0) {
        throw std::runtime_error("fork failed");
    }
    if (child == 0) {
        int out = ::open(outPath.c_str(), O_WRONLY | O_CREAT | O_TRUNC, 0600);
        int err = ::open(errPath.c_str(), O_WRONLY | O_CREAT | O_TRUNC, 0600);
        if (out < 0 || err < 0 || ::dup2(out, 1) < 0 || ::dup2(err, 2) < 0 ||
            ::chdir(folder.c_str()) != 0) {
            ::_exit(127);
        }
        if (limits.fileSizeLimit != 0) {
            struct rlimit limit {
                limits.fileSizeLimit, limits.fileSizeLimit
            };
            if (std::signal(SIGXFSZ, SIG_IGN) == SIG_ERR ||
                ::setrlimit(RLIMIT_FSIZE, &limit) != 0) {
                ::_exit(127);
            }
        }
        if (limits.hangSeconds != 0) {
            ::alarm(limits.hangSeconds);
        }
        ::execv(program.c_str(), argv.data());
        ::_exit(127);
    }
    int status = 0;
    while (::waitpid(child, &status, 0) < 0) {
    }
    ProcessResult result;
    result.exitStatus = WIFEXITED(status) ? WEXITSTATUS(status) : 128 + WTERMSIG(status);
    result.output = readText(outPath);
    result.errors = readText(errPath);
    return result;
}

#endif

} // namespace kvrtest
