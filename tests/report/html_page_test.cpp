// The web page as its readers meet it: the summary of the checks, the folded parts, the
// points-over-runs chart, and the page's forms of dates and durations.
#include "history/season.h"
#include "history/snapshot.h"
#include "report/html_season.h"
#include "report/html_text.h"
#include "report/live_board.h"
#include "report/ranking_html.h"
#include "report/ranking_json.h"
#include "support/participant_builder.h"

#include <gtest/gtest.h>

#include <algorithm>
#include <cstring>

#include <cmath>
#include <cstdlib>
#include <map>
#include <string>
#include <vector>

namespace {

using namespace kvr;
using kvrtest::ParticipantFileBuilder;

const ReportTime Noon{2026, 12, 7, 12, 5, 9};

// ---- Reading the page

// The value of attribute `name` in the tag that starts at `at`.
std::string attribute(const std::string& html, size_t at, const std::string& name) {
    const size_t found = html.find(" " + name + "=\"", at);
    if (found == std::string::npos || found > html.find('>', at)) {
        return "";
    }
    const size_t from = found + name.size() + 3;
    return html.substr(from, html.find('"', from) - from);
}

// The text of an element's content, its tags left out.
std::string textOf(const std::string& html) {
    std::string text;
    bool inTag = false;
    for (char c : html) {
        inTag = c == '<' || (inTag && c != '>');
        text += inTag || c == '>' ? "" : std::string(1, c);
    }
    return text;
}

// Each element that starts with `start` (such as "<text class=\"x-tick\""), up to its end.
std::vector<std::string> elements(const std::string& html, const std::string& start) {
    std::vector<std::string> found;
    const std::string close = "</" + start.substr(1, start.find(' ') - 1) + ">";
    for (size_t at = html.find(start); at != std::string::npos; at = html.find(start, at + 1)) {
        const size_t tagEnd = html.find('>', at);
        const size_t end = html[tagEnd - 1] == '/' ? tagEnd + 1 : html.find(close, at);
        found.push_back(html.substr(at, end - at));
    }
    return found;
}

// The texts of the chart's labels of a class, by their x (or y) coordinate.
std::vector<std::pair<long, std::string>> labels(const std::string& svg, const std::string& cls,
                                                 const char* coordinate = "x") {
    std::vector<std::pair<long, std::string>> found;
    for (const std::string& label : elements(svg, "<text class=\"" + cls + "\"")) {
        found.push_back({std::stol(attribute(label, 0, coordinate)), textOf(label)});
    }
    return found;
}

// The points of an SVG path's "M x y", "L x y" and "H x" commands, a list per piece of it.
std::vector<std::vector<std::pair<long, long>>> pathPieces(const std::string& path) {
    const std::string d = attribute(path, 0, "d");
    std::vector<std::vector<std::pair<long, long>>> pieces;
    for (const char* at = d.c_str(); *at != '\0';) {
        const char command = *at == ' ' ? *++at : *at;
        char* end = nullptr;
        const long x = std::strtol(at + 1, &end, 10);
        const long y = command == 'H' && !pieces.empty() ? pieces.back().back().second
                                                         : std::strtol(end, &end, 10);
        at = end;
        if (command == 'M' || pieces.empty()) {
            pieces.emplace_back();
        }
        pieces.back().push_back({x, y});
    }
    return pieces;
}

// ---- Making runs

struct Driver {
    const char* code;
    const char* name;
    std::vector<std::pair<int, uint32_t>> stages; // Finland stage and stored time
};

std::vector<ParticipantRecord> participantsOf(const std::vector<Driver>& drivers) {
    std::vector<ParticipantRecord> participants;
    for (const Driver& driver : drivers) {
        ParticipantFileBuilder file;
        file.code(driver.code).name(driver.name);
        for (const auto& [stage, time] : driver.stages) {
            file.stage(0, stage, 0, time);
        }
        participants.push_back(file.record());
    }
    return participants;
}

// ---- The chart's marks on the points axis

TEST(HtmlChart, PointsTicksAreZeroAndRoundStepsUpToTheMost) {
    const std::map<int64_t, std::vector<int64_t>> cases = {
        {0, {0, 1}},
        {1, {0, 1}},
        {2, {0, 1, 2}},
        {3, {0, 1, 2, 3}},
        {12, {0, 5, 10, 15}},
        {36, {0, 10, 20, 30, 40}},
        {100, {0, 20, 40, 60, 80, 100}},
        {101, {0, 50, 100, 150}},
        {372, {0, 100, 200, 300, 400}},
        {614, {0, 200, 400, 600, 800}},
        {1104, {0, 500, 1000, 1500}},
    };
    for (const auto& [most, ticks] : cases) {
        EXPECT_EQ(chartTicks(most), ticks) << most;
    }
    // From 3 points on: 4 to 6 evenly spaced ticks from 0, a step of 1, 2 or 5 times a power
    // of ten, the last at or above the most and the one before it below.
    for (int64_t most = 3; most <= 20000; ++most) {
        const std::vector<int64_t> ticks = chartTicks(most);
        ASSERT_GE(ticks.size(), 4u) << most;
        ASSERT_LE(ticks.size(), 6u) << most;
        const int64_t step = ticks[1];
        int64_t power = 1;
        while (power * 10 <= step) {
            power *= 10;
        }
        EXPECT_TRUE(step == power || step == 2 * power || step == 5 * power) << most;
        for (size_t i = 0; i < ticks.size(); ++i) {
            EXPECT_EQ(ticks[i], static_cast<int64_t>(i) * step) << most;
        }
        EXPECT_GE(ticks.back(), most);
        EXPECT_LT(ticks[ticks.size() - 2], most);
    }
}

// ---- The chart from a season of three runs where one driver misses run 2

struct ThreeRuns {
    const char* secondRunDay;       // the second run's date; the first is on 2026-12-01
    std::vector<std::string> dates; // the dates under the runs, "" for none
};

TEST(HtmlChart, ThreeRunsWithADriverMissingRunTwo) {
    // Finland stages 1 to 3, 12 points for a win and 8 for second place.
    // Run 1: Ann 12 (stage 1), Bob 20 (second on 1, first on 2).
    // Run 2: Ann alone, 24 (stages 1 and 2).
    // Run 3: Ann 36 (stages 1 to 3), Bob 16 (second on 1 and 2).
    const std::vector<std::vector<Driver>> runs = {
        {{"AA", "Ann", {{0, 1000}}}, {"BB", "Bob", {{0, 1100}, {1, 1000}}}},
        {{"AA", "Ann", {{0, 1000}, {1, 1000}}}},
        {{"AA", "Ann", {{0, 1000}, {1, 1000}, {2, 1000}}}, {"BB", "Bob", {{0, 1100}, {1, 1100}}}},
    };
    const std::vector<ThreeRuns> cases = {
        {"2026-12-01", {"2026-12-01", "", "2026-12-08"}}, // the same day: no date under run 2
        {"2026-12-04", {"2026-12-01", "2026-12-04", "2026-12-08"}},
    };
    for (const ThreeRuns& c : cases) {
        const int secondDay = std::atoi(c.secondRunDay + 8);
        const ReportTime times[] = {
            {2026, 12, 1, 20, 0, 0}, {2026, 12, secondDay, 21, 0, 0}, {2026, 12, 8, 20, 0, 0}};
        std::vector<std::vector<ParticipantRecord>> participants;
        std::vector<RankingModel> models;
        std::string history;
        for (size_t r = 0; r < runs.size(); ++r) {
            participants.push_back(participantsOf(runs[r]));
        }
        for (size_t r = 0; r < runs.size(); ++r) {
            models.push_back(computeRankingModel(participants[r].data(),
                                                 static_cast<int32_t>(participants[r].size()), {},
                                                 times[r]));
            if (r + 1 < runs.size()) {
                history += history::snapshotLine(models[r]);
            }
        }
        const SeasonChanges season =
            history::compareSeason(history::readHistory(history), models.back());
        const std::string page = renderHtml(RunResults(models.back(), &season));
        const size_t at = page.find("<svg id=\"points-over-runs\"");
        ASSERT_NE(at, std::string::npos);
        const std::string svg = page.substr(at, page.find("</svg>", at) - at);

        // Round ticks with a grid line each; a numbered tick per run; dates under the first,
        // the last and a new day's run.
        std::map<std::string, long> gridAt; // tick label to the y of its grid line
        const std::vector<std::string> grid = elements(svg, "<path class=\"grid\"");
        const auto yTicks = labels(svg, "y-tick", "y");
        ASSERT_EQ(grid.size(), yTicks.size());
        std::vector<std::string> texts;
        for (size_t i = 0; i < grid.size(); ++i) {
            texts.push_back(yTicks[i].second);
            gridAt[texts.back()] = pathPieces(grid[i])[0][0].second;
        }
        EXPECT_EQ(texts, (std::vector<std::string>{"0", "10", "20", "30", "40"}));
        std::vector<long> runX;
        texts.clear();
        for (const auto& [x, text] : labels(svg, "x-tick")) {
            runX.push_back(x);
            texts.push_back(text);
        }
        ASSERT_EQ(texts, (std::vector<std::string>{"1", "2", "3"}));
        std::vector<std::string> dates(3);
        for (const auto& [x, text] : labels(svg, "x-date")) {
            dates[static_cast<size_t>(std::find(runX.begin(), runX.end(), x) - runX.begin())] =
                text;
        }
        EXPECT_EQ(dates, c.dates);
        EXPECT_NE(svg.find(">Points</text>"), std::string::npos);
        EXPECT_NE(svg.find(">Run</text>"), std::string::npos);

        // Ann's line runs through all three runs; Bob's is broken at run 2, two lone points.
        const std::vector<std::string> lines = elements(svg, "<path class=\"line ");
        ASSERT_EQ(lines.size(), 2u);
        const auto ann = pathPieces(lines[0]);
        const auto bob = pathPieces(lines[1]);
        ASSERT_EQ(ann, (decltype(ann){{{runX[0], ann[0][0].second},
                                       {runX[1], ann[0][1].second},
                                       {runX[2], ann[0][2].second}}}));
        ASSERT_EQ(bob,
                  (decltype(bob){{{runX[0], bob[0][0].second}}, {{runX[2], bob[1][0].second}}}));
        // On the points scale: Bob's 20 on the grid line of 20, Ann's 12, 24 and 36 evenly
        // apart, Bob's 16 six tenths of the way from 10 to 20.
        const long ten = gridAt["20"] - gridAt["10"];
        EXPECT_EQ(bob[0][0].second, gridAt["20"]);
        EXPECT_EQ(ann[0][0].second - ann[0][1].second, ann[0][1].second - ann[0][2].second);
        EXPECT_EQ(ann[0][1].second - ann[0][0].second, 12 * ten / 10);
        EXPECT_EQ(bob[1][0].second, gridAt["10"] + 6 * ten / 10);
        // A mark on every point, so that a lone point shows.
        EXPECT_EQ(elements(svg, "<circle class=\"s0\"").size(), 3u);
        EXPECT_EQ(elements(svg, "<circle class=\"s1\"").size(), 2u);

        // The legend, in the lines' order and styles.
        const size_t legend = page.find("<ol class=\"legend\">");
        const std::string items = page.substr(legend, page.find("</ol>", legend) - legend);
        EXPECT_EQ(textOf(items), "\nAnn (AA)\nBob (BB)\n");
        EXPECT_LT(items.find("class=\"line s0\""), items.find("class=\"line s1\""));
    }
}

// Twenty runs on twenty days: every run numbered, and the dates that would overlap left out,
// keeping the first and the last.
TEST(HtmlChart, ACrowdedAxisKeepsItsLabelsApart) {
    const std::vector<ParticipantRecord> participants = participantsOf({{"A", "A", {{0, 500}}}});
    const RankingModel model = computeRankingModel(participants.data(), 1, {}, Noon);
    SeasonChanges season;
    season.runs = 45;
    season.hasPrevious = true;
    season.movements.resize(model.standings.size());
    PointsOverRuns line{0, {}};
    for (int day = 1; day <= 20; ++day) {
        season.chartRuns.push_back("2026-11-" + std::string(day < 10 ? "0" : "") +
                                   std::to_string(day) + "T20:00:00");
        line.points.push_back(day % 3 == 0 ? std::nullopt : std::optional<int32_t>(day));
    }
    season.chart = {line};
    const std::string page = renderHtml(RunResults(model, &season));

    // Neither two digits nor the ten characters of a date, 0.64 em each at the chart's
    // largest 16 units, meet their neighbour.
    const auto numbers = labels(page, "x-tick");
    const auto dates = labels(page, "x-date");
    ASSERT_EQ(numbers.size(), 20u);
    EXPECT_EQ(numbers.front().second, "26");
    EXPECT_EQ(numbers.back().second, "45");
    for (size_t i = 1; i < numbers.size(); ++i) {
        EXPECT_GE(numbers[i].first - numbers[i - 1].first, 2 * 0.64 * 16) << i;
    }
    ASSERT_GE(dates.size(), 4u); // not thinned more than it must be
    EXPECT_EQ(dates.front(), std::make_pair(numbers.front().first, std::string("2026-11-01")));
    EXPECT_EQ(dates.back(), std::make_pair(numbers.back().first, std::string("2026-11-20")));
    for (size_t i = 1; i < dates.size(); ++i) {
        EXPECT_GE(dates[i].first - dates[i - 1].first, 10 * 0.64 * 16) << dates[i].second;
    }
    // Every third run missing: seven pieces of two points.
    EXPECT_EQ(pathPieces(elements(page, "<path class=\"line ").at(0)).size(), 7u);
}

// ---- The summary of the checks

struct SummaryCase {
    const char* name;
    size_t notImported;
    bool duplicate;      // two files of the same driver
    bool outlier;        // a best time far ahead of the second
    const char* history; // nullptr: no season kept
    const char* summary; // its parts split by '|'; nullptr: none
};

// The bar chart shows names only, but a name two drivers share with the code of each; the
// same driver's two files share their code as well, which would tell nothing.
TEST(HtmlChart, ASharedNameShowsItsCode) {
    const std::vector<ParticipantRecord> participants =
        participantsOf({{"HSL", "Hugo Salonen", {{0, 1000}}},
                        {"HSA", "Hugo Salonen", {{0, 1100}}},
                        {"ANN", "Ann", {{0, 1200}}},
                        {"ANN", "Ann", {{0, 1300}}}});
    const std::string page =
        renderHtml(RunResults(computeRankingModel(participants.data(), 4, {}, Noon)));
    for (const char* label : {">1. Hugo Salonen (HSL)</text>", ">2. Hugo Salonen (HSA)</text>",
                              ">3. Ann</text>", ">4. Ann</text>"}) {
        EXPECT_NE(page.find(label), std::string::npos) << label;
    }
}

TEST(HtmlSummary, CountsWhatTheChecksFoundAndLinksToEachCheck) {
    const std::vector<SummaryCase> cases = {
        {"nothing", 0, false, false, nullptr, nullptr},
        {"nothing in a season", 0, false, false, "", nullptr},
        // Only what is there is named.
        {"two files", 2, false, false, nullptr, "2 files not imported"},
        {"a duplicate", 0, true, false, "", "1 duplicate"},
        {"an outlier", 0, false, true, nullptr, "1 outlier"},
        {"a skipped line", 0, false, false, "junk\n", "1 history line skipped"},
        {"everything", 1, true, true, "x\n\ny\n",
         "1 file not imported|1 duplicate|1 outlier|2 history lines skipped"},
    };
    for (const SummaryCase& c : cases) {
        std::vector<Driver> drivers = {{"AA", "Ann", {{0, 1000}}},
                                       {"BB", "Bob", {{0, c.outlier ? 5000u : 1100u}}}};
        if (c.duplicate) {
            drivers.push_back(drivers[1]);
        }
        const std::vector<ParticipantRecord> participants = participantsOf(drivers);
        const RankingModel model = computeRankingModel(
            participants.data(), static_cast<int32_t>(participants.size()), {}, Noon);
        std::optional<SeasonChanges> season;
        if (c.history != nullptr) {
            season = history::compareSeason(history::readHistory(c.history), model);
        }
        const std::vector<NotImported> notImported(c.notImported, {"cut.kvr", "too short"});
        const std::string page =
            renderHtml(RunResults(model, season ? &*season : nullptr, &notImported));

        const size_t at = page.find("<p class=\"attention\">");
        ASSERT_EQ(at != std::string::npos, c.summary != nullptr) << c.name;
        if (c.summary == nullptr) {
            continue;
        }
        // Right under the title, before the navigation.
        EXPECT_LT(page.find("</h1>"), at) << c.name;
        EXPECT_LT(at, page.find("<nav>")) << c.name;
        const std::string summary = page.substr(at, page.find("</p>", at) - at);
        std::string expected = c.summary;
        for (size_t bar; (bar = expected.find('|')) != std::string::npos;) {
            expected.replace(bar, 1, " \xC2\xB7 "); // U+00B7
        }
        EXPECT_EQ(textOf(summary), expected) << c.name;

        // Each count links to a heading of the checks, followed by a table of as many rows and
        // a header.
        size_t links = 0;
        for (size_t link = summary.find("href=\"#"); link != std::string::npos;
             link = summary.find("href=\"#", link + 1), ++links) {
            const std::string id = attribute(summary, link - 1, "href").substr(1);
            const size_t count = std::stoul(summary.substr(summary.find('>', link) + 1));
            const size_t heading = page.find("<h3 id=\"" + id + "\">");
            ASSERT_GT(heading, page.find("<section id=\"checks\">")) << c.name << ": " << id;
            const std::string check = page.substr(heading, page.find("<h3", heading + 1) - heading);
            const size_t rows = elements(check, "<tr>").size();
            EXPECT_GT(count, 0u) << c.name << ": " << id;
            EXPECT_EQ(rows, count + 1) << c.name << ": " << id;
        }
        EXPECT_EQ(
            links,
            static_cast<size_t>(std::count(c.summary, c.summary + std::strlen(c.summary), '|')) + 1)
            << c.name;
    }
}

TEST(HtmlSummary, ChecksListTheFilesNotImportedAndTheSkippedHistoryLines) {
    const std::vector<ParticipantRecord> participants =
        participantsOf({{"AA", "Ann", {{0, 1000}}}});
    const RankingModel model = computeRankingModel(participants.data(), 1, {}, Noon);
    const SeasonChanges season = history::compareSeason(
        history::readHistory(history::snapshotLine(model) +
                             "<junk>\n\n{\"kvrrank_history\":1,\"at\":\"2026-"),
        model);
    const std::vector<NotImported> notImported = {{"a-b_c.kvr", "too short: 10 bytes"},
                                                  {"<x>.kvr", "held by another program"}};
    const std::string page = renderHtml(RunResults(model, &season, &notImported));
    const size_t files = page.find("<table id=\"not-imported\">");
    ASSERT_NE(files, std::string::npos);
    EXPECT_NE(page.find("<tr><td>a-<wbr>b_<wbr>c.<wbr>kvr</td><td>too short: 10 bytes</td></tr>"
                        "\n<tr><td>&lt;x&gt;.<wbr>kvr</td><td>held by another program</td></tr>",
                        files),
              std::string::npos);
    const size_t lines = page.find("<table id=\"skipped-lines\">");
    ASSERT_NE(lines, std::string::npos);
    EXPECT_NE(page.find("<tr><td class=\"n\">2</td><td>not a snapshot</td></tr>\n"
                        "<tr><td class=\"n\">4</td><td>a snapshot cut short</td></tr>",
                        lines),
              std::string::npos);
}

// ---- Folding

TEST(HtmlFolding, DriversAndRalliesAreFoldedAndLinksLeadIntoTheFolds) {
    // Ann wins Finland 1 and 2 and Greece 1: 36 points. Finland 1 then has Bob (8), Cid (6),
    // Dee (4), Eve (2) and Fay (1); Cid alone in the arcade's Sweden earns 12 more.
    std::vector<ParticipantRecord> participants =
        participantsOf({{"AA", "Ann", {{0, 1000}, {1, 1000}}},
                        {"BB", "Bob", {{0, 1100}}},
                        {"C", "Cid", {{0, 1200}}},
                        {"D", "Dee", {{0, 1300}}},
                        {"E", "Eve", {{0, 1400}}},
                        {"F", "Fay", {{0, 1500}}}});
    participants[0].stageResults[12].time = 1000; // Greece 1
    participants[2].arcadeResults[3].time = 700;
    const RankingModel model = computeRankingModel(participants.data(), 6, {}, Noon);
    const std::string page = renderHtml(RunResults(model));

    // A fold's summary line, and the id inside it.
    struct Fold {
        std::string summary;
        std::string id;
    };
    std::vector<Fold> folds;
    for (size_t at = page.find("<details class=\""); at != std::string::npos;
         at = page.find("<details class=\"", at + 1)) {
        const size_t end = page.find("</details>", at);
        const size_t summary = page.find("<summary>", at) + 9;
        const size_t content = page.find("<div class=\"folded\" id=\"", at);
        if (content > end || attribute(page, at, "class") == "progression") {
            continue;
        }
        folds.push_back({page.substr(summary, page.find("</summary>", summary) - summary),
                         attribute(page, content, "id")});
        EXPECT_GT(content, summary);
    }
    const std::vector<std::pair<std::string, std::string>> expected = {
        {"Finland: 2 stages", "rally-1"},
        {"Greece: 1 stage", "rally-2"},
        {"Arcade: 1 event", "arcade"},
        {"1. Ann (AA): 36 points, place 1", "driver-1"},
        {"2. Cid (C): 18 points, place 2", "driver-3"},
        {"3. Bob (BB): 8 points, place 3", "driver-2"},
        {"4. Dee (D): 4 points, place 4", "driver-4"},
        {"5. Eve (E): 2 points, place 5", "driver-5"},
        {"6. Fay (F): 1 point, place 6", "driver-6"},
    };
    ASSERT_EQ(folds.size(), expected.size());
    for (size_t i = 0; i < folds.size(); ++i) {
        EXPECT_EQ(folds[i].summary, expected[i].first);
        EXPECT_EQ(folds[i].id, expected[i].second);
    }

    // Every link of the page leads to an id it holds, and each driver's table says whose it
    // is in a header row of its own.
    for (size_t at = page.find("href=\"#"); at != std::string::npos;
         at = page.find("href=\"#", at + 1)) {
        const std::string id = attribute(page, at - 1, "href").substr(1);
        EXPECT_NE(page.find(" id=\"" + id + "\""), std::string::npos) << id;
    }
    EXPECT_NE(page.find("<thead><tr class=\"whose\"><th colspan=\"6\">1. Ann (AA)</th></tr>"
                        "<tr><th>Event</th>"),
              std::string::npos);
}

// A class folds only the rallies and the arcade its vehicles set times in: no empty fold.
TEST(HtmlFolding, AClassFoldsOnlyWhatItsVehiclesSetTimesIn) {
    // Ann drives an arden vela 1999 in Finland 1, Bob an arden vela there and in Arcade Italy.
    std::vector<ParticipantRecord> participants = {
        ParticipantFileBuilder().code("AA").name("Ann").stage(0, 0, 1, 1000).record(),
        ParticipantFileBuilder()
            .code("BB")
            .name("Bob")
            .stage(0, 0, 0, 1100)
            .arcade(0, 0, 700)
            .record()};
    RankingOptions options;
    options.league.file = "kvrrank.toml";
    options.league.classes = {{"Vela 1999", AnyTransmission, uint64_t{1} << 1},
                              {"Any", AnyTransmission, AnyVehicle}};
    const RankingModel model = computeRankingModel(participants.data(), 2, {}, Noon, options);
    const std::string page = renderHtml(RunResults(model));
    const struct {
        const char* id;
        std::vector<std::string> folds;
    } cases[] = {{"class-1", {"Finland"}}, {"class-2", {"Finland", "Arcade"}}};
    for (const auto& c : cases) {
        SCOPED_TRACE(c.id);
        const size_t from = page.find(std::string("<section id=\"") + c.id + "\"");
        ASSERT_NE(from, std::string::npos);
        const std::string section = page.substr(from, page.find("</section>", from) - from);
        std::vector<std::string> folds;
        for (size_t at = section.find("<summary>"); at != std::string::npos;
             at = section.find("<summary>", at + 1)) {
            folds.push_back(section.substr(at + 9, section.find("</summary>", at) - at - 9));
        }
        EXPECT_EQ(folds, c.folds);
    }
}

// ---- Dates and durations

TEST(HtmlTimes, DurationsFromAnHourShowTheirHours) {
    const std::vector<std::pair<uint64_t, std::string>> cases = {
        {0, "00:00.00"},
        {745, "00:07.45"},
        {359999, "59:59.99"},
        {360000, "1:00:00.00"},
        {998881, "2:46:28.81"},
        {3599999, "9:59:59.99"},
        {36000000, "100:00:00.00"},
        {UINT64_MAX, "51240955760304:18:36.15"},
    };
    for (const auto& [hundredths, text] : cases) {
        EXPECT_EQ(formatDuration(hundredths), text) << hundredths;
    }
}

TEST(HtmlTimes, ThePageShowsOneDateFormAndHoursWhereTheExportsShowMinutes) {
    // Bob 2:46:28.81 behind Ann on Finland 1.
    const std::vector<ParticipantRecord> participants =
        participantsOf({{"AA", "Ann", {{0, 1001}}}, {"BB", "Bob", {{0, 1001 + 998881}}}});
    const RankingModel model = computeRankingModel(participants.data(), 2, {}, Noon);
    const std::string page = renderHtml(RunResults(model));
    EXPECT_NE(page.find("<title>Dustline Rally 2.0 - KVR Ranking at 2026-12-07 12:05:09</title>"),
              std::string::npos);
    EXPECT_NE(page.find("Ranking at 2026-12-07 12:05:09</p>"), std::string::npos);
    EXPECT_EQ(page.find("2026.12.07"), std::string::npos);
    EXPECT_NE(page.find("<td class=\"n\">2:46:38.81</td><td class=\"n\">+2:46:28.81</td></tr>"),
              std::string::npos);
    EXPECT_NE(page.find("time to gain 2:46:28.81."), std::string::npos);
    // The JSON keeps its own form.
    EXPECT_NE(renderJson(RunResults(model)).find("\"166:38.81\""), std::string::npos);
}

// The live board's page is the page itself plus its script and its status line, nothing else;
// the overlay lists the standings' first drivers as the model has them.
// Each rule of a style sheet: the @media condition it is under ("" when none), its selectors
// and its declarations.
struct StyleRule {
    std::string media;
    std::string selectors;
    std::string declarations;
};

std::vector<StyleRule> styleRules(const std::string& style) {
    std::vector<StyleRule> rules;
    std::string media;
    size_t at = 0;
    while (at < style.size()) {
        const size_t open = style.find('{', at);
        const size_t close = style.find('}', at);
        if (close < open) { // the end of an @media block
            media.clear();
            at = close + 1;
            continue;
        }
        if (open == std::string::npos) {
            break;
        }
        const std::string head = style.substr(at, open - at);
        if (head.rfind("@media", 0) == 0) {
            media = head;
            at = open + 1;
            continue;
        }
        const size_t end = style.find('}', open);
        rules.push_back({media, head, style.substr(open + 1, end - open - 1)});
        at = end + 1;
    }
    return rules;
}

// The Teams table's last column, its members, wraps within the page: no rule keeps it on one
// line, it has a width of its own to wrap in, and on a phone the rally columns give way to it.
TEST(HtmlStyle, TheTeamsMembersWrapWithinThePage) {
    const std::vector<StyleRule> rules = styleRules(htmlPageStyle());
    ASSERT_GT(rules.size(), 50u);
    bool wraps = false;
    bool phoneDropsRallies = false;
    for (const StyleRule& rule : rules) {
        if (rule.selectors.find("#team-standings") == std::string::npos) {
            continue;
        }
        SCOPED_TRACE(rule.media + " " + rule.selectors);
        EXPECT_EQ(rule.declarations.find("nowrap"), std::string::npos);
        if (rule.media.empty() && rule.selectors == "#team-standings td:last-child") {
            wraps = rule.declarations.find("white-space:normal") != std::string::npos &&
                    rule.declarations.find("min-width:") != std::string::npos;
        }
        if (rule.media.find("(max-width:40rem)") != std::string::npos &&
            rule.selectors.find("#team-standings td:nth-child(n+4):nth-child(-n+12)") !=
                std::string::npos) {
            phoneDropsRallies = rule.declarations == "display:none";
        }
    }
    EXPECT_TRUE(wraps);
    EXPECT_TRUE(phoneDropsRallies);
}

TEST(LiveBoard, ThePageGainsOnlyItsScriptAndStatusAndTheOverlayFollowsTheStandings) {
    std::vector<ParticipantRecord> participants =
        participantsOf({{"AA", "Ann <b>", {{0, 1000}, {1, 1000}}},
                        {"BB", "Bob & Co", {{0, 1100}}},
                        {"C", "Cid", {{0, 1200}}}});
    const RankingModel model = computeRankingModel(participants.data(), 3, {}, Noon);
    const RunResults results(model);
    LivePageParts live;
    live.run = 7;
    live.changedAt = "20:14:03";
    live.problems = {"Configuration/gameinfo.rcf: held by <another> program"};
    StringSink sink;
    renderHtml(results, sink, &live);
    std::string page = sink.take();
    const std::string script = "<script src=\"/live.js\" defer></script>\n";
    const std::string status =
        "<div id=\"live\" data-run=\"7\" data-offline=\"Offline since "
        "{time}: the results below are the last the board sent, changed at 20:14:03 (run 7).\" "
        "role=\"status\">\n<p "
        "class=\"when\">Live: results last "
        "changed at 20:14:03 (run 7)</p>\n<p class=\"attention\">Configuration/gameinfo.rcf: "
        "held by &lt;another&gt; program</p>\n</div>\n";
    const std::string tonight = "<section id=\"tonight\">\n<h2>Tonight</h2>\n<p>Nothing has "
                                "changed yet tonight.</p>\n</section>\n";
    for (const std::string& part : {script, status, tonight}) {
        const size_t at = page.find(part);
        ASSERT_NE(at, std::string::npos) << part;
        page.erase(at, part.size());
    }
    EXPECT_EQ(page, renderHtml(results));
    EXPECT_EQ(htmlPageStyle().find("</style>"), std::string::npos);
    EXPECT_NE(renderHtml(results).find("<style>" + htmlPageStyle() + "</style>"),
              std::string::npos);

    for (size_t limit : {size_t{2}, size_t{10}}) {
        const OverlayParts overlay = renderOverlay(results, 7, limit);
        ASSERT_EQ(overlay.rows.size(), std::min(limit, model.standings.size()));
        for (size_t i = 0; i < overlay.rows.size(); ++i) {
            const Standing& s = model.standings[i];
            const RankedParticipant& p =
                model.participants[static_cast<size_t>(s.participantIndex)];
            EXPECT_EQ(overlay.rows[i], "<tr><td>" + std::to_string(s.place) + "</td><td>" +
                                           escapeHtml(p.name) + "<span class=\"code\">" +
                                           escapeHtml(p.code) + "</span></td><td>" +
                                           std::to_string(s.points) + "</td></tr>\n");
        }
        EXPECT_NE(overlay.head.find("<style>" + overlayStyle() + "</style>"), std::string::npos);
        EXPECT_NE(overlay.head.find("data-run=\"7\""), std::string::npos);
    }
    EXPECT_NE(renderOverlay(results, 7, 10).rows[0].find("Ann &lt;b&gt;"), std::string::npos);
    EXPECT_NE(overlayStyle().find("background:transparent"), std::string::npos);
}

// The section between the live line and the standings, as the page shows it.
std::string tonightSection(const std::string& page) {
    const size_t from = page.find("<section id=\"tonight\">");
    const size_t to = page.find("</section>\n", from);
    if (from == std::string::npos || to == std::string::npos) {
        return {};
    }
    return page.substr(from, to + 11 - from);
}

TEST(LiveBoard, TonightShowsArrivalsRecordsAndMovesEscapedAndOnlyOnTheLivePage) {
    std::vector<ParticipantRecord> participants =
        participantsOf({{"AA", "Ann <b>", {{0, 1000}}}, {"BB", "Bob & Co", {{0, 1100}}}});
    const RankingModel model = computeRankingModel(participants.data(), 2, {}, Noon);
    const RunResults results(model);
    const std::string filePage = renderHtml(results);
    LivePageParts live;
    live.run = 3;
    live.changedAt = "21:00:00";
    live.tonight.changed = true;
    live.tonight.arrivals = {{{"AA", "Ann <b>"}, "20:31:07"}};
    BrokenRecord broken;
    broken.event = 0;
    broken.eventTitle = "Finland 1";
    broken.time = 999;
    broken.holder = {"AA", "Ann <b>"};
    broken.hadRecord = true;
    broken.beatenTime = 1099;
    broken.beatenHolder = {"BB", "Bob & Co"};
    BrokenRecord first = broken;
    first.eventTitle = "Arcade <1>";
    first.hadRecord = false;
    live.tonight.records = {broken, first};
    live.tonight.moves = {{{"CC", "Cid"}, 4, 2}, {{"BB", "Bob & Co"}, 1, 2}};

    StringSink sink;
    renderHtml(results, sink, &live);
    std::string page = sink.take();
    const std::string section = tonightSection(page);
    ASSERT_FALSE(section.empty()) << page;
    EXPECT_LT(page.find("<div id=\"live\""), page.find(section));
    EXPECT_LT(page.find(section), page.find("<section id=\"drivers\">"));
    EXPECT_NE(section.find("<h2>Tonight</h2>"), std::string::npos);
    EXPECT_EQ(section.find("<b>"), std::string::npos) << section;
    EXPECT_EQ(section.find("Arcade <1>"), std::string::npos) << section;
    for (const char* shown : {"20:31:07", "Ann &lt;b&gt;", "Finland 1", "Arcade &lt;1&gt;",
                              "first time", "Bob &amp; Co",
                              "\xE2\x96\xB2"
                              "2",
                              "\xE2\x96\xBC"
                              "1",
                              "4 \xE2\x86\x92 2"}) {
        EXPECT_NE(section.find(shown), std::string::npos) << shown << "\n" << section;
    }
    EXPECT_EQ(section.find("Nothing has changed"), std::string::npos);

    // Without the live parts the page is the file page, byte for byte.
    EXPECT_EQ(filePage.find("id=\"tonight\""), std::string::npos);
    page.erase(page.find(section), section.size());
    const std::string script = "<script src=\"/live.js\" defer></script>\n";
    page.erase(page.find(script), script.size());
    const size_t status = page.find("<div id=\"live\"");
    page.erase(status, page.find("</div>\n", status) + 7 - status);
    EXPECT_EQ(page, filePage);

    live.tonight = Tonight{true, {}, {}, {}};
    StringSink quiet;
    renderHtml(results, quiet, &live);
    EXPECT_NE(tonightSection(quiet.take()).find("<p>No arrivals, records or moves"),
              std::string::npos);
}

} // namespace
