// Times as the outputs show them: a result's time, a run's date and time, a participant's date.
#pragma once

#include "platform/env.h"

#include "data/participant.h"

#include <cstddef>
#include <cstdint>
#include <string>

namespace kvr {

// Local date and time of the ranking; all zero when unknown.
struct ReportTime {
    int year = 0;
    int month = 0;
    int day = 0;
    int hour = 0;
    int minute = 0;
    int second = 0;
};

// A time, a gap or a sum of them as "mm:ss.hh": minutes with at least two digits, never cut.
// writeTime puts it into `out`, which must hold TimeTextCapacity bytes, and returns the length.
// A language's decimal sign may take the place of the '.'.
constexpr size_t TimeTextCapacity = 32;
size_t writeTime(char* out, uint64_t hundredths, char decimal = '.');
void appendTime(std::string& out, uint64_t hundredths);
std::string formatTime(uint64_t hundredths);

// The same on the web page, where a duration of an hour or more reads "h:mm:ss.hh"
// (2:46:28.81 rather than 166:28.81). Needs TimeTextCapacity bytes like writeTime.
size_t writeDuration(char* out, uint64_t hundredths, char decimal = '.');
std::string formatDuration(uint64_t hundredths);

// A run's time: "YYYY-MM-DDTHH:MM:SS" as the exports and the history store it,
// "YYYY.MM.DD HH:MM:SS" as ranking.txt shows it, or "YYYY-MM-DD HH:MM:SS" as the web page does.
enum class RunTimeStyle { Iso, Shown, Page };
std::string formatRunTime(const ReportTime& time, RunTimeStyle style);
inline std::string formatIsoTime(const ReportTime& time) {
    return formatRunTime(time, RunTimeStyle::Iso);
}

// The local time the system told, as a run's time.
ReportTime reportTimeOf(const platform::LocalTime& time);

// The time of day, "HH:MM:SS".
std::string formatTimeOfDay(const ReportTime& time);

// A date as stored, "YYYY-MM-DD".
std::string formatDate(int year, int month, int day);

} // namespace kvr
