#include "report/post_decisions.h"

#include "model/time_text.h"
#include "report/count_text.h"
#include "report/ranking_post.h"
#include "report/review_text.h"

#include <cstdlib>

namespace kvr {

namespace {

std::string driverText(const std::string& name, const std::string& code) {
    return chatText(name) + " (" + chatText(code) + ")";
}

// "10 s", "10.50 s"
std::string penaltyText(uint32_t hundredths, const Words& words) {
    return words.say(Word::PenaltySeconds,
                     {{"seconds", hundredths % 100 != 0 ? words.seconds(hundredths)
                                                        : std::to_string(hundredths / 100)}});
}

// What the decision did, without its reason.
std::string actionText(const RankingModel& model, size_t d, const Words& words) {
    const Decision& decision = model.league.decisions[d];
    const DecisionEffect& effect = model.decisionEffects[d];
    const std::string driver = driverText(decision.name, decision.code);
    switch (decision.action) {
    case DecisionAction::ExcludeFile: {
        for (const RankedParticipant& p : model.participants) {
            if (p.excludedBy == static_cast<int>(d + 1) && p.file == decision.file) {
                return words.say(
                    Word::PostFileOfExcluded,
                    {{"file", chatText(decision.file)}, {"driver", driverText(p.name, p.code)}});
            }
        }
        return words.say(Word::PostFileExcluded, {{"file", chatText(decision.file)}});
    }
    case DecisionAction::ExcludeDriver:
        return words.say(Word::PostDriverExcluded, {{"driver", driver}});
    case DecisionAction::ExcludeTime: {
        std::string times;
        for (size_t t = 0; t < effect.actedTimes.size(); ++t) {
            times += t > 0 ? ", " : "";
            times += words.time(effect.actedTimes[t].before);
        }
        return words.say(
            Word::PostTimeExcluded,
            {{"driver", driver}, {"event", decision.event->title()}, {"times", times}});
    }
    case DecisionAction::AddTime:
        return words.say(Word::PostTimeAdded, {{"driver", driver},
                                               {"penalty", penaltyText(decision.hundredths, words)},
                                               {"event", decision.event->title()}});
    case DecisionAction::AddPoints:
        return driver + " " + (effect.points < 0 ? "-" : "+") +
               words.count(Counted::Points, static_cast<uint64_t>(std::abs(effect.points)));
    }
    return std::string();
}

} // namespace

std::vector<std::string> postDecisionLines(const RunResults& run, const Words& words) {
    const RankingModel& model = run.ranking;
    std::vector<int> told;
    if (run.season != nullptr) {
        told = run.season->firstDecisions;
    } else {
        for (size_t d = 0; d < model.decisionEffects.size(); ++d) {
            if (model.decisionEffects[d].matched) {
                told.push_back(static_cast<int>(d + 1));
            }
        }
    }
    std::vector<std::string> lines;
    for (int index : told) {
        const size_t d = static_cast<size_t>(index - 1);
        if (d < model.league.decisions.size() && d < model.decisionEffects.size()) {
            lines.push_back(actionText(model, d, words) + " (" +
                            chatText(model.league.decisions[d].reason) + ")");
        }
    }
    if (run.season != nullptr) {
        for (size_t at : run.season->annulledNow) {
            const RecordProgression& log = run.season->recordLog[at];
            const RecordHolder& now = log.changes.back().holder;
            lines.push_back(
                words.say(Word::PostRecordAnnulled, {{"event", log.event->title()},
                                                     {"time", words.time(now.hundredths)},
                                                     {"driver", driverText(now.name, now.code)}}));
        }
    }
    return lines;
}

std::vector<std::string> postReviewLines(const RankingModel& model, const Words& words) {
    std::vector<std::string> lines;
    for (const ReviewItem& item : model.checks.underReview) {
        const RankedParticipant& p = model.participants[static_cast<size_t>(item.participantIndex)];
        if (item.kind == ReviewKind::Outlier) {
            const Outlier& outlier = model.checks.outliers[item.check];
            lines.push_back(
                words.say(Word::PostOutlier, {{"event", item.event->title()},
                                              {"time", words.time(outlier.time)},
                                              {"driver", driverText(p.name, p.code)},
                                              {"second", words.time(outlier.secondTime)}}));
        } else if (item.kind == ReviewKind::Implausible) {
            lines.push_back(words.say(
                Word::PostImplausible,
                {{"file", chatText(p.file)},
                 {"driver", driverText(p.name, p.code)},
                 {"what", implausibleWhat(model.checks.implausible[item.check], words)}}));
        } else {
            const RankedParticipant& kept = model.participants[static_cast<size_t>(item.keptIndex)];
            lines.push_back(words.say(Word::PostDuplicate, {{"file", chatText(p.file)},
                                                            {"driver", driverText(p.name, p.code)},
                                                            {"kept", chatText(kept.file)}}));
        }
    }
    return lines;
}

} // namespace kvr
