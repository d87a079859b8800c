// kvrrank [OPTIONS] [GAME_FOLDER]
#include "app/command_line.h"
#include "app/console_window.h"
#include "platform/console.h"
#include "platform/env.h"

#include <cstdio>

int main(int argc, char** argv) {
    kvr::platform::prepareConsole();
    bool onlyInformation = false;
    int status = kvr::kvrRankMain(kvr::platform::commandLineArguments(argc, argv), stdout, stderr,
                                  &onlyInformation, kvr::platform::Env::system());
    if (kvr::keepsWindowOpen(kvr::platform::consoleStart(), onlyInformation)) {
        kvr::waitForEnter(stdin, stdout);
    }
    return status;
}
