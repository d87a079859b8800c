#include "report/ranking_report.h"

#include "data/text.h"

#include <cstdarg>
#include <cstdio>
#include <vector>

namespace kvr {

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

class TextRenderer {
  public:
    TextRenderer(const RankingModel& model, std::string& out) : model_(model), out_(out) {}

    void participantsSection() {
        appendf(out_, "Participants : \n");
        for (size_t i = 0; i < model_.participants.size(); ++i) {
            const RankedParticipant& p = model_.participants[i];
            appendf(out_, "  %02d. %3s , %04d.%02d.%02d , %s\n", static_cast<int>(i + 1),
                    shown(p.gameCode()).c_str(), p.year, p.month, p.day,
                    shown(p.gameName()).c_str());
        }
    }

    void stagesSection() {
        appendf(out_, "\n\nRally - Stage Times\n\n");
        auto next = model_.stages.begin();
        for (int r = 0; r < RallyCount; ++r) {
            appendf(out_, "\n %s :\n\n", rallyNames[r]);
            for (; next != model_.stages.end() && next->event->rally == r; ++next) {
                appendf(out_, "  Stage %2d\n", next->event->index + 1);
                listing(*next);
            }
        }
    }

    void arcadeSection() {
        appendf(out_, "\nArcade - Lap Times\n\n");
        for (const EventListing& listed : model_.arcade) {
            appendf(out_, "  %s\n", arcadeNames[listed.event->index]);
            listing(listed);
        }
    }

    void driverRanking() {
        appendf(out_, "\nDriver Total Ranking\n\n");
        for (const Standing& standing : model_.standings) {
            const RankedParticipant& p = participant(standing.participantIndex);
            appendf(out_, "  %02d %4dpnt %s\n", static_cast<int>(standing.place), standing.points,
                    shown(p.gameName()).c_str());
        }
    }

  private:
    static std::string shown(std::string_view gameText) {
        return safeText(gameText.data(), gameText.size());
    }

    const RankedParticipant& participant(int32_t index) const {
        return model_.participants[static_cast<size_t>(index)];
    }

    void listing(const EventListing& listed) {
        for (size_t k = 0; k < listed.results.size(); ++k) {
            const ListedResult& result = listed.results[k];
            std::string code = shown(participant(result.participantIndex).gameCode());
            int place = static_cast<int>(k + 1);
            std::string time = formatTime(result.time);
            if (k == 0) {
                appendf(out_, "    %02d %4s  %-32s %2s %s\n", place, code.c_str(),
                        vehicleName(result.vehicle), transmissionLabel(result.vehicle),
                        time.c_str());
            } else {
                appendf(out_, "    %02d %4s  %-32s %2s %s (+%s)\n", place, code.c_str(),
                        vehicleName(result.vehicle), transmissionLabel(result.vehicle),
                        time.c_str(), formatTime(result.gap).c_str());
            }
        }
        appendf(out_, "\n");
    }

    const RankingModel& model_;
    std::string& out_;
};

// Rewrites "\n" as `lineEnd`.
std::string withLineEnds(std::string text, std::string_view lineEnd) {
    if (lineEnd == "\n") {
        return text;
    }
    std::string converted;
    converted.reserve(text.size() + text.size() / 16);
    for (char c : text) {
        if (c == '\n') {
            converted += lineEnd;
        } else {
            converted += c;
        }
    }
    return converted;
}

} // namespace

std::string renderText(const RankingModel& model, std::string_view lineEnd) {
    std::string out;
    // About one line per participant and a few hundred listing lines.
    out.reserve(model.participants.size() * 72 + 64 * 1024);
    appendf(out, "Dustline Rally 2.0 - KVR Ranking System 1.0alpha2\n\n");
    appendf(out, "Ranking at %s\n\n\n", formatRunTime(model.time, RunTimeStyle::Shown).c_str());
    TextRenderer renderer(model, out);
    renderer.participantsSection();
    renderer.stagesSection();
    renderer.arcadeSection();
    renderer.driverRanking();
    return withLineEnds(std::move(out), lineEnd);
}

std::string formatRankingReport(const ParticipantRecord* participants, int32_t count,
                                const ReportTime& time) {
    return renderText(computeRankingModel(participants, count, {}, time, {false}));
}

} // namespace kvr
