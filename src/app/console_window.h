// The console window of a program started by double-click or drag-and-drop in Explorer: it
// closes with the process, so the run's last lines would flash by unread.
#pragma once

#include "platform/console.h"

#include <cstdio>

namespace kvr {

// True when the process should wait for Enter before it ends: the console is its own alone
// (one attached process, as Explorer starts it), input and output are that console, and more
// than help or the version was shown. From cmd, PowerShell or a script the console is
// shared; redirected, there is nobody to press Enter.
bool keepsWindowOpen(const platform::ConsoleStart& start, bool onlyInformationShown);

// A blank line, "Press Enter to close this window." on `console`, then reads `input` up to
// the end of a line or of the input.
void waitForEnter(std::FILE* input, std::FILE* console);

} // namespace kvr
