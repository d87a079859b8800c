// The process's console and command line: the other place, beside the files (fs.h), that
// talks to the operating system. One implementation for POSIX, one for Win32.
#pragma once

#include <cstdio>
#include <string>
#include <vector>

namespace kvr::platform {

// Writes UTF-8 text ("\n" line ends) to a console stream and flushes it; nothing when the
// stream is null. The result is not
// reported: the console is a courtesy, and a reader that has gone changes nothing.
void writeConsole(std::FILE* stream, const std::string& text);

// Prepares the standard streams for a run: a reader of the console that goes away (a closed
// pipe) only makes the writes fail, it never ends the process.
void prepareConsole();

// The arguments after the program name, as UTF-8. On Windows they are read from the UTF-16
// command line, so that any letters arrive intact; elsewhere they are `argv`.
std::vector<std::string> commandLineArguments(int argc, char** argv);

// How the process was started, as far as its console tells.
struct ConsoleStart {
    bool inputIsConsole = false;        // standard input is a console, not a file or a pipe
    bool outputIsConsole = false;       // standard output likewise
    unsigned long consoleProcesses = 0; // processes attached to the console (Windows; else 0)
};
ConsoleStart consoleStart();

} // namespace kvr::platform
