#include "report/html_drivers.h"

#include "report/html_classes.h"
#include "report/html_text.h"

#include <cstdio>

namespace kvr {

const char* const DriverStyle =
    ".driver{margin:0 0 1.5rem}"
    "h3{font-size:1.05rem;margin:1.25rem 0 .25rem}"
    ".driver p,.checks-note{margin:0 0 .5rem}"
    // Thirteen columns: headers may wrap, names may not.
    "#points-grid th,#points-grid td{padding:.2rem .4rem}#points-grid th{white-space:normal}"
    "#points-grid td:nth-child(3){white-space:nowrap}";

std::string driverSectionId(int32_t participantIndex) {
    return "driver-" + std::to_string(participantIndex + 1);
}

namespace {

const RankedParticipant& participant(const RankingModel& model, int32_t index) {
    return model.participants[static_cast<size_t>(index)];
}

void timeCell(OutputSink& out, uint64_t time, const char* prefix = "") {
    out.put("<td class=\"n\">");
    out.put(prefix);
    out.putTime(time);
    out.put("</td>");
}

void driverLink(OutputSink& out, const RankingModel& model, int32_t index) {
    out.put("<td><a href=\"#" + driverSectionId(index) + "\">");
    out.put(escapeHtml(participant(model, index).name));
    out.put("</a></td>");
}

} // namespace

void renderPointsGrid(const RankingModel& model, OutputSink& out) {
    out.put("<section id=\"points\">\n<h2>Points by Rally</h2>\n");
    std::vector<HtmlColumn> columns = {{"Place", "n"}, {"Code"}, {"Name"}};
    for (const char* rally : rallyNames) {
        columns.push_back({rally, "n"});
    }
    columns.push_back({"Arcade", "n"});
    columns.push_back({"Total", "n"});
    htmlTable(out, "id=\"points-grid\"", "", columns, model.standings.size(), [&] {
        for (size_t s = 0; s < model.standings.size(); ++s) {
            const Standing& standing = model.standings[s];
            const DriverSummary& driver = model.drivers[s];
            out.put("<tr>");
            htmlNumberCell(out, standing.place);
            htmlCell(out, escapeHtml(participant(model, standing.participantIndex).code));
            driverLink(out, model, standing.participantIndex);
            for (int r = 0; r < RallyCount; ++r) {
                const int points = driver.rallyPoints[r];
                if (points > 0 && (standing.countedRallies >> r & 1u) == 0) {
                    out.put("<td class=\"n\"><s>"); // a rally that does not count
                    out.putNumber(points);
                    out.put("</s></td>");
                } else {
                    htmlNumberCell(out, points);
                }
            }
            htmlNumberCell(out, driver.arcadePoints);
            htmlNumberCell(out, standing.points);
            out.put("</tr>\n");
        }
    });
    htmlCountedRalliesNote(model, out);
    out.put("</section>\n");
}

void renderDriverSections(const RankingModel& model, OutputSink& out) {
    if (model.standings.empty()) {
        return;
    }
    out.put("<section id=\"results\">\n<h2>Drivers' Results</h2>\n");
    static const std::vector<HtmlColumn> columns = {
        {"Event"}, {"Time", "n"}, {"Place", "n"}, {"Gap", "n"}, {"Points", "n"}};
    char text[160];
    for (size_t s = 0; s < model.standings.size(); ++s) {
        const Standing& standing = model.standings[s];
        const DriverSummary& driver = model.drivers[s];
        const RankedParticipant& p = participant(model, standing.participantIndex);
        out.put("<section id=\"" + driverSectionId(standing.participantIndex) +
                "\" class=\"driver\">\n<h3>");
        out.putNumber(standing.place);
        out.put(". ");
        out.put(escapeHtml(p.name));
        out.put(" (");
        out.put(escapeHtml(p.code));
        std::snprintf(
            text, sizeof text, ")</h3>\n<p>Place %d with %d points, %d %s, %d %s; time to gain ",
            standing.place, standing.points, driver.wins, driver.wins == 1 ? "win" : "wins",
            driver.podiums, driver.podiums == 1 ? "podium" : "podiums");
        out.put(text);
        out.putTime(driver.timeToGain);
        out.put(".</p>\n");
        htmlTable(out, "class=\"driver-results\"", "", columns, driver.results.size(), [&] {
            for (const DriverResult& r : driver.results) {
                out.put("<tr>");
                htmlCell(out, escapeHtml(r.event->title()));
                timeCell(out, r.time);
                std::snprintf(text, sizeof text, "<td class=\"n\">%d/%d</td>", r.placeInField,
                              r.field);
                out.put(text);
                if (r.gap == 0) {
                    out.put("<td class=\"n\"></td>");
                } else {
                    timeCell(out, r.gap, "+");
                }
                htmlNumberCell(out, r.points);
                out.put("</tr>\n");
            }
        });
        out.put("</section>\n");
    }
    out.put("</section>\n");
}

void renderChecks(const RankingModel& model, OutputSink& out) {
    out.put("<section id=\"checks\">\n<h2>Checks</h2>\n<p class=\"checks-note\">Checks only "
            "point to files worth a second look: they change nothing in the ranking, the "
            "report or the records.</p>\n");

    out.put("<h3>Same code and name in more than one file</h3>\n");
    htmlTable(out, "id=\"duplicates\"", "", {{"Code"}, {"Name"}, {"Files"}},
              model.checks.duplicates.size(), [&] {
                  for (const std::vector<int32_t>& group : model.checks.duplicates) {
                      const RankedParticipant& first = participant(model, group.front());
                      out.put("<tr>");
                      htmlCell(out, escapeHtml(first.code));
                      htmlCell(out, escapeHtml(first.name));
                      std::string files;
                      for (int32_t index : group) {
                          files += files.empty() ? "" : ", ";
                          files += participant(model, index).file;
                      }
                      htmlCell(out, escapeHtml(files));
                      out.put("</tr>\n");
                  }
              });

    out.put("<h3>Place 1 faster than 80% of place 2</h3>\n");
    htmlTable(out, "id=\"outliers\"", "",
              {{"Event"}, {"Code"}, {"Name"}, {"File"}, {"Time", "n"}, {"Second's time", "n"}},
              model.checks.outliers.size(), [&] {
                  for (const Outlier& outlier : model.checks.outliers) {
                      const RankedParticipant& p = participant(model, outlier.participantIndex);
                      out.put("<tr>");
                      htmlCell(out, escapeHtml(outlier.event->title()));
                      htmlCell(out, escapeHtml(p.code));
                      htmlCell(out, escapeHtml(p.name));
                      htmlCell(out, escapeHtml(p.file));
                      timeCell(out, outlier.time);
                      timeCell(out, outlier.secondTime);
                      out.put("</tr>\n");
                  }
              });
    out.put("</section>\n");
}

} // namespace kvr
