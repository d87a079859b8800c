#include "report/post_decisions.h"

#include "model/time_text.h"
#include "report/count_text.h"
#include "report/ranking_post.h"

#include <cstdlib>

namespace kvr {

namespace {

std::string driverText(const std::string& name, const std::string& code) {
    return chatText(name) + " (" + chatText(code) + ")";
}

// "10 s", "10.50 s"
std::string penaltyText(uint32_t hundredths) {
    std::string text = std::to_string(hundredths / 100);
    if (hundredths % 100 != 0) {
        const std::string cents = std::to_string(hundredths % 100);
        text += "." + std::string(cents.size() < 2 ? "0" : "") + cents;
    }
    return text + " s";
}

// What the decision did, without its reason.
std::string actionText(const RankingModel& model, size_t d) {
    const Decision& decision = model.league.decisions[d];
    const DecisionEffect& effect = model.decisionEffects[d];
    const std::string driver = driverText(decision.name, decision.code);
    switch (decision.action) {
    case DecisionAction::ExcludeFile: {
        std::string text = "file " + chatText(decision.file);
        for (const RankedParticipant& p : model.participants) {
            if (p.excludedBy == static_cast<int>(d + 1) && p.file == decision.file) {
                text += " of " + driverText(p.name, p.code);
                break;
            }
        }
        return text + " excluded";
    }
    case DecisionAction::ExcludeDriver:
        return driver + " excluded";
    case DecisionAction::ExcludeTime: {
        std::string text = driver + ", " + decision.event->title() + " ";
        for (size_t t = 0; t < effect.actedTimes.size(); ++t) {
            text += t > 0 ? ", " : "";
            appendTime(text, effect.actedTimes[t].before);
        }
        return text + " excluded";
    }
    case DecisionAction::AddTime:
        return driver + " +" + penaltyText(decision.hundredths) + " on " + decision.event->title();
    case DecisionAction::AddPoints:
        return driver + " " + (effect.points < 0 ? "-" : "+") +
               countText(static_cast<size_t>(std::abs(effect.points)), "point", "points");
    }
    return std::string();
}

} // namespace

std::vector<std::string> postDecisionLines(const RunResults& run) {
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
            lines.push_back(actionText(model, d) + " (" +
                            chatText(model.league.decisions[d].reason) + ")");
        }
    }
    if (run.season != nullptr) {
        for (size_t at : run.season->annulledNow) {
            const RecordProgression& log = run.season->recordLog[at];
            const RecordHolder& now = log.changes.back().holder;
            lines.push_back(log.event->title() + ": record annulled, back to " +
                            formatTime(now.hundredths) + " by " + driverText(now.name, now.code));
        }
    }
    return lines;
}

std::vector<std::string> postReviewLines(const RankingModel& model) {
    std::vector<std::string> lines;
    for (const ReviewItem& item : model.checks.underReview) {
        const RankedParticipant& p = model.participants[static_cast<size_t>(item.participantIndex)];
        if (item.kind == ReviewKind::Outlier) {
            const Outlier& outlier = model.checks.outliers[item.check];
            lines.push_back(item.event->title() + ": " + formatTime(outlier.time) + " by " +
                            driverText(p.name, p.code) +
                            ", an outlier (place 2: " + formatTime(outlier.secondTime) + ")");
        } else if (item.kind == ReviewKind::Implausible) {
            lines.push_back(
                "file " + chatText(p.file) + ": " + driverText(p.name, p.code) +
                ", implausible: " + implausibleWhat(model.checks.implausible[item.check]));
        } else {
            const RankedParticipant& kept = model.participants[static_cast<size_t>(item.keptIndex)];
            lines.push_back("file " + chatText(p.file) + ": " + driverText(p.name, p.code) +
                            " again, as in " + chatText(kept.file));
        }
    }
    return lines;
}

} // namespace kvr
