#include "report/ranking_report.h"

#include "data/text.h"

#include <cstdarg>
#include <cstdio>
#include <vector>

namespace kvr {

namespace {

// The report's lines into a sink, each "\n" written as the line end asked for.
class TextWriter {
  public:
    TextWriter(OutputSink& out, std::string_view lineEnd) : out_(out), lineEnd_(lineEnd) {}

#if defined(__GNUC__)
    __attribute__((format(printf, 2, 3)))
#endif
    void
    print(const char* format, ...) {
        char line[512];
        va_list args;
        va_start(args, format);
        int length = std::vsnprintf(line, sizeof line, format, args);
        va_end(args);
        if (length < 0) {
            return;
        }
        if (static_cast<size_t>(length) < sizeof line) {
            put(std::string_view(line, static_cast<size_t>(length)));
            return;
        }
        // Longer than a line ever is; format again at full size.
        std::vector<char> wide(static_cast<size_t>(length) + 1);
        va_start(args, format);
        std::vsnprintf(wide.data(), wide.size(), format, args);
        va_end(args);
        put(std::string_view(wide.data(), static_cast<size_t>(length)));
    }

  private:
    void put(std::string_view text) {
        for (size_t end; (end = text.find('\n')) != std::string_view::npos;) {
            out_.put(text.substr(0, end));
            out_.put(lineEnd_);
            text.remove_prefix(end + 1);
        }
        out_.put(text);
    }

    OutputSink& out_;
    std::string_view lineEnd_;
};

class TextRenderer {
  public:
    TextRenderer(const RankingModel& model, TextWriter& out) : model_(model), out_(out) {}

    void participantsSection() {
        out_.print("Participants : \n");
        for (size_t i = 0; i < model_.participants.size(); ++i) {
            const RankedParticipant& p = model_.participants[i];
            out_.print("  %02d. %3s , %04d.%02d.%02d , %s\n", static_cast<int>(i + 1),
                       shown(p.gameCode()).c_str(), p.year, p.month, p.day,
                       shown(p.gameName()).c_str());
        }
    }

    void stagesSection() {
        out_.print("\n\nRally - Stage Times\n\n");
        auto next = model_.stages.begin();
        for (int r = 0; r < RallyCount; ++r) {
            out_.print("\n %s :\n\n", rallyNames[r]);
            for (; next != model_.stages.end() && next->event->rally == r; ++next) {
                out_.print("  Stage %2d\n", next->event->index + 1);
                listing(*next);
            }
        }
    }

    void arcadeSection() {
        out_.print("\nArcade - Lap Times\n\n");
        for (const EventListing& listed : model_.arcade) {
            out_.print("  %s\n", arcadeNames[listed.event->index]);
            listing(listed);
        }
    }

    void driverRanking() {
        out_.print("\nDriver Total Ranking\n\n");
        for (const Standing& standing : model_.standings) {
            const RankedParticipant& p = participant(standing.participantIndex);
            out_.print("  %02d %4dpnt %s\n", static_cast<int>(standing.place), standing.points,
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
                out_.print("    %02d %4s  %-32s %2s %s\n", place, code.c_str(),
                           vehicleName(result.vehicle), transmissionLabel(result.vehicle),
                           time.c_str());
            } else {
                out_.print("    %02d %4s  %-32s %2s %s (+%s)\n", place, code.c_str(),
                           vehicleName(result.vehicle), transmissionLabel(result.vehicle),
                           time.c_str(), formatTime(result.gap).c_str());
            }
        }
        out_.print("\n");
    }

    const RankingModel& model_;
    TextWriter& out_;
};

} // namespace

void renderText(const RankingModel& model, OutputSink& out, std::string_view lineEnd) {
    TextWriter writer(out, lineEnd);
    writer.print("Dustline Rally 2.0 - KVR Ranking System 1.0alpha2\n\n");
    writer.print("Ranking at %s\n\n\n", formatRunTime(model.time, RunTimeStyle::Shown).c_str());
    TextRenderer renderer(model, writer);
    renderer.participantsSection();
    renderer.stagesSection();
    renderer.arcadeSection();
    renderer.driverRanking();
}

std::string renderText(const RankingModel& model, std::string_view lineEnd) {
    StringSink out;
    renderText(model, out, lineEnd);
    return out.take();
}

std::string formatRankingReport(const ParticipantRecord* participants, int32_t count,
                                const ReportTime& time) {
    return renderText(computeRankingModel(participants, count, {}, time, {false, false, {}}));
}

} // namespace kvr
