// The ranking report: participants, the ten best of every event, and the driver ranking.
#pragma once

#include "data/participant.h"
#include "platform/fs.h"

#include <cstddef>
#include <cstdint>
#include <string>

namespace kvr {

constexpr const char* RankingReportPath = "ranking.txt";

struct RankingItem {
    uint32_t key;             // time - 1 in a listing; 65535 - points in the driver ranking
    int32_t participantIndex; // index in the participant list
    uint32_t vehicle;         // the result's vehicle byte (listings only)
};

// -1, 0 or +1 as a's key is smaller than, equal to or larger than b's (unsigned).
int compareRankingItems(const RankingItem& a, const RankingItem& b);

// The order of every sort in the report: by key, equal keys in participant order, which is
// what a stable sort of items collected in participant order gives.
inline bool rankingItemPrecedes(const RankingItem& a, const RankingItem& b) {
    int order = compareRankingItems(a, b);
    return order < 0 || (order == 0 && a.participantIndex < b.participantIndex);
}

// Puts the first min(limit, count) items of the sorted order of `items` at its front, in
// order, and returns that number. The rest of the buffer is left in some order.
size_t selectLeadingItems(RankingItem* items, size_t count, size_t limit);

// Local date and time shown on the "Ranking at" line; all zero when unknown.
struct ReportTime {
    int year = 0;
    int month = 0;
    int day = 0;
    int hour = 0;
    int minute = 0;
    int second = 0;
};

// The whole report text, "\n" line ends.
std::string formatRankingReport(const ParticipantRecord* participants, int32_t count,
                                const ReportTime& time);

// Writes the report for now's local time to `path` with the platform's line ends, replacing
// any earlier report only once the new one is complete. On any failure the earlier report is
// left as it was.
platform::Status writeRankingReport(const ParticipantRecord* participants, int32_t count, const char* path);

} // namespace kvr
