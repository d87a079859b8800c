// The organiser's decisions on the imported files: exclusions, time penalties and points
// adjustments, kept as data beside the files and applied on every run, in one order, before
// the best times are chosen. The files themselves are never changed.
#pragma once

#include "data/events.h"
#include "data/participant.h"

#include <cstdint>
#include <string>
#include <vector>

namespace kvr {

enum class DecisionAction { ExcludeFile, ExcludeDriver, ExcludeTime, AddTime, AddPoints };

// The action's word in the league file and the exports: "exclude-file", "add-time", ...
const char* decisionActionName(DecisionAction action);

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

// What the decisions made of the participants, index for index.
struct DecidedField {
    std::vector<ParticipantRecord> records; // as decided: an excluded one has no time left
    std::vector<int> excludedBy;            // the decision (from 1) that excluded each; 0 none
    std::vector<int> adjustments;           // points added to each participant's total
    std::vector<ChangedTime> changedTimes;  // by participant, then event
    std::vector<bool> matched;              // per decision: whether it matched anything
    std::vector<std::string> effects;       // per decision: what it did, in a few words
};

// Applies `decisions` to `count` participants whose bare file names are `files`: file and
// driver exclusions, then time exclusions, then time penalties (added up), then points
// adjustments (added up). A penalised time is capped at the largest time a file can hold.
// The records are taken over, to be changed where they stand.
DecidedField applyDecisions(const std::vector<Decision>& decisions,
                            std::vector<ParticipantRecord> participants,
                            const std::vector<std::string>& files);

// The shown code and name of a participant, as a decision names them.
bool decisionNames(const Decision& decision, const ParticipantRecord& participant);

} // namespace kvr
