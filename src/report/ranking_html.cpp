#include "report/ranking_html.h"

#include "report/html_classes.h"
#include "report/html_drivers.h"
#include "report/html_season.h"
#include "report/html_text.h"

#include <algorithm>
#include <cstdio>

namespace kvr {

namespace {

const char* const Style =
    ":root{font-family:system-ui,-apple-system,\"Segoe UI\",Roboto,sans-serif;line-height:1.4;"
    "color:#1d232b;background:#fff}"
    "body{margin:0 auto;max-width:60rem;padding:1rem}"
    "h1{font-size:1.4rem;margin:0 0 .25rem}"
    "h2{font-size:1.2rem;margin:1.75rem 0 .5rem;padding-bottom:.2rem;"
    "border-bottom:2px solid #b8321f}"
    ".when{color:#4a525c;margin:0 0 .75rem}"
    "a{color:#1f4e8c}nav{font-size:.9rem}nav a{margin-right:.75rem;white-space:nowrap}"
    ".scroll{overflow-x:auto;margin:0 0 1rem}"
    "table{border-collapse:collapse;font-variant-numeric:tabular-nums}"
    "caption{text-align:left;font-weight:600;padding:.35rem 0}"
    "th,td{padding:.2rem .6rem;text-align:left;border-bottom:1px solid #dde1e6}"
    "th{background:#eef1f4;font-size:.85rem}"
    ".n{text-align:right;white-space:nowrap}"
    "tbody tr:nth-child(even){background:#f8f9fa}"
    "figure{margin:1rem 0}"
    "svg{display:block;width:100%;max-width:36rem;height:auto}"
    "svg text{font-size:13px;fill:#1d232b}svg rect{fill:#b8321f}"
    ".move{text-align:center;white-space:nowrap}.note{color:#4a525c}"
    "details{margin:.25rem 0}summary{cursor:pointer;font-weight:600}"
    "#points-over-runs{max-width:42rem}#points-over-runs polyline,#points-over-runs path{"
    "fill:none;stroke-width:2}#points-over-runs .axis{stroke:#4a525c;stroke-width:1}"
    "@media (max-width:40rem){body{padding:.5rem}th,td{padding:.2rem .35rem;font-size:.9rem}}"
    "@media print{body{max-width:none;padding:0;font-size:10pt}nav{display:none}"
    ".scroll{overflow:visible}h2{break-after:avoid}tr{break-inside:avoid}"
    "thead{display:table-header-group}tbody tr:nth-child(even){background:none}"
    "th{background:none}}";

// The reader's dark setting, on screen only: print stays dark on light.
const char* const DarkStyle =
    "@media screen and (prefers-color-scheme:dark){:root{color:#e4e7eb;background:#121417;"
    "color-scheme:dark}a{color:#8ab4f8}.when,.note{color:#aeb5bd}h2{border-bottom-color:#e0664f}"
    "th{background:#262b31}th,td{border-bottom-color:#3a4048}"
    "tbody tr:nth-child(even){background:#1a1d21}svg text{fill:#e4e7eb}svg rect{fill:#e0664f}"
    "#points-over-runs .axis{stroke:#aeb5bd}}";

class HtmlRenderer {
  public:
    HtmlRenderer(const RunResults& run, OutputSink& out)
        : model_(run.ranking), season_(run.season), out_(out) {}

    void head() {
        const std::string when = formatRunTime(model_.time, RunTimeStyle::Shown);
        out_.put("<!DOCTYPE html>\n<html lang=\"en\">\n<head>\n<meta charset=\"utf-8\">\n"
                 "<meta name=\"viewport\" content=\"width=device-width, initial-scale=1\">\n"
                 "<title>Dustline Rally 2.0 - KVR Ranking at ");
        out_.put(when);
        out_.put("</title>\n<style>");
        out_.put(Style);
        out_.put(DriverStyle);
        out_.put(DarkStyle);
        out_.put("</style>\n</head>\n<body>\n<header>\n"
                 "<h1>Dustline Rally 2.0 - KVR Ranking System 1.0alpha2</h1>\n"
                 "<p class=\"when\">Ranking at ");
        out_.put(when);
        out_.put("</p>\n");
        navigation();
        out_.put("</header>\n<main>\n");
    }

    void standings() {
        out_.put("<section id=\"drivers\">\n<h2>Driver Total Ranking</h2>\n");
        std::vector<HtmlColumn> columns = {{"Place", "n"}, {"Code"}, {"Name"}, {"Points", "n"}};
        if (season_ != nullptr) {
            columns.push_back(HtmlMoveColumn);
        }
        htmlTable(out_, "id=\"standings\"", "", columns, model_.standings.size(), [&] {
            for (size_t i = 0; i < model_.standings.size(); ++i) {
                const Standing& standing = model_.standings[i];
                const RankedParticipant& p = participant(standing.participantIndex);
                out_.put("<tr>");
                number(standing.place);
                cell(escapeHtml(p.code));
                cell("<a href=\"#" + driverSectionId(standing.participantIndex) + "\">" +
                     escapeHtml(p.name) + "</a>");
                number(standing.points);
                if (season_ != nullptr) {
                    htmlMoveCell(out_, *season_, i);
                }
                out_.put("</tr>\n");
            }
        });
        chart();
        out_.put("</section>\n");
    }

    void listings() {
        auto next = model_.stages.begin();
        for (int r = 0; r < RallyCount; ++r) {
            if (next == model_.stages.end() || next->event->rally != r) {
                continue;
            }
            section("rally-" + std::to_string(r + 1), rallyNames[r]);
            for (; next != model_.stages.end() && next->event->rally == r; ++next) {
                listing(*next, "Stage " + std::to_string(next->event->index + 1));
            }
            out_.put("</section>\n");
        }
        if (!model_.arcade.empty()) {
            section("arcade", "Arcade");
            for (const EventListing& listed : model_.arcade) {
                listing(listed, arcadeNames[listed.event->index]);
            }
            out_.put("</section>\n");
        }
    }

    void tail() {
        out_.put("</main>\n");
        renderLeagueFooter(model_, out_);
        out_.put("</body>\n</html>\n");
    }

  private:
    const RankedParticipant& participant(int32_t index) const {
        return model_.participants[static_cast<size_t>(index)];
    }

    // Links to the sections that follow.
    void navigation() {
        out_.put("<nav><a href=\"#drivers\">Drivers</a>\n<a href=\"#points\">Points by Rally</a>");
        if (season_ != nullptr) {
            htmlSeasonNavigation(*season_, out_);
        }
        int lastRally = -1;
        for (const EventListing& listed : model_.stages) {
            const int rally = listed.event->rally;
            if (rally != lastRally) {
                lastRally = rally;
                out_.put("\n<a href=\"#rally-" + std::to_string(rally + 1) + "\">" +
                         escapeHtml(rallyNames[rally]) + "</a>");
            }
        }
        if (!model_.arcade.empty()) {
            out_.put("\n<a href=\"#arcade\">Arcade</a>");
        }
        htmlClassNavigation(model_, out_);
        if (!model_.standings.empty()) {
            out_.put("\n<a href=\"#results\">Drivers' Results</a>");
        }
        out_.put("\n<a href=\"#checks\">Checks</a></nav>\n");
    }

    void section(const std::string& id, const std::string& heading) {
        out_.put("<section id=\"" + id + "\">\n<h2>" + escapeHtml(heading) + "</h2>\n");
    }

    void cell(std::string_view html) { htmlCell(out_, html); }
    void number(long long value) { htmlNumberCell(out_, value); }

    void listing(const EventListing& listed, const std::string& title) {
        static const std::vector<HtmlColumn> columns = {
            {"Place", "n"},   {"Code"},      {"Name"},    {"Vehicle"},
            {"Transmission"}, {"Time", "n"}, {"Gap", "n"}};
        htmlTable(out_, "class=\"listing\" data-event=\"" + listed.event->key() + "\"",
                  escapeHtml(title), columns, listed.results.size(), [&] {
                      for (size_t k = 0; k < listed.results.size(); ++k) {
                          const ListedResult& result = listed.results[k];
                          const RankedParticipant& p = participant(result.participantIndex);
                          out_.put("<tr>");
                          number(static_cast<long long>(k + 1));
                          cell(escapeHtml(p.code));
                          cell(escapeHtml(p.name));
                          cell(escapeHtml(vehicleName(result.vehicle)));
                          cell(transmissionLabel(result.vehicle));
                          out_.put("<td class=\"n\">");
                          out_.putTime(result.time);
                          out_.put("</td><td class=\"n\">");
                          if (k > 0) {
                              out_.put('+');
                              out_.putTime(result.gap);
                          }
                          out_.put("</td></tr>\n");
                      }
                  });
    }

    // Horizontal bars: the place and name above each bar, the points after its end.
    void chart() {
        size_t drivers = std::min(model_.standings.size(), StandingsChartDriverCount);
        if (drivers == 0) {
            return;
        }
        const int width = 480, rowHeight = 32, barLength = 430;
        const long long most = model_.standings[0].points;
        char text[256];
        std::snprintf(
            text, sizeof text,
            "<figure>\n<svg viewBox=\"0 0 %d %d\" role=\"img\" aria-label=\"Points "
            "of the first %zu drivers\">\n<title>Points of the first %zu drivers</title>\n",
            width, static_cast<int>(drivers) * rowHeight + 8, drivers, drivers);
        out_.put(text);
        for (size_t i = 0; i < drivers; ++i) {
            const Standing& standing = model_.standings[i];
            int top = static_cast<int>(i) * rowHeight;
            long long length = most > 0 ? standing.points * barLength / most : 0;
            length = length < 2 ? 2 : length;
            std::snprintf(text, sizeof text, "<text x=\"0\" y=\"%d\">%d. ", top + 14,
                          static_cast<int>(standing.place));
            out_.put(text);
            out_.put(escapeHtml(participant(standing.participantIndex).name));
            std::snprintf(text, sizeof text,
                          "</text><rect x=\"0\" y=\"%d\" width=\"%lld\" height=\"11\" rx=\"2\"/>"
                          "<text x=\"%lld\" y=\"%d\">%d</text>\n",
                          top + 19, length, length + 6, top + 29, standing.points);
            out_.put(text);
        }
        out_.put("</svg>\n</figure>\n");
    }

    const RankingModel& model_;
    const SeasonChanges* season_;
    OutputSink& out_;
};

} // namespace

void renderHtml(const RunResults& run, OutputSink& out) {
    HtmlRenderer renderer(run, out);
    renderer.head();
    renderer.standings();
    renderPointsGrid(run.ranking, out);
    if (run.season != nullptr) {
        htmlSeasonSections(run.ranking, *run.season, out);
    }
    renderer.listings();
    renderClassSections(run.ranking, out);
    renderDriverSections(run.ranking, out);
    renderChecks(run.ranking, out);
    renderer.tail();
}

std::string renderHtml(const RunResults& run) {
    StringSink out;
    renderHtml(run, out);
    return out.take();
}

} // namespace kvr
