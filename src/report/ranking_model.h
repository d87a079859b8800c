// The ranking as plain data, computed once from the participant list: the participants, the
// ten best of every stage and arcade event with gaps and points, and the driver standings.
// Every output format renders this model and computes nothing of its own.
#pragma once

#include "data/championship_tables.h"
#include "data/participant.h"
#include "report/season_changes.h"

#include <cstddef>
#include <cstdint>
#include <optional>
#include <string>
#include <vector>

namespace kvr {

struct RankingItem {
    uint32_t key;             // time - 1 in a listing; 65535 - points in the driver ranking
    int32_t participantIndex; // index in the participant list
    uint32_t vehicle;         // the result's vehicle byte (listings only)
};

// -1, 0 or +1 as a's key is smaller than, equal to or larger than b's (unsigned).
int compareRankingItems(const RankingItem& a, const RankingItem& b);

// The order of every sort in the ranking: by key, equal keys in participant order, which is
// what a stable sort of items collected in participant order gives.
inline bool rankingItemPrecedes(const RankingItem& a, const RankingItem& b) {
    int order = compareRankingItems(a, b);
    return order < 0 || (order == 0 && a.participantIndex < b.participantIndex);
}

// Puts the first min(limit, count) items of the sorted order of `items` at its front, in
// order, and returns that number. The rest of the buffer is left in some order.
size_t selectLeadingItems(RankingItem* items, size_t count, size_t limit);

// Local date and time of the ranking; all zero when unknown.
struct ReportTime {
    int year = 0;
    int month = 0;
    int day = 0;
    int hour = 0;
    int minute = 0;
    int second = 0;
};

// A shown time in hundredths of a second: the stored time word minus one.
constexpr uint32_t NoTime = 0xFFFFFFFFu; // no result (a stored word can never show as this)

struct RankedParticipant {
    std::string file; // the bare file name as given (UTF-8 expected, not checked); "" unknown
    std::string code; // the shown code: up to three game bytes
    std::string name; // the shown name: up to 43 game bytes
    int year = 0;     // the date as stored: year, month and day, unchecked
    int month = 0;
    int day = 0;
    int points = 0;    // the total earned on the listings
    int32_t place = 0; // place in the standings, from 1; 0 when the participant has no points
    // The participant's own results, read where they are rather than copied: at 100,000
    // participants a copy of every time would be some 40 MB more.
    const ParticipantRecord* record = nullptr;

    // The shown time of a stage slot, stageSlot(rally, stage), or of an arcade event; NoTime
    // where there is none, and for slots beyond a rally's stage count.
    uint32_t stageTime(int slot) const;
    uint32_t arcadeTime(int event) const;
};

// One listed place: listings hold places 1 to 10 in order.
struct ListedResult {
    int32_t participantIndex;
    uint8_t vehicle; // the result's vehicle byte
    uint32_t time;   // shown time
    uint32_t gap;    // time minus the fastest listed time; 0 for place 1
    int points;      // earned by this place
};

// The listing of one stage or arcade event that has at least one result.
struct EventListing {
    int rally; // the stage's rally, from 0; -1 for an arcade event
    int event; // the stage within its rally, or the arcade event, from 0
    std::vector<ListedResult> results;
};

// A driver with points, in the order of the standings.
struct Standing {
    int32_t place; // from 1, distinct: equal points take consecutive places in participant order
    int32_t participantIndex;
    int points;
};

// One of a driver's own results: where it stands in the whole field of its event.
struct DriverResult {
    int rally;            // the stage's rally, from 0; -1 for an arcade event
    int event;            // the stage within its rally, or the arcade event, from 0
    uint32_t time;        // shown time
    uint32_t gap;         // time minus the event's best; 0 for the best
    int32_t placeInField; // from 1, in the listings' order; the listed place for the first ten
    int32_t field;        // participants with a result in the event
    int points;           // earned by that place (0 beyond the points places)
};

// A driver with points: their results and where the points came from.
struct DriverSummary {
    int32_t participantIndex;
    int rallyPoints[RallyCount]; // from each rally's stages, in rally order
    int arcadePoints;
    int wins;                          // listings where the driver is place 1
    int podiums;                       // listings where the driver is place 1 to 3
    uint64_t timeToGain;               // sum of the gaps, in hundredths
    std::vector<DriverResult> results; // every event with a result, in the report's order
};

// A listing whose place 1 is faster than 80% of place 2.
struct Outlier {
    int rally; // -1 for an arcade event
    int event;
    int32_t participantIndex; // place 1
    uint32_t time;
    uint32_t secondTime;
};

// Things worth a second look in the imported files. They never change the ranking.
struct Checks {
    // Participants with the same shown code and name, two or more per group, in participant
    // order; groups ordered by their first participant.
    std::vector<std::vector<int32_t>> duplicates;
    std::vector<Outlier> outliers; // in the report's order
};

struct RankingModel {
    ReportTime time;
    std::vector<RankedParticipant> participants; // in participant order
    std::vector<EventListing> stages;            // listed stages only: by rally, then stage
    std::vector<EventListing> arcade;            // listed arcade events only, in event order
    std::vector<Standing> standings;             // drivers with points, most points first
    std::vector<DriverSummary> drivers;          // one per standing, in the same order
    Checks checks;
    std::optional<SeasonChanges> season; // the change since earlier runs (--history)
};

// Computes the ranking of `count` participants (a negative count is taken as 0). `fileNames`
// holds each participant's bare file name in the same order; missing names are left empty.
// The model refers to `participants`, which must outlive it.
// Listings are one pass over the participants and a partial sort of their leading ten, all in
// one sort buffer sized to the participant count. The drivers' places in the field take one
// more pass over the participants, with a binary search into each event's few driver times.
RankingModel computeRankingModel(const ParticipantRecord* participants, int32_t count,
                                 std::vector<std::string> fileNames, const ReportTime& time);

// A shown time or gap as "mm:ss.hh": minutes with at least two digits, never cut.
std::string formatTime(uint32_t hundredths);
void appendTime(std::string& out, uint32_t hundredths);
// The same into `out`, which must hold TimeTextCapacity bytes; returns the length written.
constexpr size_t TimeTextCapacity = 16;
size_t writeTime(char* out, uint32_t hundredths);

// The key of an event as the exports name it: "rally-R-stage-S" or "arcade-E", from 1.
std::string eventKey(int rally, int event);
// Its column name in the CSV: "Finland 1", "Arcade Italy".
std::string eventTitle(int rally, int event);

// The participant's date as stored, "YYYY-MM-DD".
std::string formatDate(const RankedParticipant& participant);

// The ranking's time as "YYYY-MM-DDTHH:MM:SS".
std::string formatIsoTime(const ReportTime& time);

} // namespace kvr
