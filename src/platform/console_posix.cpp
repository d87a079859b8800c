// POSIX console and command line.
#include "platform/console.h"

#include <csignal>
#include <unistd.h>

namespace kvr::platform {

void writeConsole(std::FILE* stream, const std::string& text) {
    if (stream == nullptr) {
        return; // a run told to keep quiet
    }
    std::fwrite(text.data(), 1, text.size(), stream);
    std::fflush(stream);
}

void prepareConsole() {
    std::signal(SIGPIPE, SIG_IGN);
}

std::vector<std::string> commandLineArguments(int argc, char** argv) {
    return std::vector<std::string>(argv + (argc > 0 ? 1 : 0), argv + argc);
}

ConsoleStart consoleStart() {
    ConsoleStart start;
    start.inputIsConsole = ::isatty(0) == 1;
    start.outputIsConsole = ::isatty(1) == 1;
    return start; // a terminal's processes are not counted: never the only one
}

} // namespace kvr::platform
