// kvrrank [OPTIONS] [GAME_FOLDER]
#include "app/command_line.h"
#include "platform/fs.h"

#include <cstdio>

int main(int argc, char** argv) {
    kvr::platform::prepareConsole();
    return kvr::kvrRankMain(std::vector<std::string>(argv + 1, argv + argc), stdout, stderr);
}
