// The watch: runs once, then runs again whenever the participant folder or the league file
// changes, each run the same steps as a one-off run's, and optionally serves it live.
#pragma once

#include "live/live_server.h"
#include "output/run_options.h"
#include "platform/env.h"
#include "platform/folder_watch.h"

#include <chrono>
#include <cstdio>
#include <functional>
#include <optional>
#include <string>

namespace kvr {

struct WatchSettings {
    // The run's options, the league applied.
    RunOptions options;
    // The league file to watch (absolute), and how to read it again over the command line's
    // options: false with the message ("kvrrank.toml:12:3: ...") when it is not good. The
    // third string gets what the file now asks of the board that only a restart gives ("...:
    // serve changed to 8081: restart kvrrank to serve there"), empty when nothing.
    std::string leagueFile;
    std::function<bool(RunOptions&, std::string&, std::string&)> reloadLeague;
    std::optional<ServeAddress> serve;
    std::chrono::milliseconds lookEvery{1000};
    std::chrono::milliseconds settle{1000};
};

// Watches until `stop` is requested (the system's token: Ctrl+C, SIGTERM). The folder, its
// files, the clock and every wait go through `env`. Returns the exit status: 0 unless it could
// not start or the season's line could not be added.
int watchGameFolder(platform::Env& env, std::FILE* console, std::FILE* errors,
                    WatchSettings settings, const platform::StopToken& stop);

} // namespace kvr
