// kvrcrash K [ARGUMENTS...]: kvrrank, ending at once before its K-th file step. A watch is
// asked to stop before it starts: it makes its first run, adds its season line and ends.
#include "app/command_line.h"
#include "platform/console.h"
#include "platform/folder_watch.h"
#include "support/faulty_env.h"

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
    kvrtest::FaultyEnv env;
    env.crashAt(std::atol(argv[1]));
    kvr::platform::systemStopToken().request();
    return kvr::kvrRankMain(std::vector<std::string>(argv + 2, argv + argc), stdout, stderr,
                            nullptr, env);
}
