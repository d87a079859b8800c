// Runs the built kvrrank in temporary game folders and checks its console bytes and files.
#include "records/record_tables.h"
#include "support/game_folder.h"

#include <gtest/gtest.h>

#include <cstring>

#ifdef _WIN32
#include <windows.h>
#else
#include <sys/stat.h>
#endif

namespace {

using namespace kvr;
using kvrtest::GameFolder;
using kvrtest::ParticipantFileBuilder;
namespace fs = std::filesystem;

using kvrtest::platformText;

kvrtest::ProcessResult runKvrRankIn(const GameFolder& game) {
    return kvrtest::runProgram(KVRRANK_BINARY, game.path());
}

std::vector<uint8_t> entryBytes(const std::vector<uint8_t>& records, size_t offset) {
    return std::vector<uint8_t>(records.begin() + static_cast<long>(offset),
                                records.begin() + static_cast<long>(offset + 8));
}

TEST(EndToEnd, ImportsUpdatesAndReports) {
    GameFolder game(6000);
    game.addParticipant("anna.kvr", ParticipantFileBuilder()
                                        .code("ANA")
                                        .name("Anna")
                                        .stage(0, 0, 0x49, 6001)
                                        .stage(1, 2, 0x03, 700)
                                        .arcade(0, 0x02, 4000)
                                        .junk(1));
    game.addParticipant("Bert.kvr",
                        ParticipantFileBuilder().code("BE").name("Bert").stage(0, 0, 0x04, 5999));
    game.addParticipant("cut.kvr", ParticipantFileBuilder().code("CUT").resize(1615));
    // Matches "*.kvr" by its 8.3 short name on Windows; never a participant file.
    game.addParticipant("x.kvrx", ParticipantFileBuilder().code("X"));
    fs::create_directory(game / "kvr" / "dir.kvr");
#ifndef _WIN32
    ASSERT_EQ(::mkfifo((game / "kvr" / "pipe.kvr").c_str(), 0600), 0);
#endif
    std::vector<uint8_t> before = game.records();

    kvrtest::ProcessResult run = runKvrRankIn(game);
    std::string expected = "importing anna.kvr ... ok!\n"
                           "importing Bert.kvr ... ok!\n"
                           "importing cut.kvr ... failed!\n";
#ifndef _WIN32
    expected += "importing pipe.kvr ... failed!\n";
#endif
    expected += "updateing Configuration/gameinfo.rcf... ok!\n";
    EXPECT_EQ(run.output, platformText(expected));
    std::string reasons = "kvrrank: kvr/cut.kvr: too short: 1615 bytes, at least 1616 needed\n";
#ifndef _WIN32
    reasons += "kvrrank: kvr/pipe.kvr: not a regular file\n";
#endif
    EXPECT_EQ(run.errors, platformText(reasons));
    EXPECT_EQ(run.exitStatus, 0);

    // Only the two tables changed, with the expected entries.
    std::vector<uint8_t> after = game.records();
    ASSERT_EQ(after.size(), before.size());
    for (size_t i = 0; i < after.size(); ++i) {
        bool inTables = (i >= 1784 && i < 2488) || (i >= 4820 && i < 4884);
        if (!inTables) {
            ASSERT_EQ(after[i], before[i]) << "byte " << i;
        }
    }
    const std::vector<uint8_t> bert = {'B', 'E', 0, 0, 0xC4, 0xB7, 0x0B, 0}; // 5999
    const std::vector<uint8_t> empty = {'d', 'l', 'r', 0, 0, 0xC0, 0x5D, 0};
    const std::vector<uint8_t> anna = {'A', 'N', 'A', 0, 0x43, 0x5E, 0x01, 0}; // 700
    const std::vector<uint8_t> arcade = {'A', 'N', 'A', 0, 0x42, 0xD0, 0x07, 0};
    EXPECT_EQ(entryBytes(after, 1784), bert);
    EXPECT_EQ(entryBytes(after, 1784 + 8), empty);
    EXPECT_EQ(entryBytes(after, 1784 + 10 * 8), std::vector<uint8_t>(8, 0));
    EXPECT_EQ(entryBytes(after, 1784 + 13 * 8), anna);
    EXPECT_EQ(entryBytes(after, 4820), arcade);

    std::string report = kvrtest::readText(game / "ranking.txt");
    EXPECT_NE(report.find(platformText(
                  "  Stage  1\n"
                  "    01   BE  kasuga rai                       MT 00:59.98\n"
                  "    02  ANA  tenzan gale                      AT 01:00.00 (+00:00.02)\n\n")),
              std::string::npos);
    EXPECT_NE(report.find(platformText("Driver Total Ranking\n\n"
                                       "  01   32pnt Anna\n"
                                       "  02   12pnt Bert\n")),
              std::string::npos);
}

TEST(EndToEnd, NoParticipantFolder) {
    GameFolder game;
    fs::remove(game / "kvr");
    kvrtest::ProcessResult run = runKvrRankIn(game);
    EXPECT_EQ(run.output, platformText("not found kvr file\n"));
    EXPECT_EQ(run.exitStatus, 1);
    EXPECT_FALSE(fs::exists(game / "ranking.txt"));
}

TEST(EndToEnd, FailedUpdateChangesNothing) {
    enum class Records { Missing, Folder, Short, Held };
    for (Records kind : {Records::Missing, Records::Folder, Records::Short, Records::Held}) {
        GameFolder game(kind == Records::Short ? 4883 : 0);
        if (kind == Records::Folder) {
            fs::create_directory(game.recordsPath());
        }
        if (kind == Records::Held) {
            kvrtest::writeBytes(game.recordsPath(), kvrtest::syntheticRecordsFile(5000));
        }
        kvrtest::writeText(game / "ranking.txt", "earlier\n");
        game.addParticipant("a.kvr", ParticipantFileBuilder().code("A").stage(0, 0, 0, 100));
        std::vector<uint8_t> before;
        if (fs::is_regular_file(game.recordsPath())) {
            before = game.records();
        }

        kvrtest::ProcessResult run;
        if (kind == Records::Held) {
            kvrtest::ExclusiveHolder holder(game.recordsPath());
            ASSERT_TRUE(holder.holding());
            run = runKvrRankIn(game);
        } else {
            run = runKvrRankIn(game);
        }
        int which = static_cast<int>(kind);
        EXPECT_EQ(run.output, platformText("importing a.kvr ... ok!\n"
                                           "updateing Configuration/gameinfo.rcf... failed!\n"))
            << which;
        EXPECT_EQ(run.exitStatus, 1) << which;
        EXPECT_EQ(kvrtest::readText(game / "ranking.txt"), "earlier\n") << which;
        if (!before.empty()) {
            EXPECT_EQ(game.records(), before) << which;
        } else {
            EXPECT_FALSE(fs::is_regular_file(game.recordsPath())) << which;
        }
    }
}

#ifdef _WIN32
// Every line end of the console and of the report is CR LF, and no other CR is written.
TEST(EndToEnd, WindowsLineEndsAreCrLf) {
    GameFolder game;
    game.addParticipant("a.kvr", ParticipantFileBuilder().code("A").name("A").stage(0, 0, 0, 90));
    kvrtest::ProcessResult run = runKvrRankIn(game);
    EXPECT_EQ(run.output, "importing a.kvr ... ok!\r\n"
                          "updateing Configuration/gameinfo.rcf... ok!\r\n");
    EXPECT_EQ(run.exitStatus, 0);

    std::string report = kvrtest::readText(game / "ranking.txt");
    size_t lines = 0;
    for (size_t i = 0; i < report.size(); ++i) {
        if (report[i] == '\n') {
            ++lines;
            ASSERT_TRUE(i > 0 && report[i - 1] == '\r') << "LF without CR at " << i;
        } else if (report[i] == '\r') {
            ASSERT_TRUE(i + 1 < report.size() && report[i + 1] == '\n') << "lone CR at " << i;
        }
    }
    EXPECT_GT(lines, 20u);
    EXPECT_EQ(report.substr(report.size() - 2), "\r\n");

    GameFolder empty;
    fs::remove(empty / "kvr");
    EXPECT_EQ(runKvrRankIn(empty).output, "not found kvr file\r\n");
}

// The version resource that Explorer shows, read back from the built program.
TEST(EndToEnd, VersionResourceNamesTheProgram) {
    std::wstring program = fs::absolute(KVRRANK_BINARY).wstring();
    DWORD ignored = 0;
    DWORD size = GetFileVersionInfoSizeW(program.c_str(), &ignored);
    ASSERT_GT(size, 0u);
    std::vector<char> data(size);
    ASSERT_TRUE(GetFileVersionInfoW(program.c_str(), 0, size, data.data()));
    struct Field {
        const wchar_t* name;
        std::string value;
    };
    const Field fields[] = {
        {L"ProductName", "kvrrank"},
        {L"ProductVersion", KVR_VERSION},
        {L"FileVersion", KVR_VERSION},
        {L"OriginalFilename", "kvrrank.exe"},
        {L"FileDescription", "kvrrank - best times and points ranking for Dustline Rally 2.0"},
    };
    for (const Field& field : fields) {
        std::wstring key = std::wstring(L"\\StringFileInfo\\040904B0\\") + field.name;
        wchar_t* value = nullptr;
        UINT length = 0;
        ASSERT_TRUE(
            VerQueryValueW(data.data(), key.c_str(), reinterpret_cast<void**>(&value), &length))
            << field.value;
        EXPECT_EQ(fs::path(std::wstring(value)).u8string(), field.value);
    }
    VS_FIXEDFILEINFO* fixed = nullptr;
    UINT length = 0;
    ASSERT_TRUE(VerQueryValueW(data.data(), L"\\", reinterpret_cast<void**>(&fixed), &length));
    std::string version = std::to_string(HIWORD(fixed->dwFileVersionMS)) + "." +
                          std::to_string(LOWORD(fixed->dwFileVersionMS));
    EXPECT_EQ(version, KVR_VERSION);
}
#endif

} // namespace
