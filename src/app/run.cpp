#include "app/run.h"

#include "data/participant.h"
#include "platform/fs.h"
#include "records/records_file.h"
#include "report/ranking_report.h"

#include <cstring>
#include <vector>

namespace kvr {

namespace {

// Console pieces appear as they are written, so a name stands before its outcome.
// Pieces written with nothing between them go out in one flush.
void say(std::FILE* console, const char* text, const char* more = "") {
    std::fputs(text, console);
    std::fputs(more, console);
    std::fflush(console);
}

bool updateGameRecords(const std::vector<ParticipantRecord>& participants, std::FILE* console) {
    RecordTables tables;
    selectBestTimes(participants.data(), static_cast<int32_t>(participants.size()), tables);
    say(console, "updateing ", GameRecordsPath);
    bool written = writeGameRecords(tables, GameRecordsPath);
    say(console, written ? "... ok!\n" : "... failed!\n");
    return written;
}

} // namespace

bool buildParticipantPath(const std::string& name, char (&path)[ParticipantPathCapacity]) {
    static constexpr char prefix[] = "kvr/";
    const size_t prefixLength = sizeof prefix - 1;
    if (prefixLength + name.size() + 1 > ParticipantPathCapacity) {
        return false;
    }
    std::memcpy(path, prefix, prefixLength);
    std::memcpy(path + prefixLength, name.c_str(), name.size() + 1);
    return true;
}

int runKvrRank(std::FILE* console) {
    std::vector<platform::FolderEntry> entries;
    if (!platform::listFolder(ParticipantFolder, ParticipantExtension, entries) ||
        entries.empty()) {
        say(console, "not found kvr file\n");
        return ExitFailure;
    }

    std::vector<ParticipantRecord> participants;
    participants.reserve(entries.size());
    ParticipantRecord scratch{};
    char path[ParticipantPathCapacity];
    for (const platform::FolderEntry& entry : entries) {
        if (entry.isFolder) {
            continue;
        }
        say(console, "importing ", entry.name.c_str());
        bool imported =
            buildParticipantPath(entry.name, path) && readParticipantFile(path, scratch);
        if (imported) {
            participants.push_back(scratch);
        }
        say(console, imported ? " ... ok!\n" : " ... failed!\n");
    }
    entries.clear();
    entries.shrink_to_fit();

    // Nothing imported: neither the records file nor the report is touched.
    if (participants.empty()) {
        return ExitFailure;
    }
    if (!updateGameRecords(participants, console)) {
        return ExitFailure;
    }
    bool reported = writeRankingReport(
        participants.data(), static_cast<int32_t>(participants.size()), RankingReportPath);
    return reported ? ExitSuccess : ExitFailure;
}

} // namespace kvr
