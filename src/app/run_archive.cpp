#include "app/run_compute.h"

#include "history/all_time.h"
#include "platform/fs.h"

#include <map>
#include <utility>

namespace kvr {

namespace {

// An archived season is a history file like this season's: large, but far below this.
constexpr size_t ArchiveSeasonLimit = size_t{1} << 30;

} // namespace

ArchiveRead readArchive(platform::Env& env, const RunOptions& options, const ComputedRun& run,
                        std::FILE* errors) {
    ArchiveRead read;
    read.files = options.archive;
    read.aliases = run.model.league.roster.aliases();
    for (size_t i = 0; i < options.archive.size(); ++i) {
        const std::string& shown = options.archiveShown[i];
        std::string text;
        const platform::Status status =
            platform::readWholeShared(env, options.archive[i].c_str(), ArchiveSeasonLimit, text);
        std::optional<std::vector<history::SnapshotStanding>> standings;
        std::string reason = status ? std::string() : status.reason();
        if (status) {
            standings = history::finalStandings(text, read.aliases);
            reason = standings ? reason : "not a kvrrank history file";
        }
        if (!standings) {
            complain(errors, shown, reason + "; left out of the all-time table");
            read.unread.push_back({shown, reason});
            continue;
        }
        read.seasons.push_back({history::seasonName(shown), std::move(*standings)});
    }
    return read;
}

bool archiveReadFor(const ArchiveRead& read, const RunOptions& options, const ComputedRun& run) {
    return read.files == options.archive && read.aliases == run.model.league.roster.aliases();
}

void addAllTime(const RunOptions& options, const ArchiveRead& archive, ComputedRun& run) {
    const std::string& current = options.file(Output::History);
    run.allTime = history::buildAllTime(
        archive.seasons, run.model, current.empty() ? "This season" : history::seasonName(current),
        archive.unread);
}

} // namespace kvr
