#include "report/html_text.h"

#include "data/text.h"

namespace kvr {

std::string escapeHtml(std::string_view text) {
    std::string out;
    out.reserve(text.size() + 8);
    for (char c : text) {
        switch (c) {
        case '&':
            out += "&amp;";
            break;
        case '<':
            out += "&lt;";
            break;
        case '>':
            out += "&gt;";
            break;
        case '"':
            out += "&quot;";
            break;
        case '\'':
            out += "&#39;";
            break;
        default:
            out += c;
        }
    }
    return out;
}

std::string gameTextHtml(const std::string& bytes) {
    return escapeHtml(windows1252ToUtf8(bytes));
}

void htmlCell(OutputSink& out, std::string_view html) {
    out.put("<td>");
    out.put(html);
    out.put("</td>");
}

void htmlNumberCell(OutputSink& out, long long value) {
    out.put("<td class=\"n\">");
    out.putNumber(value);
    out.put("</td>");
}

} // namespace kvr
