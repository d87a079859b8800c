// Checks of the records tables and of ranking.txt, built without coverage: the fuzzer learns
// nothing from them, and their comparisons would cost more than the code they check.
#include "harness/report_checks.h"

#include "data/championship_tables.h"
#include "data/text.h"
#include "fuzz_check.h"

#include <cstdint>
#include <cstdio>
#include <cstring>

namespace kvrfuzz {

using namespace kvr;

namespace {

// The shown length of a text field: bytes before the first NUL, never its last byte.
size_t shownLength(const char* field, size_t width) {
    size_t n = 0;
    while (n + 1 < width && field[n] != '\0') {
        ++n;
    }
    return n;
}

// The entry of one slot against the fastest non-zero time, the earliest participant first.
void checkEntry(const RecordEntry& entry, const std::vector<ParticipantRecord>& participants,
                const ResultEntry& (*slotOf)(const ParticipantRecord&, int), int slot) {
    int holder = -1;
    for (size_t i = 0; i < participants.size(); ++i) {
        uint32_t time = slotOf(participants[i], slot).time;
        if (time != 0 &&
            (holder < 0 || time < slotOf(participants[static_cast<size_t>(holder)], slot).time)) {
            holder = static_cast<int>(i);
        }
    }
    if (holder < 0) {
        static const uint8_t empty[8] = {'d', 'l', 'r', 0, 0x00, 0xC0, 0x5D, 0};
        require(std::memcmp(entry.bytes, empty, 8) == 0, "an entry without holder is empty");
        return;
    }
    const ParticipantRecord& p = participants[static_cast<size_t>(holder)];
    const ResultEntry& best = slotOf(p, slot);
    require((entry.bytes[4] & 0x40) != 0, "an entry with a holder has bit 6");
    require((entry.bytes[4] & 0x3F) == (best.vehicle & 0x3F), "the holder's vehicle");
    uint32_t stored = (entry.bytes[4] >> 7u) | (uint32_t{entry.bytes[5]} << 1u) |
                      (uint32_t{entry.bytes[6]} << 9u);
    require(stored == (best.time < MaximumRecordTime ? best.time : MaximumRecordTime),
            "the holder's time");
    size_t length = shownLength(p.code, CodeSize);
    require(std::memcmp(entry.bytes, p.code, length) == 0, "the holder's code");
    for (size_t i = length; i < 4; ++i) {
        require(entry.bytes[i] == 0, "the holder's code NUL-padded");
    }
    require(entry.bytes[7] == 0, "byte 7 zero");
}

const ResultEntry& stageOf(const ParticipantRecord& p, int slot) {
    return p.stageResults[slot];
}
const ResultEntry& arcadeOf(const ParticipantRecord& p, int slot) {
    return p.arcadeResults[slot];
}

std::vector<std::string> splitLines(const std::string& text) {
    require(!text.empty() && text.back() == '\n', "the report ends with a line end");
    std::vector<std::string> lines;
    size_t start = 0;
    for (size_t end; (end = text.find('\n', start)) != std::string::npos; start = end + 1) {
        lines.push_back(text.substr(start, end - start));
    }
    return lines;
}

size_t resultsIn(const std::vector<ParticipantRecord>& participants,
                 const ResultEntry& (*slotOf)(const ParticipantRecord&, int), int slot) {
    size_t n = 0;
    for (const ParticipantRecord& p : participants) {
        n += slotOf(p, slot).time != 0 ? 1 : 0;
    }
    return n;
}

std::string twoDigits(size_t n) {
    char text[24];
    std::snprintf(text, sizeof text, "%02zu", n);
    return text;
}

// Checks one listing starting at lines[at]; returns the index after it.
size_t checkListing(const std::vector<std::string>& lines, size_t at, size_t results) {
    size_t shown = results < 10 ? results : 10;
    for (size_t place = 1; place <= shown; ++place, ++at) {
        require(at < lines.size(), "a listing is complete");
        require(lines[at].compare(0, 7, "    " + twoDigits(place) + " ") == 0,
                "a listing numbers its places");
    }
    require(at < lines.size() && lines[at].empty(), "a listing has at most ten lines");
    return at + 1;
}

} // namespace

void checkRecordTables(const RecordTables& tables,
                       const std::vector<ParticipantRecord>& participants) {
    for (int r = 0; r < RallyCount; ++r) {
        for (int s = 0; s < GameStageSlotsPerRally; ++s) {
            const RecordEntry& entry = tables.entries[r * GameStageSlotsPerRally + s];
            if (s < stageCounts[r]) {
                checkEntry(entry, participants, stageOf, r * StageSlotsPerRally + s);
            } else {
                static const uint8_t zero[8] = {};
                require(std::memcmp(entry.bytes, zero, 8) == 0, "an unused stage entry is zero");
            }
        }
        checkEntry(tables.entries[StageRecordCount + static_cast<size_t>(r)], participants,
                   arcadeOf, r);
    }
}

// A control byte in a code or name is shown as '?', so no name makes lines of its own.
void checkReport(const std::string& text, const std::vector<ParticipantRecord>& participants) {
    std::vector<std::string> lines = splitLines(text);
    size_t at = 0;
    auto expectLine = [&](const std::string& line, const char* what) {
        require(at < lines.size() && lines[at] == line, what);
        ++at;
    };
    expectLine("Dustline Rally 2.0 - KVR Ranking System 1.0alpha2", "banner");
    expectLine("", "blank after the banner");
    expectLine("Ranking at 2026.12.07 20:30:05", "time line");
    expectLine("", "blank");
    expectLine("", "blank");
    expectLine("Participants : ", "participants heading");
    for (size_t i = 0; i < participants.size(); ++i) {
        const ParticipantRecord& p = participants[i];
        size_t codeWidth = shownLength(p.code, CodeSize);
        char date[32];
        std::snprintf(date, sizeof date, "%04d.%02d.%02d", 1850 + p.date[0], p.date[1] & 0x0F,
                      p.date[2] & 0x1F);
        std::string row = "  " + twoDigits(i + 1) + ". " + std::string(3 - codeWidth, ' ') +
                          safeText(p.code, codeWidth) + " , " + date + " , " +
                          safeText(p.name, shownLength(p.name, NameSize));
        expectLine(row, "a participant row shows its fields and nothing past them");
    }
    expectLine("", "blank");
    expectLine("", "blank");
    expectLine("Rally - Stage Times", "stage heading");
    expectLine("", "blank");
    for (int r = 0; r < RallyCount; ++r) {
        expectLine("", "blank before a rally");
        expectLine(std::string(" ") + rallyNames[r] + " :", "rally heading");
        expectLine("", "blank after a rally heading");
        for (int s = 0; s < stageCounts[r]; ++s) {
            size_t results = resultsIn(participants, stageOf, r * StageSlotsPerRally + s);
            if (results > 0) {
                char heading[32];
                std::snprintf(heading, sizeof heading, "  Stage %2d", s + 1);
                expectLine(heading, "stage listing heading");
                at = checkListing(lines, at, results);
            }
        }
    }
    expectLine("", "blank");
    expectLine("Arcade - Lap Times", "arcade heading");
    expectLine("", "blank");
    for (int a = 0; a < ArcadeEventCount; ++a) {
        size_t results = resultsIn(participants, arcadeOf, a);
        if (results > 0) {
            expectLine(std::string("  ") + arcadeNames[a], "arcade listing heading");
            at = checkListing(lines, at, results);
        }
    }
    expectLine("", "blank");
    expectLine("Driver Total Ranking", "ranking heading");
    expectLine("", "blank");
    int previous = 1104;
    for (size_t place = 1; at < lines.size(); ++place, ++at) {
        require(place <= participants.size(), "one ranking line per participant at most");
        int number = 0, points = 0;
        require(std::sscanf(lines[at].c_str(), "  %d %dpnt", &number, &points) == 2 &&
                    static_cast<size_t>(number) == place,
                "a ranking line numbers its place");
        require(points > 0 && points <= previous, "points positive, ranked high to low");
        previous = points;
    }
}

} // namespace kvrfuzz
