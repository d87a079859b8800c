#include "report/html_drivers.h"

#include "data/text.h"
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

// A sum of times, which may pass what a stored time can hold, as "mm:ss.hh".
void putLongTime(OutputSink& out, uint64_t hundredths) {
    char text[48];
    int length = std::snprintf(
        text, sizeof text, "%02llu:%02u.%02u", static_cast<unsigned long long>(hundredths / 6000),
        static_cast<unsigned>(hundredths / 100 % 60), static_cast<unsigned>(hundredths % 100));
    out.put(std::string_view(text, static_cast<size_t>(length)));
}

void numberHeader(OutputSink& out, const char* text) {
    out.put("<th class=\"n\">");
    out.put(escapeHtml(text));
    out.put("</th>");
}

void header(OutputSink& out, const char* text) {
    out.put("<th>");
    out.put(escapeHtml(text));
    out.put("</th>");
}

// A table with its header; no body when there are no rows, as an empty one is a fault to
// some checkers.
template <typename Rows>
void table(OutputSink& out, const std::string& attributes, size_t rows, Rows writeRows,
           const char* const* headers, const bool* numeric, size_t columns) {
    out.put("<div class=\"scroll\"><table " + attributes + ">\n<thead><tr>");
    for (size_t c = 0; c < columns; ++c) {
        (numeric[c] ? numberHeader : header)(out, headers[c]);
    }
    out.put("</tr></thead>\n");
    if (rows > 0) {
        out.put("<tbody>\n");
        writeRows();
        out.put("</tbody>\n");
    }
    out.put("</table></div>\n");
}

void timeCell(OutputSink& out, uint32_t time, const char* prefix = "") {
    out.put("<td class=\"n\">");
    out.put(prefix);
    out.putTime(time);
    out.put("</td>");
}

void driverLink(OutputSink& out, const RankingModel& model, int32_t index) {
    out.put("<td><a href=\"#" + driverSectionId(index) + "\">");
    out.put(gameTextHtml(model.participants[static_cast<size_t>(index)].name));
    out.put("</a></td>");
}

} // namespace

void renderPointsGrid(const RankingModel& model, OutputSink& out) {
    out.put("<section id=\"points\">\n<h2>Points by Rally</h2>\n");
    const char* headers[3 + RallyCount + 2];
    bool numeric[3 + RallyCount + 2] = {};
    size_t columns = 0;
    numeric[columns] = true;
    headers[columns++] = "Place";
    headers[columns++] = "Code";
    headers[columns++] = "Name";
    for (const char* rally : rallyNames) {
        numeric[columns] = true;
        headers[columns++] = rally;
    }
    numeric[columns] = true;
    headers[columns++] = "Arcade";
    numeric[columns] = true;
    headers[columns++] = "Total";
    table(
        out, "id=\"points-grid\"", model.standings.size(),
        [&] {
            for (size_t s = 0; s < model.standings.size(); ++s) {
                const Standing& standing = model.standings[s];
                const DriverSummary& driver = model.drivers[s];
                out.put("<tr>");
                htmlNumberCell(out, standing.place);
                htmlCell(
                    out,
                    gameTextHtml(
                        model.participants[static_cast<size_t>(standing.participantIndex)].code));
                driverLink(out, model, standing.participantIndex);
                for (int points : driver.rallyPoints) {
                    htmlNumberCell(out, points);
                }
                htmlNumberCell(out, driver.arcadePoints);
                htmlNumberCell(out, standing.points);
                out.put("</tr>\n");
            }
        },
        headers, numeric, columns);
    out.put("</section>\n");
}

void renderDriverSections(const RankingModel& model, OutputSink& out) {
    if (model.standings.empty()) {
        return;
    }
    out.put("<section id=\"results\">\n<h2>Drivers' Results</h2>\n");
    static const char* const headers[] = {"Event", "Time", "Place", "Gap", "Points"};
    static const bool numeric[] = {false, true, true, true, true};
    char text[160];
    for (size_t s = 0; s < model.standings.size(); ++s) {
        const Standing& standing = model.standings[s];
        const DriverSummary& driver = model.drivers[s];
        const RankedParticipant& p =
            model.participants[static_cast<size_t>(standing.participantIndex)];
        out.put("<section id=\"" + driverSectionId(standing.participantIndex) +
                "\" class=\"driver\">\n<h3>");
        out.putNumber(standing.place);
        out.put(". ");
        out.put(gameTextHtml(p.name));
        out.put(" (");
        out.put(gameTextHtml(p.code));
        std::snprintf(
            text, sizeof text, ")</h3>\n<p>Place %d with %d points, %d %s, %d %s; time to gain ",
            standing.place, standing.points, driver.wins, driver.wins == 1 ? "win" : "wins",
            driver.podiums, driver.podiums == 1 ? "podium" : "podiums");
        out.put(text);
        putLongTime(out, driver.timeToGain);
        out.put(".</p>\n");
        table(
            out, "class=\"driver-results\"", driver.results.size(),
            [&] {
                for (const DriverResult& r : driver.results) {
                    out.put("<tr>");
                    htmlCell(out, escapeHtml(eventTitle(r.rally, r.event)));
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
            },
            headers, numeric, sizeof numeric);
        out.put("</section>\n");
    }
    out.put("</section>\n");
}

void renderChecks(const RankingModel& model, OutputSink& out) {
    out.put("<section id=\"checks\">\n<h2>Checks</h2>\n<p class=\"checks-note\">Checks only "
            "point to files worth a second look: they change nothing in the ranking, the "
            "report or the records.</p>\n");

    static const char* const duplicateHeaders[] = {"Code", "Name", "Files"};
    static const bool duplicateNumeric[] = {false, false, false};
    out.put("<h3>Same code and name in more than one file</h3>\n");
    table(
        out, "id=\"duplicates\"", model.checks.duplicates.size(),
        [&] {
            for (const std::vector<int32_t>& group : model.checks.duplicates) {
                const RankedParticipant& first =
                    model.participants[static_cast<size_t>(group.front())];
                out.put("<tr>");
                htmlCell(out, gameTextHtml(first.code));
                htmlCell(out, gameTextHtml(first.name));
                std::string files;
                for (int32_t index : group) {
                    files += files.empty() ? "" : ", ";
                    files += validUtf8(model.participants[static_cast<size_t>(index)].file);
                }
                htmlCell(out, escapeHtml(files));
                out.put("</tr>\n");
            }
        },
        duplicateHeaders, duplicateNumeric, 3);

    static const char* const outlierHeaders[] = {"Event", "Code", "Name",
                                                 "File",  "Time", "Second's time"};
    static const bool outlierNumeric[] = {false, false, false, false, true, true};
    out.put("<h3>Place 1 faster than 80% of place 2</h3>\n");
    table(
        out, "id=\"outliers\"", model.checks.outliers.size(),
        [&] {
            for (const Outlier& outlier : model.checks.outliers) {
                const RankedParticipant& p =
                    model.participants[static_cast<size_t>(outlier.participantIndex)];
                out.put("<tr>");
                htmlCell(out, escapeHtml(eventTitle(outlier.rally, outlier.event)));
                htmlCell(out, gameTextHtml(p.code));
                htmlCell(out, gameTextHtml(p.name));
                htmlCell(out, escapeHtml(validUtf8(p.file)));
                timeCell(out, outlier.time);
                timeCell(out, outlier.secondTime);
                out.put("</tr>\n");
            }
        },
        outlierHeaders, outlierNumeric, 6);
    out.put("</section>\n");
}

} // namespace kvr
