#include "report/standings_card.h"

#include "image/png_writer.h"
#include "report/movement_text.h"
#include "report/words.h"

#include <algorithm>

namespace kvr {

namespace {

constexpr const char* GameName = "Dustline Rally 2.0";

// Sizes, in pixels. Names are set at 32 pixels to the em: a chat that shows the card 400
// pixels wide on a phone still shows them at about 11.
constexpr int Margin = 48;
constexpr int TitlePx = 48;
constexpr int SubtitlePx = 28;
constexpr int HeaderHeight = 176;
constexpr int RowPx = 32;
constexpr int SmallPx = 24; // code and team
constexpr int RowHeight = 56;
constexpr int MorePx = 28;
constexpr int MoreHeight = 56;
constexpr int FooterPx = 24;
constexpr int FooterHeight = 48;
constexpr int BottomMargin = 32;
constexpr int Gap = 16;

// "10 December 2026", "10. Dezember 2026"; the date as stored when it is not a date.
std::string dateText(const Words& words, const ReportTime& time) {
    if (time.month < 1 || time.month > 12) {
        return formatRunTime(time, RunTimeStyle::Iso).substr(0, 10);
    }
    return words.say(Word::CardDate,
                     {{"d", std::to_string(time.day)},
                      {"month", words.language().months[static_cast<size_t>(time.month - 1)]},
                      {"yyyy", std::to_string(time.year)}});
}

CardMove moveOf(const StandingMovement& move) {
    if (!move.movement) {
        return CardMove::New;
    }
    return *move.movement > 0 ? CardMove::Up : *move.movement < 0 ? CardMove::Down : CardMove::Same;
}

// The columns of a row, right to left from the margin; the name takes what is left.
struct Columns {
    Box place, name, code, team, points, move;
};
Columns columnsFor(const CardContent& content, int top) {
    const int bottom = top + RowHeight;
    Columns c;
    int right = CardWidth - Margin;
    if (content.moves) {
        c.move = {right - 96, top, right, bottom};
        right -= 96 + Gap;
    }
    c.points = {right - 128, top, right, bottom};
    right -= 128 + 2 * Gap;
    if (content.teams) {
        c.team = {right - 240, top, right, bottom};
        right -= 240 + Gap;
    }
    c.code = {right - 88, top, right, bottom};
    right -= 88 + Gap;
    c.place = {Margin, top, Margin + 72, bottom};
    c.name = {c.place.right + 2 * Gap, top, right, bottom};
    return c;
}

// A line in `box`, from its left or against its right, on `baseline`.
CardText placed(const std::string& text, int px, Box box, int baseline, Rgb colour,
                bool right = false) {
    CardText t;
    t.text = setText(text, px, box.width());
    t.x = right ? box.right - t.text.width : box.left;
    t.baseline = baseline;
    t.colour = colour;
    t.clip = box;
    return t;
}

int baselineIn(int top, int height, int px) {
    return top + (height + font::lineMetrics(px).capHeight) / 2;
}

} // namespace

CardContent cardContent(const RunResults& run, const CardSettings& settings,
                        const std::string& pageUrl) {
    const RankingModel& model = run.ranking;
    const Words words(model.league.language);
    CardContent content;
    content.theme = settings.theme;
    content.title = settings.title.empty() ? GameName : settings.title;
    content.subtitle = dateText(words, model.time);
    if (run.season != nullptr) {
        content.subtitle += " \xC2\xB7 " + words.count(Counted::CardAfterRuns, run.season->runs);
    }
    content.teams = !model.teamOf.empty();
    content.moves = run.season != nullptr;
    const size_t shown = std::min(CardRowCount, model.standings.size());
    for (size_t i = 0; i < shown; ++i) {
        const Standing& standing = model.standings[i];
        const auto index = static_cast<size_t>(standing.participantIndex);
        const RankedParticipant& p = model.participants[index];
        CardRow row;
        row.place = std::to_string(standing.place);
        row.name = p.name;
        row.code = p.code;
        if (content.teams && model.teamOf[index] >= 0) {
            row.team = model.league.roster.teams[static_cast<size_t>(model.teamOf[index])].name;
        }
        row.points = std::to_string(standing.points);
        if (run.season != nullptr && i < run.season->movements.size()) {
            row.movement = movementText(run.season->movements[i], words[Word::MovementNew]);
            row.move = moveOf(run.season->movements[i]);
        }
        content.rows.push_back(std::move(row));
    }
    if (model.standings.size() > shown) {
        content.more =
            words.say(Word::CardMore, {{"n", std::to_string(model.standings.size() - shown)}});
    }
    content.footer = pageUrl;
    return content;
}

const CardColours& cardColours(CardTheme theme) {
    static const CardColours dark{{17, 24, 39},   {31, 41, 55},   {249, 250, 251}, {203, 213, 225},
                                  {251, 191, 36}, {74, 222, 128}, {248, 113, 113}, {147, 197, 253}};
    static const CardColours light{{255, 255, 255}, {238, 242, 246}, {15, 23, 42},  {71, 85, 105},
                                   {146, 64, 14},   {22, 101, 52},   {185, 28, 28}, {29, 78, 216}};
    return theme == CardTheme::Light ? light : dark;
}

CardLayout layoutCard(const CardContent& content) {
    const CardColours& colours = cardColours(content.theme);
    CardLayout layout;
    layout.background = colours.background;
    const Box wide{Margin, 0, CardWidth - Margin, 0};
    auto line = [&](const std::string& text, int px, int top, int height, Rgb colour) {
        Box box = wide;
        box.top = top;
        box.bottom = top + height;
        layout.texts.push_back(placed(text, px, box, baselineIn(top, height, px), colour));
    };
    line(content.title, TitlePx, Margin - 8, 72, colours.text);
    line(content.subtitle, SubtitlePx, Margin + 64, 48, colours.muted);

    int top = HeaderHeight;
    for (size_t i = 0; i < content.rows.size(); ++i, top += RowHeight) {
        const CardRow& row = content.rows[i];
        if (i % 2 == 0) {
            layout.fills.push_back(
                {{Margin / 2, top, CardWidth - Margin / 2, top + RowHeight}, colours.band});
        }
        const Columns c = columnsFor(content, top);
        const int baseline = baselineIn(top, RowHeight, RowPx);
        layout.texts.push_back(placed(row.place, RowPx, c.place, baseline,
                                      i < 3 ? colours.accent : colours.text, true));
        layout.texts.push_back(placed(row.name, RowPx, c.name, baseline, colours.text));
        layout.texts.push_back(placed(row.code, SmallPx, c.code, baseline, colours.muted));
        if (content.teams) {
            layout.texts.push_back(placed(row.team, SmallPx, c.team, baseline, colours.muted));
        }
        layout.texts.push_back(placed(row.points, RowPx, c.points, baseline, colours.text, true));
        if (content.moves) {
            const Rgb colour = row.move == CardMove::Up     ? colours.up
                               : row.move == CardMove::Down ? colours.down
                               : row.move == CardMove::New  ? colours.fresh
                                                            : colours.muted;
            layout.texts.push_back(
                placed(row.movement, SmallPx + 2, c.move, baseline, colour, true));
        }
    }
    if (!content.more.empty()) {
        line(content.more, MorePx, top, MoreHeight, colours.muted);
        top += MoreHeight;
    }
    if (!content.footer.empty()) {
        line(content.footer, FooterPx, top, FooterHeight, colours.muted);
        top += FooterHeight;
    }
    layout.height = top + BottomMargin;
    return layout;
}

Canvas paintCard(const CardLayout& layout) {
    Canvas canvas(layout.width, layout.height, layout.background);
    for (const CardFill& fill : layout.fills) {
        canvas.fill(fill.box, fill.colour);
    }
    for (const CardText& text : layout.texts) {
        canvas.draw(text.text, text.x, text.baseline, text.colour, text.clip);
    }
    return canvas;
}

void renderCard(const CardContent& content, OutputSink& out) {
    out.put(encodePng(paintCard(layoutCard(content))));
}

void renderCard(const RunResults& run, const CardSettings& settings, const std::string& pageUrl,
                OutputSink& out) {
    renderCard(cardContent(run, settings, pageUrl), out);
}

} // namespace kvr
