// The watch and the live board on the built binary: files arriving in halves, the page over
// HTTP, and the ways it is stopped. POSIX: the tests signal the program as a terminal would.
#include "support/game_folder.h"

#include <gtest/gtest.h>
#include <nlohmann/json.hpp>

#ifndef _WIN32

#include <arpa/inet.h>
#include <csignal>
#include <fcntl.h>
#include <netinet/in.h>
#include <sys/socket.h>
#include <sys/wait.h>
#include <unistd.h>

#include <chrono>
#include <cstdio>
#include <fstream>
#include <iostream>
#include <set>
#include <thread>

namespace {

using kvrtest::GameFolder;
using kvrtest::ParticipantFileBuilder;
using Clock = std::chrono::steady_clock;
using namespace std::chrono_literals;
namespace fs = std::filesystem;

// kvrrank running in the background, its output going to files.
class Background {
  public:
    Background(const fs::path& folder, const std::vector<std::string>& arguments)
        : out_(capture_ / "stdout"), err_(capture_ / "stderr") {
        kvrtest::writeText(out_, "");
        kvrtest::writeText(err_, "");
        std::vector<std::string> all = {KVRRANK_BINARY};
        all.insert(all.end(), arguments.begin(), arguments.end());
        pid_ = ::fork();
        if (pid_ == 0) {
            std::vector<char*> argv;
            for (std::string& a : all) {
                argv.push_back(a.data());
            }
            argv.push_back(nullptr);
            const int out = ::open(out_.c_str(), O_WRONLY | O_CREAT | O_TRUNC, 0600);
            const int err = ::open(err_.c_str(), O_WRONLY | O_CREAT | O_TRUNC, 0600);
            if (out < 0 || err < 0 || ::dup2(out, 1) < 0 || ::dup2(err, 2) < 0 ||
                ::chdir(folder.c_str()) != 0) {
                ::_exit(127);
            }
            ::execv(argv[0], argv.data());
            ::_exit(127);
        }
    }
    ~Background() {
        if (pid_ > 0 && status_ < 0) {
            ::kill(pid_, SIGKILL);
            ::waitpid(pid_, nullptr, 0);
        }
    }

    std::string output() const { return kvrtest::readText(out_); }
    std::string errors() const { return kvrtest::readText(err_); }
    pid_t pid() const { return pid_; }

    // Waits until the output holds `text`; false after `limit`.
    bool waitFor(const std::string& text, std::chrono::milliseconds limit = 20s) const {
        const auto until = Clock::now() + limit;
        while (output().find(text) == std::string::npos) {
            if (Clock::now() > until) {
                return false;
            }
            std::this_thread::sleep_for(20ms);
        }
        return true;
    }

    // Sends `signal` and waits for the end: the exit status, or -1 when it did not end within
    // `limit`; `took` how long it did take.
    int stop(int signal, std::chrono::milliseconds limit, std::chrono::milliseconds* took) {
        const auto start = Clock::now();
        if (signal != 0) {
            ::kill(pid_, signal);
        }
        for (;;) {
            int status = 0;
            if (::waitpid(pid_, &status, WNOHANG) == pid_) {
                status_ = WIFEXITED(status) ? WEXITSTATUS(status) : 128 + WTERMSIG(status);
                *took = std::chrono::duration_cast<std::chrono::milliseconds>(Clock::now() - start);
                return status_;
            }
            if (Clock::now() - start > limit) {
                return -1;
            }
            std::this_thread::sleep_for(10ms);
        }
    }

  private:
    kvrtest::TempFolder capture_;
    fs::path out_;
    fs::path err_;
    pid_t pid_ = -1;
    int status_ = -1;
};

// One GET on loopback; the whole reply, or "" when nobody answers.
std::string httpGet(uint16_t port, const std::string& target) {
    const int fd = ::socket(AF_INET, SOCK_STREAM, 0);
    sockaddr_in address{};
    address.sin_family = AF_INET;
    address.sin_port = htons(port);
    address.sin_addr.s_addr = htonl(INADDR_LOOPBACK);
    std::string reply;
    if (::connect(fd, reinterpret_cast<sockaddr*>(&address), sizeof address) == 0) {
        const std::string request =
            "GET " + target + " HTTP/1.1\r\nHost: localhost\r\nConnection: close\r\n\r\n";
        if (::write(fd, request.data(), request.size()) == static_cast<ssize_t>(request.size())) {
            char buffer[65536];
            ssize_t n;
            while ((n = ::read(fd, buffer, sizeof buffer)) > 0) {
                reply.append(buffer, static_cast<size_t>(n));
            }
        }
    }
    ::close(fd);
    return reply;
}

// The JSON of an answer, parsed; discarded (not an object) when it cannot be.
nlohmann::json jsonOf(const std::string& answer) {
    return nlohmann::json::parse(answer.substr(std::min(answer.find("\r\n\r\n"), answer.size())),
                                 nullptr, false);
}

uint16_t portIn(const std::string& output) {
    const std::string marker = "Live page: http://127.0.0.1:";
    const size_t at = output.find(marker);
    return at == std::string::npos
               ? 0
               : static_cast<uint16_t>(std::stoi(output.substr(at + marker.size())));
}

ParticipantFileBuilder driver(const std::string& code, const std::string& name, uint32_t time) {
    ParticipantFileBuilder image;
    image.code(code).name(name).stage(0, 0, 0x03, time).arcade(0, 0x41, time + 100);
    return image;
}

size_t linesOf(const fs::path& path) {
    const std::string text = kvrtest::readText(path);
    return static_cast<size_t>(std::count(text.begin(), text.end(), '\n'));
}

std::set<std::string> namesIn(const fs::path& folder) {
    std::set<std::string> names;
    for (const auto& entry : fs::directory_iterator(folder)) {
        names.insert(entry.path().filename().string());
    }
    return names;
}

void writeBytes(const fs::path& path, const std::vector<uint8_t>& bytes, size_t from, size_t to,
                bool append) {
    std::ofstream out(path, std::ios::binary | (append ? std::ios::app : std::ios::trunc));
    out.write(reinterpret_cast<const char*>(bytes.data() + from),
              static_cast<std::streamsize>(to - from));
    ASSERT_TRUE(out.good());
}

// Anna and Olaf, and a season of one run with them.
void seasonOfTwo(GameFolder& game) {
    game.addParticipant("anna.kvr", driver("ABE", "Anna Berg", 30000));
    game.addParticipant("olaf.kvr", driver("OLA", "Olaf Lind", 31000));
    ASSERT_EQ(
        kvrtest::runProgram(KVRRANK_BINARY, game.path(), {"--history", "season.jsonl"}).exitStatus,
        0);
}

// The id of a process that has ended and been reaped.
pid_t endedProcess() {
    const pid_t child = ::fork();
    if (child == 0) {
        ::_exit(0);
    }
    ::waitpid(child, nullptr, 0);
    return child;
}

// The wait's failure, told of the season by its full path.
bool seasonWaitedFor(const std::string& errors) {
    const std::string end =
        "/season.jsonl: held by another program: waited 10 s, nothing written\n";
    return errors.rfind("kvrrank: ", 0) == 0 && errors.size() > end.size() &&
           errors.compare(errors.size() - end.size(), end.size(), end) == 0 &&
           errors.find('\n') == errors.size() - 1;
}

TEST(Watch, ARunBesideTheBoardSaysAtOnceThatTheBoardHoldsTheSeasonThenWaitsAsBefore) {
    GameFolder game;
    ASSERT_NO_FATAL_FAILURE(seasonOfTwo(game));
    Background board(game.path(), {"--serve", "0", "--history", "season.jsonl"});
    ASSERT_TRUE(board.waitFor(" run 1: 2 files;")) << board.output() << board.errors();
    const std::string record = kvrtest::readText(game / "season.jsonl.owner");
    EXPECT_EQ(record.rfind(std::to_string(board.pid()) + " board ", 0), 0u) << record;

    Background second(game.path(), {"--history", "season.jsonl", "--no-records"});
    const std::string told = "/season.jsonl is held by the kvrrank board (process " +
                             std::to_string(board.pid()) + ") since ";
    EXPECT_TRUE(second.waitFor(told, 1s)) << second.output() << second.errors();
    const std::string output = second.output();
    // The first line, before the files' imports, and said once.
    const size_t line = output.find(told);
    ASSERT_LT(line, output.find('\n')) << output;
    EXPECT_EQ(output.find("; waiting up to 10 s\n"), output.find('\n') - 20) << output;
    EXPECT_EQ(output.substr(output.find('\n') + 1, 17), "importing anna.kv") << output;
    EXPECT_EQ(output.find(told, line + 1), std::string::npos) << output;
    std::chrono::milliseconds took{};
    EXPECT_EQ(second.stop(0, 20s, &took), 1);
    EXPECT_GE(took, 8s);
    EXPECT_TRUE(seasonWaitedFor(second.errors())) << second.errors();

    // The board's record goes with the board.
    EXPECT_EQ(board.stop(SIGINT, 10s, &took), 0) << board.errors();
    EXPECT_FALSE(fs::exists(game / "season.jsonl.owner"));
}

TEST(Watch, ARecordOfAProcessThatHasEndedIsNotBelievedAndIsReplaced) {
    GameFolder game;
    ASSERT_NO_FATAL_FAILURE(seasonOfTwo(game));
    const std::string stale = std::to_string(endedProcess()) + " board 19:30:00\n";
    kvrtest::writeText(game / "season.jsonl.owner", stale);
    {
        // Held by a program that is not kvrrank and names nobody: the old silent wait.
        kvrtest::ExclusiveHolder other(game / "season.jsonl");
        const kvrtest::ProcessResult held = kvrtest::runProgram(
            KVRRANK_BINARY, game.path(), {"--history", "season.jsonl", "--no-records"});
        EXPECT_EQ(held.exitStatus, 1);
        EXPECT_EQ(held.output.find("is held by"), std::string::npos) << held.output;
        EXPECT_TRUE(seasonWaitedFor(held.errors)) << held.errors;
        EXPECT_EQ(kvrtest::readText(game / "season.jsonl.owner"), stale);
    }
    // A run that takes the season replaces the stale record with its own, and removes that.
    const kvrtest::ProcessResult free = kvrtest::runProgram(
        KVRRANK_BINARY, game.path(), {"--history", "season.jsonl", "--no-records"});
    EXPECT_EQ(free.exitStatus, 0) << free.errors;
    EXPECT_FALSE(fs::exists(game / "season.jsonl.owner"));
}

TEST(Watch, AFileCopiedInHalvesIsToldAsCutThenCountsWhenWholeAndTheEveningIsOneRunOfTheSeason) {
    GameFolder game;
    ASSERT_NO_FATAL_FAILURE(seasonOfTwo(game));
    const size_t historyBefore = linesOf(game / "season.jsonl");

    Background board(game.path(),
                     {"--serve", "0", "--history", "season.jsonl", "--card", "card.png"});
    ASSERT_TRUE(board.waitFor(" run 1: 2 files; 2 drivers; leader Anna Berg (ABE)"))
        << board.output() << board.errors();
    const uint16_t port = portIn(board.output());
    ASSERT_NE(port, 0) << board.output();
    EXPECT_NE(httpGet(port, "/ranking.json").find("Olaf Lind"), std::string::npos);
    // The card of the run, as a chat fetches it: the card file's bytes.
    const std::string card = httpGet(port, "/card.png");
    EXPECT_EQ(card.rfind("HTTP/1.1 200 OK\r\n", 0), 0u) << card.substr(0, 200);
    EXPECT_NE(card.find("\r\nContent-Type: image/png\r\n"), std::string::npos);
    const size_t body = card.find("\r\n\r\n\x89PNG\r\n\x1a\n");
    ASSERT_NE(body, std::string::npos);
    EXPECT_TRUE(card.compare(body + 4, std::string::npos, kvrtest::readText(game / "card.png")) ==
                0);

    // The first half, closed: a cut file, told as a plain run tells it until it changes.
    const std::vector<uint8_t> nina = driver("NNE", "Nina Nemec", 29000).bytes();
    writeBytes(game / "kvr" / "nina.kvr", nina, 0, nina.size() / 2, false);
    EXPECT_TRUE(board.waitFor(" run 2: 1 file new (nina.kvr); 2 drivers; leader Anna Berg (ABE)"))
        << board.output() << board.errors();
    const std::string cut = "kvrrank: kvr/nina.kvr: too short: 808 bytes, at least 1616 needed\n";
    EXPECT_EQ(board.errors(), cut);
    std::this_thread::sleep_for(200ms);
    const nlohmann::json halfway = jsonOf(httpGet(port, "/ranking.json"));
    ASSERT_TRUE(halfway.is_object());
    EXPECT_EQ(halfway["checks"]["not_imported"].size(), 1u) << halfway["checks"];
    EXPECT_EQ(halfway.dump().find("Nina Nemec"), std::string::npos);

    writeBytes(game / "kvr" / "nina.kvr", nina, nina.size() / 2, nina.size(), true);
    const auto whole = Clock::now();
    while (httpGet(port, "/ranking.json").find("Nina Nemec") == std::string::npos &&
           Clock::now() - whole < 5s) {
        std::this_thread::sleep_for(20ms);
    }
    const auto took = std::chrono::duration_cast<std::chrono::milliseconds>(Clock::now() - whole);
    EXPECT_LE(took.count(), 3000) << "the new driver showed after " << took.count() << " ms";
    std::cout << "[ watch    ] the new driver in /ranking.json " << took.count()
              << " ms after the second half\n";
    EXPECT_TRUE(board.waitFor(" run 3: 1 changed (nina.kvr); 3 drivers; leader Nina Nemec (NNE)"))
        << board.output();
    // The page is the same page, with the line on its last change.
    const std::string page = httpGet(port, "/");
    EXPECT_NE(page.find("<div id=\"live\" data-run=\"3\""), std::string::npos);
    EXPECT_NE(page.find("<script src=\"/live.js\" defer></script>"), std::string::npos);

    // A removed file leaves the standings at the next run.
    fs::remove(game / "kvr" / "olaf.kvr");
    EXPECT_TRUE(board.waitFor(" run 4: 1 removed (olaf.kvr); 2 drivers;")) << board.output();
    // He is named only as one who left since the season's last run.
    const std::string answer = httpGet(port, "/ranking.json");
    const nlohmann::json json = jsonOf(answer);
    ASSERT_TRUE(json.is_object()) << answer;
    EXPECT_EQ(json["history"]["left"],
              nlohmann::json::parse(R"([{"code":"OLA","name":"Olaf Lind"}])"));
    EXPECT_EQ(answer.find("Olaf Lind"), answer.rfind("Olaf Lind")) << answer;
    EXPECT_TRUE(json["checks"]["not_imported"].empty()) << json["checks"];

    std::chrono::milliseconds stopped{};
    EXPECT_EQ(board.stop(SIGINT, 5s, &stopped), 0) << board.errors();
    EXPECT_LE(stopped.count(), 2000);
    EXPECT_EQ(board.errors(), cut);
    EXPECT_EQ(linesOf(game / "season.jsonl"), historyBefore + 1);
    EXPECT_NE(kvrtest::readText(game / "season.jsonl").find("NNE"), std::string::npos);
    EXPECT_EQ(namesIn(game.path()), (std::set<std::string>{"Configuration", "card.png", "kvr",
                                                           "ranking.txt", "season.jsonl"}));
    EXPECT_EQ(httpGet(port, "/"), "") << "the server is closed";
}

#ifdef __linux__
// A copier that makes the file at its full size first and writes it in place while it holds it
// open: the file never counts before its writer closes it, and counts soon after.
TEST(Watch, AWholeSizedFileItsWriterHoldsOpenCountsOnlyAfterItsClose) {
    GameFolder game;
    game.addParticipant("anna.kvr", driver("ABE", "Anna Berg", 30000));
    Background board(game.path(), {"--serve", "0", "--no-records"});
    ASSERT_TRUE(board.waitFor(" run 1: 1 file; 1 driver;")) << board.output() << board.errors();
    const uint16_t port = portIn(board.output());
    ASSERT_NE(port, 0);

    const std::vector<uint8_t> nina = driver("NNE", "Nina Nemec", 29000).bytes();
    {
        std::FILE* copier = std::fopen((game / "kvr" / "nina.kvr").string().c_str(), "wb");
        ASSERT_NE(copier, nullptr);
        std::vector<uint8_t> zeros(nina.size(), 0);
        ASSERT_EQ(std::fwrite(zeros.data(), 1, zeros.size(), copier), zeros.size());
        ASSERT_EQ(std::fflush(copier), 0);
        ASSERT_EQ(std::fseek(copier, 0, SEEK_SET), 0);
        ASSERT_EQ(std::fwrite(nina.data(), 1, nina.size() / 2, copier), nina.size() / 2);
        ASSERT_EQ(std::fflush(copier), 0);
        std::this_thread::sleep_for(4s);
        EXPECT_EQ(board.output().find(" run 2:"), std::string::npos)
            << "counted while its writer held it: " << board.output();
        EXPECT_NE(board.output().find("waiting for kvr/nina.kvr to finish copying"),
                  std::string::npos)
            << board.output();
        ASSERT_EQ(
            std::fwrite(nina.data() + nina.size() / 2, 1, nina.size() - nina.size() / 2, copier),
            nina.size() - nina.size() / 2);
        ASSERT_EQ(std::fclose(copier), 0);
    }
    const auto closedAt = Clock::now();
    while (httpGet(port, "/ranking.json").find("Nina Nemec") == std::string::npos &&
           Clock::now() - closedAt < 5s) {
        std::this_thread::sleep_for(10ms);
    }
    const auto took =
        std::chrono::duration_cast<std::chrono::milliseconds>(Clock::now() - closedAt);
    EXPECT_LE(took.count(), 1500) << "counted " << took.count() << " ms after its close";
    EXPECT_TRUE(board.waitFor(" run 2: 1 file new (nina.kvr); 2 drivers; leader Nina Nemec (NNE)"))
        << board.output();
    EXPECT_EQ(board.errors(), "");
    std::chrono::milliseconds stopped{};
    EXPECT_EQ(board.stop(SIGINT, 5s, &stopped), 0);
}
#endif

// The page's "Tonight" section: from the board's first run on, who arrived, which records fell
// and who moved.
std::string tonightOf(const std::string& page) {
    const size_t from = page.find("<section id=\"tonight\">");
    return from == std::string::npos ? std::string()
                                     : page.substr(from, page.find("</section>", from) - from);
}

TEST(Watch, TonightNamesTheArrivalTheRecordItBrokeAndTheMovesSinceTheBoardStarted) {
    GameFolder game;
    game.addParticipant("anna.kvr", driver("ABE", "Anna Berg", 30000));
    game.addParticipant("olaf.kvr", driver("OLA", "Olaf Lind", 31000));
    Background board(game.path(), {"--serve", "0", "--no-records", "--html", "page.html"});
    ASSERT_TRUE(board.waitFor(" run 1: 2 files; 2 drivers;")) << board.output() << board.errors();
    const uint16_t port = portIn(board.output());
    ASSERT_NE(port, 0) << board.output();
    const std::string before = tonightOf(httpGet(port, "/"));
    EXPECT_NE(before.find("<h2>Tonight</h2>"), std::string::npos) << before;
    EXPECT_NE(before.find("Nothing has changed yet tonight."), std::string::npos) << before;

    game.addParticipant("nina.kvr", driver("NNE", "Nina <Nemec>", 29000));
    ASSERT_TRUE(board.waitFor(" run 2: 1 file new (nina.kvr); 3 drivers; leader Nina <Nemec>"))
        << board.output() << board.errors();
    const std::string page = httpGet(port, "/");
    const std::string tonight = tonightOf(page);
    ASSERT_FALSE(tonight.empty()) << page;
    EXPECT_LT(page.find("<div id=\"live\""), page.find(tonight));
    EXPECT_LT(page.find(tonight), page.find("<section id=\"drivers\">"));
    EXPECT_EQ(tonight.find("Nothing has changed"), std::string::npos) << tonight;
    // Nina arrived, broke Anna's records (the stage and the arcade event), and moved both down.
    for (const char* shown : {"Nina &lt;Nemec&gt;", "<td>Anna Berg</td>", "4:59.99 Anna Berg",
                              "\xE2\x96\xBC"
                              "1</td><td>ABE</td>",
                              "\xE2\x96\xBC"
                              "1</td><td>OLA</td>"}) {
        EXPECT_NE(tonight.find(shown), std::string::npos) << shown << "\n" << tonight;
    }
    EXPECT_EQ(tonight.find("Nina <Nemec>"), std::string::npos) << tonight;
    EXPECT_EQ(tonight.find("NNE</td><td>Nina &lt;Nemec&gt;</td><td class=\"n\">"),
              std::string::npos)
        << "an arrival is no move: " << tonight;
    // The file the board writes is the page without the live parts.
    EXPECT_EQ(kvrtest::readText(game / "page.html").find("id=\"tonight\""), std::string::npos);
    std::chrono::milliseconds stopped{};
    EXPECT_EQ(board.stop(SIGINT, 5s, &stopped), 0) << board.errors();
}

TEST(Watch, ABadLeagueFileKeepsTheLastGoodRulesAndIsShownUntilMended) {
    GameFolder game;
    game.addParticipant("anna.kvr", driver("ABE", "Anna Berg", 30000));
    game.addParticipant("olaf.kvr", driver("OLA", "Olaf Lind", 31000));
    // As a double-click starts it: the league file asks for the board.
    kvrtest::writeText(game / "kvrrank.toml", "[points]\nplaces = [10, 5]\n[live]\nserve = 0\n");
    Background board(game.path(), {"--no-records"});
    ASSERT_TRUE(board.waitFor("leader Anna Berg (ABE), 20 points")) << board.output();
    const uint16_t port = portIn(board.output());

    std::this_thread::sleep_for(1100ms); // a new time stamp, on any file system
    kvrtest::writeText(game / "kvrrank.toml", "[points]\nplaces = [10, 5]\nbogus = 1\n");
    ASSERT_NE(port, 0) << board.output();
    const auto until = Clock::now() + 5s;
    while (board.errors().find("kvrrank.toml:3:1:") == std::string::npos && Clock::now() < until) {
        std::this_thread::sleep_for(50ms);
    }
    EXPECT_NE(board.errors().find("kvrrank: kvrrank.toml:3:1: unknown key \"bogus\" in [points] "
                                  "(the last good rules stay)"),
              std::string::npos)
        << board.errors();
    std::this_thread::sleep_for(300ms);
    EXPECT_NE(httpGet(port, "/").find("kvrrank.toml:3:1: unknown key"), std::string::npos);

    std::this_thread::sleep_for(1100ms);
    kvrtest::writeText(game / "kvrrank.toml", "[points]\nplaces = [7, 5]\n");
    EXPECT_TRUE(board.waitFor("league file read again; 2 drivers; leader Anna Berg (ABE), 14 "
                              "points"))
        << board.output();
    std::this_thread::sleep_for(300ms);
    EXPECT_EQ(httpGet(port, "/").find("kvrrank.toml:3:1"), std::string::npos);
    std::chrono::milliseconds stopped{};
    EXPECT_EQ(board.stop(SIGTERM, 5s, &stopped), 0);
}

// The board's address is taken at the start: a league file that changes it is told, on the
// console and the page, until it is changed back; the board keeps serving where it was.
TEST(Watch, ALeagueFileThatMovesTheBoardIsToldToWaitForARestart) {
    GameFolder game;
    game.addParticipant("anna.kvr", driver("ABE", "Anna Berg", 30000));
    kvrtest::writeText(game / "kvrrank.toml", "[live]\nserve = 0\n");
    Background board(game.path(), {"--no-records"});
    ASSERT_TRUE(board.waitFor(" run 1: 1 file; 1 driver;")) << board.output() << board.errors();
    const uint16_t port = portIn(board.output());
    ASSERT_NE(port, 0) << board.output();

    const struct {
        const char* league;
        const char* told; // empty: nothing waits for a restart
        const char* run;
    } steps[] = {
        {"[live]\nserve = 8081\n",
         "kvrrank.toml: serve changed to 8081: restart kvrrank to serve there", " run 2: "},
        {"[live]\nserve = 0\nlan = true\n",
         "kvrrank.toml: lan changed to true: restart kvrrank to let the network in", " run 3: "},
        {"[points]\nplaces = [9]\n",
         "kvrrank.toml: serve removed: the board serves until kvrrank is restarted", " run 4: "},
        {"[live]\nserve = 0\n", "", " run 5: "},
    };
    for (const auto& step : steps) {
        SCOPED_TRACE(step.league);
        std::this_thread::sleep_for(1100ms); // a new time stamp, on any file system
        kvrtest::writeText(game / "kvrrank.toml", step.league);
        ASSERT_TRUE(board.waitFor(std::string(step.run) + "league file read again;"))
            << board.output();
        const std::string page = httpGet(port, "/");
        ASSERT_NE(page, "") << "the board serves where it started";
        if (*step.told != '\0') {
            EXPECT_NE(board.output().find(std::string(step.told) + "\n"), std::string::npos)
                << board.output();
            EXPECT_NE(page.find(step.told), std::string::npos);
        } else {
            EXPECT_EQ(page.find("restart kvrrank"), std::string::npos);
        }
    }
    std::chrono::milliseconds stopped{};
    EXPECT_EQ(board.stop(SIGINT, 5s, &stopped), 0);
    EXPECT_EQ(board.errors(), "");
}

// The season is read once for the evening, and again when the league's roster renames a
// driver: the season's lines then name him as the roster does, so he neither left nor is new.
TEST(Watch, TheSeasonIsReadAgainUnderARosterThatRenamesADriver) {
    GameFolder game;
    ASSERT_NO_FATAL_FAILURE(seasonOfTwo(game));
    Background board(game.path(), {"--serve", "0", "--history", "season.jsonl", "--no-records"});
    ASSERT_TRUE(board.waitFor(" run 1: 2 files; 2 drivers;")) << board.output() << board.errors();
    const uint16_t port = portIn(board.output());
    ASSERT_NE(port, 0) << board.output();

    kvrtest::writeText(game / "kvrrank.toml",
                       "[[driver]]\ncode = \"OLI\"\nname = \"Olaf Lindqvist\"\n"
                       "also = [{ code = \"OLA\", name = \"Olaf Lind\" }]\n");
    ASSERT_TRUE(board.waitFor("league file read again; 2 drivers;")) << board.output();
    const nlohmann::json json = jsonOf(httpGet(port, "/ranking.json"));
    ASSERT_TRUE(json.is_object());
    EXPECT_EQ(json["history"]["new_drivers"], nlohmann::json::array());
    EXPECT_EQ(json["history"]["left"], nlohmann::json::array());
    EXPECT_EQ(json["standings"].dump().find("OLA"), std::string::npos) << "renamed everywhere";
    std::chrono::milliseconds stopped{};
    EXPECT_EQ(board.stop(SIGINT, 5s, &stopped), 0) << board.errors();
    EXPECT_EQ(board.errors(), "");
}

TEST(Watch, ARecordsFileTheGameHoldsIsToldOnThePageAndUpdatedAtTheNextChange) {
    GameFolder game;
    game.addParticipant("anna.kvr", driver("ABE", "Anna Berg", 30000));
    Background board(game.path(), {"--serve", "0"});
    ASSERT_TRUE(board.waitFor(" run 1: 1 file; 1 driver;")) << board.output() << board.errors();
    const uint16_t port = portIn(board.output());
    const std::vector<uint8_t> first = game.records();
    {
        kvrtest::ExclusiveHolder theGame(game.recordsPath());
        ASSERT_TRUE(theGame.holding());
        game.addParticipant("olaf.kvr", driver("OLA", "Olaf Lind", 20000));
        EXPECT_TRUE(
            board.waitFor(" run 2: 1 file new (olaf.kvr); 2 drivers; leader Olaf Lind (OLA)"))
            << board.output() << board.errors();
        EXPECT_NE(board.errors().find("kvrrank: Configuration/gameinfo.rcf: held by another "
                                      "program\n"),
                  std::string::npos)
            << board.errors();
        std::this_thread::sleep_for(200ms);
        EXPECT_NE(httpGet(port, "/").find("<p class=\"attention\">Configuration/gameinfo.rcf: "
                                          "held by another program</p>"),
                  std::string::npos);
        EXPECT_NE(httpGet(port, "/ranking.json").find("Olaf Lind"), std::string::npos)
            << "the page goes on";
    }
    EXPECT_EQ(game.records(), first);
    game.addParticipant("nina.kvr", driver("NNE", "Nina Nemec", 40000));
    EXPECT_TRUE(board.waitFor(" run 3: 1 file new (nina.kvr); 3 drivers;")) << board.output();
    EXPECT_NE(game.records(), first) << "updated at the next change";
    std::this_thread::sleep_for(200ms);
    EXPECT_EQ(httpGet(port, "/").find("held by another program"), std::string::npos);
    std::chrono::milliseconds stopped{};
    EXPECT_EQ(board.stop(SIGINT, 5s, &stopped), 0);
}

// A scheduled run in the folder of an evening: the league file asks for the board, --once
// runs once all the same, and says nothing of a board.
TEST(Watch, OnceRunsOnceInALeagueFolderThatAsksForTheBoard) {
    GameFolder game;
    game.addParticipant("anna.kvr", driver("ABE", "Anna Berg", 30000));
    kvrtest::writeText(game / "kvrrank.toml",
                       "[outputs]\nhistory = \"season.jsonl\"\n[live]\nwatch = true\nserve = 0\n");
    kvrtest::ProcessLimits limits;
    limits.hangSeconds = 20;
    for (int round = 1; round <= 2; ++round) {
        SCOPED_TRACE("run " + std::to_string(round));
        const kvrtest::ProcessResult run =
            kvrtest::runProgram(KVRRANK_BINARY, game.path(), {"--once"}, limits);
        ASSERT_EQ(run.exitStatus, 0) << run.output << run.errors;
        EXPECT_EQ(run.errors, "");
        EXPECT_EQ(run.output.find("Live page"), std::string::npos) << run.output;
        EXPECT_EQ(linesOf(game / "season.jsonl"), static_cast<size_t>(round));
    }
    // The command line's own board contradicts it.
    for (const std::vector<std::string>& arguments : {std::vector<std::string>{"--once", "--watch"},
                                                      {"--serve", "0", "--once"},
                                                      {"--once", "--lan"}}) {
        const kvrtest::ProcessResult run =
            kvrtest::runProgram(KVRRANK_BINARY, game.path(), arguments, limits);
        EXPECT_EQ(run.exitStatus, 2) << arguments[1];
        EXPECT_NE(run.errors.find("kvrrank: --once runs once: "), std::string::npos) << run.errors;
    }
    EXPECT_EQ(linesOf(game / "season.jsonl"), 2u);
}

// A board whose port another program has: told before the season is taken, so that no file is
// created or touched, from the command line or the league file.
TEST(Watch, ABoardOnATakenPortLeavesEveryFileAsItWas) {
    const int taken = ::socket(AF_INET, SOCK_STREAM, 0);
    ASSERT_GE(taken, 0);
    sockaddr_in address{};
    address.sin_family = AF_INET;
    address.sin_addr.s_addr = htonl(INADDR_LOOPBACK);
    socklen_t length = sizeof address;
    ASSERT_EQ(::bind(taken, reinterpret_cast<sockaddr*>(&address), sizeof address), 0);
    ASSERT_EQ(::listen(taken, 1), 0);
    ASSERT_EQ(::getsockname(taken, reinterpret_cast<sockaddr*>(&address), &length), 0);
    const std::string port = std::to_string(ntohs(address.sin_port));

    GameFolder game;
    ASSERT_NO_FATAL_FAILURE(seasonOfTwo(game));
    kvrtest::ProcessLimits limits;
    limits.hangSeconds = 20;
    struct Case {
        const char* what;
        std::string league; // empty: none
        std::vector<std::string> arguments;
    };
    const std::vector<Case> cases = {
        {"a new season", "", {"--serve", port, "--history", "other.jsonl", "--html", "p.html"}},
        {"the running season", "", {"--serve", port, "--history", "season.jsonl"}},
        {"the league's board",
         "[outputs]\nhistory = \"other.jsonl\"\n[live]\nserve = " + port + "\n",
         {}},
    };
    for (const Case& c : cases) {
        SCOPED_TRACE(c.what);
        fs::remove(game / "kvrrank.toml");
        if (!c.league.empty()) {
            kvrtest::writeText(game / "kvrrank.toml", c.league);
        }
        const auto before = kvrtest::snapshot(game.path());
        const kvrtest::ProcessResult run =
            kvrtest::runProgram(KVRRANK_BINARY, game.path(), c.arguments, limits);
        EXPECT_EQ(run.exitStatus, 1) << run.output << run.errors;
        EXPECT_NE(run.errors.find("kvrrank: --serve: "), std::string::npos) << run.errors;
        EXPECT_EQ(kvrtest::snapshot(game.path()), before);
    }
    ::close(taken);
}

TEST(Watch, AStopWhileARunIsUnderWayFinishesItAndAddsOneSeasonLine) {
    GameFolder game;
    for (int i = 0; i < 1500; ++i) {
        game.addParticipant("p" + std::to_string(i) + ".kvr",
                            driver("P" + std::to_string(i % 100), "Driver " + std::to_string(i),
                                   static_cast<uint32_t>(30000 + i * 7)));
    }
    for (int round = 0; round < 20; ++round) {
        SCOPED_TRACE("round " + std::to_string(round));
        const size_t before =
            fs::exists(game / "season.jsonl") ? linesOf(game / "season.jsonl") : 0;
        Background board(game.path(), {"--watch", "--history", "season.jsonl"});
        ASSERT_TRUE(board.waitFor("importing ")) << board.errors();
        std::this_thread::sleep_for(std::chrono::milliseconds(round * 15));
        std::chrono::milliseconds stopped{};
        ASSERT_EQ(board.stop(round % 2 == 0 ? SIGINT : SIGTERM, 5s, &stopped), 0)
            << board.output().substr(board.output().size() > 300 ? board.output().size() - 300 : 0)
            << board.errors();
        EXPECT_LE(stopped.count(), 2000);
        EXPECT_NE(board.output().find(" run 1: 1500 files;"), std::string::npos);
        EXPECT_EQ(linesOf(game / "season.jsonl"), before + 1);
        EXPECT_EQ(namesIn(game.path()),
                  (std::set<std::string>{"Configuration", "kvr", "ranking.txt", "season.jsonl"}));
    }
}

} // namespace

#endif
