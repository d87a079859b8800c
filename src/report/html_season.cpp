#include "report/html_season.h"

#include "data/championship_tables.h"
#include "report/html_text.h"

#include <algorithm>
#include <cstdio>

namespace kvr {

namespace {

// The first `bytes` bytes of `text` (UTF-8), less a character the cut would split: a run's
// time read from the history may hold any character.
std::string_view leadingText(std::string_view text, size_t bytes) {
    if (text.size() <= bytes) {
        return text;
    }
    while (bytes > 0 && (static_cast<unsigned char>(text[bytes]) & 0xC0) == 0x80) {
        --bytes;
    }
    return text.substr(0, bytes);
}

// "2026-12-07T12:05:09" as "2026-12-07 12:05:09".
std::string runTime(std::string at) {
    std::replace(at.begin(), at.end(), 'T', ' ');
    return at;
}

void timeCell(OutputSink& out, const std::string& time) {
    out.put("<td class=\"n\">");
    out.put(escapeHtml(time));
    out.put("</td>");
}

void newRecords(const SeasonChanges& season, OutputSink& out) {
    static const std::vector<HtmlColumn> columns = {
        {"Event"},         {"Time", "n"},  {"Code"}, {"Name"}, {"Previous time", "n"},
        {"Previous code"}, {"Margin", "n"}};
    std::string caption = "New records";
    if (season.previousAt) {
        caption += " since the run of " + escapeHtml(runTime(*season.previousAt));
    }
    htmlTable(out, "id=\"new-records\"", caption, columns, season.newRecords.size(), [&] {
        for (const NewRecord& record : season.newRecords) {
            out.put("<tr>");
            htmlCell(out, escapeHtml(record.event->title()));
            timeCell(out, record.now.time);
            htmlCell(out, escapeHtml(record.now.code));
            htmlCell(out, escapeHtml(record.now.name));
            timeCell(out, record.previous ? record.previous->time : std::string());
            htmlCell(out, record.previous ? escapeHtml(record.previous->code) : std::string());
            out.put("<td class=\"n\">");
            if (record.marginHundredths) {
                out.put('-');
                out.putTime(*record.marginHundredths);
            }
            out.put("</td></tr>\n");
        }
    });
    if (!season.hasPrevious) {
        out.put("<p class=\"note\">No earlier run to compare with: this is the first run of the "
                "season.</p>\n");
    } else if (season.newRecords.empty()) {
        out.put("<p class=\"note\">No record fell since the previous run.</p>\n");
    }
}

// One folding table per rally, and one for the arcade events: every listed event with each
// holder of its record over the runs.
void progression(const SeasonChanges& season, OutputSink& out) {
    out.put("<h3>Record progression</h3>\n");
    auto next = season.recordLog.begin();
    while (next != season.recordLog.end()) {
        const int rally = next->event->rally;
        auto last = std::find_if(next, season.recordLog.end(),
                                 [rally](const auto& p) { return p.event->rally != rally; });
        out.put("<details class=\"progression\">\n<summary>");
        out.put(escapeHtml(rally < 0 ? "Arcade" : rallyNames[rally]));
        out.put("</summary>\n");
        // A body per event, so that each event's rows stay together.
        htmlTableHead(out, "", "", {{"Event"}, {"Run"}, {"Time", "n"}, {"Code"}, {"Name"}});
        for (; next != last; ++next) {
            out.put("<tbody>\n");
            for (size_t i = 0; i < next->changes.size(); ++i) {
                const RecordChange& change = next->changes[i];
                out.put("<tr>");
                if (i == 0) {
                    out.put("<th scope=\"rowgroup\" rowspan=\"");
                    out.putNumber(static_cast<long long>(next->changes.size()));
                    out.put("\">");
                    out.put(escapeHtml(next->event->title()));
                    out.put("</th>");
                }
                htmlCell(out, escapeHtml(runTime(change.at)));
                timeCell(out, change.holder.time);
                htmlCell(out, escapeHtml(change.holder.code));
                htmlCell(out, escapeHtml(change.holder.name));
                out.put("</tr>\n");
            }
            out.put("</tbody>\n");
        }
        htmlTableEnd(out);
        out.put("</details>\n");
    }
}

// A line per leading driver over the charted runs, with a legend beside the plot.
void pointsChart(const RankingModel& model, const SeasonChanges& season, OutputSink& out) {
    static const char* const Colours[] = {"#1f77b4", "#d62728", "#2ca02c", "#9467bd", "#ff7f0e",
                                          "#17becf", "#8c564b", "#e377c2", "#7f7f7f", "#bcbd22"};
    const int left = 44, top = 12, plotWidth = 420, plotHeight = 220, legend = 490;
    const int width = 680, height = top + plotHeight + 40;
    const size_t runs = season.chartRuns.size();
    long long most = 1;
    for (const PointsOverRuns& line : season.chart) {
        for (const std::optional<int32_t>& points : line.points) {
            most = std::max<long long>(most, points.value_or(0));
        }
    }
    auto x = [&](size_t run) {
        return left + static_cast<long long>(run) * plotWidth / static_cast<long long>(runs - 1);
    };
    auto y = [&](long long points) { return top + plotHeight - points * plotHeight / most; };

    char text[256];
    out.put("<section id=\"season\">\n<h2>Points over the runs</h2>\n<figure>\n");
    std::snprintf(text, sizeof text,
                  "<svg id=\"points-over-runs\" viewBox=\"0 0 %d %d\" role=\"img\" "
                  "aria-label=\"Points of the first %zu drivers over the last %zu runs\">\n"
                  "<title>Points of the first %zu drivers over the last %zu runs</title>\n",
                  width, height, season.chart.size(), runs, season.chart.size(), runs);
    out.put(text);
    std::snprintf(text, sizeof text,
                  "<path class=\"axis\" d=\"M%d %d V%d H%d\"/>\n"
                  "<text x=\"%d\" y=\"%d\" text-anchor=\"end\">%lld</text>"
                  "<text x=\"%d\" y=\"%d\" text-anchor=\"end\">0</text>\n",
                  left, top, top + plotHeight, left + plotWidth, left - 6, top + 5, most, left - 6,
                  top + plotHeight + 4);
    out.put(text);
    // The first and the last run's date under the axis.
    for (size_t run : {size_t{0}, runs - 1}) {
        std::snprintf(text, sizeof text, "<text x=\"%lld\" y=\"%d\" text-anchor=\"%s\">", x(run),
                      top + plotHeight + 20, run == 0 ? "start" : "end");
        out.put(text);
        out.put(escapeHtml(leadingText(season.chartRuns[run], 10))); // the date
        out.put("</text>\n");
    }
    for (size_t i = 0; i < season.chart.size(); ++i) {
        const PointsOverRuns& line = season.chart[i];
        const char* colour = Colours[i % (sizeof Colours / sizeof Colours[0])];
        const std::string name =
            escapeHtml(model.participants[static_cast<size_t>(line.participantIndex)].name);
        // A run without the driver breaks the line: the next point starts a new piece.
        std::snprintf(text, sizeof text, "<path class=\"line\" stroke=\"%s\" d=\"", colour);
        out.put(text);
        bool drawing = false;
        for (size_t run = 0; run < line.points.size(); ++run) {
            if (!line.points[run]) {
                drawing = false;
                continue;
            }
            std::snprintf(text, sizeof text, "%s%lld %lld", drawing ? " L" : " M", x(run),
                          y(*line.points[run]));
            out.put(text);
            drawing = true;
        }
        out.put("\"><title>");
        out.put(name);
        out.put("</title></path>\n");
        const int row = top + 8 + static_cast<int>(i) * 22;
        std::snprintf(text, sizeof text,
                      "<path stroke=\"%s\" d=\"M%d %d h18\"/><text x=\"%d\" y=\"%d\">", colour,
                      legend, row, legend + 24, row + 4);
        out.put(text);
        out.put(name);
        out.put("</text>\n");
    }
    out.put("</svg>\n</figure>\n</section>\n");
}

} // namespace

void htmlMoveCell(OutputSink& out, const SeasonChanges& season, size_t standing) {
    out.put("<td class=\"move\">");
    if (season.hasPrevious) {
        const StandingMovement& move = season.movements[standing];
        if (!move.movement) {
            out.put("new");
        } else if (*move.movement == 0) {
            out.put('=');
        } else {
            out.put(*move.movement > 0 ? "\xE2\x96\xB2" : "\xE2\x96\xBC"); // U+25B2, U+25BC
            out.putNumber(*move.movement > 0 ? *move.movement
                                             : -static_cast<long long>(*move.movement));
        }
    }
    out.put("</td>");
}

void htmlSeasonSections(const RankingModel& model, const SeasonChanges& season, OutputSink& out) {
    out.put("<section id=\"records\">\n<h2>Records</h2>\n");
    newRecords(season, out);
    progression(season, out);
    out.put("</section>\n");
    // Charted only with an earlier run to draw from.
    if (!season.chart.empty()) {
        pointsChart(model, season, out);
    }
}

void htmlSeasonNavigation(const SeasonChanges& season, OutputSink& out) {
    out.put("\n<a href=\"#records\">Records</a>");
    if (!season.chart.empty()) {
        out.put("\n<a href=\"#season\">Points over the runs</a>");
    }
}

} // namespace kvr
