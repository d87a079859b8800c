#include "report/html_season.h"

#include "data/championship_tables.h"
#include "report/html_text.h"
#include "report/movement_text.h"
#include "report/words.h"

#include <algorithm>
#include <cstdio>
#include <optional>
#include <string_view>

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

void newRecords(const SeasonChanges& season, const Words& words, OutputSink& out) {
    // Five columns, so that a phone shows them all: the driver as "Name (CODE)", and the
    // previous record as its time and holder's code.
    const std::vector<HtmlColumn> columns = {{words[Word::ColEvent]},
                                             {words[Word::ColTime], "n"},
                                             {words[Word::ColDriver]},
                                             {words[Word::ColPrevious]},
                                             {words[Word::ColMargin], "n"}};
    out.put("<h3>");
    if (season.previousAt) {
        out.put(words.say(Word::NewRecordsSince,
                          {{"time", "<span class=\"at\">" +
                                        escapeHtml(runTime(*season.previousAt)) + "</span>"}}));
    } else {
        out.put(words[Word::NewRecords]);
    }
    out.put("</h3>\n");
    if (!season.hasPrevious) {
        out.put("<p class=\"note\">" + std::string(words[Word::NoEarlierRun]) + "</p>\n");
        return;
    }
    if (season.newRecords.empty()) {
        out.put("<p class=\"note\">" + std::string(words[Word::NoRecordFell]) + "</p>\n");
        return;
    }
    htmlTable(out, "id=\"new-records\"", "", columns, season.newRecords.size(), [&] {
        for (const NewRecord& record : season.newRecords) {
            out.put("<tr>");
            htmlCell(out, escapeHtml(record.event->title()));
            htmlTimeCell(out, record.now.hundredths, "", words.decimal());
            htmlCell(out, escapeHtml(record.now.name) + " (" + escapeHtml(record.now.code) + ")" +
                              (record.underReview
                                   ? " <a href=\"#check-outliers\" "
                                     "class=\"flag\">\xE2\x9A\x91 " +
                                         std::string(words[Word::UnderReviewFlag]) + "</a>"
                                   : std::string()));
            out.put("<td>");
            if (record.previous) {
                htmlTime(out, record.previous->hundredths, words.decimal());
                out.put(" (" + escapeHtml(record.previous->code) + ")");
            }
            out.put("</td>");
            if (record.marginHundredths) {
                htmlTimeCell(out, *record.marginHundredths, "-", words.decimal());
            } else {
                out.put("<td class=\"n\"></td>");
            }
            out.put("</tr>\n");
        }
    });
}

// One folding table per rally, and one for the arcade events: every listed event with each
// holder of its record over the runs.
void progression(const SeasonChanges& season, const Words& words, OutputSink& out) {
    out.put("<h3>" + std::string(words[Word::RecordProgression]) + "</h3>\n");
    auto next = season.recordLog.begin();
    while (next != season.recordLog.end()) {
        const int rally = next->event->rally;
        auto last = std::find_if(next, season.recordLog.end(),
                                 [rally](const auto& p) { return p.event->rally != rally; });
        out.put("<details class=\"progression\">\n<summary>");
        out.put(escapeHtml(rally < 0 ? words[Word::Arcade] : rallyNames[rally]));
        out.put("</summary>\n");
        // A body per event, so that each event's rows stay together.
        htmlTableHead(out, "", "",
                      {{words[Word::ColEvent]},
                       {words[Word::ColRun]},
                       {words[Word::ColTime], "n"},
                       {words[Word::ColCode]},
                       {words[Word::ColName]}});
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
                htmlTimeCell(out, change.holder.hundredths, "", words.decimal());
                htmlCell(out, escapeHtml(change.holder.code));
                htmlCell(out, escapeHtml(change.holder.name) +
                                  (change.annulled
                                       ? " <span class=\"note\">" +
                                             std::string(words[Word::AnnulledBefore]) + "</span>"
                                       : std::string()));
                out.put("</tr>\n");
            }
            out.put("</tbody>\n");
        }
        htmlTableEnd(out);
        out.put("</details>\n");
    }
}

// The points-over-runs chart, in the units of its viewBox.
constexpr int ChartWidth = 600, PlotLeft = 70, PlotRight = 544, PlotTop = 14, PlotHeight = 240;
constexpr int PlotBottom = PlotTop + PlotHeight, ChartHeight = PlotBottom + 72;
// The largest size its text takes (on a narrow screen), the width of a digit in it (about
// 0.64 of the size in common fonts) and the least room between two labels.
constexpr int LabelFont = 16;
constexpr double CharWidth = LabelFont * 0.64;
constexpr double LabelGap = 3;

// Which of the labels wanted at `xs` (ascending) fit: each is `widths` wide, centred, and
// keeps a gap to the one before; the last one wanted is always kept, at the cost of the one
// before it.
std::vector<bool> fittingLabels(const std::vector<long long>& xs, const std::vector<bool>& wanted,
                                const std::vector<double>& widths) {
    std::vector<bool> shown(xs.size(), false);
    size_t lastWanted = xs.size();
    for (size_t i = 0; i < xs.size(); ++i) {
        lastWanted = wanted[i] ? i : lastWanted;
    }
    std::optional<size_t> before;
    for (size_t i = 0; i < xs.size(); ++i) {
        if (!wanted[i]) {
            continue;
        }
        const auto apart = [&](size_t a, size_t b) {
            return static_cast<double>(xs[b] - xs[a]) >= (widths[a] + widths[b]) / 2 + LabelGap;
        };
        if (before && !apart(*before, i)) {
            if (i != lastWanted) {
                continue;
            }
            shown[*before] = false;
        }
        shown[i] = true;
        before = i;
    }
    return shown;
}

// Where the chart puts a run (x) and a number of points (y).
struct ChartScale {
    std::vector<long long> xs; // by charted run
    std::vector<int64_t> ticks;

    ChartScale(const SeasonChanges& season) {
        const size_t runs = season.chartRuns.size();
        int64_t most = 0;
        for (const PointsOverRuns& line : season.chart) {
            for (const std::optional<int32_t>& points : line.points) {
                most = std::max<int64_t>(most, points.value_or(0));
            }
        }
        ticks = chartTicks(most);
        for (size_t run = 0; run < runs; ++run) {
            xs.push_back(runs < 2
                             ? (PlotLeft + PlotRight) / 2
                             : PlotLeft + static_cast<long long>(run) * (PlotRight - PlotLeft) /
                                              static_cast<long long>(runs - 1));
        }
    }
    long long y(long long points) const {
        const long long top = ticks.back();
        return PlotBottom - std::clamp<long long>(points, 0, top) * PlotHeight / top;
    }
};

// Round points with light lines across the plot, and the axes with their titles.
void chartGrid(const ChartScale& scale, const Words& words, OutputSink& out) {
    char text[320];
    for (int64_t tick : scale.ticks) {
        std::snprintf(text, sizeof text,
                      "<path class=\"grid\" d=\"M%d %lld H%d\"/>"
                      "<text class=\"y-tick\" x=\"%d\" y=\"%lld\" text-anchor=\"end\">%lld"
                      "</text>\n",
                      PlotLeft, scale.y(tick), PlotRight, PlotLeft - 8, scale.y(tick) + 5,
                      static_cast<long long>(tick));
        out.put(text);
    }
    std::snprintf(text, sizeof text,
                  "<path class=\"axis\" d=\"M%d %d V%d H%d\"/>\n"
                  "<text class=\"axis-title\" transform=\"rotate(-90)\" x=\"%d\" y=\"18\" "
                  "text-anchor=\"middle\">",
                  PlotLeft, PlotTop, PlotBottom, PlotRight, -(PlotTop + PlotHeight / 2));
    out.put(text);
    out.put(words[Word::ColPoints]);
    std::snprintf(text, sizeof text,
                  "</text>\n<text class=\"axis-title\" x=\"%d\" y=\"%d\" "
                  "text-anchor=\"middle\">",
                  (PlotLeft + PlotRight) / 2, ChartHeight - 6);
    out.put(text);
    out.put(words[Word::ColRun]);
    out.put("</text>\n");
}

// A tick per run, its number under it as far as the numbers fit, and the date under the first,
// the last and each run on a new day as far as the dates fit.
void runTicks(const SeasonChanges& season, const ChartScale& scale, OutputSink& out) {
    const size_t runs = season.chartRuns.size();
    const std::vector<long long>& xs = scale.xs;
    const size_t firstRun = season.runs >= runs ? season.runs - runs + 1 : 1;
    std::vector<double> numberWidths, dateWidths;
    std::vector<bool> everyRun(runs, true), newDay(runs, false);
    std::vector<std::string_view> dates;
    for (size_t run = 0; run < runs; ++run) {
        numberWidths.push_back(static_cast<double>(std::to_string(firstRun + run).size()) *
                               CharWidth);
        dates.push_back(leadingText(season.chartRuns[run], 10));
        dateWidths.push_back(static_cast<double>(dates.back().size()) * CharWidth);
        newDay[run] =
            !dates[run].empty() && (run == 0 || run + 1 == runs || dates[run] != dates[run - 1]);
    }
    const std::vector<bool> numbered = fittingLabels(xs, everyRun, numberWidths);
    const std::vector<bool> dated = fittingLabels(xs, newDay, dateWidths);
    char text[320];
    for (size_t run = 0; run < runs; ++run) {
        std::snprintf(text, sizeof text, "<path class=\"axis\" d=\"M%lld %d v6\"/>", xs[run],
                      PlotBottom);
        out.put(text);
        if (numbered[run]) {
            std::snprintf(text, sizeof text,
                          "<text class=\"x-tick\" x=\"%lld\" y=\"%d\" text-anchor=\"middle\">%zu"
                          "</text>",
                          xs[run], PlotBottom + 22, firstRun + run);
            out.put(text);
        }
        if (dated[run]) {
            std::snprintf(text, sizeof text,
                          "<text class=\"x-date\" x=\"%lld\" y=\"%d\" text-anchor=\"middle\">",
                          xs[run], PlotBottom + 42);
            out.put(text);
            out.put(escapeHtml(dates[run]));
            out.put("</text>");
        }
        out.put('\n');
    }
}

// One driver's line: a run without the driver breaks it, and a mark on every point keeps a
// point between two gaps in sight.
void driverLine(const PointsOverRuns& line, size_t series, const ChartScale& scale,
                OutputSink& out) {
    const size_t runs = scale.xs.size();
    char text[320];
    std::snprintf(text, sizeof text, "<path class=\"line s%zu\" d=\"", series);
    out.put(text);
    bool drawing = false;
    for (size_t run = 0; run < line.points.size() && run < runs; ++run) {
        if (line.points[run]) {
            std::snprintf(text, sizeof text, "%s%lld %lld", drawing ? " L" : "M", scale.xs[run],
                          scale.y(*line.points[run]));
            out.put(text);
        }
        drawing = line.points[run].has_value();
    }
    out.put("\"/>");
    for (size_t run = 0; run < line.points.size() && run < runs; ++run) {
        if (line.points[run]) {
            std::snprintf(text, sizeof text,
                          "<circle class=\"s%zu\" cx=\"%lld\" cy=\"%lld\" r=\"4\"/>", series,
                          scale.xs[run], scale.y(*line.points[run]));
            out.put(text);
        }
    }
    out.put('\n');
}

// The drivers' names by the look of their lines, under the plot on a narrow screen.
void chartLegend(const std::vector<std::string>& names, OutputSink& out) {
    char text[320];
    out.put("<ol class=\"legend\">\n");
    for (size_t i = 0; i < names.size(); ++i) {
        std::snprintf(text, sizeof text,
                      "<li><svg viewBox=\"0 0 28 10\" aria-hidden=\"true\"><path class=\"line "
                      "s%zu\" d=\"M1 5H27\"/><circle class=\"s%zu\" cx=\"14\" cy=\"5\" r=\"4\"/>"
                      "</svg>",
                      i % ChartSeriesCount, i % ChartSeriesCount);
        out.put(text);
        out.put(names[i]);
        out.put("</li>\n");
    }
    out.put("</ol>\n");
}

// A line per leading driver over the charted runs, with round points on a grid, a tick per
// run, and a legend.
void pointsChart(const RankingModel& model, const SeasonChanges& season, OutputSink& out) {
    const ChartScale scale(season);
    char text[320];
    const Words words(model.league.language);
    out.put("<section id=\"season\">\n<h2>" + std::string(words[Word::PointsOverRuns]) +
            "</h2>\n<figure class=\"chart\">\n");
    std::snprintf(text, sizeof text,
                  "<svg id=\"points-over-runs\" viewBox=\"0 0 %d %d\" role=\"img\" ", ChartWidth,
                  ChartHeight);
    out.put(text);
    out.put("aria-label=\"" +
            escapeHtml(words.say(Word::PointsOverRunsLabel,
                                 {{"drivers", std::to_string(season.chart.size())},
                                  {"runs", std::to_string(season.chartRuns.size())}})) +
            "\">\n");
    chartGrid(scale, words, out);
    runTicks(season, scale, out);
    std::vector<std::string> names;
    for (size_t i = 0; i < season.chart.size(); ++i) {
        const PointsOverRuns& line = season.chart[i];
        const RankedParticipant& p = model.participants[static_cast<size_t>(line.participantIndex)];
        names.push_back(escapeHtml(p.name) + " (" + escapeHtml(p.code) + ")");
        driverLine(line, i % ChartSeriesCount, scale, out);
    }
    out.put("</svg>\n");
    chartLegend(names, out);
    out.put("</figure>\n</section>\n");
}

} // namespace

void htmlMoveCell(OutputSink& out, const SeasonChanges& season, size_t standing,
                  const Words& words) {
    out.put("<td class=\"move\">");
    if (season.hasPrevious) {
        out.put(movementText(season.movements[standing], words[Word::MovementNew]));
    }
    out.put("</td>");
}

void htmlSeasonSections(const RankingModel& model, const SeasonChanges& season, OutputSink& out) {
    const Words words(model.league.language);
    out.put("<section id=\"records\">\n<h2>" + std::string(words[Word::RecordsHeading]) +
            "</h2>\n");
    newRecords(season, words, out);
    progression(season, words, out);
    out.put("</section>\n");
    // Charted only with an earlier run to draw from.
    if (!season.chart.empty()) {
        pointsChart(model, season, out);
    }
}

std::vector<int64_t> chartTicks(int64_t most) {
    // Heckbert's loose labels from 0: the range is `most` rounded up to 1, 2 or 5 times a power
    // of ten, and the step about a quarter of it rounded the same way, which for a range of 1,
    // 2 or 5 times 10^k is 2, 5 or 10 times 10^(k-1). Points are whole: the step is at least 1.
    most = std::max<int64_t>(most, 1);
    int64_t power = 1;
    while (5 * power < most) {
        power *= 10;
    }
    const int64_t step = std::max<int64_t>(1, power >= most       ? 2 * power / 10
                                              : 2 * power >= most ? 5 * power / 10
                                                                  : power);
    std::vector<int64_t> ticks = {0};
    while (ticks.back() < most) {
        ticks.push_back(ticks.back() + step);
    }
    return ticks;
}

void htmlSeasonNavigation(const SeasonChanges& season, const Words& words, OutputSink& out) {
    out.put("\n<a href=\"#records\">" + std::string(words[Word::RecordsHeading]) + "</a>");
    if (!season.chart.empty()) {
        out.put("\n<a href=\"#season\">" + std::string(words[Word::PointsOverRuns]) + "</a>");
    }
}

} // namespace kvr
