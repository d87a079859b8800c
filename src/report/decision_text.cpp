#include "report/decision_text.h"

#include "model/time_text.h"
#include "report/count_text.h"

#include <cstdlib>

namespace kvr {

namespace {

// "Finland 1: 01:03.00 to 01:13.00, 01:04.00 to 01:14.00" for penalties, "Finland 1: 01:02.00
// excluded" for an exclusion.
std::string actedTimesText(const Decision& decision, const DecisionEffect& effect,
                           const Words& words) {
    std::string times;
    for (size_t t = 0; t < effect.actedTimes.size(); ++t) {
        const ActedTime& acted = effect.actedTimes[t];
        times += t > 0 ? ", " : "";
        times += decision.action == DecisionAction::AddTime
                     ? words.say(Word::EffectTimeTo, {{"before", words.time(acted.before)},
                                                      {"after", words.time(acted.after)}})
                     : words.time(acted.before);
    }
    const bool excluded = decision.action == DecisionAction::ExcludeTime;
    if (decision.event == nullptr) {
        return excluded ? words.say(Word::EffectTimesExcludedAlone, {{"times", times}}) : times;
    }
    return words.say(excluded ? Word::EffectTimesExcluded : Word::EffectTimes,
                     {{"event", decision.event->title()}, {"times", times}});
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
    return decisionEffectText(decision, effect, Words(DefaultLanguage));
}

std::string decisionEffectText(const Decision& decision, const DecisionEffect& effect,
                               const Words& words) {
    if (!effect.matched) {
        return std::string(words[Word::EffectMatchedNothing]);
    }
    switch (decision.action) {
    case DecisionAction::ExcludeFile:
        return words.count(Counted::EffectExcludedFiles, effect.files);
    case DecisionAction::ExcludeDriver:
        return words.count(Counted::EffectExcludedTimes, effect.times);
    case DecisionAction::ExcludeTime:
    case DecisionAction::AddTime:
        return actedTimesText(decision, effect, words);
    case DecisionAction::AddPoints: {
        const char* sign = effect.points > 0 ? "+" : effect.points < 0 ? "-" : "";
        return sign + words.count(Counted::Points, static_cast<uint64_t>(std::abs(effect.points)));
    }
    }
    return std::string();
}

std::string_view decisionActionTitle(DecisionAction action, const Words& words) {
    switch (action) {
    case DecisionAction::ExcludeFile:
        return words[Word::ActionExcludeFile];
    case DecisionAction::ExcludeDriver:
        return words[Word::ActionExcludeDriver];
    case DecisionAction::ExcludeTime:
        return words[Word::ActionExcludeTime];
    case DecisionAction::AddTime:
        return words[Word::ActionAddTime];
    case DecisionAction::AddPoints:
        return words[Word::ActionAddPoints];
    }
    return decisionActionInfo(action).title;
}

} // namespace kvr
