// Pieces shared by the sections of the HTML page.
#pragma once

#include "report/count_text.h"
#include "report/output_sink.h"

#include <cstddef>
#include <cstdint>

#include <string>
#include <string_view>
#include <vector>

namespace kvr {

// Text as element content or attribute value (UTF-8).
std::string escapeHtml(std::string_view text);

// A file name as element content, with a chance to break the line after each '.', '-' and
// '_', so that a long name need not widen its table on a phone.
std::string fileNameHtml(std::string_view name);

// A table cell holding `html`, and one holding a number, right-aligned.
void htmlCell(OutputSink& out, std::string_view html);
void htmlNumberCell(OutputSink& out, long long value);

// A time or a duration as the page shows it ("mm:ss.hh", from an hour "h:mm:ss.hh"), and a
// right-aligned cell holding one after `prefix`.
// `decimal` is the language's decimal sign.
void htmlTime(OutputSink& out, uint64_t hundredths, char decimal = '.');
void htmlTimeCell(OutputSink& out, uint64_t hundredths, const char* prefix = "",
                  char decimal = '.');

// A folded part of the page: a <details> of `cls` whose <summary> shows `summaryHtml`, with
// its content in an element of id `id`. A link to that id opens the fold.
void htmlFoldStart(OutputSink& out, std::string_view cls, std::string_view summaryHtml,
                   std::string_view id);
void htmlFoldEnd(OutputSink& out);

// A column header: its text and its class ("n" right-aligns numbers; "" none).
struct HtmlColumn {
    std::string_view title;
    const char* cls = "";
};

// A table in a box that scrolls sideways on a narrow screen, up to the end of its header:
// `attributes` of the table element (may be empty) and an optional caption, already HTML.
// A `whoseHtml` heads the header with a row across every column, shown in print only: the
// header repeats on every page a long table runs over, and so says whose table it is.
void htmlTableHead(OutputSink& out, std::string_view attributes, std::string_view captionHtml,
                   const std::vector<HtmlColumn>& columns, std::string_view whoseHtml = {});
void htmlTableEnd(OutputSink& out);

// A whole table whose body `writeRows` writes; no body when there are no rows, as an empty
// one is a fault to some checkers.
template <typename Rows>
void htmlTable(OutputSink& out, std::string_view attributes, std::string_view captionHtml,
               const std::vector<HtmlColumn>& columns, size_t rows, Rows writeRows,
               std::string_view whoseHtml = {}) {
    htmlTableHead(out, attributes, captionHtml, columns, whoseHtml);
    if (rows > 0) {
        out.put("<tbody>\n");
        writeRows();
        out.put("</tbody>\n");
    }
    htmlTableEnd(out);
}

} // namespace kvr
