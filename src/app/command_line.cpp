#include "app/command_line.h"

#include "app/help_format.h"
#include "app/output_clash.h"
#include "app/run.h"
#include "app/watch.h"
#include "data/text.h"
#include "league/league_file.h"
#include "model/time_text.h"
#include "platform/console.h"
#include "platform/fs.h"
#include "report/words.h"

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

// The command line's values before they are checked and resolved.
struct Given {
    bool version = false;
    bool newLeague = false;
    bool noRecords = false;
    bool review = false;
    PerOutput<std::string> files;
    std::string league;
    std::vector<std::string> archive;
    std::string gameFolder;
    bool watch = false;
    std::string serve;
    bool lan = false;
    bool once = false;
    std::string language; // empty: the league file's, or English
};

// A language there are words for, by its code.
CLI::Validator knownLanguage() {
    return CLI::Validator(
        [](const std::string& code) {
            return findLanguage(code) != nullptr
                       ? std::string()
                       : "no language \"" + code + "\": the languages are " + languageCodes();
        },
        "", "a language code");
}

// The command line's language wins over the league file's.
void applyLanguage(const Given& given, RunOptions& options) {
    if (!given.language.empty()) {
        options.league.language = given.language;
    }
}

// Every option, the outputs' from the table.
void describe(CLI::App& app, Given& given) {
    app.formatter(std::make_shared<HelpFormatter>());
    // A folder such as "/games/dustline" is a folder on every system, never an option.
    app.allow_windows_style_options(false);
    app.set_help_flag("-h,--help", "print this help and exit");
    app.add_flag("--version", given.version, "print the version and exit");
    for (const OutputKind& kind : outputTable()) {
        if (kind.option == nullptr) {
            continue;
        }
        if (!kind.takesFile) {
            app.add_flag(kind.option, given.noRecords, kind.help);
            continue;
        }
        app.add_option(kind.option, given.files[indexOf(kind.output)], kind.help)
            ->type_name("FILE")
            ->check(nonEmpty("file"));
    }
    app.add_option("--league", given.league,
                   "read the league's rules and outputs from FILE (default: kvrrank.toml\n"
                   "in the game folder, when it is there); the command line wins")
        ->type_name("FILE")
        ->check(nonEmpty("file"));
    app.add_option("--language", given.language,
                   "the language of the page, the live board, the overlay, the standings\n"
                   "card, the chat post and --review's words: " +
                       languageCodes() +
                       " (default: the\n"
                       "league file's [page] language, else en)")
        ->type_name("CODE")
        ->check(knownLanguage());
    app.add_flag("--watch", given.watch,
                 "keep running: run again whenever a file in kvr/ or the league file\n"
                 "changes, until Ctrl+C; the season gets one line when it ends");
    app.add_option("--serve", given.serve,
                   "watch, and serve the page live at http://127.0.0.1:PORT/ (the\n"
                   "standings for a stream overlay at /overlay)")
        ->type_name("[ADDRESS:]PORT")
        ->check(nonEmpty("port"));
    app.add_flag("--lan", given.lan,
                 "with --serve: let the whole network reach it (every interface, or\n"
                 "the ADDRESS given), not only this machine");
    app.add_flag("--once", given.once,
                 "run once and exit, even when the league file's [live] asks for the\n"
                 "board: for a scheduled or scripted run");
    app.add_option("--archive", given.archive,
                   "an earlier season's history file for the all-time table, read only;\n"
                   "give it once per season, oldest first (replaces [archive] in the\n"
                   "league file)")
        ->type_name("FILE")
        ->check(nonEmpty("file"));
    app.add_flag("--review", given.review,
                 "list the flagged results that no decision covers, each with a\n"
                 "[[decision]] block ready to paste into the league file; writes nothing");
    app.add_flag("--new-league", given.newLeague,
                 "write a kvrrank.toml to start from into the game folder and exit;\n"
                 "an existing one is left alone");
    app.add_option("GAME_FOLDER", given.gameFolder,
                   "the folder with kvr/ and Configuration/ (default: here)")
        ->type_name("")
        ->check(nonEmpty("folder"));
    app.footer(Footer);
}

// --new-league runs nothing, so an output or a league beside it is a mistake: the option it
// meets first, in the help's order; empty when there is none. --version and --help only tell.
std::string optionBesideNewLeague(const CLI::App& app) {
    for (const CLI::Option* option : app.get_options()) {
        const std::string name = option->get_name();
        if (option->nonpositional() && option->count() > 0 && name != "--new-league" &&
            name != "--version" && name != "--help") {
            return name;
        }
    }
    return std::string();
}

// The run's options from what was given: paths resolved once, here. Exports are taken from
// where the command was started, not from the game folder. False, with the reason told, when
// the game folder cannot be entered.
bool resolve(const Given& given, bool folderGiven, RunOptions& options, std::FILE* errors) {
    options.updateRecords = !given.noRecords;
    for (const std::string& season : given.archive) {
        options.archive.push_back(platform::absolutePath(season));
        options.archiveShown.push_back(season);
    }
    for (size_t i = 0; i < OutputCount; ++i) {
        if (!given.files[i].empty()) {
            options.files[i] = platform::absolutePath(given.files[i]);
        }
    }
    if (folderGiven) {
        platform::Status usable = platform::checkFolder(given.gameFolder.c_str());
        if (!usable) {
            complain(errors, given.gameFolder, usable.reason());
            return false;
        }
        options.game.folder = platform::absolutePath(given.gameFolder);
        options.game.shown = given.gameFolder;
    }
    return true;
}

// What a league file read again asks of the board that only a restart gives: empty when
// nothing. The command line's --serve and --lan win over the file, and a watch without a board
// has no address to change.
std::string restartNote(const Given& given, const LeagueLive& started, const LeagueLive& now,
                        const std::string& shown) {
    if (!given.serve.empty() || !started.serve) {
        if (given.serve.empty() && now.serve) {
            return shown + ": serve added as " + *now.serve + ": restart kvrrank to serve there";
        }
        return std::string();
    }
    if (!now.serve) {
        return shown + ": serve removed: the board serves until kvrrank is restarted";
    }
    if (*now.serve != *started.serve) {
        return shown + ": serve changed to " + *now.serve + ": restart kvrrank to serve there";
    }
    const bool lan = now.lan.value_or(false);
    if (!given.lan && lan != started.lan.value_or(false)) {
        return shown + ": lan changed to " + (lan ? "true" : "false") + ": restart kvrrank to " +
               (lan ? "let the network in" : "serve this machine only");
    }
    return std::string();
}

void tellOnly(bool* onlyInformation) {
    if (onlyInformation != nullptr) {
        *onlyInformation = true;
    }
}

} // namespace

int kvrRankMain(const std::vector<std::string>& arguments, std::FILE* console, std::FILE* errors,
                bool* onlyInformation, platform::Env& env) {
    CLI::App app(Description, "kvrrank");
    Given given;
    describe(app, given);
    try {
        // CLI11 takes the arguments last first.
        std::vector<std::string> reversed(arguments.rbegin(), arguments.rend());
        app.parse(reversed);
    } catch (const CLI::CallForHelp&) {
        tellOnly(onlyInformation);
        platform::writeConsole(console, app.help());
        return ExitSuccess;
    } catch (const CLI::ParseError& error) {
        complain(errors, std::string(error.what()) + " (see kvrrank --help)");
        return ExitUsage;
    }
    if (given.newLeague) {
        const std::string option = optionBesideNewLeague(app);
        if (!option.empty()) {
            complain(errors, "--new-league runs nothing: " + option +
                                 " makes no sense with it (see kvrrank --help)");
            return ExitUsage;
        }
    }
    if (given.once && (given.watch || !given.serve.empty() || given.lan)) {
        complain(errors, std::string("--once runs once: ") +
                             (given.watch            ? "--watch"
                              : !given.serve.empty() ? "--serve"
                                                     : "--lan") +
                             " makes no sense with it (see kvrrank --help)");
        return ExitUsage;
    }
    if (given.version) {
        tellOnly(onlyInformation);
        platform::writeConsole(console, "kvrrank " KVR_VERSION "\n");
        return ExitSuccess;
    }
    RunOptions options;
    if (!resolve(given, app.count("GAME_FOLDER") > 0, options, errors)) {
        return ExitFailure;
    }
    if (given.newLeague) {
        return writeNewLeagueFile(env, options.game, console, errors);
    }
    // The league's outputs join the command line's before anything is touched.
    const std::string leaguePath =
        given.league.empty() ? given.league : platform::absolutePath(given.league);
    LeagueLive live;
    // The run's time, read once: the league's decisions are checked against this day, and
    // every output of the run is of this moment.
    const ReportTime now = reportTimeOf(env.localNow());
    if (!applyLeagueFile(env, leaguePath, given.league, options, errors, now, &live)) {
        return ExitUsage;
    }
    applyLanguage(given, options);
    if (given.review) {
        return reviewKvrRank(env, console, errors, options, now);
    }
    // A slip of the keyboard must not replace the season, the report or the game's files.
    if (std::optional<std::string> clash = findOutputClash(env, options)) {
        complain(errors, *clash);
        return ExitUsage;
    }
    // The live board: the command line, or the league file's [live] unless --once.
    if (given.once) {
        live = LeagueLive();
    }
    const std::string serve = !given.serve.empty() ? given.serve : live.serve.value_or("");
    const bool lan = given.lan || live.lan.value_or(false);
    if (lan && serve.empty()) {
        complain(errors, "--lan serves nothing without --serve PORT (see kvrrank --help)");
        return ExitUsage;
    }
    if (!given.watch && !live.watch.value_or(false) && serve.empty()) {
        return runKvrRank(env, console, errors, options, now);
    }
    WatchSettings watch;
    if (!serve.empty()) {
        ServeAddress address;
        std::string error;
        if (!parseServeAddress(serve, lan, address, error)) {
            complain(errors, "--serve " + error);
            return ExitUsage;
        }
        watch.serve = address;
    }
    watch.leagueFile = leaguePath.empty() ? options.game.path(LeagueFileName) : leaguePath;
    const bool folderGiven = app.count("GAME_FOLDER") > 0;
    const std::string leagueShown =
        given.league.empty() ? options.game.shownPath(LeagueFileName) : given.league;
    watch.reloadLeague = [&env, given, folderGiven, leaguePath, live, leagueShown](
                             RunOptions& fresh, std::string& error, std::string& restart) {
        LeagueLive asked;
        if (!resolve(given, folderGiven, fresh, nullptr) ||
            !applyLeagueFile(env, leaguePath, given.league, fresh, error,
                             reportTimeOf(env.localNow()), &asked)) {
            return false;
        }
        applyLanguage(given, fresh);
        if (std::optional<std::string> clash = findOutputClash(env, fresh)) {
            error = *clash;
            return false;
        }
        restart = restartNote(given, live, asked, leagueShown);
        return true;
    };
    watch.options = std::move(options);
    platform::catchStopRequests();
    return watchGameFolder(env, console, errors, std::move(watch), platform::systemStopToken());
}

} // namespace kvr
