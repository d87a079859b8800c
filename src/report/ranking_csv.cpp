#include "report/ranking_csv.h"

#include "data/text.h"

namespace kvr {

namespace {

// One field, quoted when it holds a comma, a quote or a line break; a quote inside is doubled.
void field(OutputSink& out, std::string_view text, bool first = false) {
    if (!first) {
        out.put(',');
    }
    if (text.find_first_of(",\"\r\n") == std::string_view::npos) {
        out.put(text);
        return;
    }
    out.put('"');
    for (char c : text) {
        if (c == '"') {
            out.put('"');
        }
        out.put(c);
    }
    out.put('"');
}

// A text cell from a participant (file, code, name). One that a spreadsheet would take as a
// formula, by its first character, gets a leading apostrophe, so that it shows as text.
void textField(OutputSink& out, const std::string& text) {
    if (!text.empty() && std::string_view("=+-@\t\r").find(text[0]) != std::string_view::npos) {
        field(out, "'" + text);
    } else {
        field(out, text);
    }
}

void timeCell(OutputSink& out, uint32_t time) {
    out.put(',');
    if (time != NoTime) {
        out.putTime(time);
    }
}

void headerRow(OutputSink& out) {
    field(out, "index", true);
    for (const char* column : {"file", "code", "name", "date", "place", "points"}) {
        field(out, column);
    }
    for (int r = 0; r < RallyCount; ++r) {
        for (int s = 0; s < stageCounts[r]; ++s) {
            field(out, std::string(rallyNames[r]) + " " + std::to_string(s + 1));
        }
    }
    for (int a = 0; a < ArcadeEventCount; ++a) {
        field(out, std::string("Arcade ") + arcadeNames[a]);
    }
    out.put("\r\n");
}

} // namespace

void renderCsv(const RankingModel& model, OutputSink& out) {
    headerRow(out);
    for (size_t i = 0; i < model.participants.size(); ++i) {
        const RankedParticipant& p = model.participants[i];
        out.putNumber(static_cast<long long>(i + 1));
        textField(out, validUtf8(p.file));
        textField(out, windows1252ToUtf8(p.code));
        textField(out, windows1252ToUtf8(p.name));
        field(out, formatDate(p));
        if (p.place > 0) {
            out.put(',');
            out.putNumber(p.place);
            out.put(',');
            out.putNumber(p.points);
        } else {
            out.put(",,");
        }
        for (int r = 0; r < RallyCount; ++r) {
            for (int s = 0; s < stageCounts[r]; ++s) {
                timeCell(out, p.stageTime(stageSlot(r, s)));
            }
        }
        for (int a = 0; a < ArcadeEventCount; ++a) {
            timeCell(out, p.arcadeTime(a));
        }
        out.put("\r\n");
    }
}

std::string renderCsv(const RankingModel& model) {
    StringSink out;
    renderCsv(model, out);
    return out.take();
}

} // namespace kvr
