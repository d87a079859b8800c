// The organiser's decisions on hand-worked participants: what each kind does to the times,
// the order they act in, what they add up to, and what one that matches nothing leaves, as the
// exports word each decision's effect.
#include "report/decision_text.h"

#include "support/participant_builder.h"

#include <gtest/gtest.h>

namespace {

using namespace kvr;
using kvrtest::ParticipantFileBuilder;

const Event& finland1() {
    return *eventOfKey("rally-1-stage-1");
}
const Event& italy() {
    return *eventOfKey("arcade-1");
}

// Four files, three drivers: Anna's file twice. Finland 1 (stored words): Anna 6001 and 6101,
// Bert 6201, Zoë 6301; Arcade Italy: Bert 3001, Zoë 3101.
std::vector<ParticipantRecord> field() {
    const struct {
        const char* code;
        const char* name; // the game's bytes
        uint32_t finland, italy;
    } drivers[] = {
        {"AAA", "Anna", 6001, 0},
        {"AAA", "Anna", 6101, 0},
        {"BBB", "Bert", 6201, 3001},
        {"ZOE", "Zo\xEB", 6301, 3101},
    };
    std::vector<ParticipantRecord> records;
    for (const auto& d : drivers) {
        ParticipantFileBuilder image;
        image.code(d.code).name(d.name).stage(0, 0, 0x01, d.finland).arcade(0, 0x02, d.italy);
        records.push_back(image.record());
    }
    return records;
}

const std::vector<std::string> Files = {"anna.kvr", "anna (2).kvr", "bert.kvr", "zoe.kvr"};

Decision file(const char* name) {
    Decision d;
    d.reason = "r";
    d.action = DecisionAction::ExcludeFile;
    d.file = name;
    return d;
}

Decision driver(DecisionAction action, const char* code, const char* name,
                const Event* event = nullptr, uint32_t hundredths = 0, int points = 0) {
    Decision d;
    d.reason = "r";
    d.action = action;
    d.code = code;
    d.name = name;
    d.event = event;
    d.hundredths = hundredths;
    d.points = points;
    return d;
}

// Each participant's stored Finland 1 and Italy words, excluder and adjustment, then each
// decision's effect.
std::string outcome(const std::vector<Decision>& decisions, const DecidedField& decided) {
    std::string text;
    for (size_t i = 0; i < decided.records.size(); ++i) {
        const ParticipantRecord& p = decided.records[i];
        text += std::to_string(finland1().resultOf(p).time) + "/" +
                std::to_string(italy().resultOf(p).time);
        text += decided.excludedBy[i] != 0 ? " x" + std::to_string(decided.excludedBy[i]) : "";
        text += decided.adjustments[i] != 0 ? " " + std::to_string(decided.adjustments[i]) : "";
        text += "; ";
    }
    for (size_t d = 0; d < decided.effects.size(); ++d) {
        const std::string effect = decisionEffectText(decisions[d], decided.effects[d]);
        EXPECT_EQ(decided.effects[d].matched, effect != "matched nothing");
        text += "| " + effect;
    }
    return text;
}

TEST(DecisionText, EachKindActsInItsTurnAndAddsUpAsWorded) {
    using A = DecisionAction;
    const Event* f1 = &finland1();
    const struct {
        std::vector<Decision> decisions;
        const char* expected;
    } cases[] = {
        {{}, "6001/0; 6101/0; 6201/3001; 6301/3101; "},
        {{file("anna (2).kvr"), file("Anna (2).kvr")},
         "6001/0; 0/0 x1; 6201/3001; 6301/3101; | excluded 1 file| matched nothing"},
        // A driver's every file; a file excluded earlier is not excluded again.
        {{driver(A::ExcludeDriver, "AAA", "Anna")},
         "0/0 x1; 0/0 x1; 6201/3001; 6301/3101; | excluded 2 times"},
        {{file("anna.kvr"), driver(A::ExcludeDriver, "AAA", "Anna")},
         "0/0 x1; 0/0 x2; 6201/3001; 6301/3101; | excluded 1 file| excluded 1 time"},
        // The name as the exports show it, from the game's code page.
        {{driver(A::ExcludeDriver, "ZOE", "Zo\xC3\xAB"), driver(A::ExcludeDriver, "ZOE", "Zo")},
         "6001/0; 6101/0; 6201/3001; 0/0 x1; | excluded 2 times| matched nothing"},
        // The exclusion acts before the penalty written above it, which then finds no time.
        {{driver(A::AddTime, "BBB", "Bert", f1, 500), driver(A::ExcludeTime, "BBB", "Bert", f1)},
         "6001/0; 6101/0; 0/3001; 6301/3101; | matched nothing| Finland 1: 01:02.00 excluded"},
        // Two penalties on one time, each from where the one before left it.
        {{driver(A::AddTime, "ZOE", "Zo\xC3\xAB", f1, 1000),
          driver(A::AddTime, "ZOE", "Zo\xC3\xAB", f1, 250)},
         "6001/0; 6101/0; 6201/3001; 7551/3101; | Finland 1: 01:03.00 to 01:13.00| Finland 1: "
         "01:13.00 to 01:15.50"},
        // Both of a driver's files; one with no time in the event matches nothing.
        {{driver(A::AddTime, "AAA", "Anna", f1, 1),
          driver(A::ExcludeTime, "AAA", "Anna", &italy())},
         "6002/0; 6102/0; 6201/3001; 6301/3101; | Finland 1: 01:00.00 to 01:00.01, 01:01.00 to "
         "01:01.01| matched nothing"},
        // Points add up; an excluded driver's adjustment matches nothing.
        {{driver(A::AddPoints, "BBB", "Bert", nullptr, 0, 5),
          driver(A::AddPoints, "BBB", "Bert", nullptr, 0, -3),
          driver(A::AddPoints, "AAA", "Anna", nullptr, 0, 1), file("anna.kvr"),
          file("anna (2).kvr")},
         "0/0 x4; 0/0 x5; 6201/3001 2; 6301/3101; | +5 points| -3 points| matched nothing| "
         "excluded 1 file| excluded 1 file"},
        {{driver(A::AddPoints, "BBB", "Bert", nullptr, 0, 1)},
         "6001/0; 6101/0; 6201/3001 1; 6301/3101; | +1 point"},
    };
    for (const auto& c : cases) {
        const DecidedField decided = applyDecisions(c.decisions, field(), Files);
        EXPECT_EQ(outcome(c.decisions, decided), c.expected);
    }
}

// The page words each effect in its language: counts in the language's forms, times with its
// decimal sign, the event's name as the game has it.
TEST(DecisionText, ThePageWordsEffectsInItsLanguage) {
    using A = DecisionAction;
    const Event* f1 = &finland1();
    const std::vector<Decision> decisions = {driver(A::AddTime, "ZOE", "Zo\xC3\xAB", f1, 1000),
                                             driver(A::ExcludeTime, "BBB", "Bert", f1),
                                             driver(A::AddPoints, "BBB", "Bert", nullptr, 0, -2),
                                             driver(A::ExcludeDriver, "AAA", "Anna"),
                                             file("none.kvr")};
    const DecidedField decided = applyDecisions(decisions, field(), Files);
    const struct {
        const char* code;
        std::vector<std::string> effects;
    } cases[] = {
        {"de",
         {"Finland 1: 01:03,00 auf 01:13,00", "Finland 1: 01:02,00 gestrichen", "-2 Punkte",
          "2 Zeiten gestrichen", "ohne Treffer"}},
        {"pl",
         {"Finland 1: 01:03,00 na 01:13,00", "Finland 1: 01:02,00 skre\u015Blony", "-2 punkty",
          "skre\u015Blono 2 czasy", "bez skutku"}},
        {"fr",
         {"Finland 1\u00A0: 01:03,00 \u00E0 01:13,00", "Finland 1\u00A0: 01:02,00 annul\u00E9",
          "-2 points", "2 temps annul\u00E9s", "sans effet"}},
    };
    for (const auto& c : cases) {
        const Words words(c.code);
        for (size_t d = 0; d < decisions.size(); ++d) {
            EXPECT_EQ(decisionEffectText(decisions[d], decided.effects[d], words), c.effects[d])
                << c.code << " " << d;
        }
        EXPECT_NE(decisionActionTitle(A::AddTime, words), "Time penalty") << c.code;
    }
}

// Why a decision matched nothing, on the page: the language's words around what the organiser
// wrote, the hint what was meant included; the console's stays English.
TEST(DecisionText, ThePageSaysWhyADecisionMissedInItsLanguage) {
    using A = DecisionAction;
    const std::vector<Decision> decisions = {file("kvr/anna.kvr"),
                                             driver(A::ExcludeDriver, "QQQ", "Nobody"),
                                             driver(A::ExcludeDriver, "XYZ", "Bert"),
                                             driver(A::ExcludeTime, "AAA", "Anna", &italy()),
                                             driver(A::ExcludeDriver, "BBB", "Bert"),
                                             driver(A::ExcludeDriver, "BBB", "Bert")};
    const DecidedField decided = applyDecisions(decisions, field(), Files);
    const struct {
        const char* code;
        std::vector<std::string> why; // of each decision; "" when it matched
    } cases[] = {
        {"en",
         {"no participant file named \"kvr/anna.kvr\" (the key takes the bare file name); did "
          "you mean \"anna.kvr\"?",
          "no driver named \"Nobody\"",
          "no driver \"Bert\" has the code \"XYZ\"; did you mean \"Bert\" (BBB)?",
          "Anna (AAA) has no time in Arcade Italy", "", "already excluded by decision 5"}},
        {"de",
         {"keine Teilnehmerdatei namens \"kvr/anna.kvr\" (der Schl\u00FCssel nimmt den "
          "blo\u00DFen Dateinamen); war \"anna.kvr\" gemeint?",
          "kein Fahrer namens \"Nobody\"",
          "kein Fahrer \"Bert\" hat das K\u00FCrzel \"XYZ\"; war \"Bert\" (BBB) gemeint?",
          "Anna (AAA) hat keine Zeit in Arcade Italy", "",
          "bereits gestrichen durch Entscheidung 5"}},
    };
    for (const auto& c : cases) {
        const Words words(c.code);
        for (size_t d = 0; d < decisions.size(); ++d) {
            EXPECT_EQ(decisionMissReason(decisions[d], decided.effects[d], words), c.why[d])
                << c.code << " " << d;
        }
    }
}

} // namespace
