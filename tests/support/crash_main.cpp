// kvrcrash K [ARGUMENTS...]: kvrrank, ending at once at its K-th file operation.
#include "app/command_line.h"
#include "platform/console.h"
#include "platform/fs.h"

#include <cstdio>
#include <cstdlib>
#include <string>
#include <vector>

int main(int argc, char** argv) {
    if (argc < 2) {
        std::fputs("usage: kvrcrash K [ARGUMENTS...]\n", stderr);
        return 2;
    }
    kvr::platform::prepareConsole();
    kvr::platform::injectCrashAt(std::atol(argv[1]));
    return kvr::kvrRankMain(std::vector<std::string>(argv + 2, argv + argc), stdout, stderr);
}
