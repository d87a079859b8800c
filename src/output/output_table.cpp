#include "output/output_table.h"

#include "report/ranking_csv.h"
#include "report/ranking_html.h"
#include "report/ranking_json.h"
#include "report/ranking_post.h"

namespace kvr {

namespace {

void html(const RunResults& run, const std::string&, OutputSink& out) {
    renderHtml(run, out);
}
void json(const RunResults& run, const std::string&, OutputSink& out) {
    renderJson(run, out);
}
void csv(const RunResults& run, const std::string&, OutputSink& out) {
    renderCsv(run, out);
}
void post(const RunResults& run, const std::string& pageName, OutputSink& out) {
    renderPost(run, pageName, out);
}

// clang-format off
constexpr std::array<OutputKind, OutputCount> Table = {{
    {Output::Records, "--no-records",
     "leave Configuration/gameinfo.rcf alone (it need not exist); write\n"
     "ranking.txt and the exports only",
     "records", false, false, false, nullptr},
    {Output::Report, nullptr, nullptr, nullptr, false, false, false, nullptr},
    {Output::Html, "--html", "also write the ranking as a web page to FILE",
     "html", true, true, true, html},
    {Output::Json, "--json", "also write the ranking as JSON to FILE",
     "json", true, true, true, json},
    {Output::Csv, "--csv", "also write every participant's times as CSV to FILE",
     "csv", true, false, false, csv},
    {Output::Post, "--post",
     "also write a post for the group's chat to FILE (Markdown, in messages of\n"
     "at most 2,000 characters)",
     "post", true, false, true, post},
    {Output::History, "--history",
     "keep the season in FILE (created when missing): the web page and the\n"
     "JSON show what changed since its earlier runs, and a run that writes\n"
     "ranking.txt adds itself to it",
     "history", true, false, false, nullptr},
}};
// clang-format on

constexpr bool inOrder() {
    for (size_t i = 0; i < OutputCount; ++i) {
        if (indexOf(Table[i].output) != i) {
            return false;
        }
    }
    return true;
}
static_assert(inOrder(), "the table lists each output at its own index");

} // namespace

const std::array<OutputKind, OutputCount>& outputTable() {
    return Table;
}

const OutputKind& outputKind(Output output) {
    return Table[indexOf(output)];
}

} // namespace kvr
