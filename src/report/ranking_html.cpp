#include "report/ranking_html.h"

#include "report/html_classes.h"
#include "report/html_decisions.h"
#include "report/html_drivers.h"
#include "report/html_league.h"
#include "report/html_season.h"
#include "report/html_text.h"
#include "report/live_board.h"
#include "report/words.h"

#include <algorithm>
#include <cstdio>
#include <cstdlib>

namespace kvr {

namespace {

const char* const Style =
    ":root{font-family:system-ui,-apple-system,\"Segoe UI\",Roboto,sans-serif;line-height:1.4;"
    "color:#1d232b;background:#fff}"
    "body{margin:0 auto;max-width:60rem;padding:1rem}"
    "h1{font-size:1.4rem;margin:0 0 .25rem}"
    "h2{font-size:1.2rem;margin:1.75rem 0 .5rem;padding-bottom:.2rem;"
    "border-bottom:2px solid #b8321f}"
    ".when{color:#4a525c;margin:0 0 .75rem}.at{white-space:nowrap}"
    ".attention{margin:0 0 .75rem;padding:.4rem .75rem;border-left:4px solid #b8321f;"
    "background:#fbeeec}"
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
    "details{margin:.25rem 0}summary{cursor:pointer;font-weight:600;padding:.15rem 0}"
    // A link into a fold lands under its summary line, which says whose part it is.
    ".folded{scroll-margin-top:2.5rem;padding:.25rem 0 .5rem}"
    ".standings{display:flex;flex-wrap:wrap;gap:0 2.5rem;align-items:flex-start}"
    ".standings figure{flex:1 1 18rem;margin:0 0 1rem}"
    // Shown only where they are needed: a listing's vehicle under the name on a narrow screen,
    // and the owner of a table above each printed page of it.
    ".also,.whose{display:none}"
    ".chart{display:flex;flex-wrap:wrap;gap:.5rem 1.5rem;align-items:flex-start}"
    "#points-over-runs{flex:1 1 26rem;max-width:38rem}"
    "#points-over-runs path{fill:none}#points-over-runs .line{stroke-width:2.5}"
    "#points-over-runs .axis{stroke:#4a525c;stroke-width:1}"
    "#points-over-runs .grid{stroke:#e3e6ea;stroke-width:1}"
    "#season circle{stroke:none}"
    ".legend{flex:0 1 16rem;margin:0;padding:0;list-style:none;font-size:.9rem}"
    ".legend li{display:flex;align-items:center;gap:.5rem;margin:.1rem 0}"
    ".legend svg{width:1.75rem;height:.625rem;flex:none}.legend .line{fill:none;stroke-width:2.5}"
    ".s0{stroke:#1f77b4;fill:#1f77b4}.s1{stroke:#d62728;fill:#d62728}"
    ".s2{stroke:#2ca02c;fill:#2ca02c}.s3{stroke:#9467bd;fill:#9467bd}"
    ".s4{stroke:#e6700a;fill:#e6700a}.s5{stroke:#1a9fb0;fill:#1a9fb0}"
    ".s6{stroke:#8c564b;fill:#8c564b}.s7{stroke:#d4589f;fill:#d4589f}"
    ".s8{stroke:#6b7280;fill:#6b7280}.s9{stroke:#9a9a14;fill:#9a9a14}"
    // The second five lines dashed: a cue besides colour for readers who tell colours apart
    // poorly.
    "path.s5,path.s6,path.s7,path.s8,path.s9{stroke-dasharray:7 4}"
    "@media (max-width:40rem){body{padding:.5rem}th,td{padding:.2rem .35rem;font-size:.9rem}"
    ".listing th:nth-child(4),.listing td:nth-child(4),.listing th:nth-child(5),"
    ".listing td:nth-child(5){display:none}.also{display:block;font-size:.8rem;color:#4a525c}"
    // A driver's results keep the time to gain a place and drop the gap to the best, which
    // the line above the table sums up.
    ".driver-results th:nth-child(4),.driver-results td:nth-child(4){display:none}"
    ".driver-results th{white-space:normal}"
    "#points-over-runs text{font-size:16px}}"
    "@page{margin:12mm}"
    "@media print{body{max-width:none;padding:0;font-size:10pt}nav{display:none}"
    ".scroll{overflow:visible}h2,h3,caption,summary{break-after:avoid}"
    "tr,figure,.attention,.listing,#season{break-inside:avoid}"
    "thead{display:table-header-group;break-after:avoid}tr.whose{display:table-row}"
    "tbody tr:nth-child(even){background:none}th{background:none}"
    ".attention{background:none}}";

// The reader's dark setting, on screen only: print stays dark on light.
const char* const DarkStyle =
    "@media screen and (prefers-color-scheme:dark){:root{color:#e4e7eb;background:#121417;"
    "color-scheme:dark}a{color:#8ab4f8}.when,.note,.also{color:#aeb5bd}"
    "h2{border-bottom-color:#e0664f}.attention{background:#2b1d1b;border-left-color:#e0664f}"
    "th{background:#262b31}th,td{border-bottom-color:#3a4048}"
    "tbody tr:nth-child(even){background:#1a1d21}svg text{fill:#e4e7eb}svg rect{fill:#e0664f}"
    "#points-over-runs .axis{stroke:#aeb5bd}#points-over-runs .grid{stroke:#2c3138}"
    ".s0{stroke:#5fa8e8;fill:#5fa8e8}.s1{stroke:#ff6b6b;fill:#ff6b6b}"
    ".s2{stroke:#5cd65c;fill:#5cd65c}.s3{stroke:#c39bff;fill:#c39bff}"
    ".s4{stroke:#ffa94d;fill:#ffa94d}.s5{stroke:#4dd9e6;fill:#4dd9e6}"
    ".s6{stroke:#d4a373;fill:#d4a373}.s7{stroke:#ff8ad8;fill:#ff8ad8}"
    ".s8{stroke:#c0c4c8;fill:#c0c4c8}.s9{stroke:#e0e060;fill:#e0e060}}";

// Longer words than English's, on a phone: a word wider than its column breaks rather than
// widen its table past the screen. Numbers never wrap (.n), so they never break either.
const char* const LongWordsStyle =
    "@media (max-width:40rem){td,th,caption,summary{overflow-wrap:anywhere}}";

// The document up to its body: one style element, the same whatever the page shows, so that a
// live page keeps its look when its body is replaced; and the live board's script.
void pageStart(OutputSink& out, const Words& words, std::string_view title, bool live,
               std::string_view cardUrl = std::string_view()) {
    out.put("<!DOCTYPE html>\n<html lang=\"");
    out.put(words.code());
    out.put("\">\n<head>\n<meta charset=\"utf-8\">\n"
            "<meta name=\"viewport\" content=\"width=device-width, initial-scale=1\">\n<title>");
    out.put(title);
    out.put("</title>\n");
    if (!cardUrl.empty()) {
        // A chat shows the card under a link to the page.
        out.put("<meta property=\"og:title\" content=\"");
        out.put(escapeHtml(std::string(title)));
        out.put("\">\n<meta property=\"og:type\" content=\"website\">\n"
                "<meta property=\"og:image\" content=\"");
        out.put(escapeHtml(std::string(cardUrl)));
        out.put("\">\n<meta property=\"og:image:width\" content=\"1200\">\n"
                "<meta name=\"twitter:card\" content=\"summary_large_image\">\n");
    }
    out.put("<style>");
    out.put(htmlPageStyle(words.code()));
    out.put("</style>\n");
    if (live) {
        out.put(liveScriptElement());
    }
    out.put("</head>\n<body>\n");
}

// The live board's line: `said` (HTML), and what is wrong until mended. The script turns the
// line into the offline note when the board stops; the time of the run is kept for it.
void liveStatus(OutputSink& out, const LivePageParts& live, const std::string& said) {
    out.put("<div id=\"live\" data-run=\"");
    out.putNumber(static_cast<long long>(live.run));
    out.put("\" data-changed=\"");
    out.put(escapeHtml(live.changedAt));
    out.put("\" role=\"status\">\n<p class=\"when\">");
    out.put(said);
    out.put("</p>\n");
    for (const std::string& problem : live.problems) {
        out.put("<p class=\"attention\">");
        out.put(escapeHtml(problem));
        out.put("</p>\n");
    }
    out.put("</div>\n");
}

class HtmlRenderer {
  public:
    HtmlRenderer(const RunResults& run, OutputSink& out, const LivePageParts* live,
                 std::string_view cardUrl)
        : run_(run), model_(run.ranking), season_(run.season), out_(out), live_(live),
          cardUrl_(cardUrl), words_(run.ranking.league.language) {}

    void head() {
        const std::string when = words_.runTime(model_.time);
        pageStart(out_, words_, words_.say(Word::PageTitle, {{"time", when}}), live_ != nullptr,
                  cardUrl_);
        out_.put("<header>\n<h1>");
        out_.put(words_[Word::PageHeading]);
        out_.put("</h1>\n<p class=\"when\">");
        out_.put(words_.say(Word::RankingAt, {{"time", when}}));
        out_.put("</p>\n");
        if (live_ != nullptr) {
            liveStatus(out_, *live_,
                       words_.say(Word::LiveChanged, {{"time", escapeHtml(live_->changedAt)},
                                                      {"run", std::to_string(live_->run)}}));
        }
        renderCheckSummary(run_, out_);
        navigation();
        out_.put("</header>\n<main>\n");
    }

    // What changed since the board's first run: arrivals, broken records and the biggest moves.
    void tonight() {
        if (live_ == nullptr) {
            return;
        }
        const Tonight& since = live_->tonight;
        out_.put("<section id=\"tonight\">\n<h2>" + std::string(words_[Word::Tonight]) + "</h2>\n");
        if (!since.changed) {
            out_.put("<p>" + std::string(words_[Word::TonightNothing]) + "</p>\n</section>\n");
            return;
        }
        if (since.arrivals.empty() && since.records.empty() && since.moves.empty()) {
            out_.put("<p>" + std::string(words_[Word::TonightNone]) + "</p>\n");
        }
        if (!since.arrivals.empty()) {
            htmlTable(out_, "class=\"arrivals\"", words_[Word::Arrived],
                      {{words_[Word::ColAt]}, {words_[Word::ColCode]}, {words_[Word::ColName]}},
                      since.arrivals.size(), [&] {
                          for (const Arrival& arrival : since.arrivals) {
                              out_.put("<tr>");
                              cell(escapeHtml(arrival.at));
                              cell(escapeHtml(arrival.driver.code));
                              cell(escapeHtml(arrival.driver.name));
                              out_.put("</tr>\n");
                          }
                      });
        }
        if (!since.records.empty()) {
            htmlTable(out_, "class=\"records\"", words_[Word::RecordsBroken],
                      {{words_[Word::ColEvent]},
                       {words_[Word::ColTime], "n"},
                       {words_[Word::ColHolder]},
                       {words_[Word::ColBeat]}},
                      since.records.size(), [&] {
                          for (const BrokenRecord& record : since.records) {
                              out_.put("<tr>");
                              cell(escapeHtml(record.eventTitle));
                              htmlTimeCell(out_, record.time, "", words_.decimal());
                              cell(escapeHtml(record.holder.name));
                              out_.put("<td>");
                              if (record.hadRecord) {
                                  htmlTime(out_, record.beatenTime, words_.decimal());
                                  out_.put(" " + escapeHtml(record.beatenHolder.name));
                              } else {
                                  out_.put(words_[Word::FirstTime]);
                              }
                              out_.put("</td>");
                              out_.put("</tr>\n");
                          }
                      });
        }
        if (!since.moves.empty()) {
            htmlTable(out_, "class=\"moves\"", words_[Word::BiggestMoves],
                      {{words_[Word::ColMove], "n"},
                       {words_[Word::ColCode]},
                       {words_[Word::ColName]},
                       {words_[Word::ColPlace], "n"}},
                      since.moves.size(), [&] {
                          for (const TonightMove& move : since.moves) {
                              const int32_t places = move.places();
                              out_.put("<tr>");
                              out_.put("<td class=\"n\">");
                              out_.put(places > 0 ? "\xE2\x96\xB2"
                                                  : "\xE2\x96\xBC"); // U+25B2, U+25BC
                              out_.putNumber(std::abs(static_cast<long long>(places)));
                              out_.put("</td>");
                              cell(escapeHtml(move.driver.code));
                              cell(escapeHtml(move.driver.name));
                              out_.put("<td class=\"n\">");
                              out_.putNumber(move.from);
                              out_.put(" \xE2\x86\x92 "); // U+2192
                              out_.putNumber(move.to);
                              out_.put("</td></tr>\n");
                          }
                      });
        }
        out_.put("</section>\n");
    }

    void standings() {
        out_.put("<section id=\"drivers\">\n<h2>" + std::string(words_[Word::DriversHeading]) +
                 "</h2>\n");
        std::vector<HtmlColumn> columns = {{words_[Word::ColPlace], "n"},
                                           {words_[Word::ColCode]},
                                           {words_[Word::ColName]},
                                           {words_[Word::ColPoints], "n"}};
        if (!model_.teamOf.empty()) {
            columns.insert(columns.begin() + 3, {words_[Word::ColTeam]});
        }
        if (season_ != nullptr) {
            columns.push_back({words_[Word::ColMove], HtmlMoveColumn.cls});
        }
        out_.put("<div class=\"standings\">\n");
        htmlTable(out_, "id=\"standings\"", "", columns, model_.standings.size(), [&] {
            for (size_t i = 0; i < model_.standings.size(); ++i) {
                const Standing& standing = model_.standings[i];
                const RankedParticipant& p = participant(standing.participantIndex);
                out_.put("<tr>");
                number(standing.place);
                cell(escapeHtml(p.code));
                cell("<a href=\"#" + driverSectionId(standing.participantIndex) + "\">" +
                     escapeHtml(p.name) + "</a>");
                if (!model_.teamOf.empty()) {
                    cell(htmlTeamName(model_, standing.participantIndex));
                }
                htmlStandingPointsCell(out_, standing);
                if (season_ != nullptr) {
                    htmlMoveCell(out_, *season_, i, words_);
                }
                out_.put("</tr>\n");
            }
        });
        chart();
        out_.put("</div>\n</section>\n");
    }

    // Every listing, folded by rally and the arcade events together.
    void listings() {
        if (model_.stages.empty() && model_.arcade.empty()) {
            return;
        }
        out_.put("<section id=\"listings\">\n<h2>" + std::string(words_[Word::ListingsHeading]) +
                 "</h2>\n");
        for (auto next = model_.stages.begin(); next != model_.stages.end();) {
            const int rally = next->event->rally;
            const auto end = std::find_if(next, model_.stages.end(), [rally](const auto& l) {
                return l.event->rally != rally;
            });
            const auto stages = static_cast<size_t>(end - next);
            htmlFoldStart(out_, "rally",
                          words_.count(Counted::RallyStages, stages,
                                       {{"rally", escapeHtml(rallyNames[rally])}}),
                          "rally-" + std::to_string(rally + 1));
            for (; next != end; ++next) {
                listing(*next, words_.say(Word::StageTitle,
                                          {{"n", std::to_string(next->event->index + 1)}}));
            }
            htmlFoldEnd(out_);
        }
        if (!model_.arcade.empty()) {
            htmlFoldStart(out_, "rally", words_.count(Counted::ArcadeEvents, model_.arcade.size()),
                          "arcade");
            for (const EventListing& listed : model_.arcade) {
                listing(listed, arcadeNames[listed.event->index]);
            }
            htmlFoldEnd(out_);
        }
        out_.put("</section>\n");
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
        out_.put("<nav><a href=\"#drivers\">" + std::string(words_[Word::NavDrivers]) +
                 "</a>\n<a href=\"#points\">" + std::string(words_[Word::PointsHeading]) + "</a>");
        htmlLeagueNavigation(run_, out_);
        if (season_ != nullptr) {
            htmlSeasonNavigation(*season_, words_, out_);
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
            out_.put("\n<a href=\"#arcade\">" + std::string(words_[Word::Arcade]) + "</a>");
        }
        htmlClassNavigation(model_, out_);
        if (!model_.standings.empty()) {
            out_.put("\n<a href=\"#results\">" + std::string(words_[Word::ResultsHeading]) +
                     "</a>");
        }
        out_.put("\n<a href=\"#checks\">" + std::string(words_[Word::ChecksHeading]) + "</a>");
        if (!model_.league.decisions.empty()) {
            out_.put("\n<a href=\"#decisions\">" + std::string(words_[Word::DecisionsHeading]) +
                     "</a>");
        }
        out_.put("</nav>\n");
    }

    void cell(std::string_view html) { htmlCell(out_, html); }
    void number(long long value) { htmlNumberCell(out_, value); }

    void listing(const EventListing& listed, const std::string& title) {
        const std::vector<HtmlColumn> columns = {
            {words_[Word::ColPlace], "n"},   {words_[Word::ColCode]},
            {words_[Word::ColName]},         {words_[Word::ColVehicle]},
            {words_[Word::ColTransmission]}, {words_[Word::ColTime], "n"},
            {words_[Word::ColGap], "n"}};
        htmlTable(out_, "class=\"listing\" data-event=\"" + listed.event->key() + "\"",
                  escapeHtml(title), columns, listed.results.size(), [&] {
                      for (size_t k = 0; k < listed.results.size(); ++k) {
                          const ListedResult& result = listed.results[k];
                          const RankedParticipant& p = participant(result.participantIndex);
                          out_.put("<tr>");
                          number(static_cast<long long>(k + 1));
                          cell(escapeHtml(p.code));
                          const std::string vehicle = escapeHtml(vehicleName(result.vehicle));
                          const char* transmission = transmissionLabel(result.vehicle);
                          // The vehicle again under the name, for a screen too narrow for
                          // its own columns.
                          cell(escapeHtml(p.name) + "<span class=\"also\">" + vehicle + ", " +
                               transmission + "</span>");
                          cell(vehicle);
                          cell(transmission);
                          htmlDecidedTimeCell(out_, model_, result.participantIndex, *listed.event,
                                              result.time, words_);
                          if (k > 0) {
                              htmlTimeCell(out_, result.gap, "+", words_.decimal());
                          } else {
                              out_.put("<td class=\"n\"></td>");
                          }
                          out_.put("</tr>\n");
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
        const std::string label =
            escapeHtml(words_.say(Word::ChartLabel, {{"n", std::to_string(drivers)}}));
        std::snprintf(text, sizeof text, "<figure>\n<svg viewBox=\"0 0 %d %d\" role=\"img\" ",
                      width, static_cast<int>(drivers) * rowHeight + 8);
        out_.put(text);
        out_.put("aria-label=\"" + label + "\">\n<title>" + label + "</title>\n");
        for (size_t i = 0; i < drivers; ++i) {
            const Standing& standing = model_.standings[i];
            int top = static_cast<int>(i) * rowHeight;
            long long length = most > 0 ? standing.points * barLength / most : 0;
            length = length < 2 ? 2 : length;
            std::snprintf(text, sizeof text, "<text x=\"0\" y=\"%d\">%d. ", top + 14,
                          static_cast<int>(standing.place));
            out_.put(text);
            const RankedParticipant& p = participant(standing.participantIndex);
            out_.put(escapeHtml(p.name));
            if (nameShared(model_, standing.participantIndex)) {
                out_.put(" (" + escapeHtml(p.code) + ")");
            }
            std::snprintf(text, sizeof text,
                          "</text><rect x=\"0\" y=\"%d\" width=\"%lld\" height=\"11\" rx=\"2\"/>"
                          "<text x=\"%lld\" y=\"%d\">%d</text>\n",
                          top + 19, length, length + 6, top + 29, standing.points);
            out_.put(text);
        }
        out_.put("</svg>\n</figure>\n");
    }

    const RunResults& run_;
    const RankingModel& model_;
    const SeasonChanges* season_;
    OutputSink& out_;
    const LivePageParts* live_;
    std::string_view cardUrl_;
    const Words words_;
};

} // namespace

std::string htmlPageStyle(std::string_view language) {
    std::string style = std::string(Style) + DriverStyle + DarkStyle;
    if (language != DefaultLanguage) {
        style += LongWordsStyle;
    }
    return style;
}

void renderHtml(const RunResults& run, OutputSink& out, const LivePageParts* live,
                std::string_view cardUrl) {
    HtmlRenderer renderer(run, out, live, cardUrl);
    renderer.head();
    renderer.tonight();
    renderer.standings();
    renderPointsGrid(run.ranking, out);
    renderTeams(run.ranking, out);
    renderHeadToHead(run.ranking, out);
    renderAllTime(run, out);
    if (run.season != nullptr) {
        htmlSeasonSections(run.ranking, *run.season, out);
    }
    renderer.listings();
    renderClassSections(run.ranking, run.season, out);
    renderDriverSections(run.ranking, out);
    renderChecks(run, out);
    renderDecisions(run.ranking, out);
    renderer.tail();
}

void renderWaitingHtml(const LivePageParts& live, OutputSink& out) {
    const Words words(live.language);
    pageStart(out, words, words[Word::PageTitleWaiting], true);
    out.put("<header>\n<h1>" + std::string(words[Word::PageHeading]) + "</h1>\n");
    liveStatus(out, live, std::string(words[Word::LiveWaiting]));
    out.put("</header>\n<main>\n</main>\n</body>\n</html>\n");
}

void renderHtml(const RunResults& run, OutputSink& out) {
    renderHtml(run, out, nullptr);
}

std::string renderHtml(const RunResults& run) {
    StringSink out;
    renderHtml(run, out);
    return out.take();
}

} // namespace kvr
