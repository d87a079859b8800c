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

void readArchive(platform::Env& env, const RunOptions& options, ComputedRun& run,
                 std::FILE* errors) {
    const std::map<DriverIdentity, DriverIdentity> aliases = run.model.league.roster.aliases();
    std::vector<history::ArchivedSeason> seasons;
    std::vector<UnreadSeason> unread;
    for (size_t i = 0; i < options.archive.size(); ++i) {
        const std::string& shown = options.archiveShown[i];
        std::string text;
        const platform::Status read =
            platform::readWholeShared(env, options.archive[i].c_str(), ArchiveSeasonLimit, text);
        std::optional<std::vector<history::SnapshotStanding>> standings;
        std::string reason = read ? std::string() : read.reason();
        if (read) {
            standings = history::finalStandings(text, aliases);
            reason = standings ? reason : "not a kvrrank history file";
        }
        if (!standings) {
            complain(errors, shown, reason + "; left out of the all-time table");
            unread.push_back({shown, reason});
            continue;
        }
        seasons.push_back({history::seasonName(shown), std::move(*standings)});
    }
    const std::string& current = options.file(Output::History);
    run.allTime = history::buildAllTime(
        seasons, run.model, current.empty() ? "This season" : history::seasonName(current),
        std::move(unread));
}

} // namespace kvr
