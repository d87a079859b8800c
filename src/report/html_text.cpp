#include "report/html_text.h"

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

void htmlTableHead(OutputSink& out, std::string_view attributes, std::string_view captionHtml,
                   const std::vector<HtmlColumn>& columns) {
    out.put("<div class=\"scroll\"><table");
    if (!attributes.empty()) {
        out.put(' ');
        out.put(attributes);
    }
    out.put(">\n");
    if (!captionHtml.empty()) {
        out.put("<caption>");
        out.put(captionHtml);
        out.put("</caption>\n");
    }
    out.put("<thead><tr>");
    for (const HtmlColumn& column : columns) {
        if (*column.cls == '\0') {
            out.put("<th>");
        } else {
            out.put("<th class=\"");
            out.put(column.cls);
            out.put("\">");
        }
        out.put(escapeHtml(column.title));
        out.put("</th>");
    }
    out.put("</tr></thead>\n");
}

void htmlTableEnd(OutputSink& out) {
    out.put("</table></div>\n");
}

} // namespace kvr
