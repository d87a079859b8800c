#include "data/decisions.h"

#include <algorithm>
#include <limits>

namespace kvr {

const std::vector<DecisionActionInfo>& decisionActions() {
    using A = DecisionAction;
    using K = DecisionKeys;
    static const std::vector<DecisionActionInfo> actions = {
        {A::ExcludeFile, "exclude-file", "Exclude file", {K::File}},
        {A::ExcludeDriver, "exclude-driver", "Exclude driver", {K::Code, K::Name}},
        {A::ExcludeTime, "exclude-time", "Exclude time", {K::Code, K::Name, K::Event}},
        {A::AddTime, "add-time", "Time penalty", {K::Code, K::Name, K::Event, K::Seconds}},
        {A::AddPoints, "add-points", "Points", {K::Code, K::Name, K::Points}},
    };
    return actions;
}

const DecisionActionInfo& decisionActionInfo(DecisionAction action) {
    const std::vector<DecisionActionInfo>& actions = decisionActions();
    return *std::find_if(actions.begin(), actions.end(), [action](const DecisionActionInfo& info) {
        return info.action == action;
    });
}

namespace {

class Applier {
  public:
    Applier(const std::vector<Decision>& decisions, std::vector<ParticipantRecord> participants,
            const std::vector<std::string>& files)
        : decisions_(decisions), files_(files) {
        const size_t size = participants.size();
        field_.records = std::move(participants);
        field_.excludedBy.assign(size, 0);
        field_.adjustments.assign(size, 0);
        field_.effects.assign(decisions.size(), DecisionEffect());
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
        explainMisses(decisions_, files_, field_);
        return std::move(field_);
    }

  private:
    // Whether the decision names participant `i`, who has not been excluded.
    bool names(const Decision& decision, size_t i) {
        if (field_.excludedBy[i] != 0) {
            return false;
        }
        if (decision.action == DecisionAction::ExcludeFile) {
            return i < files_.size() && files_[i] == decision.file;
        }
        return decisionNames(decision, identity(i));
    }

    // Each participant's identity, worked out once, when a decision first names a driver.
    const DriverIdentity& identity(size_t i) {
        if (identities_.empty()) {
            identities_.reserve(field_.records.size());
            for (const ParticipantRecord& record : field_.records) {
                identities_.push_back(driverIdentity(record));
            }
        }
        return identities_[i];
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

    // The adjustments of one class's standings, or of every standings (`className` empty).
    std::vector<int>& adjustmentsFor(const std::string& className) {
        if (className.empty()) {
            return field_.adjustments;
        }
        for (ClassAdjustments& named : field_.classAdjustments) {
            if (named.className == className) {
                return named.points;
            }
        }
        field_.classAdjustments.push_back({className, std::vector<int>(field_.records.size())});
        return field_.classAdjustments.back().points;
    }

    void act(size_t d) {
        const Decision& decision = decisions_[d];
        const int index = static_cast<int>(d + 1);
        DecisionEffect& effect = field_.effects[d];
        for (size_t i = 0; i < field_.records.size(); ++i) {
            if (!names(decision, i)) {
                continue;
            }
            switch (decision.action) {
            case DecisionAction::ExcludeFile:
            case DecisionAction::ExcludeDriver:
                ++effect.files;
                field_.excludedBy[i] = index;
                for (const Event& event : allEvents()) {
                    effect.times += result(i, event).time != 0 ? 1 : 0;
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
                }
                effect.actedTimes.push_back({shown, change.after});
                ++effect.times;
                break;
            }
            case DecisionAction::AddPoints:
                ++effect.files;
                adjustmentsFor(decision.className)[i] += decision.points;
                break;
            }
        }
        switch (decision.action) {
        case DecisionAction::ExcludeFile:
        case DecisionAction::ExcludeDriver:
        case DecisionAction::AddPoints:
            effect.matched = effect.files > 0;
            break;
        case DecisionAction::ExcludeTime:
        case DecisionAction::AddTime:
            effect.matched = effect.times > 0;
            break;
        }
        effect.points = effect.matched ? decision.points : 0;
    }

    const std::vector<Decision>& decisions_;
    const std::vector<std::string>& files_;
    DecidedField field_;
    std::vector<DriverIdentity> identities_;
};

} // namespace

DecidedField applyDecisions(const std::vector<Decision>& decisions,
                            std::vector<ParticipantRecord> participants,
                            const std::vector<std::string>& files) {
    return Applier(decisions, std::move(participants), files).apply();
}

} // namespace kvr
