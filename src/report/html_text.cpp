#include "report/html_text.h"

#include "model/time_text.h"

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

std::string fileNameHtml(std::string_view name) {
    std::string html;
    for (size_t from = 0; from < name.size();) {
        const size_t mark = name.find_first_of(".-_", from);
        const size_t end = mark == std::string_view::npos ? name.size() : mark + 1;
        html += escapeHtml(name.substr(from, end - from));
        if (end < name.size()) {
            html += "<wbr>";
        }
        from = end;
    }
    return html;
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

void htmlTime(OutputSink& out, uint64_t hundredths, char decimal) {
    char text[TimeTextCapacity];
    out.put(std::string_view(text, writeDuration(text, hundredths, decimal)));
}

void htmlTimeCell(OutputSink& out, uint64_t hundredths, const char* prefix, char decimal) {
    out.put("<td class=\"n\">");
    out.put(prefix);
    htmlTime(out, hundredths, decimal);
    out.put("</td>");
}

void htmlFoldStart(OutputSink& out, std::string_view cls, std::string_view summaryHtml,
                   std::string_view id) {
    out.put("<details class=\"");
    out.put(cls);
    out.put("\">\n<summary>");
    out.put(summaryHtml);
    // The id inside the fold: a browser opens a closed <details> for a link to what it holds,
    // not for one to the <details> itself.
    out.put("</summary>\n<div class=\"folded\" id=\"");
    out.put(id);
    out.put("\">\n");
}

void htmlFoldEnd(OutputSink& out) {
    out.put("</div>\n</details>\n");
}

void htmlTableHead(OutputSink& out, std::string_view attributes, std::string_view captionHtml,
                   const std::vector<HtmlColumn>& columns, std::string_view whoseHtml) {
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
    out.put("<thead>");
    if (!whoseHtml.empty()) {
        out.put("<tr class=\"whose\"><th colspan=\"");
        out.putNumber(static_cast<long long>(columns.size()));
        out.put("\">");
        out.put(whoseHtml);
        out.put("</th></tr>");
    }
    out.put("<tr>");
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
