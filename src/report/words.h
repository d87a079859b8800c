// The words the players read, in their language: the page, the live board, the overlay, the
// chat post and the review listing's comments. One table per language (lang/*.json, turned into
// code at build time), keyed the same way in every language; whole sentences with {name}
// placeholders, never words glued in English order. The console's and the machine formats'
// words are not here: they stay English.
#pragma once

#include "model/time_text.h"

#include "words_keys.h"

#include <cstddef>
#include <cstdint>
#include <string>
#include <string_view>
#include <utility>

namespace kvr {

// The CLDR plural rules of the languages there are, for whole numbers.
enum class PluralRule : uint8_t {
    OneOther,        // one: 1; other (en, de, es, it, fi, sv)
    OneOtherZeroOne, // one: 0 and 1; other (fr)
    OneFewMany,      // one: 1; few: 2-4, 22-24, ... but not 12-14; many: the rest (pl)
};

struct Language {
    std::string_view code; // "de"
    std::string_view name; // "Deutsch"
    PluralRule plural;
    char decimal;              // in times and seconds: '.' or ','
    std::string_view date;     // "{dd}.{mm}.{yyyy}"
    std::string_view longDate; // with the month's name: "{d}. {month} {yyyy}"
    std::string_view months[12];
    std::string_view words[WordCount];
    std::string_view counted[CountedCount][3]; // by the rule's forms

    std::string_view operator[](Word word) const { return words[static_cast<size_t>(word)]; }
};

extern const Language Languages[LanguageCount];

constexpr std::string_view DefaultLanguage = "en";

// The language of this code, or nullptr.
const Language* findLanguage(std::string_view code);
// The language of this code, English when there is none (codes are checked when read).
const Language& languageOf(std::string_view code);
// "en, de, fr, es, it, pl, fi, sv"
std::string languageCodes();

// Which of the rule's forms a count takes: 0 one, 1 other (or few), 2 many.
size_t pluralForm(PluralRule rule, uint64_t count);

// A placeholder's name and what takes its place.
using Fill = std::pair<std::string_view, std::string_view>;

// `pattern` with each {name} replaced by its fill; a brace without a fill stays as it is.
std::string fillWords(std::string_view pattern, std::initializer_list<Fill> fills);

// What a language says, for one rendering.
class Words {
  public:
    explicit Words(std::string_view code) : language_(&languageOf(code)) {}
    explicit Words(const Language& language) : language_(&language) {}

    const Language& language() const { return *language_; }
    std::string_view code() const { return language_->code; }
    bool english() const { return language_->code == DefaultLanguage; }
    char decimal() const { return language_->decimal; }

    std::string_view operator[](Word word) const { return (*language_)[word]; }
    std::string say(Word word, std::initializer_list<Fill> fills) const {
        return fillWords((*language_)[word], fills);
    }
    // The counted word in the count's form, its {n} the count: "3 Prüfungen".
    std::string count(Counted word, uint64_t n, std::initializer_list<Fill> fills = {}) const;
    // The form alone, for a pattern that places the count itself.
    std::string_view form(Counted word, uint64_t n) const;

    // A time as the page shows it ("01:23,45"; from an hour "1:01:23,45") and as the post and
    // the listings do ("61:23,45").
    std::string duration(uint64_t hundredths) const;
    std::string time(uint64_t hundredths) const;
    // Hundredths as seconds with two decimals: "10,94".
    std::string seconds(uint64_t hundredths) const;
    // A date in figures ("10.12.2026") and in words ("10. Dezember 2026").
    std::string date(int year, int month, int day) const;
    std::string longDate(int year, int month, int day) const;
    // The page's run time: the date in figures and "HH:MM:SS".
    std::string runTime(const ReportTime& time) const;

  private:
    const Language* language_;
};

} // namespace kvr
