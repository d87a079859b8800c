#include "app/command_line.h"

#include "app/help_format.h"
#include "app/league_file.h"
#include "app/output_clash.h"
#include "app/run.h"
#include "data/text.h"
#include "platform/console.h"
#include "platform/fs.h"

#include <CLI/CLI.hpp>

#include <memory>

namespace kvr {

namespace {

constexpr const char* Description =
    "Best times and a points championship for a group of Dustline Rally 2.0 players.\n"
    "\n"
    "Run in the game folder, or given its path, kvrrank imports every participant file\n"
    "kvr/*.kvr, writes the group's best time of every stage and arcade event into the two\n"
    "best-time tables of Configuration/gameinfo.rcf (no other byte of it changes), and\n"
    "then writes ranking.txt: the ten best of every event and the driver points ranking,\n"
    "and the exports asked for. Exports are written after ranking.txt, and only when the\n"
    "update succeeded (or was skipped with --no-records).";

constexpr const char* Footer =
    "Exit status:\n"
    "  0  participants imported, records updated, ranking.txt written (a file that\n"
    "     could not be imported is left out)\n"
    "  1  nothing to import, the game folder cannot be entered, or the update, the\n"
    "     report, an export or the history failed (--new-league: kvrrank.toml is\n"
    "     there already, or could not be written)\n"
    "  2  a bad command line or league file; no file was touched\n"
    "\n"
    "Every failure gets one line on stderr: \"kvrrank: PATH: reason\".";

// An option that names a file or a folder takes no empty value: an unset variable in a script
// ("--history $SEASON") must not quietly drop what it names.
CLI::Validator nonEmpty(const char* what) {
    const std::string reason = std::string("an empty ") + what + " name";
    return CLI::Validator(
        [reason](const std::string& value) { return value.empty() ? reason : std::string(); }, "",
        "not empty");
}

} // namespace

int kvrRankMain(const std::vector<std::string>& arguments, std::FILE* console, std::FILE* errors,
                bool* onlyInformation, platform::Env& env) {
    CLI::App app(Description, "kvrrank");
    app.formatter(std::make_shared<HelpFormatter>());
    // A folder such as "/games/dustline" is a folder on every system, never an option.
    app.allow_windows_style_options(false);
    app.set_help_flag("-h,--help", "print this help and exit");
    bool version = false;
    app.add_flag("--version", version, "print the version and exit");
    RunOptions options;
    bool noRecords = false;
    app.add_flag("--no-records", noRecords,
                 "leave Configuration/gameinfo.rcf alone (it need not exist); write\n"
                 "ranking.txt and the exports only");
    app.add_option("--html", options.htmlPath, "also write the ranking as a web page to FILE")
        ->type_name("FILE")
        ->check(nonEmpty("file"));
    app.add_option("--json", options.jsonPath, "also write the ranking as JSON to FILE")
        ->type_name("FILE")
        ->check(nonEmpty("file"));
    app.add_option("--csv", options.csvPath, "also write every participant's times as CSV to FILE")
        ->type_name("FILE")
        ->check(nonEmpty("file"));
    app.add_option("--post", options.postPath,
                   "also write a post for the group's chat to FILE (Markdown, in messages of\n"
                   "at most 2,000 characters)")
        ->type_name("FILE")
        ->check(nonEmpty("file"));
    app.add_option("--history", options.historyPath,
                   "keep the season in FILE (created when missing): the web page and the\n"
                   "JSON show what changed since its earlier runs, and a run that writes\n"
                   "ranking.txt adds itself to it")
        ->type_name("FILE")
        ->check(nonEmpty("file"));
    std::string league;
    app.add_option("--league", league,
                   "read the league's rules and outputs from FILE (default: kvrrank.toml\n"
                   "in the game folder, when it is there); the command line wins")
        ->type_name("FILE")
        ->check(nonEmpty("file"));
    bool newLeague = false;
    app.add_flag("--new-league", newLeague,
                 "write a kvrrank.toml to start from into the game folder and exit;\n"
                 "an existing one is left alone");
    std::string gameFolder;
    app.add_option("GAME_FOLDER", gameFolder,
                   "the folder with kvr/ and Configuration/ (default: here)")
        ->type_name("")
        ->check(nonEmpty("folder"));
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
    // --new-league runs nothing, so an output or a league beside it is a mistake.
    for (const char* option :
         {"--no-records", "--html", "--json", "--csv", "--history", "--league"}) {
        if (newLeague && app.count(option) > 0) {
            platform::writeConsole(errors, std::string("kvrrank: --new-league runs nothing: ") +
                                               option +
                                               " makes no sense with it (see kvrrank --help)\n");
            return ExitUsage;
        }
    }
    if (version) {
        if (onlyInformation != nullptr) {
            *onlyInformation = true;
        }
        platform::writeConsole(console, "kvrrank " KVR_VERSION "\n");
        return ExitSuccess;
    }
    options.updateRecords = !noRecords;
    // Export paths are relative to where the command was started, not to the game folder.
    for (std::string* path : {&options.htmlPath, &options.jsonPath, &options.csvPath,
                              &options.postPath, &options.historyPath}) {
        if (!path->empty()) {
            *path = platform::absolutePath(*path);
        }
    }
    const std::string leaguePath = league.empty() ? league : platform::absolutePath(league);
    if (app.count("GAME_FOLDER") > 0) {
        platform::Status entered = platform::enterFolder(gameFolder.c_str());
        if (!entered) {
            complain(errors, gameFolder, entered.reason());
            return ExitFailure;
        }
        options.gameFolder = gameFolder;
    }
    if (newLeague) {
        return writeNewLeagueFile(env, console, errors);
    }
    // The league's outputs join the command line's before anything is touched.
    if (!applyLeagueFile(env, leaguePath, league, options, errors)) {
        return ExitUsage;
    }
    // A slip of the keyboard must not replace the season, the report or the game's files.
    if (std::optional<std::string> clash = findOutputClash(env, options)) {
        platform::writeConsole(errors, "kvrrank: " + safeText(*clash) + "\n");
        return ExitUsage;
    }
    return runKvrRank(env, console, errors, options);
}

} // namespace kvr
