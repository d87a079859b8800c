// The standings card: what it shows of a run, a size fixed by the rows shown, hostile names that
// stay inside their columns, colours that read, and the same bytes for the same standings.
#include "report/standings_card.h"

#include "harness/card_checks.h"
#include "support/participant_builder.h"

#include <gtest/gtest.h>

#include <cmath>
#include <string>
#include <vector>

namespace {

using namespace kvr;
using kvrtest::ParticipantFileBuilder;

const ReportTime Evening{2026, 12, 8, 21, 4, 0};

struct CardRun {
    std::vector<ParticipantRecord> records;
    RankingModel model;
};

// `count` drivers, the first fastest; names from `nameOf`; teams by code when `teams`.
CardRun runOf(size_t count, std::string (*nameOf)(size_t), bool teams = false) {
    CardRun run;
    for (size_t i = 0; i < count; ++i) {
        ParticipantFileBuilder image;
        const std::string code{char('A' + i % 26), char('A' + i / 26 % 26), 'X'};
        image.code(code).name(nameOf(i));
        // Each stage gives points to ten other drivers.
        for (int stage = 0; stage < 10; ++stage) {
            const size_t place = (i + count - size_t(stage) * 10 % count) % count;
            image.stage(stage / 6, stage % 6, 1, static_cast<uint32_t>(10001 + 100 * place));
        }
        run.records.push_back(image.record());
    }
    RankingOptions options;
    if (teams) {
        options.league.file = "kvrrank.toml";
        options.league.roster.teams = {
            Team{"Red Foxes of the Northern Forest Rally Club", 2, {"AAX", "CAX"}},
            Team{"Blue", 2, {"BAX"}}};
    }
    run.model = computeRankingModel(run.records.data(), static_cast<int32_t>(run.records.size()),
                                    {}, Evening, options);
    return run;
}

std::string plainName(size_t i) {
    return "Driver " + std::to_string(i + 1);
}

// Names from strangers' files: control bytes, Windows-1252's high half, quotes, 43 bytes.
std::string hostileName(size_t i) {
    const std::string names[] = {
        std::string("\x01\x1b[31mred\x7f", 10),
        "\x80\x81\x8d\x9f\xa0\xff\xfe\xfd",
        "\"'<b>&amp;</b>'\"",
        std::string(43, 'W'),
        std::string(43, '\xff'),
        "",
    };
    return names[i % 6];
}

CardContent contentOf(const CardRun& run, const SeasonChanges* season = nullptr,
                      const std::string& pageUrl = std::string()) {
    const RunResults results(run.model, season);
    return cardContent(results, CardSettings{}, pageUrl);
}

TEST(StandingsCard, ShowsTwelveDriversThenHowManyMoreWithTheSeasonsMoves) {
    const CardRun run = runOf(30, plainName, true);
    SeasonChanges season;
    season.runs = 5;
    season.movements.resize(run.model.standings.size());
    season.movements[0].movement = 2;
    season.movements[1].movement = -1;
    season.movements[2].movement = 0;
    const CardContent content = contentOf(run, &season, "https://example.org/league/");
    EXPECT_EQ(content.title, "Dustline Rally 2.0");
    EXPECT_EQ(content.subtitle, "8 December 2026 \xC2\xB7 after 5 runs");
    ASSERT_EQ(content.rows.size(), 12u);
    EXPECT_EQ(content.more, "+ " + std::to_string(run.model.standings.size() - 12) + " more");
    EXPECT_EQ(content.footer, "https://example.org/league/");
    const Standing& leader = run.model.standings[0];
    EXPECT_EQ(content.rows[0].points, std::to_string(leader.points));
    EXPECT_EQ(content.rows[0].name, run.model.participants[size_t(leader.participantIndex)].name);
    const std::pair<std::string, CardMove> moves[] = {{"\xE2\x96\xB2"
                                                       "2",
                                                       CardMove::Up},
                                                      {"\xE2\x96\xBC"
                                                       "1",
                                                       CardMove::Down},
                                                      {"=", CardMove::Same},
                                                      {"new", CardMove::New}};
    for (size_t i = 0; i < 4; ++i) {
        EXPECT_EQ(content.rows[i].movement, moves[i].first);
        EXPECT_EQ(content.rows[i].move, moves[i].second);
    }
    EXPECT_TRUE(content.teams);
    size_t withTeam = 0;
    for (const CardRow& row : content.rows) {
        withTeam += row.team.empty() ? 0 : 1;
    }
    EXPECT_EQ(withTeam, 3u);

    // Without a season: the date alone, no movement column.
    const CardContent alone = contentOf(runOf(3, plainName));
    EXPECT_EQ(alone.subtitle, "8 December 2026");
    EXPECT_FALSE(alone.moves);
    EXPECT_TRUE(alone.more.empty());
}

void expectInsideItsBoxes(const CardLayout& layout);

// The card's words in the league's language: the date with its month's name, the season's
// runs by the language's plural forms, and the drivers not shown.
TEST(StandingsCard, SpeaksTheLeaguesLanguage) {
    CardRun run = runOf(30, plainName);
    const std::string more = std::to_string(run.model.standings.size() - 12);
    const struct {
        const char* language;
        size_t runs;
        std::string subtitle;
        std::string more;
        const char* fresh; // a driver new to the season
    } cases[] = {
        {"de", 5, "8. Dezember 2026 \xC2\xB7 nach 5 L\xC3\xA4ufen", "+ " + more + " weitere",
         "neu"},
        {"pl", 1, "8 grudnia 2026 \xC2\xB7 po 1 przebiegu",
         "+ " + more +
             " wi\xC4\x99"
             "cej",
         "nowy"},
        {"pl", 22, "8 grudnia 2026 \xC2\xB7 po 22 przebiegach",
         "+ " + more +
             " wi\xC4\x99"
             "cej",
         "nowy"},
        {"fr", 1,
         "8 d\xC3\xA9"
         "cembre 2026 \xC2\xB7 apr\xC3\xA8s 1 passage",
         "+ " + more + " de plus", "nouveau"},
        {"es", 2, "8 de diciembre de 2026 \xC2\xB7 tras 2 pasadas", "+ " + more + " m\xC3\xA1s",
         "nuevo"},
        {"en", 1, "8 December 2026 \xC2\xB7 after 1 run", "+ " + more + " more", "new"},
    };
    for (const auto& c : cases) {
        SCOPED_TRACE(c.language);
        run.model.league.language = c.language;
        SeasonChanges season;
        season.runs = c.runs;
        season.movements.resize(run.model.standings.size());
        const CardContent content = contentOf(run, &season);
        EXPECT_EQ(content.subtitle, c.subtitle);
        EXPECT_EQ(content.more, c.more);
        EXPECT_EQ(content.rows[0].movement, c.fresh);
        expectInsideItsBoxes(layoutCard(content));
    }
}

TEST(StandingsCard, ItsHeightIsFixedByTheRowsShown) {
    const int thirty = layoutCard(contentOf(runOf(30, plainName))).height;
    EXPECT_EQ(layoutCard(contentOf(runOf(100, plainName))).height, thirty);
    const int five = layoutCard(contentOf(runOf(5, plainName))).height;
    EXPECT_LT(five, thirty);
    EXPECT_GT(layoutCard(contentOf(runOf(30, plainName), nullptr, "https://e.org/")).height,
              thirty);
}

void expectInsideItsBoxes(const CardLayout& layout) {
    const char* fault = kvrfuzz::cardLayoutFault(layout);
    EXPECT_EQ(fault, nullptr) << fault;
}

TEST(StandingsCard, HostileNamesStayInsideTheirColumns) {
    const CardRun run = runOf(14, hostileName, true);
    SeasonChanges season;
    season.runs = 1000000;
    season.movements.resize(run.model.standings.size());
    season.movements[0].movement = -999999;
    const RunResults results(run.model, &season);
    CardSettings settings;
    settings.title = std::string(200, '\xE2') + "\x01 title";
    settings.theme = CardTheme::Light;
    const CardContent content =
        cardContent(results, settings, "https://example.org/" + std::string(300, 'x'));
    ASSERT_EQ(content.rows.size(), 12u);
    expectInsideItsBoxes(layoutCard(content));
    expectInsideItsBoxes(layoutCard(contentOf(runOf(2, hostileName))));
}

TEST(StandingsCard, TheSameStandingsGiveTheSameBytesAndAPngOfTheCardsSize) {
    const CardRun run = runOf(30, hostileName, true);
    const RunResults results(run.model);
    StringSink first, second;
    renderCard(results, CardSettings{}, "", first);
    renderCard(results, CardSettings{}, "", second);
    const std::string png = first.take();
    EXPECT_EQ(png, second.take());
    ASSERT_GT(png.size(), 33u);
    EXPECT_EQ(png.substr(0, 16), std::string("\x89PNG\r\n\x1a\n\0\0\0\x0dIHDR", 16));
    const auto u32 = [&](size_t at) {
        return uint32_t(uint8_t(png[at])) << 24 | uint32_t(uint8_t(png[at + 1])) << 16 |
               uint32_t(uint8_t(png[at + 2])) << 8 | uint32_t(uint8_t(png[at + 3]));
    };
    EXPECT_EQ(u32(16), uint32_t(CardWidth));
    EXPECT_EQ(u32(20), uint32_t(layoutCard(contentOf(run)).height));
    EXPECT_EQ(png.substr(24, 2), std::string("\x08\x02", 2)); // 8 bits, RGB
    // No chunk but the picture's own: nothing that changes from run to run.
    for (const char* chunk : {"tIME", "tEXt", "iTXt", "zTXt"}) {
        EXPECT_EQ(png.find(chunk), std::string::npos) << chunk;
    }
}

// WCAG's contrast ratio of two colours.
double contrast(Rgb a, Rgb b) {
    const auto luminance = [](Rgb c) {
        const auto channel = [](uint8_t v) {
            const double s = v / 255.0;
            return s <= 0.03928 ? s / 12.92 : std::pow((s + 0.055) / 1.055, 2.4);
        };
        return 0.2126 * channel(c.r) + 0.7152 * channel(c.g) + 0.0722 * channel(c.b);
    };
    const double x = luminance(a) + 0.05;
    const double y = luminance(b) + 0.05;
    return x > y ? x / y : y / x;
}

TEST(StandingsCard, EveryTextColourReadsOnTheBackgroundAndTheBand) {
    for (const CardTheme theme : {CardTheme::Dark, CardTheme::Light}) {
        const CardColours& c = cardColours(theme);
        for (const Rgb under : {c.background, c.band}) {
            for (const Rgb text : {c.text, c.muted, c.accent, c.up, c.down, c.fresh}) {
                EXPECT_GE(contrast(text, under), 4.5)
                    << int(theme) << " " << int(text.r) << "," << int(text.g) << "," << int(text.b);
            }
        }
    }
}

} // namespace
