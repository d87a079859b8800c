// The all-time table's reading of an archived season: only its last run counts, read past torn
// and foreign lines, with old names through the roster's aliases.
#include "history/all_time.h"

#include <gtest/gtest.h>

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

} // namespace
