// The organiser's decisions on the imported files: exclusions, time penalties and points
// adjustments, kept as data beside the files and applied on every run, in one order, before
// the best times are chosen. The files themselves are never changed.
#pragma once

#include "data/events.h"
#include "data/participant.h"

#include <array>
#include <cstddef>
#include <cstdint>
#include <string>
#include <string_view>
#include <vector>

namespace kvr {

enum class DecisionAction { ExcludeFile, ExcludeDriver, ExcludeTime, AddTime, AddPoints };

// A decision as the league file writes it: its table's header and its keys. The checker reads
// these and the review listing writes them, so that a block it prints reads back.
struct DecisionKeys {
    static constexpr std::string_view Header = "[[decision]]";
    static constexpr std::string_view Action = "action";
    static constexpr std::string_view Date = "date";
    static constexpr std::string_view Reason = "reason";
    static constexpr std::string_view File = "file";
    static constexpr std::string_view Code = "code";
    static constexpr std::string_view Name = "name";
    static constexpr std::string_view Event = "event";
    static constexpr std::string_view Seconds = "seconds";
    static constexpr std::string_view Points = "points";
    static constexpr std::string_view Class = "class"; // with Points: for one class only
};

// Everything said about an action, in one place: its word in the league file and the exports,
// its title on the page, and the fields it takes in the league file besides date and reason.
struct DecisionActionInfo {
    DecisionAction action;
    const char* name;  // "exclude-file", "add-time", ...
    const char* title; // "Exclude file", "Time penalty", ...
    std::vector<std::string_view> fields;
};

// Every action, in the order the league file's help names them.
const std::vector<DecisionActionInfo>& decisionActions();
const DecisionActionInfo& decisionActionInfo(DecisionAction action);
inline const char* decisionActionName(DecisionAction action) {
    return decisionActionInfo(action).name;
}

struct Decision {
    int year = 0; // the date it was taken
    int month = 0;
    int day = 0;
    std::string reason;
    DecisionAction action = DecisionAction::ExcludeFile;
    std::string code; // the driver as the exports show them (UTF-8); empty for a file
    std::string name;
    std::string file;             // a file in the participant folder, exactly; else empty
    const Event* event = nullptr; // for a time exclusion or penalty
    uint32_t hundredths = 0;      // a time penalty
    int points = 0;               // a points adjustment
    // A points adjustment for this league class's standings only; empty: for every standings
    // the driver is in.
    std::string className;

    bool namesDriver() const { return action != DecisionAction::ExcludeFile; }
};

// A time a decision acted on: excluded, or with penalties added.
struct ChangedTime {
    int32_t participantIndex;
    const Event* event;
    uint32_t before;            // the shown time as imported
    uint32_t after;             // the shown time decided; NoTime when excluded
    std::vector<int> decisions; // the decisions that acted on it, indices from 1
};

// A time one decision acted on, as it stood before the decision and after it.
struct ActedTime {
    uint32_t before; // the shown time
    uint32_t after;  // NoTime when excluded
};

// Why a decision matched nothing, for the organiser to mend it.
enum class DecisionMissReason {
    None,        // it matched
    NoFile,      // no participant file has its name
    NoDriver,    // no driver has its name
    OtherCode,   // drivers have its name, none its code as well
    TimeMissing, // the driver has no time in its event
    Covered,     // an earlier decision already did what it asks
};

struct DecisionMiss {
    DecisionMissReason reason = DecisionMissReason::None;
    int coveredBy = 0; // Covered: the earlier decision (from 1)
    // The closest driver (code and name) or file to what it names, when one is close; both
    // empty otherwise.
    std::string nearCode;
    std::string nearName;
    std::string nearFile;
};

// What one decision did, as data: the exports put it into words.
struct DecisionEffect {
    bool matched = false; // it acted on something
    size_t files = 0;     // files excluded (a file or driver exclusion) or adjusted (points)
    size_t times = 0;     // times excluded with the files, or excluded or penalised alone
    std::vector<ActedTime> actedTimes; // a time exclusion or penalty: each time, in file order
    int points = 0;                    // a points adjustment: added to each adjusted file
    DecisionMiss miss;                 // why it matched nothing
};

// Points that decisions add in one league class's standings only, by participant.
struct ClassAdjustments {
    std::string className;
    std::vector<int> points;
};

// What the decisions made of the participants, index for index.
struct DecidedField {
    std::vector<ParticipantRecord> records; // as decided: an excluded one has no time left
    std::vector<int> excludedBy;            // the decision (from 1) that excluded each; 0 none
    std::vector<int> adjustments;           // points added to each participant's totals
    std::vector<ClassAdjustments> classAdjustments; // added in one class only, by class named
    std::vector<ChangedTime> changedTimes;          // by participant, then event
    std::vector<DecisionEffect> effects;            // per decision, in the league's order
};

// Applies `decisions` to `count` participants whose bare file names are `files`: file and
// driver exclusions, then time exclusions, then time penalties (added up), then points
// adjustments (added up). A penalised time is capped at the largest time a file can hold.
// The records are taken over, to be changed where they stand.
DecidedField applyDecisions(const std::vector<Decision>& decisions,
                            std::vector<ParticipantRecord> participants,
                            const std::vector<std::string>& files);

// Fills the `miss` of each decision of `field` that matched nothing: what it names that is not
// there, the closest thing that is, or the earlier decision that had already done it.
void explainMisses(const std::vector<Decision>& decisions, const std::vector<std::string>& files,
                   DecidedField& field);

// The edit distance between two texts, code point by code point, with ASCII case ignored.
size_t foldedEditDistance(std::string_view a, std::string_view b);

// Whether a decision names a driver of this identity.
inline bool decisionNames(const Decision& decision, const DriverIdentity& driver) {
    return decision.namesDriver() && driver.code == decision.code && driver.name == decision.name;
}

} // namespace kvr
