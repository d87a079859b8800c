// Runs the built kvrrank in hostile game folders: odd names, links to anything, a report or
// records file of the wrong kind, a thousand files, a file-size limit. Nothing may crash,
// hang, write outside the game folder or change a byte it should not.
#include "records/record_tables.h"
#include "support/participant_builder.h"
#include "support/temp_folder.h"

#include <gtest/gtest.h>

#ifndef _WIN32

#include <map>
#include <set>
#include <sys/stat.h>
#include <unistd.h>

namespace {

using kvrtest::ParticipantFileBuilder;
using kvrtest::TempFolder;
namespace fs = std::filesystem;

constexpr unsigned HangSeconds = 60;

// Runs the binary in `folder`; a hang ends it with SIGALRM. With `fileSizeLimit` set, the
// run gets that RLIMIT_FSIZE and ignores SIGXFSZ, as under `ulimit -f`.
kvrtest::ProcessResult runIn(const fs::path& folder, uint64_t fileSizeLimit = 0) {
    return kvrtest::runProgram(KVRRANK_BINARY, folder, {HangSeconds, fileSizeLimit});
}

using kvrtest::snapshot;

ParticipantFileBuilder driver(int i) {
    ParticipantFileBuilder image;
    image.code(std::string(3, static_cast<char>('A' + i % 26)))
        .name("Driver " + std::to_string(i))
        .stage(i % 8, i % 10, static_cast<uint8_t>(i % 22), 4000u + static_cast<uint32_t>(i))
        .arcade(i % 8, 0x41, 9000u + static_cast<uint32_t>(i));
    return image;
}

const std::string EarlierReport = "the earlier report\n";
const std::string UpdateOk = "updateing Configuration/gameinfo.rcf... ok!\n";
const std::string UpdateFailed = "updateing Configuration/gameinfo.rcf... failed!\n";

// A game folder and, beside it, an "outside" folder that links point into.
class Scene {
  public:
    Scene() {
        fs::create_directories(game() / "kvr");
        fs::create_directories(game() / "Configuration");
        fs::create_directories(outside() / "folder");
        kvrtest::writeBytes(records(), kvrtest::syntheticRecordsFile(6000));
        kvrtest::writeText(game() / "ranking.txt", EarlierReport);
        kvrtest::writeBytes(outside() / "records.rcf", kvrtest::syntheticRecordsFile(6000));
        kvrtest::writeText(outside() / "report.txt", "not the game's\n");
        kvrtest::writeBytes(outside() / "participant.kvr", driver(20).bytes());
        if (::mkfifo((outside() / "fifo").c_str(), 0600) != 0) {
            throw std::runtime_error("mkfifo failed");
        }
    }
    fs::path game() const { return root_ / "game"; }
    fs::path outside() const { return root_ / "outside"; }
    fs::path records() const { return game() / "Configuration" / "gameinfo.rcf"; }
    void add(const std::string& name, const ParticipantFileBuilder& image) const {
        kvrtest::writeBytes(game() / "kvr" / name, image.bytes());
    }
    void link(const fs::path& to, const fs::path& at) const { fs::create_symlink(to, at); }

  private:
    TempFolder root_;
};

// A successful update changes the two tables and nothing else.
void expectOnlyTablesChanged(const std::vector<uint8_t>& before,
                             const std::vector<uint8_t>& after) {
    ASSERT_EQ(after.size(), before.size());
    bool tablesChanged = false;
    for (size_t i = 0; i < after.size(); ++i) {
        bool inTables =
            (i >= kvr::StageRecordsOffset && i < kvr::StageRecordsOffset + kvr::StageRecordsSize) ||
            (i >= kvr::ArcadeRecordsOffset &&
             i < kvr::ArcadeRecordsOffset + kvr::ArcadeRecordsSize);
        if (!inTables) {
            ASSERT_EQ(after[i], before[i]) << "byte " << i;
        }
        tablesChanged |= inTables && after[i] != before[i];
    }
    EXPECT_TRUE(tablesChanged);
}

TEST(HostileFolder, NamesOfEveryKindAreImportedAndShownSafely) {
    Scene scene;
    const std::string longest = std::string(251, 'n') + ".kvr"; // 255 bytes
    scene.add(longest, driver(0));
    scene.add("with  space .kvr", driver(1));
    scene.add("\xe9t\xe9.kvr", driver(2));
    scene.add("\xff\xfe.kvr", driver(3));
    scene.add("line\nend.kvr", driver(4));
    scene.add("car\rriage.kvr", driver(5));
    auto outside = snapshot(scene.outside());

    kvrtest::ProcessResult run = runIn(scene.game());
    // Control bytes in a name are shown as '?': a name cannot move the cursor or forge a line.
    EXPECT_EQ(run.output, "importing car?riage.kvr ... ok!\n"
                          "importing line?end.kvr ... ok!\n"
                          "importing " +
                              longest +
                              " ... ok!\n"
                              "importing with  space .kvr ... ok!\n"
                              "importing \xe9t\xe9.kvr ... ok!\n"
                              "importing \xff\xfe.kvr ... ok!\n" +
                              UpdateOk);
    EXPECT_EQ(run.errors, "");
    EXPECT_EQ(run.exitStatus, 0);
    EXPECT_NE(kvrtest::readText(scene.game() / "ranking.txt").find("  06. DDD ,"),
              std::string::npos);
    EXPECT_EQ(snapshot(scene.outside()), outside);
}

TEST(HostileFolder, LinksInTheParticipantFolderNeitherHangNorEscape) {
    Scene scene;
    const fs::path kvr = scene.game() / "kvr";
    scene.link("a.kvr", kvr / "a.kvr"); // a loop
    scene.link(scene.outside() / "folder", kvr / "b.kvr");
    scene.link(scene.outside() / "fifo", kvr / "c.kvr");
    scene.link("/dev/zero", kvr / "d.kvr");
    scene.link("/dev/null", kvr / "e.kvr");
    scene.link(scene.outside() / "missing.kvr", kvr / "f.kvr");
    scene.link(scene.outside() / "participant.kvr", kvr / "g.kvr"); // a file: read through
    scene.add("h.kvr", driver(1));
    ASSERT_EQ(::mkfifo((kvr / "i.kvr").c_str(), 0600), 0);
    const std::vector<uint8_t> records = kvrtest::readBytes(scene.records());
    auto outside = snapshot(scene.outside());
    auto game = snapshot(scene.game());

    kvrtest::ProcessResult run = runIn(scene.game());
    EXPECT_EQ(run.output, "importing a.kvr ... failed!\n"
                          "importing c.kvr ... failed!\n"
                          "importing d.kvr ... failed!\n"
                          "importing e.kvr ... failed!\n"
                          "importing f.kvr ... failed!\n"
                          "importing g.kvr ... ok!\n"
                          "importing h.kvr ... ok!\n"
                          "importing i.kvr ... failed!\n" +
                              UpdateOk);
    EXPECT_EQ(run.errors, "kvrrank: kvr/a.kvr: Too many levels of symbolic links\n"
                          "kvrrank: kvr/c.kvr: not a regular file\n"
                          "kvrrank: kvr/d.kvr: not a regular file\n"
                          "kvrrank: kvr/e.kvr: not a regular file\n"
                          "kvrrank: kvr/f.kvr: No such file or directory\n"
                          "kvrrank: kvr/i.kvr: not a regular file\n");
    EXPECT_EQ(run.exitStatus, 0);
    EXPECT_EQ(snapshot(scene.outside()), outside);
    expectOnlyTablesChanged(records, kvrtest::readBytes(scene.records()));
    // Only the records file and the report changed in the game folder.
    auto after = snapshot(scene.game());
    game.erase("Configuration/gameinfo.rcf");
    game.erase("ranking.txt");
    after.erase("Configuration/gameinfo.rcf");
    after.erase("ranking.txt");
    EXPECT_EQ(after, game);
}

TEST(HostileFolder, AReportOfTheWrongKindIsReplacedOrLeftButNothingOutsideIsWritten) {
    enum class Then { Replaced, Left };
    struct Case {
        const char* what;
        void (*make)(const Scene&);
        Then then;
    };
    const Case cases[] = {
        {"a folder",
         [](const Scene& s) {
             fs::remove(s.game() / "ranking.txt");
             fs::create_directory(s.game() / "ranking.txt");
             kvrtest::writeText(s.game() / "ranking.txt" / "inside", "kept");
         },
         Then::Left},
        {"a link to a file outside",
         [](const Scene& s) {
             fs::remove(s.game() / "ranking.txt");
             s.link(s.outside() / "report.txt", s.game() / "ranking.txt");
         },
         Then::Replaced},
        {"a dangling link",
         [](const Scene& s) {
             fs::remove(s.game() / "ranking.txt");
             s.link(s.outside() / "new-report.txt", s.game() / "ranking.txt");
         },
         Then::Replaced},
        {"a link to a folder outside",
         [](const Scene& s) {
             fs::remove(s.game() / "ranking.txt");
             s.link(s.outside() / "folder", s.game() / "ranking.txt");
         },
         Then::Replaced},
        {"a link loop",
         [](const Scene& s) {
             fs::remove(s.game() / "ranking.txt");
             s.link("ranking.txt", s.game() / "ranking.txt");
         },
         Then::Replaced},
    };
    for (const Case& c : cases) {
        SCOPED_TRACE(c.what);
        Scene scene;
        scene.add("a.kvr", driver(1));
        c.make(scene);
        auto outside = snapshot(scene.outside());

        kvrtest::ProcessResult run = runIn(scene.game());
        EXPECT_EQ(run.output, "importing a.kvr ... ok!\n" + UpdateOk);
        if (c.then == Then::Replaced) {
            EXPECT_EQ(run.errors, "");
        } else {
            EXPECT_EQ(run.errors.rfind("kvrrank: ranking.txt: ", 0), 0u) << run.errors;
        }
        EXPECT_EQ(snapshot(scene.outside()), outside);
        fs::file_status status = fs::symlink_status(scene.game() / "ranking.txt");
        if (c.then == Then::Replaced) {
            EXPECT_EQ(run.exitStatus, 0);
            ASSERT_TRUE(fs::is_regular_file(status));
            EXPECT_EQ(kvrtest::readText(scene.game() / "ranking.txt")
                          .rfind("Dustline Rally 2.0 - KVR Ranking System 1.0alpha2\n", 0),
                      0u);
        } else {
            EXPECT_EQ(run.exitStatus, 1);
            EXPECT_TRUE(fs::is_directory(status));
            EXPECT_EQ(kvrtest::readText(scene.game() / "ranking.txt" / "inside"), "kept");
        }
        // No temporary file left beside the report.
        std::set<std::string> names;
        for (const auto& entry : fs::directory_iterator(scene.game())) {
            names.insert(entry.path().filename().string());
        }
        EXPECT_EQ(names, (std::set<std::string>{"Configuration", "kvr", "ranking.txt"}));
    }
}

TEST(HostileFolder, ARecordsFileOfTheWrongKindFailsTheUpdateAndChangesNothing) {
    struct Case {
        const char* what;
        void (*make)(const Scene&);
    };
    const Case cases[] = {
        {"a link to a file outside",
         [](const Scene& s) {
             fs::remove(s.records());
             s.link(s.outside() / "records.rcf", s.records());
         }},
        {"a Configuration folder that links outside",
         [](const Scene& s) {
             fs::remove_all(s.game() / "Configuration");
             fs::copy_file(s.outside() / "records.rcf", s.outside() / "folder" / "gameinfo.rcf");
             s.link(s.outside() / "folder", s.game() / "Configuration");
         }},
        {"a folder",
         [](const Scene& s) {
             fs::remove(s.records());
             fs::create_directory(s.records());
         }},
        {"a link to a character device",
         [](const Scene& s) {
             fs::remove(s.records());
             s.link("/dev/zero", s.records());
         }},
        {"a FIFO",
         [](const Scene& s) {
             fs::remove(s.records());
             ASSERT_EQ(::mkfifo(s.records().c_str(), 0600), 0);
         }},
        {"empty", [](const Scene& s) { kvrtest::writeBytes(s.records(), {}); }},
        {"one byte short",
         [](const Scene& s) {
             kvrtest::writeBytes(s.records(),
                                 kvrtest::syntheticRecordsFile(kvr::MinimumRecordsFileSize - 1));
         }},
    };
    for (const Case& c : cases) {
        SCOPED_TRACE(c.what);
        Scene scene;
        scene.add("a.kvr", driver(1));
        c.make(scene);
        auto everything = snapshot(scene.game().parent_path());

        // Started in the game folder, and given it from the folder above, by name and by its
        // whole path: the game folder itself may be anywhere, but nothing below it a link.
        const fs::path above = scene.game().parent_path();
        for (const std::vector<std::string>& given : {std::vector<std::string>{},
                                                      {scene.game().filename().u8string()},
                                                      {scene.game().u8string()}}) {
            SCOPED_TRACE(given.empty() ? "started there" : given[0]);
            kvrtest::ProcessResult run = kvrtest::runProgram(
                KVRRANK_BINARY, given.empty() ? scene.game() : above, given, {HangSeconds, 0});
            EXPECT_EQ(run.output, "importing a.kvr ... ok!\n" + UpdateFailed);
            const std::map<std::string, std::string> reasons = {
                {"a link to a file outside", "a link, not the file itself"},
                {"a Configuration folder that links outside", "a folder on the path is a link"},
                {"a folder", "not a regular file"},
                {"a link to a character device", "a link, not the file itself"},
                {"a FIFO", "not a regular file"},
                {"empty", "too short: 0 bytes, at least 4884 needed"},
                {"one byte short", "too short: 4883 bytes, at least 4884 needed"},
            };
            EXPECT_EQ(run.errors,
                      "kvrrank: Configuration/gameinfo.rcf: " + reasons.at(c.what) + "\n");
            EXPECT_EQ(run.exitStatus, 1);
            EXPECT_EQ(snapshot(scene.game().parent_path()), everything);
        }
    }
}

TEST(HostileFolder, AThousandFilesEveryThirdShort) {
    Scene scene;
    std::string expected, reasons;
    for (int i = 0; i < 1000; ++i) {
        char name[16];
        std::snprintf(name, sizeof name, "p%04d.kvr", i);
        bool shortFile = i % 3 == 2;
        ParticipantFileBuilder image = driver(i);
        if (shortFile) {
            image.resize(static_cast<size_t>(i % 1616));
        }
        scene.add(name, image);
        expected +=
            std::string("importing ") + name + (shortFile ? " ... failed!\n" : " ... ok!\n");
        if (shortFile) {
            reasons += std::string("kvrrank: kvr/") + name +
                       ": too short: " + std::to_string(i % 1616) +
                       " bytes, at least 1616 needed\n";
        }
    }
    const std::vector<uint8_t> records = kvrtest::readBytes(scene.records());

    kvrtest::ProcessResult run = runIn(scene.game());
    EXPECT_EQ(run.output, expected + UpdateOk);
    EXPECT_EQ(run.errors, reasons);
    EXPECT_EQ(run.exitStatus, 0);
    expectOnlyTablesChanged(records, kvrtest::readBytes(scene.records()));
    std::string report = kvrtest::readText(scene.game() / "ranking.txt");
    EXPECT_NE(report.find("  667. "), std::string::npos);
    EXPECT_EQ(report.find("  668. "), std::string::npos);
}

TEST(HostileFolder, AFileSizeLimitLeavesTheEarlierReport) {
    Scene scene;
    for (int i = 0; i < 12; ++i) {
        ParticipantFileBuilder image = driver(i);
        for (int slot = 0; slot < 96; ++slot) {
            image.stageSlot(slot, 1, 3000u + static_cast<uint32_t>(slot * 7 + i));
        }
        scene.add("p" + std::to_string(i) + ".kvr", image);
    }
    // Below the report's size, above the records file's tables.
    const uint64_t limit = 5000;
    kvrtest::ProcessResult run = runIn(scene.game(), limit);
    EXPECT_EQ(run.exitStatus, 1);
    EXPECT_EQ(run.errors, "kvrrank: ranking.txt: File too large\n");
    EXPECT_NE(run.output.find(UpdateOk), std::string::npos);
    EXPECT_EQ(kvrtest::readText(scene.game() / "ranking.txt"), EarlierReport);
    size_t entries = static_cast<size_t>(
        std::distance(fs::directory_iterator(scene.game()), fs::directory_iterator()));
    EXPECT_EQ(entries, 3u); // kvr, Configuration, ranking.txt: no temporary file

    // Without the limit the same run writes a report larger than it.
    run = runIn(scene.game());
    EXPECT_EQ(run.exitStatus, 0);
    EXPECT_GT(fs::file_size(scene.game() / "ranking.txt"), limit);
}

} // namespace

#endif
