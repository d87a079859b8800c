#include "app/console_window.h"

namespace kvr {

bool keepsWindowOpen(const platform::ConsoleStart& start, bool onlyInformationShown) {
    return start.consoleProcesses == 1 && start.inputIsConsole && start.outputIsConsole &&
           !onlyInformationShown;
}

void waitForEnter(std::FILE* input, std::FILE* console) {
    platform::writeConsole(console, "\nPress Enter to close this window.\n");
    int c;
    do {
        c = std::fgetc(input);
    } while (c != '\n' && c != EOF);
}

} // namespace kvr
