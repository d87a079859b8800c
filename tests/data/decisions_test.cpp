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

// A decision that matched nothing says why: what it names that is not there and what is
// close to it, or the earlier decision that had already done it.
TEST(Decisions, MissesSayWhyAndWhatIsClose) {
    using A = DecisionAction;
    const std::vector<std::string> files = {"anna.kvr", "anna (2).kvr", "bert.kvr"};
    const auto excludeFile = [](const char* file) { return decision(A::ExcludeFile, file, ""); };
    const struct {
        std::vector<Decision> decisions;
        std::string expected; // the last decision's miss: "reason cover code/name/file"
    } cases[] = {
        {{decision(A::ExcludeDriver, "AAA", "Ana")}, "NoDriver 0 AAA/Anna/"},
        {{decision(A::ExcludeDriver, "AAB", "anna")}, "NoDriver 0 AAA/Anna/"},
        {{decision(A::AddPoints, "ZZZ", "Zoe Quist", nullptr, 0, 3)}, "NoDriver 0 //"},
        // The name is right: the nearest code of that name, however far.
        {{decision(A::ExcludeDriver, "xyz", "Bert")}, "OtherCode 0 BBB/Bert/"},
        {{excludeFile("kvr/BERT.kvr")}, "NoFile 0 //bert.kvr"},
        {{excludeFile("anna (3).kvr")}, "NoFile 0 //anna (2).kvr"},
        {{excludeFile("bert (old).kvr")}, "NoFile 0 //"},
        {{decision(A::ExcludeTime, "BBB", "Bert", "rally-1-stage-2")}, "TimeMissing 0 //"},
        {{decision(A::ExcludeTime, "BBB", "Bert", "arcade-1"),
          decision(A::AddTime, "BBB", "Bert", "arcade-1", 100)},
         "Covered 1 //"},
        {{decision(A::ExcludeTime, "BBB", "Bert", "arcade-1"),
          decision(A::ExcludeTime, "BBB", "Bert", "arcade-1")},
         "Covered 1 //"},
        // Exclusions act first: a points adjustment written before one is still covered.
        {{decision(A::AddPoints, "BBB", "Bert", nullptr, 0, 2), excludeFile("bert.kvr"),
          decision(A::AddPoints, "BBB", "Bert", nullptr, 0, 2)},
         "Covered 2 //"},
        {{excludeFile("anna.kvr"), decision(A::ExcludeDriver, "AAA", "Anna"),
          excludeFile("anna.kvr")},
         "Covered 1 //"},
    };
    const char* reasons[] = {"None", "NoFile", "NoDriver", "OtherCode", "TimeMissing", "Covered"};
    for (const auto& c : cases) {
        const DecidedField decided = applyDecisions(c.decisions, field(), files);
        const DecisionEffect& last = decided.effects.back();
        EXPECT_FALSE(last.matched);
        const DecisionMiss& miss = last.miss;
        EXPECT_EQ(std::string(reasons[static_cast<int>(miss.reason)]) + " " +
                      std::to_string(miss.coveredBy) + " " + miss.nearCode + "/" + miss.nearName +
                      "/" + miss.nearFile,
                  c.expected)
            << c.decisions.back().name << c.decisions.back().file;
        // A decision that matched has no miss.
        for (const DecisionEffect& effect : decided.effects) {
            EXPECT_EQ(effect.matched, effect.miss.reason == DecisionMissReason::None);
        }
    }
}

TEST(Decisions, EditDistanceCountsCodePointsAndIgnoresCase) {
    const struct {
        const char* a;
        const char* b;
        size_t distance;
    } cases[] = {
        {"kitten", "sitting", 3},
        {"Jonas Ulrik", "jonas ulrich", 2},
        {"", "abc", 3},
        {"ODO", "odo", 0},
        {"M\xC3\xBCller", "Muller", 1},
        {"\xC3\x89mile", "\xC3\xA9mile", 1},
    };
    for (const auto& c : cases) {
        EXPECT_EQ(foldedEditDistance(c.a, c.b), c.distance) << c.a << " " << c.b;
        EXPECT_EQ(foldedEditDistance(c.b, c.a), c.distance) << c.b << " " << c.a;
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
