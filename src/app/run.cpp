#include "app/run.h"

#include "app/outputs.h"

#include "data/decisions.h"
#include "data/participant.h"
#include "data/text.h"
#include "history/season.h"
#include "history/snapshot.h"
#include "model/ranking_model.h"
#include "platform/console.h"
#include "platform/fs.h"
#include "records/records_file.h"
#include "report/ranking_csv.h"
#include "report/ranking_html.h"
#include "report/ranking_json.h"
#include "report/ranking_post.h"
#include "report/ranking_report.h"

#include <filesystem>
#include <functional>
#include <optional>
#include <utility>
#include <vector>

namespace kvr {

namespace {

// Console pieces appear as they are written, so a name stands before its outcome.
// Pieces written with nothing between them go out in one flush.
// The console is a courtesy: a write that fails (its reader has gone) is not a failure of the
// run, so the results of these writes are not examined.
void say(std::FILE* console, const char* text, const std::string& more = std::string()) {
    platform::writeConsole(console, text + more);
}

} // namespace

void complain(std::FILE* errors, const std::string& path, const std::string& reason) {
    platform::writeConsole(errors, "kvrrank: " + safeText(path) + ": " + safeText(reason) + "\n");
}

namespace {

bool updateGameRecords(platform::Env& env, const std::vector<ParticipantRecord>& participants,
                       std::FILE* console, std::FILE* errors) {
    RecordTables tables;
    selectBestTimes(participants.data(), static_cast<int32_t>(participants.size()), tables);
    say(console, "updateing ", GameRecordsPath);
    platform::Status written = writeGameRecords(env, tables, GameRecordsPath);
    say(console, written ? "... ok!\n" : "... failed!\n");
    if (!written) {
        complain(errors, GameRecordsPath, written.reason());
    }
    return written.ok();
}

constexpr const char* NotAHistory = "not a kvrrank history file";

// Opens and reads the season's history, held until this run's snapshot is appended, and
// computes the changes since its runs. Nothing, with the reason told, when it cannot be used:
// the run then goes on without it. `content` is left holding the file's last byte.
std::optional<SeasonChanges> readSeason(platform::AppendOnlyFile& file, const std::string& path,
                                        const RankingModel& model, std::string& content,
                                        std::FILE* errors) {
    platform::Status status = file.open(path.c_str());
    status = status ? file.readAll(content) : status;
    if (!status) {
        complain(errors, path, status.reason());
        return std::nullopt;
    }
    const history::HistoryDigest digest = history::readHistory(content);
    if (!digest.isHistory()) {
        complain(errors, path, NotAHistory);
        return std::nullopt;
    }
    std::optional<SeasonChanges> season = history::compareSeason(digest, model);
    // Only the last byte matters from here on (whether a line feed must come first): the rest
    // of a long season need not stay in memory through the outputs.
    content.erase(0, content.empty() ? 0 : content.size() - 1);
    content.shrink_to_fit();
    return season;
}

// Writes ranking.txt and every requested export from one model, and adds the run to the
// history. Each file is attempted on its own: a failed one keeps its earlier version, says
// why, and fails the run.
// `imported` are the records as read; `decided` what the league's decisions made of them.
bool writeRanking(platform::Env& env, const std::vector<ParticipantRecord>& imported,
                  const DecidedField& decided, std::vector<std::string> files,
                  const std::vector<NotImported>& notImported, const RunOptions& options,
                  std::FILE* errors) {
    const std::vector<ParticipantRecord>& participants = decided.records;
    // The drivers' results and the checks are worked out only for the outputs that show them.
    RankingOptions ranking;
    ranking.driverResults = !options.htmlPath.empty() || !options.jsonPath.empty();
    ranking.checks = ranking.driverResults;
    ranking.league = options.league;
    if (!options.league.decisions.empty()) {
        ranking.decided = &decided;
        ranking.imported = imported.data();
    }
    const RankingModel model =
        computeRankingModel(participants.data(), static_cast<int32_t>(participants.size()),
                            std::move(files), currentLocalTime(), ranking);
    bool ok = true;
    platform::AppendOnlyFile historyFile(env);
    std::string historyText;
    std::optional<SeasonChanges> season;
    if (!options.historyPath.empty()) {
        season = readSeason(historyFile, options.historyPath, model, historyText, errors);
        ok = season.has_value();
    }
    const RunResults run(model, season ? &*season : nullptr, &notImported);
    platform::Status reported = writeRankingReport(env, model, RankingReportPath);
    if (!reported) {
        complain(errors, RankingReportPath, reported.reason());
        ok = false;
    }
    // The post names the page by its bare file name, as the group sees it where it is shared.
    const std::string pageName =
        options.htmlPath.empty() ? std::string()
                                 : std::filesystem::u8path(options.htmlPath).filename().u8string();
    const struct {
        const std::string& path;
        std::function<void(const RunResults&, OutputSink&)> render;
    } exports[] = {
        {options.htmlPath, [](const RunResults& r, OutputSink& out) { renderHtml(r, out); }},
        {options.jsonPath, [](const RunResults& r, OutputSink& out) { renderJson(r, out); }},
        {options.csvPath, [](const RunResults& r, OutputSink& out) { renderCsv(r, out); }},
        {options.postPath,
         [&pageName](const RunResults& r, OutputSink& out) { renderPost(r, pageName, out); }},
    };
    for (const auto& output : exports) {
        if (output.path.empty()) {
            continue;
        }
        // Streamed into the file as it is rendered: an export is never held whole in memory.
        platform::Status written = writeRendering(
            env, output.path.c_str(), [&](OutputSink& out) { output.render(run, out); });
        if (!written) {
            complain(errors, output.path, written.reason());
            ok = false;
        }
    }
    // Last, so that a run counts in the season only once its outputs are out.
    if (season && reported) {
        const std::string entry = history::textToAppend(historyText, history::snapshotLine(model));
        platform::Status appended = historyFile.append(entry.data(), entry.size());
        appended = appended ? historyFile.close() : appended;
        if (!appended) {
            complain(errors, options.historyPath, appended.reason());
            ok = false;
        }
    }
    return ok;
}

} // namespace

std::string participantPath(const std::string& name) {
    return std::string(ParticipantFolder) + "/" + name;
}

namespace {

// The participant folder as the user knows it: under the game folder they named.
std::string shownParticipantFolder(const std::string& gameFolder) {
    if (gameFolder.empty()) {
        return ParticipantFolder;
    }
    const char last = gameFolder.back();
    const bool separated = last == '/' || last == platform::PathSeparator;
    return gameFolder + (separated ? "" : std::string(1, platform::PathSeparator)) +
           ParticipantFolder;
}

} // namespace

int runKvrRank(platform::Env& env, std::FILE* console, std::FILE* errors,
               const RunOptions& options) {
    const std::string participantFolder = shownParticipantFolder(options.gameFolder);
    std::vector<platform::FolderEntry> entries;
    platform::Status listed =
        platform::listFolder(env, ParticipantFolder, ParticipantExtension, entries);
    if (!listed || entries.empty()) {
        say(console, "not found kvr file\n");
        complain(errors, participantFolder,
                 listed ? "no .kvr file in this folder" : listed.reason());
        return ExitFailure;
    }

    std::vector<ParticipantRecord> participants;
    std::vector<std::string> files; // the bare file name of each participant
    std::vector<NotImported> notImported;
    participants.reserve(entries.size());
    files.reserve(entries.size());
    ParticipantRecord scratch{};
    size_t fileEntries = 0; // entries that are not folders
    for (platform::FolderEntry& entry : entries) {
        if (entry.isFolder) {
            continue;
        }
        ++fileEntries;
        say(console, "importing ", safeText(entry.name));
        const std::string path = participantPath(entry.name);
        platform::Status imported = readParticipantFile(env, path.c_str(), scratch);
        if (imported) {
            participants.push_back(scratch);
            files.push_back(std::move(entry.name)); // the listing is dropped after the scan
        }
        say(console, imported ? " ... ok!\n" : " ... failed!\n");
        if (!imported) {
            complain(errors, path, imported.reason());
            notImported.push_back({validUtf8(entry.name), safeText(imported.reason())});
        }
    }
    entries.clear();
    entries.shrink_to_fit();

    // Nothing imported: neither the records file nor the report is touched.
    if (participants.empty()) {
        complain(errors, participantFolder,
                 fileEntries == 0 ? "only folders, no participant file"
                                  : "no participant file could be imported, nothing updated");
        return ExitFailure;
    }
    // Decided before the best times are chosen: the records file never receives a time
    // decided against.
    // The records as imported are kept beside the decided ones only when there are decisions.
    std::vector<ParticipantRecord> imported;
    if (!options.league.decisions.empty()) {
        imported = participants;
    }
    const DecidedField decided =
        applyDecisions(options.league.decisions, std::move(participants), files);
    if (options.updateRecords && !updateGameRecords(env, decided.records, console, errors)) {
        return ExitFailure;
    }
    return writeRanking(env, imported, decided, std::move(files), notImported, options, errors)
               ? ExitSuccess
               : ExitFailure;
}

} // namespace kvr
