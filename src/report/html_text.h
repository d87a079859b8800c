// Pieces shared by the sections of the HTML page.
#pragma once

#include "report/output_sink.h"

#include <string>
#include <string_view>
#include <vector>

namespace kvr {

// Text as element content or attribute value (UTF-8).
std::string escapeHtml(std::string_view text);

// A table cell holding `html`, and one holding a number, right-aligned.
void htmlCell(OutputSink& out, std::string_view html);
void htmlNumberCell(OutputSink& out, long long value);

// A column header: its text and its class ("n" right-aligns numbers; "" none).
struct HtmlColumn {
    const char* title;
    const char* cls = "";
};

// A table in a box that scrolls sideways on a narrow screen, up to the end of its header:
// `attributes` of the table element (may be empty) and an optional caption, already HTML.
void htmlTableHead(OutputSink& out, std::string_view attributes, std::string_view captionHtml,
                   const std::vector<HtmlColumn>& columns);
void htmlTableEnd(OutputSink& out);

// A whole table whose body `writeRows` writes; no body when there are no rows, as an empty
// one is a fault to some checkers.
template <typename Rows>
void htmlTable(OutputSink& out, std::string_view attributes, std::string_view captionHtml,
               const std::vector<HtmlColumn>& columns, size_t rows, Rows writeRows) {
    htmlTableHead(out, attributes, captionHtml, columns);
    if (rows > 0) {
        out.put("<tbody>\n");
        writeRows();
        out.put("</tbody>\n");
    }
    htmlTableEnd(out);
}

} // namespace kvr
