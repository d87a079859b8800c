#include "report/decision_text.h"

#include "model/time_text.h"
#include "report/count_text.h"

#include <cstdlib>

namespace kvr {

namespace {

// "Finland 1: 01:03.00 to 01:13.00, 01:04.00 to 01:14.00" for penalties, "Finland 1: 01:02.00
// excluded" for an exclusion.
std::string actedTimesText(const Decision& decision, const DecisionEffect& effect) {
    std::string text = decision.event != nullptr ? decision.event->title() + ": " : std::string();
    for (size_t t = 0; t < effect.actedTimes.size(); ++t) {
        const ActedTime& acted = effect.actedTimes[t];
        text += t > 0 ? ", " : "";
        appendTime(text, acted.before);
        if (decision.action == DecisionAction::AddTime) {
            text += " to ";
            appendTime(text, acted.after);
        }
    }
    if (decision.action == DecisionAction::ExcludeTime) {
        text += " excluded";
    }
    return text;
}

} // namespace

std::string decisionEffectText(const Decision& decision, const DecisionEffect& effect) {
    if (!effect.matched) {
        return "matched nothing";
    }
    switch (decision.action) {
    case DecisionAction::ExcludeFile:
        return "excluded " + countText(effect.files, "file", "files");
    case DecisionAction::ExcludeDriver:
        return "excluded " + countText(effect.times, "time", "times");
    case DecisionAction::ExcludeTime:
    case DecisionAction::AddTime:
        return actedTimesText(decision, effect);
    case DecisionAction::AddPoints: {
        const char* sign = effect.points > 0 ? "+" : effect.points < 0 ? "-" : "";
        return sign + countText(static_cast<size_t>(std::abs(effect.points)), "point", "points");
    }
    }
    return std::string();
}

} // namespace kvr
