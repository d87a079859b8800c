// Win32 console and command line: UTF-16 at the console and on the command line, so that any
// letters arrive intact whatever the console's code page.
#include "platform/console.h"
#include "platform/wide_text.h"
#include "platform/win32.h"

#include <shellapi.h>

#include <algorithm>
#include <cwchar>
#include <io.h>

namespace kvr::platform {

namespace {

// The OS handle of a C stream, or INVALID_HANDLE_VALUE.
HANDLE streamHandle(std::FILE* stream) {
    int fd = _fileno(stream);
    return fd < 0 ? INVALID_HANDLE_VALUE : reinterpret_cast<HANDLE>(_get_osfhandle(fd));
}

bool isConsole(HANDLE handle) {
    DWORD mode = 0;
    return handle != INVALID_HANDLE_VALUE && handle != nullptr && GetConsoleMode(handle, &mode);
}

} // namespace

void writeConsole(std::FILE* stream, const std::string& text) {
    if (stream == nullptr) {
        return; // a run told to keep quiet
    }
    HANDLE handle = streamHandle(stream);
    if (!isConsole(handle)) {
        // A file or a pipe gets UTF-8; the stream's text mode makes the line ends CR LF.
        std::fwrite(text.data(), 1, text.size(), stream);
        std::fflush(stream);
        return;
    }
    // A console shows UTF-16 as it is, whatever its code page.
    std::fflush(stream);
    std::string lines;
    for (char c : text) {
        if (c == '\n') {
            lines += '\r';
        }
        lines += c;
    }
    const std::u16string wide = utf16FromUtf8(lines);
    size_t done = 0;
    while (done < wide.size()) {
        DWORD request = static_cast<DWORD>(std::min<size_t>(wide.size() - done, 16384));
        DWORD written = 0;
        if (!WriteConsoleW(handle, wide.data() + done, request, &written, nullptr) ||
            written == 0) {
            return;
        }
        done += written;
    }
}

void prepareConsole() {
    // Nothing to do: a write to a closed pipe fails with ERROR_NO_DATA, no signal ends the
    // process.
}

std::vector<std::string> commandLineArguments(int argc, char** argv) {
    // The UTF-16 command line, not the ANSI argv: a GAME_FOLDER with any letters arrives
    // intact.
    int count = 0;
    wchar_t** wide = CommandLineToArgvW(GetCommandLineW(), &count);
    if (wide == nullptr) {
        return std::vector<std::string>(argv + std::min(argc, 1), argv + argc);
    }
    std::vector<std::string> arguments;
    for (int i = 1; i < count; ++i) {
        arguments.push_back(utf8FromUtf16(std::u16string(wide[i], wide[i] + std::wcslen(wide[i]))));
    }
    LocalFree(wide);
    return arguments;
}

ConsoleStart consoleStart() {
    ConsoleStart start;
    start.inputIsConsole = isConsole(GetStdHandle(STD_INPUT_HANDLE));
    start.outputIsConsole = isConsole(GetStdHandle(STD_OUTPUT_HANDLE));
    DWORD processes[2];
    start.consoleProcesses = GetConsoleProcessList(processes, 2);
    return start;
}

} // namespace kvr::platform
