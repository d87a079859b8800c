#include "report/html_drivers.h"

#include "report/html_classes.h"
#include "report/html_decisions.h"
#include "report/html_league.h"
#include "report/html_text.h"
#include "report/review_text.h"
#include "report/words.h"

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
void rivals(OutputSink& out, const RankingModel& model, const DriverSummary& driver,
            const Words& words) {
    if (!driver.ahead && !driver.behind) {
        return;
    }
    auto who = [&](const Rival& rival) {
        const RankedParticipant& p = participant(model, rival.participantIndex);
        return "<a href=\"#" + driverSectionId(rival.participantIndex) + "\">" +
               escapeHtml(p.name) + " (" + escapeHtml(p.code) + ")</a>";
    };
    auto apart = [](const Rival& rival) { return static_cast<uint64_t>(rival.pointsApart); };
    if (driver.ahead && driver.behind) {
        out.put(" " + words.count(Counted::RivalsBoth, apart(*driver.ahead),
                                  {{"ahead", who(*driver.ahead)},
                                   {"m", std::to_string(driver.behind->pointsApart)},
                                   {"behind", who(*driver.behind)}}));
    } else if (driver.ahead) {
        out.put(" " + words.count(Counted::RivalAhead, apart(*driver.ahead),
                                  {{"driver", who(*driver.ahead)}}));
    } else {
        out.put(" " + words.count(Counted::RivalBehind, apart(*driver.behind),
                                  {{"driver", who(*driver.behind)}}));
    }
}

} // namespace

void renderPointsGrid(const RankingModel& model, OutputSink& out) {
    const Words words(model.league.language);
    out.put("<section id=\"points\">\n<h2>" + std::string(words[Word::PointsHeading]) + "</h2>\n");
    std::vector<HtmlColumn> columns = {
        {words[Word::ColPlace], "n"}, {words[Word::ColCode]}, {words[Word::ColName]}};
    for (const char* rally : rallyNames) {
        columns.push_back({rally, "n"});
    }
    columns.push_back({words[Word::Arcade], "n"});
    columns.push_back({words[Word::ColTotal], "n"});
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
    const Words words(model.league.language);
    const char decimal = words.decimal();
    out.put("<section id=\"results\">\n<h2>" + std::string(words[Word::ResultsHeading]) +
            "</h2>\n");
    const std::vector<HtmlColumn> columns = {{words[Word::ColEvent]},
                                             {words[Word::ColTime], "n"},
                                             {words[Word::ColPlace], "n"},
                                             {words[Word::ColGap], "n"},
                                             {words[Word::ColToGainPlace], "n"},
                                             {words[Word::ColPoints], "n"}};
    char text[160];
    for (size_t s = 0; s < model.standings.size(); ++s) {
        const Standing& standing = model.standings[s];
        const DriverSummary& driver = model.drivers[s];
        const RankedParticipant& p = participant(model, standing.participantIndex);
        std::snprintf(text, sizeof text, "%d. ", standing.place);
        const std::string who = text + escapeHtml(p.name) + " (" + escapeHtml(p.code) + ")";
        const std::string place = std::to_string(standing.place);
        const auto points = static_cast<uint64_t>(standing.points);
        htmlFoldStart(out, "driver",
                      who + words.count(Counted::DriverSummary, points, {{"place", place}}),
                      driverSectionId(standing.participantIndex));
        out.put("<p>");
        out.put(words.count(
            Counted::DriverLine, points,
            {{"place", place},
             {"wins", words.count(Counted::Wins, static_cast<uint64_t>(driver.wins))},
             {"podiums", words.count(Counted::Podiums, static_cast<uint64_t>(driver.podiums))},
             {"time", words.duration(driver.timeToGain)}}));
        rivals(out, model, driver, words);
        htmlClosestRival(model, s, out);
        out.put("</p>\n");
        htmlTable(
            out, "class=\"driver-results\"", "", columns, driver.results.size(),
            [&] {
                for (const DriverResult& r : driver.results) {
                    out.put("<tr>");
                    htmlCell(out, escapeHtml(r.event->title()));
                    htmlDecidedTimeCell(out, model, standing.participantIndex, *r.event, r.time,
                                        words);
                    std::snprintf(text, sizeof text, "<td class=\"n\">%d/%d</td>", r.placeInField,
                                  r.field);
                    out.put(text);
                    if (r.gap == 0) {
                        out.put("<td class=\"n\"></td>");
                    } else {
                        htmlTimeCell(out, r.gap, "+", decimal);
                    }
                    if (r.placeInField == 1) {
                        out.put("<td class=\"n\"></td>");
                    } else {
                        htmlTimeCell(out, r.toNextPlace, "-", decimal);
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
    Counted summary; // the summary's words with the count
};

std::vector<Check> checksOf(const RunResults& run, const Words& words) {
    const Checks& checks = run.ranking.checks;
    const std::string share = std::to_string(OutlierPercent);
    std::vector<Check> list = {
        {CheckKind::NotImported, "check-not-imported", "not-imported",
         std::string(words[Word::CheckNotImported]), std::string(words[Word::CheckNotImportedNone]),
         run.notImported.size(), Counted::FilesNotImported},
        {CheckKind::Duplicates, "check-duplicates", "duplicates",
         std::string(words[Word::CheckDuplicates]), std::string(words[Word::CheckDuplicatesNone]),
         checks.duplicates.size(), Counted::Duplicates},
        {CheckKind::Outliers, "check-outliers", "outliers",
         words.say(Word::CheckOutliers, {{"share", share}}),
         words.say(Word::CheckOutliersNone, {{"share", share}}), checks.outliers.size(),
         Counted::Outliers},
        {CheckKind::Implausible, "check-implausible", "implausible",
         std::string(words[Word::CheckImplausible]), std::string(words[Word::CheckImplausibleNone]),
         checks.implausible.size(), Counted::ImplausibleFiles},
    };
    if (run.season != nullptr) {
        list.push_back({CheckKind::History, "check-history", "skipped-lines",
                        std::string(words[Word::CheckHistory]),
                        std::string(words[Word::CheckHistoryNone]), run.season->skippedLines.size(),
                        Counted::HistoryLinesSkipped});
    }
    if (run.allTime != nullptr) {
        list.push_back({CheckKind::Archive, "check-archive", "unread-seasons",
                        std::string(words[Word::CheckArchive]),
                        std::string(words[Word::CheckArchiveNone]), run.allTime->unread.size(),
                        Counted::SeasonsNotRead});
    }
    return list;
}

} // namespace

void renderCheckSummary(const RunResults& run, OutputSink& out) {
    const Words words(run.ranking.league.language);
    std::vector<Check> checks = checksOf(run, words);
    const size_t decisions = run.ranking.league.decisions.size();
    if (decisions == 0 &&
        std::all_of(checks.begin(), checks.end(), [](const Check& c) { return c.found == 0; })) {
        return;
    }
    if (decisions > 0) {
        // Not a check, but counted and linked like one: only the summary's fields matter.
        checks.push_back(
            {CheckKind::History, "decisions", "", "", "", decisions, Counted::Decisions});
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
        out.put(escapeHtml(words.count(check.summary, check.found)));
        out.put("</a>");
    }
    out.put("</p>\n");
}

namespace {

void notImportedTable(const RunResults& run, const Check& check, const std::string& attributes,
                      const Words& words, OutputSink& out) {
    htmlTable(out, attributes, "", {{words[Word::ColFile]}, {words[Word::ColReason]}}, check.found,
              [&] {
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
                       size_t check, const Words& words) {
    std::vector<size_t> items;
    for (size_t i = 0; i < model.checks.underReview.size(); ++i) {
        const ReviewItem& item = model.checks.underReview[i];
        if (item.kind == kind && item.check == check) {
            items.push_back(i);
        }
    }
    if (decision != 0 || items.empty()) {
        htmlCheckDecisionCell(out, decision, words);
    } else {
        htmlReviewCell(out, model, items, words);
    }
}

// With decisions or anything under review, a last column links the decision that acted on the
// files, or gives one ready to paste.
void duplicatesTable(const RankingModel& model, const Check& check, const std::string& attributes,
                     bool decided, const Words& words, OutputSink& out) {
    std::vector<HtmlColumn> columns = {
        {words[Word::ColCode]}, {words[Word::ColName]}, {words[Word::ColFiles]}};
    if (decided) {
        columns.push_back({words[Word::ColDecision]});
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
                                  ReviewKind::Duplicate, g, words);
            }
            out.put("</tr>\n");
        }
    });
}

void outliersTable(const RankingModel& model, const Check& check, const std::string& attributes,
                   bool decided, const Words& words, OutputSink& out) {
    std::vector<HtmlColumn> columns = {{words[Word::ColEvent]},
                                       {words[Word::ColDriver]},
                                       {words[Word::ColFile]},
                                       {words[Word::ColTime], "n"},
                                       {words[Word::ColSecondsTime], "n"}};
    if (decided) {
        columns.push_back({words[Word::ColDecision]});
    }
    htmlTable(out, attributes, "", columns, check.found, [&] {
        for (size_t k = 0; k < model.checks.outliers.size(); ++k) {
            const Outlier& outlier = model.checks.outliers[k];
            const RankedParticipant& p = participant(model, outlier.participantIndex);
            out.put("<tr>");
            htmlCell(out, escapeHtml(outlier.event->title()));
            htmlCell(out, escapeHtml(p.name) + " (" + escapeHtml(p.code) + ")");
            htmlCell(out, fileNameHtml(p.file));
            htmlTimeCell(out, outlier.time, "", words.decimal());
            htmlTimeCell(out, outlier.secondTime, "", words.decimal());
            if (decided) {
                checkDecisionCell(out, model, outlier.decision, ReviewKind::Outlier, k, words);
            }
            out.put("</tr>\n");
        }
    });
}

void implausibleTable(const RankingModel& model, const Check& check, const std::string& attributes,
                      bool decided, const Words& words, OutputSink& out) {
    std::vector<HtmlColumn> columns = {
        {words[Word::ColDriver]}, {words[Word::ColFile]}, {words[Word::ColFound]}};
    if (decided) {
        columns.push_back({words[Word::ColDecision]});
    }
    htmlTable(out, attributes, "", columns, check.found, [&] {
        for (size_t k = 0; k < model.checks.implausible.size(); ++k) {
            const Implausible& file = model.checks.implausible[k];
            const RankedParticipant& p = participant(model, file.participantIndex);
            out.put("<tr>");
            htmlCell(out, escapeHtml(p.name) + " (" + escapeHtml(p.code) + ")");
            htmlCell(out, fileNameHtml(p.file));
            htmlCell(out, escapeHtml(implausibleWhat(file, words)));
            if (decided) {
                checkDecisionCell(out, model, file.decision, ReviewKind::Implausible, k, words);
            }
            out.put("</tr>\n");
        }
    });
}

// Why a line of the season file was skipped, in the players' words.
std::string_view skippedReason(const std::string& reason, const Words& words) {
    if (reason == CutShortSnapshot) {
        return words[Word::SkippedCutShort];
    }
    return reason == NotASnapshot ? words[Word::SkippedNotRun] : std::string_view(reason);
}

void skippedLinesTable(const SeasonChanges& season, const Check& check,
                       const std::string& attributes, const Words& words, OutputSink& out) {
    htmlTable(out, attributes, "", {{words[Word::ColLine], "n"}, {words[Word::ColReason]}},
              check.found, [&] {
                  for (const SkippedLine& line : season.skippedLines) {
                      out.put("<tr>");
                      htmlNumberCell(out, static_cast<long long>(line.line));
                      htmlCell(out, escapeHtml(std::string(skippedReason(line.reason, words))));
                      out.put("</tr>\n");
                  }
              });
}

} // namespace

void renderChecks(const RunResults& run, OutputSink& out) {
    const RankingModel& model = run.ranking;
    const bool decided = !model.league.decisions.empty() || !model.checks.underReview.empty();
    const Words words(model.league.language);
    out.put("<section id=\"checks\">\n<h2>" + std::string(words[Word::ChecksHeading]) +
            "</h2>\n<p class=\"checks-note\">" + std::string(words[Word::ChecksNote]) + "</p>\n");
    for (const Check& check : checksOf(run, words)) {
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
            notImportedTable(run, check, attributes, words, out);
            break;
        case CheckKind::Duplicates:
            duplicatesTable(model, check, attributes, decided, words, out);
            break;
        case CheckKind::Outliers:
            outliersTable(model, check, attributes, decided, words, out);
            break;
        case CheckKind::Implausible:
            implausibleTable(model, check, attributes, decided, words, out);
            break;
        case CheckKind::History:
            skippedLinesTable(*run.season, check, attributes, words, out);
            break;
        case CheckKind::Archive:
            htmlTable(out, attributes, "", {{words[Word::ColFile]}, {words[Word::ColReason]}},
                      check.found, [&] {
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
