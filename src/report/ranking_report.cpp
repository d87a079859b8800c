#include "report/ranking_report.h"

#include "data/championship_tables.h"
#include "platform/fs.h"

#include <algorithm>
#include <cstdarg>
#include <cstdio>
#include <cstring>
#include <ctime>
#include <vector>

namespace kvr {

int compareRankingItems(const RankingItem& a, const RankingItem& b) {
    if (a.key < b.key) {
        return -1;
    }
    return a.key > b.key ? 1 : 0;
}

size_t selectLeadingItems(RankingItem* items, size_t count, size_t limit) {
    size_t shown = std::min(limit, count);
    std::partial_sort(items, items + shown, items + count, rankingItemPrecedes);
    return shown;
}

namespace {

#if defined(__GNUC__)
__attribute__((format(printf, 2, 3)))
#endif
void appendf(std::string& out, const char* format, ...) {
    char line[512];
    va_list args;
    va_start(args, format);
    int length = std::vsnprintf(line, sizeof line, format, args);
    va_end(args);
    if (length < 0) {
        return;
    }
    if (static_cast<size_t>(length) < sizeof line) {
        out.append(line, static_cast<size_t>(length));
        return;
    }
    // Longer than a line ever is; format again at full size.
    std::vector<char> wide(static_cast<size_t>(length) + 1);
    va_start(args, format);
    std::vsnprintf(wide.data(), wide.size(), format, args);
    va_end(args);
    out.append(wide.data(), static_cast<size_t>(length));
}

unsigned minutesOf(uint32_t v) {
    return v / 6000u;
}
unsigned secondsOf(uint32_t v) {
    return (v % 6000u) / 100u;
}
unsigned hundredthsOf(uint32_t v) {
    return v % 100u;
}

class ReportBuilder {
  public:
    ReportBuilder(const ParticipantRecord* participants, int32_t count, std::string& out)
        : participants_(participants), count_(count), out_(out), items_(static_cast<size_t>(count)),
          pointTotals_(static_cast<size_t>(count), 0) {}

    void participantsSection() {
        appendf(out_, "Participants : \n");
        for (int32_t i = 0; i < count_; ++i) {
            const ParticipantRecord& p = participants_[i];
            appendf(out_, "  %02d. %3.*s , %04d.%02d.%02d , %.*s\n", i + 1,
                    static_cast<int>(codeLength(p.code)), p.code, dateYear(p.date),
                    dateMonth(p.date), dateDay(p.date), static_cast<int>(nameLength(p.name)),
                    p.name);
        }
    }

    void stagesSection() {
        appendf(out_, "\n\nRally - Stage Times\n\n");
        for (int r = 0; r < RallyCount; ++r) {
            appendf(out_, "\n %s :\n\n", rallyNames[r]);
            for (int s = 0; s < stageCounts[r]; ++s) {
                int slot = stageSlot(r, s);
                size_t n = collect([slot](const ParticipantRecord& p) -> const ResultEntry& {
                    return p.stageResults[slot];
                });
                if (n > 0) {
                    appendf(out_, "  Stage %2d\n", s + 1);
                    listing(n);
                }
            }
        }
    }

    void arcadeSection() {
        appendf(out_, "\nArcade - Lap Times\n\n");
        for (int a = 0; a < ArcadeEventCount; ++a) {
            size_t n = collect([a](const ParticipantRecord& p) -> const ResultEntry& {
                return p.arcadeResults[a];
            });
            if (n > 0) {
                appendf(out_, "  %s\n", arcadeNames[a]);
                listing(n);
            }
        }
    }

    void driverRanking() {
        appendf(out_, "\nDriver Total Ranking\n\n");
        for (int32_t i = 0; i < count_; ++i) {
            items_[static_cast<size_t>(i)] = {
                65535u - static_cast<uint32_t>(pointTotals_[static_cast<size_t>(i)]), i, 0};
        }
        std::sort(items_.begin(), items_.end(), rankingItemPrecedes);
        for (size_t p = 0; p < items_.size(); ++p) {
            const RankingItem& item = items_[p];
            if (item.key == 65535u) {
                continue;
            }
            const ParticipantRecord& participant = participants_[item.participantIndex];
            appendf(out_, "  %02d %4dpnt %.*s\n", static_cast<int>(p + 1),
                    pointTotals_[static_cast<size_t>(item.participantIndex)],
                    static_cast<int>(nameLength(participant.name)), participant.name);
        }
    }

  private:
    // Puts every result of one event into the sort buffer, in participant order.
    template <typename SlotOf> size_t collect(SlotOf slotOf) {
        size_t n = 0;
        for (int32_t i = 0; i < count_; ++i) {
            const ResultEntry& result = slotOf(participants_[i]);
            if (result.time != 0) {
                items_[n++] = {result.time - 1u, i, result.vehicle};
            }
        }
        return n;
    }

    void listing(size_t n) {
        size_t shown = selectLeadingItems(items_.data(), n, listingLimit);
        const uint32_t fastest = items_[0].key;
        for (size_t k = 0; k < shown; ++k) {
            const RankingItem& item = items_[k];
            const ParticipantRecord& p = participants_[item.participantIndex];
            auto vehicle = static_cast<uint8_t>(item.vehicle);
            int place = static_cast<int>(k + 1);
            int codeWidth = static_cast<int>(codeLength(p.code));
            if (k == 0) {
                appendf(out_, "    %02d %4.*s  %-32s %2s %02u:%02u.%02u\n", place, codeWidth,
                        p.code, vehicleName(vehicle), transmissionLabel(vehicle),
                        minutesOf(item.key), secondsOf(item.key), hundredthsOf(item.key));
            } else {
                uint32_t gap = item.key - fastest;
                appendf(out_, "    %02d %4.*s  %-32s %2s %02u:%02u.%02u (+%02u:%02u.%02u)\n", place,
                        codeWidth, p.code, vehicleName(vehicle), transmissionLabel(vehicle),
                        minutesOf(item.key), secondsOf(item.key), hundredthsOf(item.key),
                        minutesOf(gap), secondsOf(gap), hundredthsOf(gap));
            }
            pointTotals_[static_cast<size_t>(item.participantIndex)] += placePoints[k];
        }
        appendf(out_, "\n");
    }

    const ParticipantRecord* participants_;
    int32_t count_;
    std::string& out_;
    std::vector<RankingItem> items_;   // the one sort buffer, reused by every listing
    std::vector<int32_t> pointTotals_; // points per participant
};

ReportTime localNow() {
    ReportTime result;
    std::time_t now = std::time(nullptr);
    std::tm local{};
#ifdef _WIN32
    bool known = now != static_cast<std::time_t>(-1) && localtime_s(&local, &now) == 0;
#else
    bool known = now != static_cast<std::time_t>(-1) && localtime_r(&now, &local) != nullptr;
#endif
    if (known) {
        result.year = local.tm_year + 1900;
        result.month = local.tm_mon + 1;
        result.day = local.tm_mday;
        result.hour = local.tm_hour;
        result.minute = local.tm_min;
        result.second = local.tm_sec;
    }
    return result;
}

// Rewrites "\n" as the platform's text line end.
std::string withPlatformLineEnds(std::string text) {
    if (std::strcmp(platform::TextLineEnd, "\n") == 0) {
        return text;
    }
    std::string converted;
    converted.reserve(text.size() + text.size() / 16);
    for (char c : text) {
        if (c == '\n') {
            converted += platform::TextLineEnd;
        } else {
            converted += c;
        }
    }
    return converted;
}

} // namespace

std::string formatRankingReport(const ParticipantRecord* participants, int32_t count,
                                const ReportTime& time) {
    if (count < 0) {
        count = 0;
    }
    std::string out;
    // About one line per participant and a few hundred listing lines.
    out.reserve(static_cast<size_t>(count) * 72 + 64 * 1024);
    appendf(out, "Dustline Rally 2.0 - KVR Ranking System 1.0alpha2\n\n");
    appendf(out, "Ranking at %04d.%02d.%02d %02d:%02d:%02d\n\n\n", time.year, time.month, time.day,
            time.hour, time.minute, time.second);
    ReportBuilder builder(participants, count, out);
    builder.participantsSection();
    builder.stagesSection();
    builder.arcadeSection();
    builder.driverRanking();
    return out;
}

platform::Status writeRankingReport(const ParticipantRecord* participants, int32_t count, const char* path) {
    std::string text = withPlatformLineEnds(formatRankingReport(participants, count, localNow()));
    return platform::replaceFile(path, text.data(), text.size());
}

} // namespace kvr
