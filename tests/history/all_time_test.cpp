// The all-time table's reading of an archived season: only its last run counts, read past torn
// and foreign lines, with old names through the roster's aliases.
#include "history/all_time.h"

#include <gtest/gtest.h>

#include <algorithm>

namespace {

using namespace kvr;

std::string line(const std::string& standings) {
    return "{\"kvrrank_history\":1,\"at\":\"2026-01-01T10:00:00\",\"standings\":[" + standings +
           "]}";
}

std::string standing(int place, const std::string& code, const std::string& name, int points) {
    return "{\"place\":" + std::to_string(place) + ",\"code\":\"" + code + "\",\"name\":\"" + name +
           "\",\"points\":" + std::to_string(points) + "}";
}

TEST(AllTime, AnArchivedSeasonIsItsLastRun) {
    const std::string first = line(standing(1, "A", "Ann", 10) + "," + standing(2, "B", "Bo", 5));
    const std::string last = line(standing(1, "B", "Bo", 20) + "," + standing(2, "P", "Pia F", 9));
    const struct {
        const char* what;
        std::string text;
        std::optional<std::string> standings; // "place code name points; ..."; none: no history
    } cases[] = {
        {"two runs", first + "\n" + last + "\n", "1 B Bo 20; 2 P Pia Fors 9; "},
        {"a torn last line", first + "\n" + last + "\n" + last.substr(0, 40),
         "1 B Bo 20; 2 P Pia Fors 9; "},
        {"a foreign line last, CR LF", first + "\r\n" + last + "\r\nhello\r\n\r\n",
         "1 B Bo 20; 2 P Pia Fors 9; "},
        {"no line end at all", first, "1 A Ann 10; 2 B Bo 5; "},
        {"empty", "", ""},
        {"only a torn run", last.substr(0, 30), ""},
        {"not a history", "hello\nworld\n", std::nullopt},
    };
    const std::map<DriverIdentity, DriverIdentity> aliases = {{{"P", "Pia F"}, {"P", "Pia Fors"}}};
    for (const auto& c : cases) {
        SCOPED_TRACE(c.what);
        const auto read = history::finalStandings(c.text, aliases);
        ASSERT_EQ(read.has_value(), c.standings.has_value());
        if (read) {
            std::string text;
            for (const history::SnapshotStanding& s : *read) {
                text += std::to_string(s.place) + " " + s.code + " " + s.name + " " +
                        std::to_string(s.points) + "; ";
            }
            EXPECT_EQ(text, *c.standings);
        }
    }
}

// A season whose last run lists a driver twice (two of their files kept apart, or an old name
// the roster now maps to theirs) counts once for them, at the better place and with its points
// alone, in whatever order the line lists them.
TEST(AllTime, ADriverListedTwiceInASeasonCountsOnceAtTheBetterPlace) {
    const std::map<DriverIdentity, DriverIdentity> aliases = {{{"P", "Pia F"}, {"P", "Pia Fors"}}};
    const struct {
        const char* what;
        std::string standings;
        int titles, podiums;
        int32_t bestPlace;
        long long points;
    } cases[] = {
        {"in place order",
         standing(1, "B", "Bo", 12) + "," + standing(2, "P", "Pia F", 8) + "," +
             standing(4, "P", "Pia Fors", 4),
         0, 1, 2, 8},
        {"the worse place first",
         standing(4, "P", "Pia Fors", 4) + "," + standing(1, "B", "Bo", 12) + "," +
             standing(2, "P", "Pia F", 8),
         0, 1, 2, 8},
        {"a title and a place off the podium",
         standing(5, "P", "Pia F", 2) + "," + standing(1, "P", "Pia Fors", 12) + "," +
             standing(2, "B", "Bo", 8),
         1, 1, 1, 12},
        {"the same name twice",
         standing(3, "P", "Pia Fors", 6) + "," + standing(2, "P", "Pia Fors", 8) + "," +
             standing(1, "B", "Bo", 12),
         0, 1, 2, 8},
    };
    for (const auto& c : cases) {
        SCOPED_TRACE(c.what);
        const auto read = history::finalStandings(line(c.standings) + "\n", aliases);
        ASSERT_TRUE(read.has_value());
        const AllTime table = history::buildAllTime({{"2025", *read}}, RankingModel{}, "2026", {});
        const auto pia = std::find_if(table.drivers.begin(), table.drivers.end(),
                                      [](const AllTimeDriver& d) { return d.driver.code == "P"; });
        ASSERT_NE(pia, table.drivers.end());
        EXPECT_EQ(pia->driver.name, "Pia Fors");
        EXPECT_EQ(pia->seasons, 1);
        EXPECT_EQ(pia->titles, c.titles);
        EXPECT_EQ(pia->podiums, c.podiums);
        EXPECT_EQ(pia->bestPlace, c.bestPlace);
        EXPECT_EQ(pia->points, c.points);
        ASSERT_EQ(pia->seasonPoints.size(), 2u);
        EXPECT_EQ(pia->seasonPoints[0], std::optional<int32_t>(static_cast<int32_t>(c.points)));
        EXPECT_EQ(pia->seasonPoints[1], std::nullopt);
        EXPECT_EQ(table.drivers.size(), 2u);
    }
}

// A title is a finished season's place 1: the running season has a leader, who takes no title
// for it, however many runs it has had.
TEST(AllTime, TheRunningSeasonHasALeaderNotAChampion) {
    const auto read = history::finalStandings(
        line(standing(1, "A", "Ann", 10) + "," + standing(2, "B", "Bo", 5)) + "\n", {});
    ASSERT_TRUE(read.has_value());
    RankingModel model;
    RankedParticipant ann;
    ann.code = "A";
    ann.name = "Ann";
    RankedParticipant bo;
    bo.code = "B";
    bo.name = "Bo";
    model.participants = {ann, bo};
    model.standings = {Standing{1, 1, 12}, Standing{2, 0, 8}};
    const AllTime table = history::buildAllTime({{"2025", *read}}, model, "2026", {});

    ASSERT_EQ(table.seasons.size(), 2u);
    EXPECT_FALSE(table.seasons[0].current);
    ASSERT_TRUE(table.seasons[0].champion.has_value());
    EXPECT_EQ(table.seasons[0].champion->code, "A");
    EXPECT_FALSE(table.seasons[0].leader.has_value());
    EXPECT_TRUE(table.seasons[1].current);
    EXPECT_FALSE(table.seasons[1].champion.has_value());
    ASSERT_TRUE(table.seasons[1].leader.has_value());
    EXPECT_EQ(table.seasons[1].leader->code, "B");

    std::vector<std::string> rows;
    for (const AllTimeDriver& d : table.drivers) {
        rows.push_back(d.driver.code + " " + std::to_string(d.seasons) + " " +
                       std::to_string(d.titles) + " " + std::to_string(d.podiums) + " " +
                       std::to_string(d.points));
    }
    EXPECT_EQ(rows, (std::vector<std::string>{"A 2 1 2 18", "B 2 0 2 17"}));
}

} // namespace
