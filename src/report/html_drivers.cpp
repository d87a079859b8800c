#include "report/html_drivers.h"

#include "report/html_classes.h"
#include "report/html_decisions.h"
#include "report/html_league.h"
#include "report/html_text.h"

#include <algorithm>
#include <cstdio>

namespace kvr {

const char* const DriverStyle =
    "h3{font-size:1.05rem;margin:1.25rem 0 .25rem}"
    ".driver p,.checks-note{margin:0 0 .5rem}"
    // Thirteen columns: headers may wrap, names may not.
    "#points-grid th,#points-grid td{padding:.2rem .4rem}#points-grid th{white-space:normal}"
    "#points-grid td:nth-child(3){white-space:nowrap}"
    ".class-grid th,.class-grid td{padding:.2rem .4rem}.class-grid th{white-space:normal}"
    ".class-grid td:nth-child(3){white-space:nowrap}"
    // The Teams table: its headers wrap and its members wrap within a width of their own, so
    // that the whole table fits the page beside its eleven columns of numbers.
    "#team-standings th,#team-standings td{padding:.2rem .4rem}#team-standings "
    "th{white-space:normal}"
    "#team-standings td:last-child{min-width:9rem;white-space:normal}"
    // A result under review, and the decision ready to copy beside it.
    ".flag{color:#b8321f;white-space:nowrap}"
    ".ready pre{margin:.25rem 0;font-size:.85rem;white-space:pre-wrap}"
    "@media screen and (prefers-color-scheme:dark){.flag{color:#ff8a75}}"
    // On a phone a flag takes a line of its own under what it flags, and a check's decision,
    // ready to paste, a row of its own under the check's other cells.
    "@media screen and (max-width:40rem){.flag{display:block;white-space:normal;font-size:.85rem}"
    // A phone shows a team's total, not its rallies and arcade, so that its members fit.
    "#team-standings th:nth-child(n+4):nth-child(-n+12),"
    "#team-standings td:nth-child(n+4):nth-child(-n+12){display:none}"
    "#team-standings td:last-child{min-width:0}"
    ".ready pre{font-size:.8rem;overflow-wrap:anywhere}"
    "#outliers tr{display:grid;grid-template-columns:1.1fr 1.3fr 1fr .9fr .9fr}"
    "#duplicates tr,#implausible tr{display:grid;grid-template-columns:.7fr 1.3fr 1.4fr}"
    "#outliers tr>:nth-child(6),#duplicates tr>:nth-child(4),#implausible tr>:nth-child(4)"
    "{grid-column:1/-1}"
    "#outliers th:nth-child(6),#duplicates th:nth-child(4),#implausible th:nth-child(4)"
    "{display:none}}"
    // On a phone each decision is a block: number and date, then a line for each field.
    "@media screen and (max-width:36rem){#decision-table thead{position:absolute;left:-9999px}"
    "#decision-table tr{display:grid;grid-template-columns:auto 1fr;padding:.3rem 0}"
    "#decision-table td{display:block;border:0;padding:.05rem .4rem}"
    "#decision-table td:empty{display:none}#decision-table td:nth-child(n+3){grid-column:1/-1}}";

std::string driverSectionId(int32_t participantIndex) {
    return "driver-" + std::to_string(participantIndex + 1);
}

namespace {

const RankedParticipant& participant(const RankingModel& model, int32_t index) {
    return model.participants[static_cast<size_t>(index)];
}

void driverLink(OutputSink& out, const RankingModel& model, int32_t index) {
    out.put("<td><a href=\"#" + driverSectionId(index) + "\">");
    out.put(escapeHtml(participant(model, index).name));
    out.put("</a></td>");
}

// " 12 points behind Bruno Marin (BM), 8 ahead of Cyril Berger (CBE)." with links to both.
void rivals(OutputSink& out, const RankingModel& model, const DriverSummary& driver) {
    if (!driver.ahead && !driver.behind) {
        return;
    }
    auto who = [&](const Rival& rival) {
        const RankedParticipant& p = participant(model, rival.participantIndex);
        return "<a href=\"#" + driverSectionId(rival.participantIndex) + "\">" +
               escapeHtml(p.name) + " (" + escapeHtml(p.code) + ")</a>";
    };
    auto points = [](int count) {
        return countText(static_cast<size_t>(count), "point", "points") + " ";
    };
    out.put(" ");
    if (driver.ahead) {
        out.put(points(driver.ahead->pointsApart) + "behind " + who(*driver.ahead));
    }
    if (driver.behind) {
        out.put(driver.ahead ? ", " + std::to_string(driver.behind->pointsApart) + " ahead of "
                             : points(driver.behind->pointsApart) + "ahead of ");
        out.put(who(*driver.behind));
    }
    out.put(".");
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
            htmlRallyPointsCells(out, driver.rallyPoints, standing.countedRallies);
            htmlNumberCell(out, driver.arcadePoints);
            htmlStandingPointsCell(out, standing);
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
        {"Event"},      {"Time", "n"}, {"Place", "n"}, {"Gap", "n"}, {"To gain a place", "n"},
        {"Points", "n"}};
    char text[160];
    for (size_t s = 0; s < model.standings.size(); ++s) {
        const Standing& standing = model.standings[s];
        const DriverSummary& driver = model.drivers[s];
        const RankedParticipant& p = participant(model, standing.participantIndex);
        std::snprintf(text, sizeof text, "%d. ", standing.place);
        const std::string who = text + escapeHtml(p.name) + " (" + escapeHtml(p.code) + ")";
        std::snprintf(text, sizeof text, ": %d %s, place %d", standing.points,
                      standing.points == 1 ? "point" : "points", standing.place);
        htmlFoldStart(out, "driver", who + text, driverSectionId(standing.participantIndex));
        std::snprintf(text, sizeof text, "<p>Place %d with %d points, %d %s, %d %s; time to gain ",
                      standing.place, standing.points, driver.wins,
                      driver.wins == 1 ? "win" : "wins", driver.podiums,
                      driver.podiums == 1 ? "podium" : "podiums");
        out.put(text);
        htmlTime(out, driver.timeToGain);
        out.put(".");
        rivals(out, model, driver);
        htmlClosestRival(model, s, out);
        out.put("</p>\n");
        htmlTable(
            out, "class=\"driver-results\"", "", columns, driver.results.size(),
            [&] {
                for (const DriverResult& r : driver.results) {
                    out.put("<tr>");
                    htmlCell(out, escapeHtml(r.event->title()));
                    htmlDecidedTimeCell(out, model, standing.participantIndex, *r.event, r.time);
                    std::snprintf(text, sizeof text, "<td class=\"n\">%d/%d</td>", r.placeInField,
                                  r.field);
                    out.put(text);
                    if (r.gap == 0) {
                        out.put("<td class=\"n\"></td>");
                    } else {
                        htmlTimeCell(out, r.gap, "+");
                    }
                    if (r.placeInField == 1) {
                        out.put("<td class=\"n\"></td>");
                    } else {
                        htmlTimeCell(out, r.toNextPlace, "-");
                    }
                    htmlNumberCell(out, r.points);
                    out.put("</tr>\n");
                }
            },
            who);
        htmlFoldEnd(out);
    }
    out.put("</section>\n");
}

namespace {

// One check of the checks section: its heading, where the summary's link leads, and the
// table of what it found.
enum class CheckKind { NotImported, Duplicates, Outliers, Implausible, History, Archive };

struct Check {
    CheckKind kind;
    const char* id;      // of the heading
    const char* tableId; // of the table
    std::string heading;
    std::string none; // the line shown when it found nothing
    size_t found;
    const char* one; // the summary's words after the count
    const char* many;
};

std::vector<Check> checksOf(const RunResults& run) {
    const Checks& checks = run.ranking.checks;
    const std::string outlierShare = std::to_string(OutlierPercent) + "%";
    std::vector<Check> list = {
        {CheckKind::NotImported, "check-not-imported", "not-imported", "Files not imported",
         "Every participant file was imported.", run.notImported.size(), "file not imported",
         "files not imported"},
        {CheckKind::Duplicates, "check-duplicates", "duplicates",
         "Same code and name in more than one file", "No two files have the same code and name.",
         checks.duplicates.size(), "duplicate", "duplicates"},
        {CheckKind::Outliers, "check-outliers", "outliers",
         "Place 1 faster than " + outlierShare + " of place 2",
         "No place 1 is faster than " + outlierShare + " of place 2.", checks.outliers.size(),
         "outlier", "outliers"},
        {CheckKind::Implausible, "check-implausible", "implausible",
         "Control bytes in a code or name, or a time of 10 hours or more",
         "No file has a control byte in its code or name, or a time of 10 hours or more.",
         checks.implausible.size(), "implausible file", "implausible files"},
    };
    if (run.season != nullptr) {
        list.push_back({CheckKind::History, "check-history", "skipped-lines",
                        "History lines that are not runs", "Every line of the history is a run.",
                        run.season->skippedLines.size(), "history line skipped",
                        "history lines skipped"});
    }
    if (run.allTime != nullptr) {
        list.push_back({CheckKind::Archive, "check-archive", "unread-seasons",
                        "Earlier seasons not read", "Every earlier season was read.",
                        run.allTime->unread.size(), "season not read", "seasons not read"});
    }
    return list;
}

} // namespace

void renderCheckSummary(const RunResults& run, OutputSink& out) {
    std::vector<Check> checks = checksOf(run);
    const size_t decisions = run.ranking.league.decisions.size();
    if (decisions == 0 &&
        std::all_of(checks.begin(), checks.end(), [](const Check& c) { return c.found == 0; })) {
        return;
    }
    if (decisions > 0) {
        // Not a check, but counted and linked like one: only the summary's fields matter.
        checks.push_back(
            {CheckKind::History, "decisions", "", "", "", decisions, "decision", "decisions"});
    }
    // Only what is there: a count of nothing is no news.
    checks.erase(
        std::remove_if(checks.begin(), checks.end(), [](const Check& c) { return c.found == 0; }),
        checks.end());
    out.put("<p class=\"attention\">");
    for (size_t i = 0; i < checks.size(); ++i) {
        const Check& check = checks[i];
        out.put(i == 0 ? "<a href=\"#" : " \xC2\xB7 <a href=\"#"); // U+00B7 between
        out.put(check.id);
        out.put("\">");
        out.put(countText(check.found, check.one, check.many));
        out.put("</a>");
    }
    out.put("</p>\n");
}

namespace {

void notImportedTable(const RunResults& run, const Check& check, const std::string& attributes,
                      OutputSink& out) {
    htmlTable(out, attributes, "", {{"File"}, {"Reason"}}, check.found, [&] {
        for (const NotImported& file : run.notImported) {
            out.put("<tr>");
            htmlCell(out, fileNameHtml(file.file));
            htmlCell(out, escapeHtml(file.reason));
            out.put("</tr>\n");
        }
    });
}

// The decision that covers entry `check` of a kind of check, or what is under review there with
// the decisions ready to paste.
void checkDecisionCell(OutputSink& out, const RankingModel& model, int decision, ReviewKind kind,
                       size_t check) {
    std::vector<size_t> items;
    for (size_t i = 0; i < model.checks.underReview.size(); ++i) {
        const ReviewItem& item = model.checks.underReview[i];
        if (item.kind == kind && item.check == check) {
            items.push_back(i);
        }
    }
    if (decision != 0 || items.empty()) {
        htmlCheckDecisionCell(out, decision);
    } else {
        htmlReviewCell(out, model, items);
    }
}

// With decisions or anything under review, a last column links the decision that acted on the
// files, or gives one ready to paste.
void duplicatesTable(const RankingModel& model, const Check& check, const std::string& attributes,
                     bool decided, OutputSink& out) {
    std::vector<HtmlColumn> columns = {{"Code"}, {"Name"}, {"Files"}};
    if (decided) {
        columns.push_back({"Decision"});
    }
    htmlTable(out, attributes, "", columns, check.found, [&] {
        for (size_t g = 0; g < model.checks.duplicates.size(); ++g) {
            const std::vector<int32_t>& group = model.checks.duplicates[g];
            const RankedParticipant& first = participant(model, group.front());
            out.put("<tr>");
            htmlCell(out, escapeHtml(first.code));
            htmlCell(out, escapeHtml(first.name));
            std::string files;
            for (int32_t index : group) {
                files += files.empty() ? "" : ", ";
                files += fileNameHtml(participant(model, index).file);
            }
            htmlCell(out, files);
            if (decided) {
                checkDecisionCell(out, model, model.checks.duplicateDecisions[g],
                                  ReviewKind::Duplicate, g);
            }
            out.put("</tr>\n");
        }
    });
}

void outliersTable(const RankingModel& model, const Check& check, const std::string& attributes,
                   bool decided, OutputSink& out) {
    std::vector<HtmlColumn> columns = {
        {"Event"}, {"Driver"}, {"File"}, {"Time", "n"}, {"Second's time", "n"}};
    if (decided) {
        columns.push_back({"Decision"});
    }
    htmlTable(out, attributes, "", columns, check.found, [&] {
        for (size_t k = 0; k < model.checks.outliers.size(); ++k) {
            const Outlier& outlier = model.checks.outliers[k];
            const RankedParticipant& p = participant(model, outlier.participantIndex);
            out.put("<tr>");
            htmlCell(out, escapeHtml(outlier.event->title()));
            htmlCell(out, escapeHtml(p.name) + " (" + escapeHtml(p.code) + ")");
            htmlCell(out, fileNameHtml(p.file));
            htmlTimeCell(out, outlier.time);
            htmlTimeCell(out, outlier.secondTime);
            if (decided) {
                checkDecisionCell(out, model, outlier.decision, ReviewKind::Outlier, k);
            }
            out.put("</tr>\n");
        }
    });
}

void implausibleTable(const RankingModel& model, const Check& check, const std::string& attributes,
                      bool decided, OutputSink& out) {
    std::vector<HtmlColumn> columns = {{"Driver"}, {"File"}, {"Found"}};
    if (decided) {
        columns.push_back({"Decision"});
    }
    htmlTable(out, attributes, "", columns, check.found, [&] {
        for (size_t k = 0; k < model.checks.implausible.size(); ++k) {
            const Implausible& file = model.checks.implausible[k];
            const RankedParticipant& p = participant(model, file.participantIndex);
            out.put("<tr>");
            htmlCell(out, escapeHtml(p.name) + " (" + escapeHtml(p.code) + ")");
            htmlCell(out, fileNameHtml(p.file));
            htmlCell(out, escapeHtml(implausibleWhat(file)));
            if (decided) {
                checkDecisionCell(out, model, file.decision, ReviewKind::Implausible, k);
            }
            out.put("</tr>\n");
        }
    });
}

void skippedLinesTable(const SeasonChanges& season, const Check& check,
                       const std::string& attributes, OutputSink& out) {
    htmlTable(out, attributes, "", {{"Line", "n"}, {"Reason"}}, check.found, [&] {
        for (const SkippedLine& line : season.skippedLines) {
            out.put("<tr>");
            htmlNumberCell(out, static_cast<long long>(line.line));
            htmlCell(out, escapeHtml(line.reason));
            out.put("</tr>\n");
        }
    });
}

} // namespace

void renderChecks(const RunResults& run, OutputSink& out) {
    const RankingModel& model = run.ranking;
    const bool decided = !model.league.decisions.empty() || !model.checks.underReview.empty();
    out.put("<section id=\"checks\">\n<h2>Checks</h2>\n<p class=\"checks-note\">Checks only "
            "point to files worth a second look: they change nothing in the ranking, the "
            "report or the records.</p>\n");
    for (const Check& check : checksOf(run)) {
        out.put("<h3 id=\"");
        out.put(check.id);
        out.put("\">");
        out.put(escapeHtml(check.heading));
        out.put("</h3>\n");
        if (check.found == 0) {
            out.put("<p class=\"note\">");
            out.put(escapeHtml(check.none));
            out.put("</p>\n");
            continue;
        }
        const std::string attributes = std::string("id=\"") + check.tableId + "\"";
        switch (check.kind) {
        case CheckKind::NotImported:
            notImportedTable(run, check, attributes, out);
            break;
        case CheckKind::Duplicates:
            duplicatesTable(model, check, attributes, decided, out);
            break;
        case CheckKind::Outliers:
            outliersTable(model, check, attributes, decided, out);
            break;
        case CheckKind::Implausible:
            implausibleTable(model, check, attributes, decided, out);
            break;
        case CheckKind::History:
            skippedLinesTable(*run.season, check, attributes, out);
            break;
        case CheckKind::Archive:
            htmlTable(out, attributes, "", {{"File"}, {"Reason"}}, check.found, [&] {
                for (const UnreadSeason& season : run.allTime->unread) {
                    out.put("<tr>");
                    htmlCell(out, fileNameHtml(season.file));
                    htmlCell(out, escapeHtml(season.reason));
                    out.put("</tr>\n");
                }
            });
            break;
        }
    }
    out.put("</section>\n");
}

} // namespace kvr
