// The words table: every language keeps each placeholder of the English text once, the plural
// rules pick the forms CLDR gives, and times and dates follow the language.
#include "report/words.h"

#include <gtest/gtest.h>

#include <map>
#include <string>
#include <vector>

namespace {

using namespace kvr;

// How often each {name} occurs in `text`.
std::map<std::string, int> placeholders(std::string_view text) {
    std::map<std::string, int> found;
    for (size_t open = text.find('{'); open != std::string_view::npos;
         open = text.find('{', open + 1)) {
        const size_t close = text.find('}', open);
        if (close == std::string_view::npos) {
            break;
        }
        ++found[std::string(text.substr(open + 1, close - open - 1))];
    }
    return found;
}

size_t formCount(PluralRule rule) {
    return rule == PluralRule::OneFewMany ? 3 : 2;
}

// The one table test per language: each word and each plural form has exactly the English
// word's placeholders, each once, and is not empty.
TEST(Words, EveryLanguageKeepsEachPlaceholderOnce) {
    const Language& english = languageOf("en");
    for (const Language& language : Languages) {
        SCOPED_TRACE(std::string(language.code));
        for (size_t w = 0; w < WordCount; ++w) {
            SCOPED_TRACE(WordKeys[w]);
            std::map<std::string, int> wanted = placeholders(english.words[w]);
            for (auto& [name, count] : wanted) {
                count = 1;
            }
            EXPECT_FALSE(language.words[w].empty());
            EXPECT_EQ(placeholders(language.words[w]), wanted) << language.words[w];
        }
        for (size_t c = 0; c < CountedCount; ++c) {
            SCOPED_TRACE(CountedKeys[c]);
            // English's "other" form names every placeholder, {n} among them.
            const std::map<std::string, int> wanted = placeholders(english.counted[c][1]);
            ASSERT_EQ(wanted.count("n"), 1u);
            for (size_t form = 0; form < 3; ++form) {
                const std::string_view text = language.counted[c][form];
                if (form < formCount(language.plural)) {
                    EXPECT_EQ(placeholders(text), wanted) << "form " << form << ": " << text;
                } else {
                    EXPECT_TRUE(text.empty()) << "form " << form << ": " << text;
                }
            }
        }
    }
}

TEST(Words, LanguagesAreFoundByTheirCodeOnly) {
    EXPECT_EQ(languageCodes(), "en, de, fr, es, it, pl, fi, sv");
    for (const char* code : {"en", "de", "fr", "es", "it", "pl", "fi", "sv"}) {
        ASSERT_NE(findLanguage(code), nullptr) << code;
        EXPECT_EQ(findLanguage(code)->code, code);
    }
    for (const char* code : {"", "EN", "de-DE", "xx", "e"}) {
        EXPECT_EQ(findLanguage(code), nullptr) << code;
    }
    EXPECT_EQ(languageOf("xx").code, "en");
}

// The CLDR rules for whole numbers: 0 one, 1 other (or few), 2 many.
TEST(Words, PluralFormsFollowTheRules) {
    const struct {
        PluralRule rule;
        std::vector<std::pair<uint64_t, size_t>> forms;
    } cases[] = {
        {PluralRule::OneOther, {{0, 1}, {1, 0}, {2, 1}, {11, 1}, {21, 1}, {101, 1}}},
        {PluralRule::OneOtherZeroOne, {{0, 0}, {1, 0}, {2, 1}, {11, 1}, {100, 1}}},
        {PluralRule::OneFewMany,
         {{0, 2},
          {1, 0},
          {2, 1},
          {4, 1},
          {5, 2},
          {11, 2},
          {12, 2},
          {14, 2},
          {21, 2},
          {22, 1},
          {24, 1},
          {25, 2},
          {101, 2},
          {102, 1},
          {112, 2},
          {122, 1},
          {1000000, 2}}},
    };
    for (const auto& c : cases) {
        for (const auto& [n, form] : c.forms) {
            EXPECT_EQ(pluralForm(c.rule, n), form) << static_cast<int>(c.rule) << " " << n;
        }
    }
}

TEST(Words, CountsTakeTheLanguagesForms) {
    const struct {
        const char* code;
        uint64_t n;
        const char* text;
    } cases[] = {
        {"pl", 1, "1 kierowca"},    {"pl", 2, "2 kierowcy"},   {"pl", 5, "5 kierowców"},
        {"pl", 12, "12 kierowców"}, {"pl", 22, "22 kierowcy"}, {"pl", 25, "25 kierowców"},
        {"fr", 0, "0 pilote"},      {"fr", 1, "1 pilote"},     {"fr", 2, "2 pilotes"},
        {"en", 0, "0 drivers"},     {"en", 1, "1 driver"},     {"fi", 1, "1 kuljettaja"},
        {"fi", 3, "3 kuljettajaa"}, {"de", 1, "1 Fahrer"},     {"sv", 2, "2 förare"},
    };
    for (const auto& c : cases) {
        EXPECT_EQ(Words(c.code).count(Counted::Drivers, c.n), c.text);
    }
    // Other fills join the count's.
    EXPECT_EQ(Words("de").count(Counted::RallyStages, 1, {{"rally", "Finland"}}),
              "Finland: 1 Etappe");
}

TEST(Words, PlaceholdersAreFilledOnceAndOthersKept) {
    EXPECT_EQ(fillWords("{a} and {b}", {{"a", "1"}, {"b", "2"}}), "1 and 2");
    // A fill is never read again for placeholders: a name may hold braces.
    EXPECT_EQ(fillWords("{driver}: {n}", {{"driver", "{n}"}, {"n", "3"}}), "{n}: 3");
    EXPECT_EQ(fillWords("{unknown} {", {{"a", "1"}}), "{unknown} {");
    EXPECT_EQ(fillWords("", {{"a", "1"}}), "");
}

TEST(Words, TimesAndDatesFollowTheLanguage) {
    const struct {
        const char* code;
        const char* duration;
        const char* time;
        const char* seconds;
        const char* date;
        const char* longDate;
    } cases[] = {
        {"en", "1:01:23.45", "61:23.45", "10.05", "2026-03-07", "2026-03-07"},
        {"de", "1:01:23,45", "61:23,45", "10,05", "07.03.2026", "7. März 2026"},
        {"fr", "1:01:23,45", "61:23,45", "10,05", "07/03/2026", "7 mars 2026"},
        {"es", "1:01:23,45", "61:23,45", "10,05", "07/03/2026", "7 de marzo de 2026"},
        {"it", "1:01:23,45", "61:23,45", "10,05", "07/03/2026", "7 marzo 2026"},
        {"pl", "1:01:23,45", "61:23,45", "10,05", "07.03.2026", "7 marca 2026"},
        {"fi", "1:01:23,45", "61:23,45", "10,05", "7.3.2026", "7. maaliskuuta 2026"},
        {"sv", "1:01:23,45", "61:23,45", "10,05", "2026-03-07", "7 mars 2026"},
    };
    const uint64_t hundredths = 368345; // 1:01:23.45
    for (const auto& c : cases) {
        SCOPED_TRACE(c.code);
        const Words words(c.code);
        EXPECT_EQ(words.duration(hundredths), c.duration);
        EXPECT_EQ(words.time(hundredths), c.time);
        EXPECT_EQ(words.seconds(1005), c.seconds);
        EXPECT_EQ(words.date(2026, 3, 7), c.date);
        EXPECT_EQ(words.longDate(2026, 3, 7), c.longDate);
    }
    // The page's run time in English is the one it always showed.
    const ReportTime noon{2026, 12, 7, 12, 5, 9};
    EXPECT_EQ(Words("en").runTime(noon), formatRunTime(noon, RunTimeStyle::Page));
    EXPECT_EQ(Words("de").runTime(noon), "07.12.2026 12:05:09");
}

} // namespace
