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

// Why it matched nothing, after "matched nothing: ".
std::string missReasonText(const Decision& decision, const DecisionMiss& miss, const Words& words) {
    using R = DecisionMissReason;
    switch (miss.reason) {
    case R::None:
        break;
    case R::NoFile:
        return words.say(decision.file.find_first_of("/\\") != std::string::npos
                             ? Word::MissNoFileBare
                             : Word::MissNoFile,
                         {{"file", decision.file}});
    case R::NoDriver:
        return words.say(Word::MissNoDriver, {{"name", decision.name}});
    case R::OtherCode:
        return words.say(Word::MissOtherCode, {{"name", decision.name}, {"code", decision.code}});
    case R::TimeMissing:
        // A time's decision always names its event when read from a league file.
        return words.say(Word::MissNoTime,
                         {{"name", decision.name},
                          {"code", decision.code},
                          {"event", decision.event != nullptr ? decision.event->title() : "?"}});
    case R::Covered:
        return miss.coveredBy != 0
                   ? words.say(Word::MissCoveredBy, {{"n", std::to_string(miss.coveredBy)}})
                   : std::string(words[Word::MissCovered]);
    }
    return std::string();
}

} // namespace

std::string decisionMissText(size_t index, const Decision& decision, const DecisionEffect& effect) {
    const std::string why = decisionMissReason(decision, effect, Words(DefaultLanguage));
    return "decision " + std::to_string(index) + " (" + decisionActionName(decision.action) + ", " +
           formatDate(decision.year, decision.month, decision.day) + ") matched nothing" +
           (why.empty() ? "" : ": " + why);
}

std::string decisionMissReason(const Decision& decision, const DecisionEffect& effect,
                               const Words& words) {
    const DecisionMiss& miss = effect.miss;
    const std::string why = missReasonText(decision, miss, words);
    if (!miss.nearFile.empty()) {
        return words.say(Word::MissNearFile, {{"why", why}, {"file", miss.nearFile}});
    }
    if (!miss.nearName.empty() || !miss.nearCode.empty()) {
        return words.say(Word::MissNearDriver,
                         {{"why", why}, {"name", miss.nearName}, {"code", miss.nearCode}});
    }
    return why;
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
