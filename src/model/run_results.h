// What one run renders: the ranking, and beside it what changed since the earlier runs of the
// season when a history was read. Both are computed before any output and only read after.
#pragma once

#include "data/participant.h"
#include "model/all_time_table.h"
#include "model/ranking_model.h"
#include "model/season_changes.h"

#include <cstddef>
#include <string>
#include <vector>

namespace kvr {

// A participant file that could not be imported: its bare name (UTF-8) and why, as told on the
// error stream.
struct NotImported {
    std::string file;
    std::string reason;
};

// The participant files a run read, in listing order.
struct ImportedFolder {
    std::vector<ParticipantRecord> records;
    std::vector<std::string> files; // the bare file name of each participant
    std::vector<NotImported> notImported;
    size_t fileEntries = 0; // entries that are not folders
};

struct RunResults {
    RunResults(const RankingModel& rankingModel, const SeasonChanges* seasonChanges = nullptr,
               const std::vector<NotImported>* notImportedFiles = nullptr)
        : ranking(rankingModel), season(seasonChanges),
          notImported(notImportedFiles != nullptr ? *notImportedFiles : none()) {}

    const RankingModel& ranking;
    const SeasonChanges* season;                 // nullptr: no season was kept
    const std::vector<NotImported>& notImported; // in listing order
    const AllTime* allTime = nullptr;            // nullptr: no archive was named

  private:
    static const std::vector<NotImported>& none() {
        static const std::vector<NotImported> empty;
        return empty;
    }
};

} // namespace kvr
