#include "app/run.h"

#include "data/participant.h"
#include "data/text.h"
#include "platform/fs.h"
#include "records/records_file.h"
#include "report/ranking_report.h"

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

bool updateGameRecords(const std::vector<ParticipantRecord>& participants, std::FILE* console,
                       std::FILE* errors) {
    RecordTables tables;
    selectBestTimes(participants.data(), static_cast<int32_t>(participants.size()), tables);
    say(console, "updateing ", GameRecordsPath);
    platform::Status written = writeGameRecords(tables, GameRecordsPath);
    say(console, written ? "... ok!\n" : "... failed!\n");
    if (!written) {
        complain(errors, GameRecordsPath, written.reason());
    }
    return written.ok();
}

} // namespace

std::string participantPath(const std::string& name) {
    return std::string(ParticipantFolder) + "/" + name;
}

int runKvrRank(std::FILE* console, std::FILE* errors) {
    std::vector<platform::FolderEntry> entries;
    platform::Status listed =
        platform::listFolder(ParticipantFolder, ParticipantExtension, entries);
    if (!listed || entries.empty()) {
        say(console, "not found kvr file\n");
        complain(errors, ParticipantFolder,
                 listed ? "no .kvr file in this folder" : listed.reason());
        return ExitFailure;
    }

    std::vector<ParticipantRecord> participants;
    participants.reserve(entries.size());
    ParticipantRecord scratch{};
    size_t files = 0; // entries that are not folders
    for (const platform::FolderEntry& entry : entries) {
        if (entry.isFolder) {
            continue;
        }
        ++files;
        say(console, "importing ", safeText(entry.name));
        const std::string path = participantPath(entry.name);
        platform::Status imported = readParticipantFile(path.c_str(), scratch);
        if (imported) {
            participants.push_back(scratch);
        }
        say(console, imported ? " ... ok!\n" : " ... failed!\n");
        if (!imported) {
            complain(errors, path, imported.reason());
        }
    }
    entries.clear();
    entries.shrink_to_fit();

    // Nothing imported: neither the records file nor the report is touched.
    if (participants.empty()) {
        complain(errors, ParticipantFolder,
                 files == 0 ? "only folders, no participant file"
                            : "no participant file could be imported, nothing updated");
        return ExitFailure;
    }
    if (!updateGameRecords(participants, console, errors)) {
        return ExitFailure;
    }
    platform::Status reported = writeRankingReport(
        participants.data(), static_cast<int32_t>(participants.size()), RankingReportPath);
    if (!reported) {
        complain(errors, RankingReportPath, reported.reason());
        return ExitFailure;
    }
    return ExitSuccess;
}

} // namespace kvr
