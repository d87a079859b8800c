#include "data/decisions.h"

#include "data/text.h"
#include "model/time_text.h"

#include <algorithm>
#include <cstdlib>
#include <limits>

namespace kvr {

const char* decisionActionName(DecisionAction action) {
    switch (action) {
    case DecisionAction::ExcludeFile:
        return "exclude-file";
    case DecisionAction::ExcludeDriver:
        return "exclude-driver";
    case DecisionAction::ExcludeTime:
        return "exclude-time";
    case DecisionAction::AddTime:
        return "add-time";
    case DecisionAction::AddPoints:
        return "add-points";
    }
    return "";
}

bool decisionNames(const Decision& decision, const ParticipantRecord& participant) {
    return decision.namesDriver() &&
           windows1252ToUtf8(participant.code, codeLength(participant.code)) == decision.code &&
           windows1252ToUtf8(participant.name, nameLength(participant.name)) == decision.name;
}

namespace {

std::string counted(size_t n, const char* one, const char* many) {
    return std::to_string(n) + " " + (n == 1 ? one : many);
}

class Applier {
  public:
    Applier(const std::vector<Decision>& decisions, std::vector<ParticipantRecord> participants,
            const std::vector<std::string>& files)
        : decisions_(decisions), files_(files) {
        const size_t size = participants.size();
        field_.records = std::move(participants);
        field_.excludedBy.assign(size, 0);
        field_.adjustments.assign(size, 0);
        field_.matched.assign(decisions.size(), false);
        field_.effects.assign(decisions.size(), std::string());
    }

    DecidedField apply() {
        using A = DecisionAction;
        for (const std::vector<A>& step : {std::vector<A>{A::ExcludeFile, A::ExcludeDriver},
                                           {A::ExcludeTime},
                                           {A::AddTime},
                                           {A::AddPoints}}) {
            for (size_t d = 0; d < decisions_.size(); ++d) {
                if (std::find(step.begin(), step.end(), decisions_[d].action) != step.end()) {
                    act(d);
                }
            }
        }
        std::sort(field_.changedTimes.begin(), field_.changedTimes.end(),
                  [](const ChangedTime& a, const ChangedTime& b) {
                      return a.participantIndex != b.participantIndex
                                 ? a.participantIndex < b.participantIndex
                                 : a.event->number < b.event->number;
                  });
        return std::move(field_);
    }

  private:
    // Whether the decision names participant `i`, who has not been excluded.
    bool names(const Decision& decision, size_t i) const {
        if (field_.excludedBy[i] != 0) {
            return false;
        }
        if (decision.action == DecisionAction::ExcludeFile) {
            return i < files_.size() && files_[i] == decision.file;
        }
        return decisionNames(decision, field_.records[i]);
    }

    ResultEntry& result(size_t i, const Event& event) {
        ParticipantRecord& p = field_.records[i];
        return event.isArcade() ? p.arcadeResults[event.slot] : p.stageResults[event.slot];
    }

    ChangedTime& changed(size_t i, const Event& event, uint32_t shown) {
        for (ChangedTime& c : field_.changedTimes) {
            if (c.participantIndex == static_cast<int32_t>(i) && c.event == &event) {
                return c;
            }
        }
        field_.changedTimes.push_back({static_cast<int32_t>(i), &event, shown, shown, {}});
        return field_.changedTimes.back();
    }

    void act(size_t d) {
        const Decision& decision = decisions_[d];
        const int index = static_cast<int>(d + 1);
        size_t files = 0;
        size_t times = 0;
        std::string effect;
        for (size_t i = 0; i < field_.records.size(); ++i) {
            if (!names(decision, i)) {
                continue;
            }
            switch (decision.action) {
            case DecisionAction::ExcludeFile:
            case DecisionAction::ExcludeDriver:
                ++files;
                field_.excludedBy[i] = index;
                for (const Event& event : allEvents()) {
                    times += result(i, event).time != 0 ? 1 : 0;
                    result(i, event).time = 0;
                }
                break;
            case DecisionAction::ExcludeTime:
            case DecisionAction::AddTime: {
                ResultEntry& entry = result(i, *decision.event);
                if (entry.time == 0) {
                    break;
                }
                const uint32_t shown = entry.time - 1u;
                effect +=
                    (effect.empty() ? decision.event->title() + ": " : ", ") + formatTime(shown);
                ChangedTime& change = changed(i, *decision.event, shown);
                change.decisions.push_back(index);
                if (decision.action == DecisionAction::ExcludeTime) {
                    entry.time = 0;
                    change.after = NoTime;
                } else {
                    // The stored word stays below the one that would show as no result.
                    constexpr uint32_t Largest = std::numeric_limits<uint32_t>::max() - 1u;
                    entry.time = entry.time > Largest - decision.hundredths
                                     ? Largest
                                     : entry.time + decision.hundredths;
                    change.after = entry.time - 1u;
                    effect += " to " + formatTime(change.after);
                }
                ++times;
                break;
            }
            case DecisionAction::AddPoints:
                ++files;
                field_.adjustments[i] += decision.points;
                break;
            }
        }
        switch (decision.action) {
        case DecisionAction::ExcludeFile:
            field_.matched[d] = files > 0;
            effect = "excluded " + counted(files, "file", "files");
            break;
        case DecisionAction::ExcludeDriver:
            field_.matched[d] = files > 0;
            effect = "excluded " + counted(times, "time", "times");
            break;
        case DecisionAction::ExcludeTime:
            field_.matched[d] = times > 0;
            effect += " excluded";
            break;
        case DecisionAction::AddTime:
            field_.matched[d] = times > 0;
            break;
        case DecisionAction::AddPoints:
            field_.matched[d] = files > 0;
            effect = (decision.points > 0 ? "+" : "") +
                     counted(static_cast<size_t>(std::abs(decision.points)), "point", "points");
            if (decision.points < 0) {
                effect = "-" + effect;
            }
            break;
        }
        field_.effects[d] = field_.matched[d] ? effect : "matched nothing";
    }

    const std::vector<Decision>& decisions_;
    const std::vector<std::string>& files_;
    DecidedField field_;
};

} // namespace

DecidedField applyDecisions(const std::vector<Decision>& decisions,
                            std::vector<ParticipantRecord> participants,
                            const std::vector<std::string>& files) {
    return Applier(decisions, std::move(participants), files).apply();
}

} // namespace kvr
