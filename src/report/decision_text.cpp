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

std::string quotedText(const std::string& text) {
    return "\"" + text + "\"";
}

// Why it matched nothing, after "matched nothing: ".
std::string missReasonText(const Decision& decision, const DecisionMiss& miss) {
    using R = DecisionMissReason;
    switch (miss.reason) {
    case R::None:
        break;
    case R::NoFile:
        return "no participant file named " + quotedText(decision.file) +
               (decision.file.find_first_of("/\\") != std::string::npos
                    ? " (the key takes the bare file name)"
                    : "");
    case R::NoDriver:
        return "no driver named " + quotedText(decision.name);
    case R::OtherCode:
        return "no driver " + quotedText(decision.name) + " has the code " +
               quotedText(decision.code);
    case R::TimeMissing:
        return decision.name + " (" + decision.code + ") has no time in " +
               (decision.event != nullptr ? decision.event->title() : std::string("it"));
    case R::Covered:
        return miss.coveredBy != 0
                   ? "already excluded by decision " + std::to_string(miss.coveredBy)
                   : "already excluded";
    }
    return std::string();
}

} // namespace

std::string decisionMissText(size_t index, const Decision& decision, const DecisionEffect& effect) {
    const std::string why = decisionMissReason(decision, effect);
    return "decision " + std::to_string(index) + " (" + decisionActionName(decision.action) + ", " +
           formatDate(decision.year, decision.month, decision.day) + ") matched nothing" +
           (why.empty() ? "" : ": " + why);
}

std::string decisionMissReason(const Decision& decision, const DecisionEffect& effect) {
    const DecisionMiss& miss = effect.miss;
    std::string text = missReasonText(decision, miss);
    if (!miss.nearFile.empty()) {
        text += "; did you mean " + quotedText(miss.nearFile) + "?";
    } else if (!miss.nearName.empty() || !miss.nearCode.empty()) {
        text += "; did you mean " + quotedText(miss.nearName) + " (" + miss.nearCode + ")?";
    }
    return text;
}

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
