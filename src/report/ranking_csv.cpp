#include "report/ranking_csv.h"

#include "data/text.h"

#include <cstdio>

namespace kvr {

namespace {

// Appends one field, quoted when it holds a comma, a quote or a line break; a quote inside
// is doubled.
void appendField(std::string& row, const std::string& field, bool first = false) {
    if (!first) {
        row += ',';
    }
    if (field.find_first_of(",\"\r\n") == std::string::npos) {
        row += field;
        return;
    }
    row += '"';
    for (char c : field) {
        if (c == '"') {
            row += '"';
        }
        row += c;
    }
    row += '"';
}

void appendNumber(std::string& row, long long value) {
    char text[32];
    std::snprintf(text, sizeof text, ",%lld", value);
    row += text;
}

void appendTimeCell(std::string& row, uint32_t time) {
    row += ',';
    if (time != NoTime) {
        appendTime(row, time);
    }
}

std::string headerRow() {
    std::string row;
    appendField(row, "index", true);
    for (const char* column : {"file", "code", "name", "date", "place", "points"}) {
        appendField(row, column);
    }
    for (int r = 0; r < RallyCount; ++r) {
        for (int s = 0; s < stageCounts[r]; ++s) {
            appendField(row, std::string(rallyNames[r]) + " " + std::to_string(s + 1));
        }
    }
    for (int a = 0; a < ArcadeEventCount; ++a) {
        appendField(row, std::string("Arcade ") + arcadeNames[a]);
    }
    return row + "\r\n";
}

} // namespace

std::string renderCsv(const RankingModel& model) {
    std::string out = headerRow();
    out.reserve(out.size() +
                model.participants.size() * (128 + 9 * (StageCount + ArcadeEventCount)));
    for (size_t i = 0; i < model.participants.size(); ++i) {
        const RankedParticipant& p = model.participants[i];
        char index[32];
        std::snprintf(index, sizeof index, "%zu", i + 1);
        appendField(out, index, true);
        appendField(out, validUtf8(p.file));
        appendField(out, windows1252ToUtf8(p.code));
        appendField(out, windows1252ToUtf8(p.name));
        appendField(out, formatDate(p));
        if (p.place > 0) {
            appendNumber(out, p.place);
            appendNumber(out, p.points);
        } else {
            out += ",,";
        }
        for (int r = 0; r < RallyCount; ++r) {
            for (int s = 0; s < stageCounts[r]; ++s) {
                appendTimeCell(out, p.stageTime(stageSlot(r, s)));
            }
        }
        for (int a = 0; a < ArcadeEventCount; ++a) {
            appendTimeCell(out, p.arcadeTime(a));
        }
        out += "\r\n";
    }
    return out;
}

} // namespace kvr
