#include "ranking_text_reader.h"

#include <gtest/gtest.h>

#include <cstdlib>
#include <sstream>

namespace kvrtest {

namespace {

std::string trimmed(const std::string& text) {
    size_t start = text.find_first_not_of(' ');
    size_t end = text.find_last_not_of(' ');
    return start == std::string::npos ? "" : text.substr(start, end - start + 1);
}

bool startsWith(const std::string& text, const std::string& prefix) {
    return text.compare(0, prefix.size(), prefix) == 0;
}

// "    %02d %4s  %-32s %2s TIME" and, from place 2 on, " (+GAP)". Codes hold no spaces.
TextResult resultLine(const std::string& line) {
    TextResult r;
    std::istringstream in(line);
    std::string place;
    in >> place >> r.code;
    r.place = std::atoi(place.c_str());
    size_t vehicleAt = line.find(r.code, 7) + r.code.size() + 2;
    r.vehicle = trimmed(line.substr(vehicleAt, 32));
    std::istringstream rest(line.substr(vehicleAt + 33));
    std::string gap;
    rest >> r.transmission >> r.time >> gap;
    if (!gap.empty()) {
        EXPECT_TRUE(startsWith(gap, "(+") && gap.back() == ')') << line;
        r.gap = gap.substr(2, gap.size() - 3);
    }
    return r;
}

} // namespace

TextReport readTextReport(const std::string& text) {
    TextReport report;
    enum { Head, Participants, Stages, Arcade, Ranking } part = Head;
    std::string rally;
    std::istringstream in(text);
    for (std::string line; std::getline(in, line);) {
        if (line.empty()) {
            continue;
        }
        if (part == Head && line == "Dustline Rally 2.0 - KVR Ranking System 1.0alpha2") {
            continue;
        } else if (part == Head && startsWith(line, "Ranking at ")) {
            report.rankingAt = line.substr(11);
        } else if (line == "Participants : ") {
            part = Participants;
        } else if (line == "Rally - Stage Times") {
            part = Stages;
        } else if (line == "Arcade - Lap Times") {
            part = Arcade;
        } else if (line == "Driver Total Ranking") {
            part = Ranking;
        } else if (part == Participants) {
            // "  %02d. %3s , YYYY.MM.DD , name": the code is three columns wide.
            size_t dot = line.find(". ");
            if (dot == std::string::npos) {
                ADD_FAILURE() << "not a participant line: " << line;
                return report;
            }
            report.participants.push_back({trimmed(line.substr(dot + 2, 3)),
                                           line.substr(dot + 8, 10), line.substr(dot + 21)});
        } else if (part == Stages && !startsWith(line, "  ")) {
            rally = line.substr(1, line.size() - 3); // " Name :"
        } else if ((part == Stages || part == Arcade) && !startsWith(line, "    ")) {
            std::string event = trimmed(line);
            if (part == Stages) {
                event = "Stage " + std::to_string(std::atoi(event.c_str() + 6));
            }
            report.listings.push_back({part == Stages ? rally : "Arcade", event, {}});
        } else if (part == Stages || part == Arcade) {
            if (report.listings.empty()) {
                ADD_FAILURE() << "a result before any listing: " << line;
                return report;
            }
            report.listings.back().results.push_back(resultLine(line));
        } else if (part == Ranking) {
            // "  %02d %4dpnt name"
            size_t pnt = line.find("pnt ");
            if (pnt == std::string::npos) {
                ADD_FAILURE() << "not a ranking line: " << line;
                return report;
            }
            std::istringstream fields(line.substr(0, pnt));
            TextStanding standing;
            fields >> standing.place >> standing.points;
            standing.name = line.substr(pnt + 4);
            report.standings.push_back(standing);
        } else {
            ADD_FAILURE() << "unexpected line: " << line;
        }
    }
    return report;
}

} // namespace kvrtest
