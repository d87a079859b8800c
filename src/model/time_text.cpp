#include "model/time_text.h"

#include <charconv>

namespace kvr {

namespace {

// `value` with at least `width` characters, zero-padded after any sign, as printf's "%0*lld".
void appendPadded(std::string& out, long long value, int width) {
    char digits[24];
    const auto magnitude = value < 0 ? 0ull - static_cast<unsigned long long>(value)
                                     : static_cast<unsigned long long>(value);
    const char* end = std::to_chars(digits, digits + sizeof digits, magnitude).ptr;
    auto length = static_cast<int>(end - digits);
    if (value < 0) {
        out += '-';
        --width;
    }
    out.append(static_cast<size_t>(width > length ? width - length : 0), '0');
    out.append(digits, static_cast<size_t>(length));
}

} // namespace

size_t writeTime(char* out, uint64_t hundredths, char decimal) {
    // Written digit by digit: the CSV grid shows millions of times.
    const uint64_t minutes = hundredths / 6000u;
    char* end = out + 2;
    if (minutes < 100) { // nearly every time shown
        out[0] = static_cast<char>('0' + minutes / 10u);
        out[1] = static_cast<char>('0' + minutes % 10u);
    } else {
        end = std::to_chars(out, out + TimeTextCapacity, minutes).ptr;
    }
    const auto seconds = static_cast<unsigned>(hundredths % 6000u / 100u);
    const auto rest = static_cast<unsigned>(hundredths % 100u);
    *end++ = ':';
    *end++ = static_cast<char>('0' + seconds / 10u);
    *end++ = static_cast<char>('0' + seconds % 10u);
    *end++ = decimal;
    *end++ = static_cast<char>('0' + rest / 10u);
    *end++ = static_cast<char>('0' + rest % 10u);
    return static_cast<size_t>(end - out);
}

void appendTime(std::string& out, uint64_t hundredths) {
    char text[TimeTextCapacity];
    out.append(text, writeTime(text, hundredths));
}

std::string formatTime(uint64_t hundredths) {
    std::string text;
    appendTime(text, hundredths);
    return text;
}

size_t writeDuration(char* out, uint64_t hundredths, char decimal) {
    constexpr uint64_t Hour = 360000;
    if (hundredths < Hour) {
        return writeTime(out, hundredths, decimal);
    }
    char* end = std::to_chars(out, out + TimeTextCapacity, hundredths / Hour).ptr;
    *end++ = ':';
    // The rest as "mm:ss.hh", below an hour: always two digits of minutes.
    return static_cast<size_t>(end - out) + writeTime(end, hundredths % Hour, decimal);
}

std::string formatDuration(uint64_t hundredths) {
    char text[TimeTextCapacity];
    return std::string(text, writeDuration(text, hundredths));
}

std::string formatRunTime(const ReportTime& t, RunTimeStyle style) {
    const char dateMark = style == RunTimeStyle::Shown ? '.' : '-';
    std::string text;
    text.reserve(24);
    appendPadded(text, t.year, 4);
    text += dateMark;
    appendPadded(text, t.month, 2);
    text += dateMark;
    appendPadded(text, t.day, 2);
    text += style == RunTimeStyle::Iso ? 'T' : ' ';
    appendPadded(text, t.hour, 2);
    text += ':';
    appendPadded(text, t.minute, 2);
    text += ':';
    appendPadded(text, t.second, 2);
    return text;
}

std::string formatDate(int year, int month, int day) {
    std::string text;
    appendPadded(text, year, 4);
    text += '-';
    appendPadded(text, month, 2);
    text += '-';
    appendPadded(text, day, 2);
    return text;
}

ReportTime reportTimeOf(const platform::LocalTime& time) {
    ReportTime report;
    report.year = time.year;
    report.month = time.month;
    report.day = time.day;
    report.hour = time.hour;
    report.minute = time.minute;
    report.second = time.second;
    return report;
}

std::string formatTimeOfDay(const ReportTime& time) {
    std::string text;
    for (int part : {time.hour, time.minute, time.second}) {
        text += text.empty() ? "" : ":";
        text += static_cast<char>('0' + part / 10 % 10);
        text += static_cast<char>('0' + part % 10);
    }
    return text;
}

} // namespace kvr
