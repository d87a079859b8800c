// Reads ranking.txt back into its parts, so that other formats can be checked against it.
#pragma once

#include <string>
#include <vector>

namespace kvrtest {

struct TextResult {
    int place = 0;
    std::string code, vehicle, transmission, time, gap; // gap without "(+" and ")", "" for none
};

struct TextListing {
    std::string group; // the rally's name, or "Arcade"
    std::string event; // "Stage 3" (number without padding), or the arcade event's name
    std::vector<TextResult> results;
};

struct TextParticipant {
    std::string code, date, name; // date as shown, YYYY.MM.DD
};

struct TextStanding {
    int place = 0;
    int points = 0;
    std::string name;
};

struct TextReport {
    std::string rankingAt;
    std::vector<TextParticipant> participants;
    std::vector<TextListing> listings; // stages, then arcade events, in the report's order
    std::vector<TextStanding> standings;
};

// Parses a report with "\n" line ends; adds a GoogleTest failure for a line it cannot read.
TextReport readTextReport(const std::string& text);

} // namespace kvrtest
