#include "app/command_line.h"

#include "app/run.h"
#include "data/text.h"
#include "platform/fs.h"

#include <CLI/CLI.hpp>

#include <algorithm>

namespace kvr {

namespace {

constexpr const char* Description =
    "kvrrank " KVR_VERSION " - best times and a points championship for a group of Dustline "
    "Rally 2.0 players.\n"
    "\n"
    "Run in the game folder (or give its path), it imports every participant file kvr/*.kvr, "
    "writes the group's best time of every stage and arcade event into the two best-time "
    "tables of Configuration/gameinfo.rcf (nothing else in that file changes), and then writes "
    "ranking.txt: the ten best of every event and the driver points ranking.";

constexpr const char* Footer =
    "Exit status:\n"
    "  0  every participant file imported, records file updated, ranking.txt written\n"
    "  1  a failure: nothing to import, a file not imported, the update or the report\n"
    "     failed (each with one line on stderr: \"kvrrank: PATH: reason\")\n"
    "  2  a bad command line; no file was touched";

} // namespace

int kvrRankMain(const std::vector<std::string>& arguments, std::FILE* console, std::FILE* errors,
                bool* onlyInformation) {
    CLI::App app(Description, "kvrrank");
    app.set_help_flag("-h,--help", "Print this help and exit");
    bool version = false;
    app.add_flag("--version", version, "Print the version and exit");
    std::string gameFolder;
    app.add_option("GAME_FOLDER", gameFolder,
                   "The game folder, which holds kvr/ and Configuration/ (default: the working "
                   "folder)");
    app.footer(Footer);

    try {
        // CLI11 takes the arguments last first.
        std::vector<std::string> reversed(arguments.rbegin(), arguments.rend());
        app.parse(reversed);
    } catch (const CLI::CallForHelp&) {
        if (onlyInformation != nullptr) {
            *onlyInformation = true;
        }
        platform::writeConsole(console, app.help());
        return ExitSuccess;
    } catch (const CLI::ParseError& error) {
        platform::writeConsole(errors,
                               "kvrrank: " + safeText(error.what()) + " (see kvrrank --help)\n");
        return ExitUsage;
    }
    if (version) {
        if (onlyInformation != nullptr) {
            *onlyInformation = true;
        }
        platform::writeConsole(console, "kvrrank " KVR_VERSION "\n");
        return ExitSuccess;
    }
    if (app.count("GAME_FOLDER") > 0) {
        platform::Status entered = platform::enterFolder(gameFolder.c_str());
        if (!entered) {
            complain(errors, gameFolder, entered.reason());
            return ExitFailure;
        }
    }
    return runKvrRank(console, errors);
}

} // namespace kvr
