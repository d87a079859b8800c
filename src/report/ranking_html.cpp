#include "report/ranking_html.h"

#include "report/html_classes.h"
#include "report/html_decisions.h"
#include "report/html_drivers.h"
#include "report/html_head.h"
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
                                                      {"run", std::to_string(live_->run)}}),
                       words_);
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
    liveStatus(out, live, std::string(words[Word::LiveWaiting]), words);
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
