// What each decision did, as numbers: the files and times it acted on, each time before and
// after it, and the points it moved; and the action table the league file and the exports share.
#include "data/decisions.h"

#include "support/participant_builder.h"

#include <gtest/gtest.h>

#include <set>

namespace {

using namespace kvr;
using kvrtest::ParticipantFileBuilder;

// Three files, two drivers: Anna's file twice. Finland 1 (stored words): Anna 6001 and 6101,
// Bert 6201; Arcade Italy: Bert 3001.
std::vector<ParticipantRecord> field() {
    std::vector<ParticipantRecord> records;
    for (const auto& [code, name, finland, italy] :
         {std::tuple("AAA", "Anna", 6001u, 0u), std::tuple("AAA", "Anna", 6101u, 0u),
          std::tuple("BBB", "Bert", 6201u, 3001u)}) {
        ParticipantFileBuilder image;
        image.code(code).name(name).stage(0, 0, 0x01, finland).arcade(0, 0x02, italy);
        records.push_back(image.record());
    }
    return records;
}

Decision decision(DecisionAction action, const char* code, const char* name,
                  const char* event = nullptr, uint32_t hundredths = 0, int points = 0) {
    Decision d;
    d.reason = "r";
    d.action = action;
    d.code = code;
    d.name = name;
    d.file = action == DecisionAction::ExcludeFile ? code : "";
    d.event = event != nullptr ? eventOfKey(event) : nullptr;
    d.hundredths = hundredths;
    d.points = points;
    return d;
}

// "matched files/times [before>after ...] points", NoTime as "-".
std::string described(const DecisionEffect& effect) {
    std::string text = (effect.matched ? "matched " : "none ") + std::to_string(effect.files) +
                       "/" + std::to_string(effect.times) + " [";
    for (const ActedTime& acted : effect.actedTimes) {
        text += std::to_string(acted.before) + ">" +
                (acted.after == NoTime ? "-" : std::to_string(acted.after)) + " ";
    }
    return text + "] " + std::to_string(effect.points);
}

TEST(Decisions, EffectsAsNumbers) {
    using A = DecisionAction;
    const std::vector<std::string> files = {"anna.kvr", "anna (2).kvr", "bert.kvr"};
    const struct {
        std::vector<Decision> decisions;
        std::vector<std::string> expected;
    } cases[] = {
        {{decision(A::ExcludeFile, "bert.kvr", ""), decision(A::ExcludeFile, "x.kvr", "")},
         {"matched 1/2 [] 0", "none 0/0 [] 0"}},
        // Both of Anna's files, one time each.
        {{decision(A::ExcludeDriver, "AAA", "Anna")}, {"matched 2/2 [] 0"}},
        // Each file's time, in file order, from where the decision before left it.
        {{decision(A::AddTime, "AAA", "Anna", "rally-1-stage-1", 1000),
          decision(A::AddTime, "AAA", "Anna", "rally-1-stage-1", 5)},
         {"matched 0/2 [6000>7000 6100>7100 ] 0", "matched 0/2 [7000>7005 7100>7105 ] 0"}},
        // A time exclusion acts before any penalty, which then finds no time.
        {{decision(A::AddTime, "BBB", "Bert", "arcade-1", 100),
          decision(A::ExcludeTime, "BBB", "Bert", "arcade-1")},
         {"none 0/0 [] 0", "matched 0/1 [3000>- ] 0"}},
        // Points go to every file of the driver; none to a driver no file names.
        {{decision(A::AddPoints, "AAA", "Anna", nullptr, 0, -4),
          decision(A::AddPoints, "CCC", "Cleo", nullptr, 0, 7)},
         {"matched 2/0 [] -4", "none 0/0 [] 0"}},
    };
    for (const auto& c : cases) {
        const DecidedField decided = applyDecisions(c.decisions, field(), files);
        std::vector<std::string> effects;
        for (const DecisionEffect& effect : decided.effects) {
            effects.push_back(described(effect));
        }
        EXPECT_EQ(effects, c.expected);
    }
}

// Every action once, with a name of its own: the league file reads them back by name.
TEST(Decisions, ActionTableNamesEachActionOnce) {
    std::set<std::string> names;
    for (DecisionAction action :
         {DecisionAction::ExcludeFile, DecisionAction::ExcludeDriver, DecisionAction::ExcludeTime,
          DecisionAction::AddTime, DecisionAction::AddPoints}) {
        const DecisionActionInfo& info = decisionActionInfo(action);
        EXPECT_EQ(info.action, action);
        EXPECT_FALSE(info.fields.empty()) << info.name;
        names.insert(info.name);
    }
    EXPECT_EQ(names.size(), decisionActions().size());
}

} // namespace
