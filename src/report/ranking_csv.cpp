#include "report/ranking_csv.h"

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
    for (const Event& event : allEvents()) {
        field(out, event.title());
    }
    out.put("\r\n");
}

} // namespace

void renderCsv(const RunResults& run, OutputSink& out) {
    const RankingModel& model = run.ranking;
    // The UTF-8 byte order mark: a spreadsheet opened by double-click takes the text as UTF-8
    // only with it.
    out.put("\xEF\xBB\xBF");
    headerRow(out);
    for (size_t i = 0; i < model.participants.size(); ++i) {
        const RankedParticipant& p = model.participants[i];
        out.putNumber(static_cast<long long>(i + 1));
        textField(out, p.file);
        textField(out, p.code);
        textField(out, p.name);
        field(out, formatDate(p.year, p.month, p.day));
        if (p.place > 0) {
            out.put(',');
            out.putNumber(p.place);
            out.put(',');
            out.putNumber(p.points);
        } else {
            out.put(",,");
        }
        for (const Event& event : allEvents()) {
            timeCell(out, p.time(event));
        }
        out.put("\r\n");
    }
}

std::string renderCsv(const RunResults& run) {
    StringSink out;
    renderCsv(run, out);
    return out.take();
}

} // namespace kvr
