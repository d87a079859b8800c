// Temporary files left beside an output by earlier runs: the built binary removes those whose
// writer is gone and keeps the one that another process is still writing.
#include "support/game_folder.h"

#include <gtest/gtest.h>

namespace {

using kvrtest::GameFolder;
using kvrtest::ParticipantFileBuilder;
namespace fs = std::filesystem;

// The name a run gives the temporary file that replaces `base`, written out here so that a
// change of the pattern is seen too.
std::string temporaryOf(const std::string& base, const char* digits) {
    return "." + base + ".kvrrank-" + digits + ".tmp";
}

TEST(Temporaries, ARunRemovesLeftoversButKeepsALiveWritersFile) {
    struct Case {
        const char* what;
        bool exportElsewhere; // an --html export by absolute path, else ranking.txt
    };
    const Case cases[] = {{"beside ranking.txt", false},
                          {"beside an export given by absolute path", true}};
    for (const Case& c : cases) {
        SCOPED_TRACE(c.what);
        GameFolder game;
        ParticipantFileBuilder image;
        image.code("D1").name("Driver").stage(0, 0, 0x05, 6000u);
        game.addParticipant("d1.kvr", image);
        kvrtest::TempFolder elsewhere;
        const fs::path output = c.exportElsewhere ? elsewhere / "r.html" : game / "ranking.txt";
        const std::string base = output.filename().u8string();
        std::vector<std::string> arguments;
        if (c.exportElsewhere) {
            ASSERT_TRUE(output.is_absolute());
            arguments = {"--html", output.u8string()};
        }

        const fs::path folder = output.parent_path();
        const fs::path live = folder / temporaryOf(base, "00000000000000a1");
        const fs::path stale = folder / temporaryOf(base, "00000000000000b2");
        const fs::path otherOutputs = folder / temporaryOf("other.txt", "00000000000000c3");
        for (const fs::path& path : {live, stale, otherOutputs}) {
            kvrtest::writeText(path, "being written\n");
        }
        kvrtest::ProcessResult run;
        {
            // The writer of `live` holds it locked (POSIX) or open without sharing (Windows)
            // until it is renamed into place.
            kvrtest::ExclusiveHolder writer(live);
            ASSERT_TRUE(writer.holding());
            run = kvrtest::runProgram(KVRRANK_BINARY, game.path(), arguments);
        }
        EXPECT_EQ(run.exitStatus, 0) << run.errors;
        EXPECT_TRUE(fs::is_regular_file(output));
        EXPECT_FALSE(fs::exists(stale));
        EXPECT_EQ(fs::exists(live) ? kvrtest::readText(live) : "(removed)", "being written\n");
        EXPECT_TRUE(fs::exists(otherOutputs)); // another output's leftovers are not looked at
        // Nothing else is left: the run's own temporary file went into place.
        size_t temporaries = 0;
        for (const fs::directory_entry& entry : fs::directory_iterator(folder)) {
            temporaries += entry.path().extension() == ".tmp" ? 1 : 0;
        }
        EXPECT_EQ(temporaries, 2u);
    }
}

} // namespace
