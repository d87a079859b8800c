#include "report/words.h"

#include <charconv>

namespace kvr {

namespace {

std::string padded(int value, int width) {
    char digits[16];
    const char* end = std::to_chars(digits, digits + sizeof digits, value).ptr;
    const auto length = static_cast<int>(end - digits);
    std::string text(static_cast<size_t>(width > length ? width - length : 0), '0');
    text.append(digits, static_cast<size_t>(length));
    return text;
}

std::string withDecimal(std::string text, char decimal) {
    if (decimal != '.') {
        const size_t dot = text.rfind('.');
        if (dot != std::string::npos) {
            text[dot] = decimal;
        }
    }
    return text;
}

} // namespace

const Language* findLanguage(std::string_view code) {
    for (const Language& language : Languages) {
        if (language.code == code) {
            return &language;
        }
    }
    return nullptr;
}

const Language& languageOf(std::string_view code) {
    const Language* language = findLanguage(code);
    return language != nullptr ? *language : Languages[0];
}

std::string languageCodes() {
    std::string codes;
    for (const Language& language : Languages) {
        codes += codes.empty() ? "" : ", ";
        codes += language.code;
    }
    return codes;
}

size_t pluralForm(PluralRule rule, uint64_t n) {
    switch (rule) {
    case PluralRule::OneOther:
        return n == 1 ? 0 : 1;
    case PluralRule::OneOtherZeroOne:
        return n <= 1 ? 0 : 1;
    case PluralRule::OneFewMany: {
        if (n == 1) {
            return 0;
        }
        const uint64_t last = n % 10, lastTwo = n % 100;
        return last >= 2 && last <= 4 && (lastTwo < 12 || lastTwo > 14) ? 1 : 2;
    }
    }
    return 1;
}

std::string fillWords(std::string_view pattern, std::initializer_list<Fill> fills) {
    std::string text;
    text.reserve(pattern.size() + 16);
    size_t from = 0;
    while (from < pattern.size()) {
        const size_t open = pattern.find('{', from);
        if (open == std::string_view::npos) {
            break;
        }
        const size_t close = pattern.find('}', open);
        if (close == std::string_view::npos) {
            break;
        }
        const std::string_view name = pattern.substr(open + 1, close - open - 1);
        const Fill* fill = nullptr;
        for (const Fill& candidate : fills) {
            if (candidate.first == name) {
                fill = &candidate;
                break;
            }
        }
        text.append(pattern.substr(from, (fill != nullptr ? open : close + 1) - from));
        if (fill != nullptr) {
            text.append(fill->second);
        }
        from = close + 1;
    }
    text.append(pattern.substr(from));
    return text;
}

std::string_view Words::form(Counted word, uint64_t n) const {
    return language_->counted[static_cast<size_t>(word)][pluralForm(language_->plural, n)];
}

std::string Words::count(Counted word, uint64_t n, std::initializer_list<Fill> fills) const {
    char digits[24];
    const char* end = std::to_chars(digits, digits + sizeof digits, n).ptr;
    const std::string_view number(digits, static_cast<size_t>(end - digits));
    std::string text = fillWords(form(word, n), {{"n", number}});
    return fills.size() == 0 ? text : fillWords(text, fills);
}

std::string Words::duration(uint64_t hundredths) const {
    char text[TimeTextCapacity];
    return std::string(text, writeDuration(text, hundredths, language_->decimal));
}

std::string Words::time(uint64_t hundredths) const {
    char text[TimeTextCapacity];
    return std::string(text, writeTime(text, hundredths, language_->decimal));
}

std::string Words::seconds(uint64_t hundredths) const {
    std::string text = std::to_string(hundredths / 100);
    text += '.';
    text += padded(static_cast<int>(hundredths % 100), 2);
    return withDecimal(std::move(text), language_->decimal);
}

std::string Words::date(int year, int month, int day) const {
    return fillWords(language_->date, {{"yyyy", padded(year, 4)},
                                       {"mm", padded(month, 2)},
                                       {"dd", padded(day, 2)},
                                       {"m", padded(month, 1)},
                                       {"d", padded(day, 1)}});
}

std::string Words::longDate(int year, int month, int day) const {
    const std::string_view name =
        month >= 1 && month <= 12 ? language_->months[static_cast<size_t>(month - 1)] : "";
    return fillWords(language_->longDate, {{"yyyy", padded(year, 4)},
                                           {"mm", padded(month, 2)},
                                           {"dd", padded(day, 2)},
                                           {"m", padded(month, 1)},
                                           {"d", padded(day, 1)},
                                           {"month", name}});
}

std::string Words::runTime(const ReportTime& t) const {
    return date(t.year, t.month, t.day) + " " + formatTimeOfDay(t);
}

} // namespace kvr
