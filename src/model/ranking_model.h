// The ranking as plain data, computed once from the participant list: the participants, the
// ten best of every stage and arcade event with gaps and points, and the driver standings,
// under the league's rules, with each league class's own listings and standings.
// Every output format renders this model and computes nothing of its own.
#pragma once

#include "data/championship_tables.h"
#include "data/decisions.h"
#include "data/events.h"
#include "data/participant.h"
#include "model/head_to_head.h"
#include "model/league_rules.h"
#include "model/teams.h"
#include "model/time_text.h"

#include <cstddef>
#include <cstdint>
#include <optional>
#include <string>
#include <string_view>
#include <vector>

namespace kvr {

struct RankingItem {
    uint32_t key;             // the shown time: time - 1
    int32_t participantIndex; // index in the participant list
    uint32_t vehicle;         // the result's vehicle byte
};

// -1, 0 or +1 as a's key is smaller than, equal to or larger than b's (unsigned).
inline int compareRankingItems(const RankingItem& a, const RankingItem& b) {
    return a.key < b.key ? -1 : a.key > b.key ? 1 : 0;
}

// The first `limit` items, in order, of the items offered to it: the order of a stable sort by
// key of everything offered, in one pass and without holding the rest.
class LeadingItems {
  public:
    explicit LeadingItems(size_t limit) : limit_(limit) { items_.reserve(limit); }

    void offer(const RankingItem& item) {
        // Later items come after every earlier one of an equal key.
        if (items_.size() == limit_ && (limit_ == 0 || item.key >= items_.back().key)) {
            return;
        }
        size_t at = items_.size();
        while (at > 0 && item.key < items_[at - 1].key) {
            --at;
        }
        if (items_.size() == limit_) {
            items_.pop_back();
        }
        items_.insert(items_.begin() + static_cast<std::ptrdiff_t>(at), item);
    }
    const std::vector<RankingItem>& items() const { return items_; }

  private:
    size_t limit_;
    std::vector<RankingItem> items_;
};

// The driver's identity (code and name as the exports show them, converted once), and the rest
// of the file as the outputs show it.
struct RankedParticipant : DriverIdentity {
    // The file name with each ill-formed part as U+FFFD.
    std::string file; // "" when unknown
    int year = 0;     // the date as stored: year, month and day, unchecked
    int month = 0;
    int day = 0;
    int points = 0;     // the total earned on the listings, under the league's rules
    int32_t place = 0;  // place in the standings, from 1; 0 when the participant has no points
    int excludedBy = 0; // the decision (from 1) that excluded the participant's file; 0 none
    // The participant's own results and game bytes, read where they are rather than copied:
    // at 100,000 participants a copy of every time would be some 40 MB more.
    const ParticipantRecord* record = nullptr;

    // The code and name in the game's own bytes (up to three and 43), as ranking.txt shows them.
    std::string_view gameCode() const;
    std::string_view gameName() const;
    // The shown time in an event; NoTime where there is none (a stored 0, less one).
    uint32_t time(const Event& event) const {
        return record != nullptr ? event.resultOf(*record).time - 1u : NoTime;
    }
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
    const Event* event;
    std::vector<ListedResult> results;
};

// A driver with points, in the order of the standings.
struct Standing {
    int32_t place; // from 1, distinct: equal points take consecutive places in the tie-break's
                   // order, and in participant order after it
    int32_t participantIndex;
    int points;
    int adjustment = 0; // points added by decisions, part of `points`
    // Bit r set: rally r earned points and they count toward `points`. Only a league that
    // counts a driver's best rallies leaves out a rally with points.
    uint8_t countedRallies = 0;
    std::array<int, RallyCount> rallyPoints{}; // earned in each rally, counted or not
    int arcadePoints = 0;
};

// One of a driver's own results: where it stands in the whole field of its event.
struct DriverResult {
    const Event* event;
    uint32_t time;        // shown time
    uint32_t gap;         // time minus the event's best; 0 for the best
    int32_t placeInField; // from 1, in the listings' order; the listed place for the first ten
    int32_t field;        // participants with a result in the event
    int points;           // earned by that place (0 beyond the points places)
    uint32_t toNextPlace; // time minus the time of the place ahead in the field; 0 for place 1
};

// A driver next to another in the standings, and the points between them.
struct Rival {
    int32_t participantIndex;
    int pointsApart; // the one ahead's lead, or the lead over the one behind; never negative
};

// A driver with points: their results and where the points came from.
struct DriverSummary {
    int32_t participantIndex;
    int rallyPoints[RallyCount]; // from each rally's stages, in rally order
    int arcadePoints;
    int wins;                          // listings where the driver is place 1
    int podiums;                       // listings where the driver is place 1 to 3
    uint64_t timeToGain;               // sum of the gaps, in hundredths
    std::optional<Rival> ahead;        // the standing before, if any
    std::optional<Rival> behind;       // the standing after, if any
    std::vector<DriverResult> results; // every event with a result, in the report's order
};

// A listing's place 1 worth a second look: faster than this share of place 2's time, in percent.
constexpr uint32_t OutlierPercent = 80;
constexpr bool isOutlier(uint32_t first, uint32_t second) {
    return 100u * uint64_t{first} < OutlierPercent * uint64_t{second};
}

// A listing whose place 1 is an outlier.
struct Outlier {
    const Event* event;
    int32_t participantIndex; // place 1
    uint32_t time;
    uint32_t secondTime;
    int decision = 0; // the matched decision (from 1) that acted on this time; 0 none
};

// Ten hours, in hundredths: no stage or arcade event of the game takes that long.
constexpr uint32_t ImplausibleTime = 10u * 60u * 60u * 100u;

// A file that the game would not have written: a control byte in its code or name, or a shown
// time of ten hours or more. Random bytes read as a participant file look like this.
struct Implausible {
    int32_t participantIndex = 0;
    bool controlBytes = false;    // below 0x20, or 0x7F, in the code or the name
    const Event* event = nullptr; // the first event, in event order, with such a time; or none
    uint32_t time = 0;            // that shown time
    int decision = 0;             // the matched decision (from 1) that excluded the file; 0 none
};

// What makes a participant's file implausible; nothing when it is not.
std::optional<Implausible> implausibleFile(const ParticipantRecord& record, int32_t index);

// The implausible files among `count` records, in order.
std::vector<Implausible> implausibleFiles(const ParticipantRecord* records, int32_t count);

// What makes the file implausible: "control bytes in the code or name, Finland 2 in 10:00:00.00".
std::string implausibleWhat(const Implausible& file);

enum class ReviewKind { Outlier, Duplicate, Implausible };

// A flagged result that no decision covers: under review. It counts until the organiser
// decides; `ready` is a decision that would settle it, dated the run's day.
struct ReviewItem {
    ReviewKind kind = ReviewKind::Outlier;
    const Event* event = nullptr; // an outlier's event; nullptr for a file
    size_t check = 0;             // its index in the checks' outliers, duplicates or implausible
    int32_t participantIndex = 0; // the outlier's driver, the copy or the implausible file
    int32_t keptIndex = -1;       // a duplicate: the file the copy repeats
    Decision ready;
};

// Things worth a second look in the imported files, as imported: what a decision has excluded
// is still flagged, with that decision. They never change the ranking.
struct Checks {
    // Participants with the same shown code and name, two or more per group, in participant
    // order; groups ordered by their first participant. Files that the roster made one driver
    // are not copies of each other: a group holds one file of each driver.
    std::vector<std::vector<int32_t>> duplicates;
    // Per group: the matched decision (from 1) that excluded one of its files; 0 none.
    std::vector<int> duplicateDecisions;
    std::vector<Outlier> outliers;        // in the report's order
    std::vector<Implausible> implausible; // in participant order
    // What no decision covers: the outliers, then each duplicate group's copies, then the
    // implausible files, in order.
    std::vector<ReviewItem> underReview;
};

// A league class: the listings and standings of the times set in its vehicles alone.
struct ClassRanking {
    std::vector<EventListing> stages; // as RankingModel's, from the class's results only
    std::vector<EventListing> arcade;
    std::vector<Standing> standings;
};

struct RankingModel {
    ReportTime time;
    LeagueRules league;                          // the rules the points were computed under
    std::vector<RankedParticipant> participants; // in participant order
    std::vector<EventListing> stages;            // listed stages only: by rally, then stage
    std::vector<EventListing> arcade;            // listed arcade events only, in event order
    std::vector<Standing> standings;             // drivers with points, most points first
    // One per standing, in the same order; empty unless asked for (driverResults).
    std::vector<DriverSummary> drivers;
    Checks checks;                     // empty unless asked for
    std::vector<ClassRanking> classes; // one per class of the league, in its order
    // One per decision of the league, in its order: whether it matched, and what it did.
    std::vector<DecisionEffect> decisionEffects;
    std::vector<ChangedTime> changedTimes; // the times decisions acted on, by participant
    size_t mergedFiles = 0; // participants whose times went to another file of their driver
    // With the league's teams: each participant's team (-1 none), and the team standings.
    std::vector<int32_t> teamOf;
    std::vector<TeamStanding> teams;
    // Asked for: the rivalries of the leading drivers, and per standing its closest (-1 none).
    std::vector<HeadToHead> headToHead;
    std::vector<int32_t> closestRivals;
};

// What only some outputs show, computed when asked for: the page and the JSON show both.
struct RankingOptions {
    // Each driver's results with their places in the whole field, points by rally, wins,
    // podiums and time to gain: one more pass over every result.
    bool driverResults = true;
    // The checks on the imported files.
    bool checks = true;
    // The points, the tie-break, the rallies that count, the classes and the decisions.
    LeagueRules league;
    // What the league's decisions made of the participants, which are then the decided
    // records; `imported` are the records as read, for the checks. Both null: no decisions.
    const DecidedField* decided = nullptr;
    const ParticipantRecord* imported = nullptr;
    // The head-to-head of the leading drivers, with the drivers' results.
    bool headToHead = false;
    // Files that the roster made part of another's driver.
    size_t mergedFiles = 0;
    // Per participant, the file that holds its driver's times (mergeDrivers' `primary`); empty
    // when each file is its own driver.
    std::vector<int32_t> driverFile{};
    // The implausible files among the records as read, when found before a driver's files were
    // merged; none given: found in `imported` when given, else in the participants.
    std::optional<std::vector<Implausible>> implausible{};
};

// Whether a driver of the standings other than this participant's has the same name and
// another code: where only names are shown, theirs need the code.
bool nameShared(const RankingModel& model, int32_t participant);

// The outlier under review that is a participant's time in an event; nullptr when none.
const ReviewItem* underReviewAt(const RankingModel& model, int32_t participant, const Event& event);

// The change decisions made to a participant's time in an event; nullptr when none.
const ChangedTime* changedTime(const RankingModel& model, int32_t participant, const Event& event);

// Computes the ranking of `count` participants (a negative count is taken as 0). `fileNames`
// holds each participant's bare file name in the same order; missing names are left empty.
// The model refers to `participants`, which must outlive it.
// Each listing is one pass over the participants that keeps the leading ten as it goes.
RankingModel computeRankingModel(const ParticipantRecord* participants, int32_t count,
                                 std::vector<std::string> fileNames, const ReportTime& time,
                                 const RankingOptions& options = RankingOptions());

} // namespace kvr
