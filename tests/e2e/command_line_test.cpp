// The command line, the failure reasons on stderr, terminal-safe names, shared reading and a
// console that goes away, on the built binary.
#include "support/game_folder.h"

#include <gtest/gtest.h>

#include <functional>

#ifndef _WIN32
#include <csignal>
#include <fcntl.h>
#include <sys/file.h>
#include <sys/wait.h>
#include <unistd.h>
#endif

namespace {

using kvrtest::GameFolder;
using kvrtest::ParticipantFileBuilder;
using kvrtest::platformText;
using kvrtest::snapshot;
namespace fs = std::filesystem;

const std::string UpdateOk = "updateing Configuration/gameinfo.rcf... ok!\n";
const std::string UpdateFailed = "updateing Configuration/gameinfo.rcf... failed!\n";

kvrtest::ProcessResult run(const fs::path& folder, const std::vector<std::string>& arguments = {}) {
    return kvrtest::runProgram(KVRRANK_BINARY, folder, arguments);
}

ParticipantFileBuilder driver(const std::string& code, uint32_t time) {
    ParticipantFileBuilder image;
    image.code(code).name("Driver " + code).stage(0, 0, 0x04, time).arcade(1, 0x41, time + 50);
    return image;
}

// A game folder with two participants and an earlier report.
void fill(GameFolder& game) {
    game.addParticipant("a.kvr", driver("AAA", 6000));
    game.addParticipant("b.kvr", driver("BBB", 5000));
    kvrtest::writeText(game / "ranking.txt", "earlier\n");
}

// The report without its "Ranking at" line, which holds the time of the run.
std::string withoutTime(std::string report) {
    size_t at = report.find("Ranking at ");
    if (at != std::string::npos) {
        report.erase(at, report.find('\n', at) - at);
    }
    return report;
}

bool isOneLine(const std::string& text) {
    return !text.empty() && text.find('\n') == text.size() - 1;
}

TEST(CommandLine, HelpVersionAndBadArgumentsTouchNothing) {
    struct Case {
        std::vector<std::string> arguments;
        int status;
        std::string outputStart; // empty: no output at all
        std::string errorPart;   // empty: no error line
    };
    const Case cases[] = {
        {{"--help"}, 0, "Usage: kvrrank [OPTIONS] [GAME_FOLDER]", ""},
        {{"-h"}, 0, "Usage: kvrrank [OPTIONS] [GAME_FOLDER]", ""},
        {{"--version"}, 0, "kvrrank " KVR_VERSION "\n", ""},
        {{"--bogus"}, 2, "", "--bogus"},
        {{"-x"}, 2, "", "-x"},
        {{".", "."}, 2, "", "."},
        {{"--participants", "3"}, 2, "", "--participants"},
    };
    for (const Case& c : cases) {
        SCOPED_TRACE(c.arguments[0]);
        GameFolder game;
        fill(game);
        auto before = snapshot(game.path());
        kvrtest::ProcessResult result = run(game.path(), c.arguments);
        EXPECT_EQ(result.exitStatus, c.status);
        EXPECT_EQ(snapshot(game.path()), before);
        if (c.outputStart.empty()) {
            EXPECT_EQ(result.output, "");
        } else {
            EXPECT_EQ(result.output.rfind(platformText(c.outputStart), 0), 0u) << result.output;
        }
        if (c.errorPart.empty()) {
            EXPECT_EQ(result.errors, "");
        } else {
            // One line that names the culprit and points to --help.
            EXPECT_TRUE(isOneLine(result.errors)) << result.errors;
            EXPECT_EQ(result.errors.rfind("kvrrank: ", 0), 0u) << result.errors;
            EXPECT_NE(result.errors.find(c.errorPart), std::string::npos) << result.errors;
            EXPECT_NE(result.errors.find("--help"), std::string::npos) << result.errors;
        }
    }
}

TEST(CommandLine, HelpSaysWhatARunReadsAndWritesAndListsExitStatuses) {
    GameFolder game;
    std::string help = run(game.path(), {"--help"}).output;
    for (const char* part :
         {"kvr/*.kvr", "Configuration/gameinfo.rcf", "ranking.txt", "GAME_FOLDER", "--version",
          "--once", "Exit status", "  0  ", "  1  ", "  2  "}) {
        EXPECT_NE(help.find(part), std::string::npos) << part;
    }
}

TEST(CommandLine, GameFolderGivesTheSameRunAsStartingThere) {
    GameFolder here, there;
    fill(here);
    fill(there);
    kvrtest::TempFolder elsewhere;
    kvrtest::ProcessResult inside = run(here.path());
    kvrtest::ProcessResult given = run(elsewhere.path(), {there.path().string()});
    EXPECT_EQ(given.exitStatus, 0);
    EXPECT_EQ(given.output, inside.output);
    EXPECT_EQ(given.errors, "");
    EXPECT_EQ(there.records(), here.records());
    EXPECT_EQ(withoutTime(kvrtest::readText(there / "ranking.txt")),
              withoutTime(kvrtest::readText(here / "ranking.txt")));
    EXPECT_TRUE(fs::is_empty(elsewhere.path()));

    // A folder that cannot be entered: one line, exit 1, nothing written anywhere.
    const fs::path missing = elsewhere / "no such folder";
    kvrtest::ProcessResult failed = run(elsewhere.path(), {missing.string()});
    EXPECT_EQ(failed.exitStatus, 1);
    EXPECT_EQ(failed.output, "");
    EXPECT_TRUE(isOneLine(failed.errors)) << failed.errors;
    EXPECT_EQ(failed.errors.rfind("kvrrank: " + missing.string() + ": ", 0), 0u) << failed.errors;
    EXPECT_TRUE(fs::is_empty(elsewhere.path()));

    // A folder without kvr/: the message names it under the folder given.
    failed = run(elsewhere.path(), {elsewhere.path().string()});
    EXPECT_EQ(failed.exitStatus, 1);
    EXPECT_EQ(failed.errors.rfind("kvrrank: " + (elsewhere / "kvr").string() + ": ", 0), 0u)
        << failed.errors;
}

// Outputs that would overwrite another output, the game's files or a season, and empty names:
// refused before anything is touched, with one line that names the option and what it hits.
TEST(CommandLine, OutputsThatWouldOverwriteAFileAndEmptyNamesAreRefused) {
    const std::string season = "{\"kvrrank_history\":1,\"at\":\"2026-12-01T20:00:00\"}\n";
    struct Case {
        std::vector<std::string> arguments;
        std::vector<std::string> errorParts;
        bool needsLinks = false; // hard and symbolic links
        bool windowsOnly = false;
    };
    const Case cases[] = {
        {{"--no-records", "--history", "s.jsonl", "--html", "s.jsonl"},
         {"--history ", "s.jsonl: the same file as --html ", "s.jsonl"}},
        {{"--json", "season.jsonl"}, {"--json ", "season.jsonl: is a kvrrank history file"}},
        {{"--html", "old.html", "--history", "season.jsonl"},
         {"--html ", "old.html: is a kvrrank history file"}},
        {{"--csv", "ranking.txt"}, {"--csv ", "the same file as the ranking report "}},
        {{"--post", "s.md", "--html", "./s.md"}, {"--post ", "s.md: the same file as --html "}},
        {{"--csv", "sub/../out.csv", "--json", "out.csv"},
         {"--csv ", "the same file as --json ", "out.csv"}},
        {{"--html", "Configuration/gameinfo.rcf", "--no-records"},
         {"--html ", "the same file as the game's records file "}},
        {{"--history", "Configuration/./gameinfo.rcf"}, {"--history ", "records file"}},
        {{"--json", "kvr/x.json"}, {"--json ", "x.json: a file in the participant folder "}},
        {{"--history", "kvr/a.kvr"}, {"--history ", "a file in the participant folder "}},
        {{"--csv", "hard.txt"}, {"--csv ", "hard.txt: the same file as the ranking report "}, true},
        {{"--json", "link.json"},
         {"--json ", "link.json: the same file as the game's records"},
         true},
        {{"--csv", "RANKING.TXT"}, {"--csv ", "the same file as the ranking report "}, false, true},
        {{"--history", ""}, {"--history: an empty file name"}},
        {{"--html", ""}, {"--html: an empty file name"}},
        {{"--json", ""}, {"--json: an empty file name"}},
        {{"--csv", "", "--history", "s.jsonl"}, {"--csv: an empty file name"}},
        {{"--post", ""}, {"--post: an empty file name"}},
        {{"--league", ""}, {"--league: an empty file name"}},
        {{""}, {"GAME_FOLDER: an empty folder name"}},
    };
#ifdef _WIN32
    const bool windows = true;
#else
    const bool windows = false;
#endif
    for (const Case& c : cases) {
        if ((c.needsLinks && !kvrtest::posixFileSystem()) || (c.windowsOnly && !windows)) {
            continue;
        }
        SCOPED_TRACE(c.arguments[0] + " " + (c.arguments.size() > 1 ? c.arguments[1] : ""));
        GameFolder game;
        fill(game);
        kvrtest::writeText(game / "season.jsonl", season);
        kvrtest::writeText(game / "old.html", season + season);
        fs::create_directory(game / "sub");
        if (c.needsLinks) {
            fs::create_hard_link(game / "ranking.txt", game / "hard.txt");
            fs::create_symlink("Configuration/gameinfo.rcf", game / "link.json");
        }
        auto before = snapshot(game.path());
        kvrtest::ProcessResult result = run(game.path(), c.arguments);
        EXPECT_EQ(result.exitStatus, 2);
        EXPECT_EQ(result.output, "");
        EXPECT_EQ(snapshot(game.path()), before);
        EXPECT_TRUE(isOneLine(result.errors)) << result.errors;
        EXPECT_EQ(result.errors.rfind("kvrrank: ", 0), 0u) << result.errors;
        for (const std::string& part : c.errorParts) {
            EXPECT_NE(result.errors.find(part), std::string::npos) << part << "\n" << result.errors;
        }
    }

    // An export on a file another program holds, as a run holds the season while it appends:
    // replacing it would take the file from under that run.
    GameFolder game;
    fill(game);
    kvrtest::writeText(game / "busy.jsonl", "");
    const auto before = snapshot(game.path()); // taken while the file can still be read
    {
        kvrtest::ExclusiveHolder holder(game / "busy.jsonl");
        kvrtest::ProcessResult held = run(game.path(), {"--json", "busy.jsonl"});
        EXPECT_EQ(held.exitStatus, 2);
        EXPECT_NE(held.errors.find("busy.jsonl: held by another program"), std::string::npos)
            << held.errors;
    }
    EXPECT_EQ(snapshot(game.path()), before);
}

// A reason in the system's words, as strerror gives it, marked so that the check can tell.
std::string OsText(const std::string& posixText) {
    return "\x01" + posixText + "\n";
}

// Every kind of failure gets its own line on stderr; the console and the exit status are
// those of a run without stderr.
TEST(FailureReasons, EveryFailureSaysWhyOnStderr) {
    struct Case {
        const char* what;
        std::function<void(GameFolder&)> make;
        std::string output;
        std::string errors;
        int status;
    };
    const std::string importA = "importing a.kvr ... ok!\n";
    const Case cases[] = {
        {"a clean run", [](GameFolder&) {}, importA + UpdateOk, "", 0},
        {"a short participant file",
         [](GameFolder& g) { g.addParticipant("b.kvr", driver("BBB", 1).resize(1000)); },
         importA + "importing b.kvr ... failed!\n" + UpdateOk,
         "kvrrank: kvr/b.kvr: too short: 1000 bytes, at least 1616 needed\n", 0},
        {"no participant folder", [](GameFolder& g) { fs::remove_all(g / "kvr"); },
         "not found kvr file\n", "kvrrank: kvr: " + OsText("No such file or directory"), 1},
        {"no participant file",
         [](GameFolder& g) {
             fs::remove(g / "kvr" / "a.kvr");
             kvrtest::writeText(g / "kvr" / "notes.txt", "x");
         },
         "not found kvr file\n", "kvrrank: kvr: no .kvr file in this folder\n", 1},
        {"only folders",
         [](GameFolder& g) {
             fs::remove(g / "kvr" / "a.kvr");
             fs::create_directory(g / "kvr" / "old.kvr");
         },
         "", "kvrrank: kvr: only folders, no participant file\n", 1},
        {"nothing imported",
         [](GameFolder& g) { kvrtest::writeText(g / "kvr" / "a.kvr", "short"); },
         "importing a.kvr ... failed!\n",
         "kvrrank: kvr/a.kvr: too short: 5 bytes, at least 1616 needed\n"
         "kvrrank: kvr: no participant file could be imported, nothing updated\n",
         1},
        {"no records file", [](GameFolder& g) { fs::remove(g.recordsPath()); },
         importA + UpdateFailed,
         "kvrrank: Configuration/gameinfo.rcf: " + OsText("No such file or directory"), 1},
        {"a short records file",
         [](GameFolder& g) {
             kvrtest::writeBytes(g.recordsPath(), kvrtest::syntheticRecordsFile(2000));
         },
         importA + UpdateFailed,
         "kvrrank: Configuration/gameinfo.rcf: too short: 2000 bytes, at least 4884 needed\n", 1},
    };
    for (const Case& c : cases) {
        SCOPED_TRACE(c.what);
        GameFolder game;
        game.addParticipant("a.kvr", driver("AAA", 6000));
        c.make(game);
        kvrtest::ProcessResult result = run(game.path());
        EXPECT_EQ(result.output, platformText(c.output));
        const size_t osText = c.errors.find('\x01');
        if (osText == std::string::npos) {
            EXPECT_EQ(result.errors, platformText(c.errors));
        } else {
            // The system's own words: on POSIX exactly strerror's; Windows and Wine word
            // them differently, so there one line with some reason.
            const std::string prefix = c.errors.substr(0, osText);
            EXPECT_TRUE(isOneLine(result.errors)) << result.errors;
            EXPECT_EQ(result.errors.rfind(prefix, 0), 0u) << result.errors;
            EXPECT_GT(result.errors.size(), prefix.size() + 3) << result.errors;
#ifndef _WIN32
            EXPECT_EQ(result.errors, prefix + c.errors.substr(osText + 1));
#endif
        }
        EXPECT_EQ(result.exitStatus, c.status);
    }
}

TEST(FailureReasons, FilesHeldByAnotherProgram) {
    GameFolder game;
    fill(game);
    game.addParticipant("c.kvr", driver("CCC", 7000));
    {
        // A second reader does not stand in the way; an exclusive holder does.
        kvrtest::SharedHolder reader(game / "kvr" / "a.kvr");
        kvrtest::ExclusiveHolder writer(game / "kvr" / "b.kvr");
        ASSERT_TRUE(reader.holding());
        ASSERT_TRUE(writer.holding());
        kvrtest::ProcessResult result = run(game.path());
        EXPECT_EQ(result.output, platformText("importing a.kvr ... ok!\n"
                                              "importing b.kvr ... failed!\n"
                                              "importing c.kvr ... ok!\n" +
                                              UpdateOk));
        EXPECT_EQ(result.errors, platformText("kvrrank: kvr/b.kvr: held by another program\n"));
        EXPECT_EQ(result.exitStatus, 0);
    }
    const std::vector<uint8_t> records = game.records();
    const std::string report = kvrtest::readText(game / "ranking.txt");
    kvrtest::ExclusiveHolder game_(game.recordsPath());
    ASSERT_TRUE(game_.holding());
    kvrtest::ProcessResult result = run(game.path());
    EXPECT_EQ(result.errors,
              platformText("kvrrank: Configuration/gameinfo.rcf: held by another program\n"));
    EXPECT_EQ(result.exitStatus, 1);
    EXPECT_EQ(kvrtest::readText(game / "ranking.txt"), report);
}

TEST(TerminalSafety, ControlBytesInNamesAreShownAsQuestionMarks) {
#ifdef _WIN32
    // Windows allows no control character in a file name: only the names inside the file.
    const std::string hostile = "x[2J.kvr";
    const std::string shown = hostile;
#else
    const std::string hostile = "x\x1b[2J\x1b]0;title\a\nupdateing fake... ok!\ry.kvr";
    const std::string shown = "x?[2J?]0;title??updateing fake... ok!?y.kvr";
#endif
    GameFolder game;
    ParticipantFileBuilder forger = driver("E\n", 6000);
    forger.name("Eve\n  01 1104pnt Forged\r\x1b[1A");
    game.addParticipant(hostile, forger);
    kvrtest::ProcessResult result = run(game.path());
    EXPECT_EQ(result.output, platformText("importing " + shown + " ... ok!\n" + UpdateOk));
    EXPECT_EQ(result.exitStatus, 0);
    // In the report, the name and the code stay on their own line.
    const std::string report = kvrtest::readText(game / "ranking.txt");
    EXPECT_NE(report.find(platformText("  01.  E? , 1850.00.00 , Eve?  01 1104pnt Forged??[1A\n")),
              std::string::npos)
        << report;
    EXPECT_NE(report.find(platformText("  01   24pnt Eve?  01 1104pnt Forged??[1A\n")),
              std::string::npos)
        << report;
    EXPECT_EQ(report.find("\x1b"), std::string::npos);
}

#ifndef _WIN32

// Starts the binary in `folder` with stdout into `outFd` and stderr into `errFd`.
pid_t start(const fs::path& folder, int outFd, int errFd) {
    pid_t child = ::fork();
    if (child == 0) {
        if (::dup2(outFd, 1) < 0 || ::dup2(errFd, 2) < 0 || ::chdir(folder.c_str()) != 0) {
            ::_exit(127);
        }
        ::execl(KVRRANK_BINARY, KVRRANK_BINARY, static_cast<char*>(nullptr));
        ::_exit(127);
    }
    return child;
}

int waitFor(pid_t child) {
    int status = 0;
    while (::waitpid(child, &status, 0) < 0) {
    }
    return WIFEXITED(status) ? WEXITSTATUS(status) : 128 + WTERMSIG(status);
}

// Writes the folder's files to disk and drops them from the page cache, so that every read
// of the next run waits on the disk.
void dropFromCache(const fs::path& folder) {
    for (const fs::directory_entry& entry : fs::recursive_directory_iterator(folder)) {
        if (!entry.is_regular_file()) {
            continue;
        }
        int fd = ::open(entry.path().c_str(), O_RDONLY);
        ASSERT_GE(fd, 0);
        ::fdatasync(fd);
        ::posix_fadvise(fd, 0, 0, POSIX_FADV_DONTNEED);
        ::close(fd);
    }
}

size_t countOf(const std::string& text, const std::string& part) {
    size_t count = 0;
    for (size_t at = text.find(part); at != std::string::npos; at = text.find(part, at + 1)) {
        ++count;
    }
    return count;
}

TEST(Concurrency, TwoRunsAtOnceBothImportEveryParticipant) {
    kvrtest::TempFolder temp;
    const fs::path game = temp / "game";
    ASSERT_EQ(kvrtest::runProgram(KVRSAMPLE_BINARY, temp.path(),
                                  {game.string(), "--participants", "2000"})
                  .exitStatus,
              0);
    for (int round = 0; round < 3; ++round) {
        SCOPED_TRACE("round " + std::to_string(round));
        dropFromCache(game);
        kvrtest::TempFolder capture;
        int files[4];
        for (int i = 0; i < 4; ++i) {
            files[i] =
                ::open((capture / std::to_string(i)).c_str(), O_RDWR | O_CREAT | O_CLOEXEC, 0600);
            ASSERT_GE(files[i], 0);
        }
        pid_t first = start(game, files[0], files[1]);
        pid_t second = start(game, files[2], files[3]);
        int statuses[2] = {waitFor(first), waitFor(second)};
        for (int i = 0; i < 4; ++i) {
            ::close(files[i]);
        }
        for (int r = 0; r < 2; ++r) {
            std::string output = kvrtest::readText(capture / std::to_string(2 * r));
            std::string errors = kvrtest::readText(capture / std::to_string(2 * r + 1));
            EXPECT_EQ(countOf(output, " ... ok!\n"), 2000u) << "run " << r;
            EXPECT_EQ(countOf(output, "failed!"), statuses[r] == 0 ? 0u : 1u) << output;
            // Only the update can collide: the records file is written by one run at a time.
            if (statuses[r] != 0) {
                EXPECT_EQ(errors, "kvrrank: Configuration/gameinfo.rcf: held by another program\n");
            } else {
                EXPECT_EQ(errors, "");
            }
        }
        EXPECT_TRUE(statuses[0] == 0 || statuses[1] == 0);
    }
}

TEST(ClosedConsole, AReaderThatQuitsChangesNoFile) {
    GameFolder withConsole, withPipe;
    for (GameFolder* game : {&withConsole, &withPipe}) {
        for (int i = 0; i < 400; ++i) {
            game->addParticipant("p" + std::to_string(i) + ".kvr",
                                 driver("P" + std::to_string(i % 10), 5000u + 37u * unsigned(i)));
        }
    }
    kvrtest::ProcessResult reference = run(withConsole.path());
    ASSERT_EQ(reference.exitStatus, 0);

    // `kvrrank | head -1`: the reader takes one line and goes away.
    // A small pipe, so that the run is still writing when the reader has gone.
    int pipeFds[2];
    ASSERT_EQ(::pipe2(pipeFds, O_CLOEXEC), 0);
    ASSERT_GE(::fcntl(pipeFds[1], F_SETPIPE_SZ, 4096), 0);
    int errFd = ::open("/dev/null", O_WRONLY | O_CLOEXEC);
    pid_t child = start(withPipe.path(), pipeFds[1], errFd);
    ::close(pipeFds[1]);
    ::close(errFd);
    std::string firstLine;
    char c;
    while (::read(pipeFds[0], &c, 1) == 1 && c != '\n') {
        firstLine += c;
    }
    ::close(pipeFds[0]);
    EXPECT_EQ(firstLine, "importing p0.kvr ... ok!");
    EXPECT_EQ(waitFor(child), reference.exitStatus);
    EXPECT_EQ(withPipe.records(), withConsole.records());
    EXPECT_EQ(withoutTime(kvrtest::readText(withPipe / "ranking.txt")),
              withoutTime(kvrtest::readText(withConsole / "ranking.txt")));
}

#endif

} // namespace
