// The standings as a picture for a group's chat: a PNG 1200 pixels wide with the first twelve
// drivers, large type that stays sharp when a phone scales it down, and a height fixed by the
// rows shown. The words are set in the font embedded in the program.
#pragma once

#include "image/canvas.h"
#include "model/run_results.h"
#include "report/output_sink.h"

#include <string>
#include <vector>

namespace kvr {

constexpr int CardWidth = 1200;
constexpr size_t CardRowCount = 12;

enum class CardTheme { Dark, Light };

// What the league file says of the card; the defaults when it says nothing.
struct CardSettings {
    std::string title; // empty: the game's name
    CardTheme theme = CardTheme::Dark;
};

// A row as the card shows it; a movement's kind picks its colour.
enum class CardMove { None, Up, Down, Same, New };
struct CardRow {
    std::string place;
    std::string name;
    std::string code;
    std::string team; // empty: none
    std::string points;
    std::string movement; // "▲2", "=", "new"; empty: no season
    CardMove move = CardMove::None;

    friend bool operator==(const CardRow& a, const CardRow& b) {
        return a.place == b.place && a.name == b.name && a.code == b.code && a.team == b.team &&
               a.points == b.points && a.movement == b.movement && a.move == b.move;
    }
};

// The card's words, before they are placed.
struct CardContent {
    CardTheme theme = CardTheme::Dark;
    std::string title;
    std::string subtitle; // the date, and the season's runs
    std::vector<CardRow> rows;
    std::string more;   // "+ 18 more"; empty: every driver is shown
    std::string footer; // the page's address; empty: none
    bool teams = false; // a team column
    bool moves = false; // a movement column

    friend bool operator==(const CardContent& a, const CardContent& b) {
        return a.theme == b.theme && a.title == b.title && a.subtitle == b.subtitle &&
               a.rows == b.rows && a.more == b.more && a.footer == b.footer && a.teams == b.teams &&
               a.moves == b.moves;
    }
};

CardContent cardContent(const RunResults& run, const CardSettings& settings,
                        const std::string& pageUrl);

// Colours of a theme; each kind of text reads on the background and on the rows' band.
struct CardColours {
    Rgb background, band, text, muted, accent, up, down, fresh;
};
const CardColours& cardColours(CardTheme theme);

// A line of text in its place: drawn from `x` on `baseline`, never outside `clip`.
struct CardText {
    SetText text;
    int x = 0;
    int baseline = 0;
    Rgb colour{};
    Box clip;
};
struct CardFill {
    Box box;
    Rgb colour{};
};
struct CardLayout {
    int width = CardWidth;
    int height = 0;
    Rgb background{};
    std::vector<CardFill> fills; // drawn first
    std::vector<CardText> texts;
};

CardLayout layoutCard(const CardContent& content);
Canvas paintCard(const CardLayout& layout);

// The card of the run as PNG bytes.
void renderCard(const RunResults& run, const CardSettings& settings, const std::string& pageUrl,
                OutputSink& out);
void renderCard(const CardContent& content, OutputSink& out);

} // namespace kvr
