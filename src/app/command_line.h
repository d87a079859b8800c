// The command line of kvrrank: kvrrank [OPTIONS] [GAME_FOLDER].
#pragma once

#include "platform/env.h"

#include <cstdio>
#include <string>
#include <vector>

namespace kvr {

// The whole program for the arguments after the program name (UTF-8). Help, the version
// and usage errors touch no file; otherwise the run happens in GAME_FOLDER, or in the
// working folder when none is given. Returns the exit status. `onlyInformation`, when given,
// is set when the help or the version was all the program did.
int kvrRankMain(const std::vector<std::string>& arguments, std::FILE* console, std::FILE* errors,
                bool* onlyInformation = nullptr, platform::Env& env = platform::Env::system());

} // namespace kvr
