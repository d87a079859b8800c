#include "output/output_table.h"

#include "output/outputs.h"
#include "platform/fs.h"
#include "records/records_file.h"
#include "report/ranking_csv.h"
#include "report/ranking_html.h"
#include "report/ranking_json.h"
#include "report/ranking_post.h"
#include "report/ranking_report.h"

namespace kvr {

namespace {

void records(const Publication& run, OutputSink& out) {
    if (run.records != nullptr) {
        out.put(std::string_view(reinterpret_cast<const char*>(run.records->entries[0].bytes),
                                 RecordTablesSize));
    }
}
void report(const Publication& run, OutputSink& out) {
    renderText(run.results.ranking, out, platform::TextLineEnd);
}
void html(const Publication& run, OutputSink& out) {
    renderHtml(run.results, out, nullptr, run.cardUrl);
}
void json(const Publication& run, OutputSink& out) {
    renderJson(run.results, out);
}
void csv(const Publication& run, OutputSink& out) {
    renderCsv(run.results, out);
}
void post(const Publication& run, OutputSink& out) {
    // The post links the page where the group sees it: a file name means nothing in a chat.
    renderPost(run.results, std::string(run.pageUrl), out, std::string(run.cardUrl));
}
void card(const Publication& run, OutputSink& out) {
    if (run.cardPng != nullptr) {
        out.put(run.cardPng->get());
        return;
    }
    static const CardSettings defaults;
    renderCard(run.results, run.card != nullptr ? *run.card : defaults, std::string(run.pageUrl),
               out);
}
void history(const Publication& run, OutputSink& out) {
    out.put(run.historyEntry);
}

// clang-format off
constexpr std::array<OutputKind, OutputCount> Table = {{
    {Output::Records, "--no-records",
     "leave Configuration/gameinfo.rcf alone (it need not exist); write\n"
     "ranking.txt and the exports only",
     "records", false, false, FileMode::InPlace, GameRecordsPath, "updateing ", true, false, false, records},
    {Output::Report, nullptr, nullptr, nullptr, false, false, FileMode::Replace, RankingReportPath,
     nullptr, false, true, false, report},
    {Output::Html, "--html", "also write the ranking as a web page to FILE",
     "html", true, true, FileMode::Replace, nullptr, nullptr, false, false, false, html},
    {Output::Json, "--json", "also write the ranking as JSON to FILE",
     "json", true, true, FileMode::Replace, nullptr, nullptr, false, false, false, json},
    {Output::Csv, "--csv", "also write every participant's times as CSV to FILE",
     "csv", true, false, FileMode::Replace, nullptr, nullptr, false, false, false, csv},
    {Output::Post, "--post",
     "also write a post for the group's chat to FILE (Markdown, in messages of\n"
     "at most 2,000 characters)",
     "post", true, false, FileMode::Replace, nullptr, nullptr, false, false, false, post},
    {Output::Card, "--card",
     "also write the standings as a picture for a chat to FILE (PNG, 1200\n"
     "pixels wide)",
     "card", true, false, FileMode::Replace, nullptr, nullptr, false, false, false, card},
    {Output::History, "--history",
     "keep the season in FILE (created when missing): the web page and the\n"
     "JSON show what changed since its earlier runs, and a run that writes\n"
     "ranking.txt adds itself to it",
     "history", true, false, FileMode::Append, nullptr, nullptr, false, false, true, history},
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
