#include "model/time_text.h"
#include "output/outputs.h"
#include "report/ranking_report.h"

#include "support/participant_builder.h"
#include "support/temp_folder.h"

#include <gtest/gtest.h>

#include <algorithm>
#include <regex>
#include <sstream>

namespace {

using namespace kvr;
using kvrtest::ParticipantFileBuilder;

const ReportTime Noon{2026, 12, 7, 12, 5, 9};

std::string report(const std::vector<ParticipantRecord>& participants,
                   const ReportTime& time = Noon) {
    return formatRankingReport(participants.data(), static_cast<int32_t>(participants.size()),
                               time);
}

// The text from the line `from` up to, not including, the line `to`.
std::string section(const std::string& text, const std::string& from, const std::string& to) {
    size_t start = text.find(from);
    size_t end = text.find(to, start);
    if (start == std::string::npos || end == std::string::npos) {
        return "<missing section>";
    }
    return text.substr(start, end - start);
}

std::vector<std::string> lines(const std::string& text) {
    std::vector<std::string> result;
    std::istringstream in(text);
    for (std::string line; std::getline(in, line);) {
        result.push_back(line);
    }
    return result;
}

const char* const HeadingsOnly = "\n\nRally - Stage Times\n\n"
                                 "\n Finland :\n\n"
                                 "\n Greece :\n\n"
                                 "\n France :\n\n"
                                 "\n Sweden :\n\n"
                                 "\n Australia :\n\n"
                                 "\n Kenya :\n\n"
                                 "\n Italy :\n\n"
                                 "\n United Kingdom :\n\n"
                                 "\nArcade - Lap Times\n\n"
                                 "\nDriver Total Ranking\n\n";

TEST(RankingReport, NoParticipantsGivesHeadingsOnly) {
    EXPECT_EQ(report({}), std::string("Dustline Rally 2.0 - KVR Ranking System 1.0alpha2\n\n"
                                      "Ranking at 2026.12.07 12:05:09\n\n\n"
                                      "Participants : \n") +
                              HeadingsOnly);
}

TEST(RankingReport, ThreeParticipantsWholeText) {
    std::vector<ParticipantRecord> participants = {
        ParticipantFileBuilder()
            .code("ANA")
            .name("Ana Example")
            .date(151, 0x1A, 0xE3, 0x99)
            .stage(0, 0, 0x49, 6001)
            .stage(1, 2, 0x80, 101)
            .arcade(2, 0x15, 746)
            .junk(5)
            .record(),
        ParticipantFileBuilder()
            .code("BO")
            .name("Bo")
            .date(150, 12, 0)
            .stage(0, 0, 0x04, 6001)
            .stage(0, 2, 0x0A, 600001)
            .record(),
        ParticipantFileBuilder().code("CEE").name("Cee").record(),
    };
    const std::string expected =
        "Dustline Rally 2.0 - KVR Ranking System 1.0alpha2\n"
        "\n"
        "Ranking at 2026.12.07 12:05:09\n"
        "\n"
        "\n"
        "Participants : \n"
        "  01. ANA , 2001.10.03 , Ana Example\n"
        "  02.  BO , 2000.12.00 , Bo\n"
        "  03. CEE , 1850.00.00 , Cee\n"
        "\n"
        "\n"
        "Rally - Stage Times\n"
        "\n"
        "\n"
        " Finland :\n"
        "\n"
        "  Stage  1\n"
        "    01  ANA  tenzan gale                      AT 01:00.00\n"
        "    02   BO  kasuga rai                       MT 01:00.00 (+00:00.00)\n"
        "\n"
        "  Stage  3\n"
        "    01   BO  marlet 140                       MT 100:00.00\n"
        "\n"
        "\n"
        " Greece :\n"
        "\n"
        "  Stage  3\n"
        "    01  ANA  arden vela                       MT 00:01.00\n"
        "\n"
        "\n"
        " France :\n"
        "\n"
        "\n"
        " Sweden :\n"
        "\n"
        "\n"
        " Australia :\n"
        "\n"
        "\n"
        " Kenya :\n"
        "\n"
        "\n"
        " Italy :\n"
        "\n"
        "\n"
        " United Kingdom :\n"
        "\n"
        "\n"
        "Arcade - Lap Times\n"
        "\n"
        "  Greece\n"
        "    01  ANA  arden pacer mk1                  MT 00:07.45\n"
        "\n"
        "\n"
        "Driver Total Ranking\n"
        "\n"
        "  01   36pnt Ana Example\n"
        "  02   20pnt Bo\n";
    EXPECT_EQ(report(participants), expected);
}

TEST(RankingReport, ListsTenPlacesAndPointsStopAtTheSixth) {
    std::vector<ParticipantRecord> participants;
    for (int i = 0; i < 12; ++i) {
        // Listed slowest first, so the listing must reorder them.
        std::string code = "P" + std::to_string(i);
        participants.push_back(ParticipantFileBuilder()
                                   .code(code)
                                   .name("Driver " + code)
                                   .arcade(4, 0, static_cast<uint32_t>(2000 - i * 100))
                                   .record());
    }
    std::string finland = section(report(participants), "  Finland\n", "\nDriver Total");
    std::vector<std::string> rows = lines(finland);
    ASSERT_EQ(rows.size(), 12u); // heading, ten places, empty line
    EXPECT_EQ(rows[1].substr(0, 12), "    01  P11 ");
    EXPECT_EQ(rows[10].substr(0, 12), "    10   P2 ");
    EXPECT_NE(rows[10].find("00:17.99 (+00:09.00)"), std::string::npos) << rows[10];
    EXPECT_EQ(rows[11], "");

    std::string ranking = section(report(participants) + "<end>", "Driver Total", "<end>");
    EXPECT_EQ(ranking, "Driver Total Ranking\n\n"
                       "  01   12pnt Driver P11\n"
                       "  02    8pnt Driver P10\n"
                       "  03    6pnt Driver P9\n"
                       "  04    4pnt Driver P8\n"
                       "  05    2pnt Driver P7\n"
                       "  06    1pnt Driver P6\n");
}

TEST(RankingReport, EqualTotalsAndEqualTimesStandInParticipantOrder) {
    std::vector<ParticipantRecord> participants = {
        ParticipantFileBuilder().code("A").name("First").stage(2, 0, 0, 500).record(),
        ParticipantFileBuilder().code("B").name("Second").stage(2, 0, 0, 400).record(),
        ParticipantFileBuilder()
            .code("C")
            .name("Third")
            .stage(2, 0, 0, 500)
            .stage(2, 1, 0, 9)
            .record(),
    };
    std::string text = report(participants);
    EXPECT_NE(text.find("    02    A  arden vela                       MT 00:04.99 (+00:01.00)\n"
                        "    03    C  arden vela                       MT 00:04.99 (+00:01.00)\n"),
              std::string::npos);
    // Totals: C 6 + 12, B 12, A 8.
    EXPECT_NE(text.find("  01   18pnt Third\n  02   12pnt Second\n  03    8pnt First\n"),
              std::string::npos);

    std::vector<ParticipantRecord> tied = {
        ParticipantFileBuilder().code("X").name("Ex").arcade(0, 0, 50).record(),
        ParticipantFileBuilder().code("Y").name("Why").arcade(1, 0, 50).record(),
    };
    EXPECT_NE(report(tied).find("  01   12pnt Ex\n  02   12pnt Why\n"), std::string::npos);
}

TEST(RankingReport, ShowsOddFieldsWithinTheirBounds) {
    std::vector<ParticipantRecord> participants = {
        ParticipantFileBuilder()
            .code("WXYZ")               // no NUL: three characters shown
            .name(std::string(44, 'N')) // no NUL: 43 characters shown
            .stage(3, 0, 0xFF, 1)       // vehicle 63 with AT and bit 7; stored time 1
            .record(),
    };
    std::string text = report(participants);
    std::string name43(43, 'N');
    EXPECT_NE(text.find("  01. WXY , 1850.00.00 , " + name43 + "\n"), std::string::npos);
    EXPECT_NE(text.find("    01  WXY  unknown                          AT 00:00.00\n"),
              std::string::npos);
    EXPECT_NE(text.find("  01   12pnt " + name43 + "\n"), std::string::npos);
    EXPECT_EQ(text.find(std::string(44, 'N')), std::string::npos);
}

TEST(RankingReport, RawNameBytesAndEveryLineEnded) {
    std::vector<ParticipantRecord> participants = {
        ParticipantFileBuilder().code("J").name("J\xF6rg %s %d").arcade(7, 0, 10).record(),
    };
    std::string text = report(participants);
    EXPECT_NE(text.find("  01.   J , 1850.00.00 , J\xF6rg %s %d\n"), std::string::npos);
    EXPECT_EQ(text.back(), '\n');
}

TEST(RankingReport, RankingAtLineUsesLocalTimeWhenWritten) {
    kvrtest::TempFolder folder;
    auto path = folder / "ranking.txt";
    std::vector<ParticipantRecord> participants = {
        ParticipantFileBuilder().code("T").name("Tee").stage(0, 0, 0, 10).record()};
    // The time a run is of is read from the system's clock at its edge.
    const ReportTime now = reportTimeOf(platform::Env::system().localNow());
    ASSERT_TRUE(writeRankingReport(platform::Env::system(),
                                   computeRankingModel(participants.data(), 1, {}, now),
                                   path.string().c_str()));
    std::string text = kvrtest::readText(path);
    std::regex pattern(kvrtest::platformText(
        "Dustline Rally 2\\.0 - KVR Ranking System 1\\.0alpha2\n\n"
        "Ranking at 2[0-9]{3}\\.[01][0-9]\\.[0-3][0-9] [0-2][0-9]:[0-5][0-9]:[0-6][0-9]\n"));
    EXPECT_TRUE(std::regex_search(text, pattern)) << text.substr(0, 120);
}

TEST(RankingReport, UnwritableReportLeavesTheEarlierOne) {
    kvrtest::TempFolder folder;
    auto path = folder / "ranking.txt";
    std::filesystem::create_directory(path);
    EXPECT_FALSE(writeRankingReport(
        platform::Env::system(), computeRankingModel(nullptr, 0, {}, Noon), path.string().c_str()));
    EXPECT_TRUE(std::filesystem::is_directory(path));
    EXPECT_EQ(std::distance(std::filesystem::directory_iterator(folder.path()),
                            std::filesystem::directory_iterator()),
              1);
}

TEST(RankingReport, ControlBytesInCodesAndNamesShowAsQuestionMarks) {
    struct Case {
        std::string code;
        std::string name;
        std::string shownCode;
        std::string shownName;
    };
    const Case cases[] = {
        {"A\nB", "Bo\n  01 1104pnt Forged", "A?B", "Bo?  01 1104pnt Forged"},
        {"\r", "Tab\there\x7F", "  ?", "Tab?here?"},
        {"\x1B[", "\x1B[31mRed\x01", " ?[", "?[31mRed?"},
        {"\xF6\x80", "J\xF6rg \x80\x9D\xFF", " \xF6\x80", "J\xF6rg \x80\x9D\xFF"},
    };
    for (const Case& c : cases) {
        std::vector<ParticipantRecord> participants = {
            ParticipantFileBuilder().code(c.code).name(c.name).arcade(3, 0, 11).record(),
        };
        std::string text = report(participants);
        EXPECT_NE(text.find("  01. " + c.shownCode + " , 1850.00.00 , " + c.shownName + "\n"),
                  std::string::npos)
            << c.shownName;
        EXPECT_NE(text.find("    01 " + std::string(4 - c.shownCode.size(), ' ') + c.shownCode +
                            "  arden vela "),
                  std::string::npos)
            << c.shownCode;
        std::string ranking = section(text + "<end>", "Driver Total Ranking\n\n", "<end>");
        EXPECT_EQ(ranking, "Driver Total Ranking\n\n  01   12pnt " + c.shownName + "\n");
        // No name starts a line of its own.
        for (const std::string& line : lines(text)) {
            EXPECT_NE(line.compare(0, 12, "  01 1104pnt"), 0) << line;
        }
    }
}

} // namespace
