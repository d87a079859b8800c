// Runs the built kvrrank on names from any script: participant files, a game folder given
// as an argument (as a drag-and-drop gives it), a game folder past 260 characters. Both builds
// must list, import and show them alike.
#include "support/game_folder.h"

#include <gtest/gtest.h>

namespace {

using kvrtest::GameFolder;
using kvrtest::ParticipantFileBuilder;
using kvrtest::platformText;
namespace fs = std::filesystem;

ParticipantFileBuilder driver(const std::string& code, const std::string& name, uint32_t time) {
    ParticipantFileBuilder builder;
    builder.code(code).name(name).stage(0, 0, 1, time);
    return builder;
}

const std::string UpdateOk = "updateing Configuration/gameinfo.rcf... ok!\n";

// Participant files whose names an ANSI code page cannot hold, or would "best-fit" onto
// another participant's file: fullwidth KATO onto KATO, Zażółć onto Zazólc.
struct Named {
    const char* file;
    const char* code;
    const char* driver;
};
const Named Participants[] = {
    {"\xE6\x9D\x8E\xE5\xB0\x8F\xE9\xBE\x8D.kvr", "LI", "Li"},                     // 李小龍
    {"Za\xC5\xBC\xC3\xB3\xC5\x82\xC4\x87.kvr", "ZAZ", "Polish"},                  // Zażółć
    {"Zaz\xC3\xB3lc.kvr", "ZBF", "Bestfit"},                                      // Zazólc
    {"Zo\xC3\xAB.kvr", "ZOE", "Zoe"},                                             // Zoë
    {"\xEF\xBC\xAB\xEF\xBC\xA1\xEF\xBC\xB4\xEF\xBC\xAF.kvr", "KFW", "Fullwidth"}, // ＫＡＴＯ
    {"KATO.kvr", "KAT", "Ascii"},
    {"anna.kvr", "ANA", "Anna"},
};

// The listing order of both builds: ASCII letters folded to upper case, then byte order, so
// every letter beyond ASCII sorts after Z.
const char* const ListingOrder[] = {
    "anna.kvr",
    "KATO.kvr",
    "Zaz\xC3\xB3lc.kvr",
    "Za\xC5\xBC\xC3\xB3\xC5\x82\xC4\x87.kvr",
    "Zo\xC3\xAB.kvr",
    "\xE6\x9D\x8E\xE5\xB0\x8F\xE9\xBE\x8D.kvr",
    "\xEF\xBC\xAB\xEF\xBC\xA1\xEF\xBC\xB4\xEF\xBC\xAF.kvr",
};

std::string expectedOutput() {
    std::string expected;
    for (const char* name : ListingOrder) {
        expected += "importing " + std::string(name) + " ... ok!\n";
    }
    return platformText(expected + UpdateOk);
}

// A game folder at `path` with every participant of the table.
void makeGame(const fs::path& path) {
    fs::create_directories(path / "kvr");
    fs::create_directories(path / "Configuration");
    kvrtest::writeBytes(path / "Configuration" / "gameinfo.rcf",
                        kvrtest::syntheticRecordsFile(5000));
    uint32_t time = 100;
    for (const Named& p : Participants) {
        kvrtest::writeBytes(path / "kvr" / fs::u8path(p.file),
                            driver(p.code, p.driver, time += 10).bytes());
    }
}

void expectEveryoneReported(const fs::path& game) {
    std::string report = kvrtest::readText(game / "ranking.txt");
    for (const Named& p : Participants) {
        EXPECT_NE(report.find(std::string(p.driver) + platformText("\n")), std::string::npos)
            << p.driver;
    }
}

TEST(Names, AnyScriptImportsUnderItsOwnNameInTheCommonOrder) {
    GameFolder game;
    makeGame(game.path());
    kvrtest::ProcessResult run = kvrtest::runProgram(KVRRANK_BINARY, game.path());
    EXPECT_EQ(run.output, expectedOutput()); // UTF-8 bytes, as redirected output
    EXPECT_EQ(run.errors, "");
    EXPECT_EQ(run.exitStatus, 0);
    expectEveryoneReported(game.path());
}

TEST(Names, GameFolderArgumentWithBlanksAndAnyLetters) {
    // A drag-and-drop onto the program passes the folder's full path; the working folder is
    // elsewhere.
    struct Case {
        const char* what;
        std::string folder; // UTF-8, below a temporary folder
    };
    const Case cases[] = {
        {"blanks and letters", "Dustline Rally 2.0 \xE2\x80\x93 Za\xC5\xBC\xC3\xB3\xC5\x82\xC4\x87 "
                               "\xE6\x9D\x8E"},
        // Past 260 characters: each level is 60, the whole path beyond 300.
        {"longer than 260", std::string(60, 'a') + "/" + std::string(60, 'b') + "/" +
                                std::string(60, 'c') + "/" + std::string(60, 'd') + "/" +
                                std::string(60, 'e') + "/game \xC3\xAB"},
    };
    for (const Case& c : cases) {
        kvrtest::TempFolder root;
        fs::path game = root.path() / fs::u8path(c.folder);
        makeGame(game);
        std::string argument = game.u8string();
        if (c.folder.size() > 260) {
            ASSERT_GT(argument.size(), 300u);
        }
        kvrtest::ProcessResult run =
            kvrtest::runProgram(KVRRANK_BINARY, root.path(), std::vector<std::string>{argument});
        EXPECT_EQ(run.output, expectedOutput()) << c.what;
        EXPECT_EQ(run.errors, "") << c.what;
        EXPECT_EQ(run.exitStatus, 0) << c.what;
        expectEveryoneReported(game);
    }
}

} // namespace
