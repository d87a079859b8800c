#include "history/all_time.h"

#include <algorithm>
#include <map>
#include <utility>

namespace kvr::history {

std::string seasonName(std::string_view path) {
    const size_t slash = path.find_last_of("/\\");
    std::string_view name = slash == std::string_view::npos ? path : path.substr(slash + 1);
    constexpr std::string_view Extension = ".jsonl";
    if (name.size() > Extension.size() &&
        name.substr(name.size() - Extension.size()) == Extension) {
        name.remove_suffix(Extension.size());
    }
    return std::string(name);
}

std::optional<std::vector<SnapshotStanding>>
finalStandings(std::string_view text, const std::map<DriverIdentity, DriverIdentity>& aliases) {
    // Only the last run counts: read from the end, skipping what is not a run.
    size_t end = text.size();
    while (end > 0) {
        size_t start = text.rfind('\n', end - 1);
        start = start == std::string_view::npos ? 0 : start + 1;
        std::string_view line = text.substr(start, end - start);
        end = start > 0 ? start - 1 : 0;
        if (!line.empty() && line.back() == '\r') {
            line.remove_suffix(1);
        }
        if (line.empty()) {
            continue;
        }
        if (std::optional<Snapshot> snapshot = parseSnapshot(line)) {
            for (SnapshotStanding& s : snapshot->standings) {
                const auto alias = aliases.find(DriverIdentity{s.code, s.name});
                if (alias != aliases.end()) {
                    s.code = alias->second.code;
                    s.name = alias->second.name;
                }
            }
            return std::move(snapshot->standings);
        }
    }
    // No run at all: a history still when it is empty or only a torn run.
    if (!readHistory(text).isHistory()) {
        return std::nullopt;
    }
    return std::vector<SnapshotStanding>();
}

namespace {

class Table {
  public:
    explicit Table(size_t seasons) : seasons_(seasons) {}

    // A driver's final standing in season `season`, or their standing so far in the running
    // one, which gives no title; a driver with several (copies kept apart) counts once, at the
    // best of them.
    void add(size_t season, const DriverIdentity& driver, int32_t place, int32_t points,
             bool finished) {
        const auto [at, added] = rows_.try_emplace(driver, drivers_.size());
        if (added) {
            AllTimeDriver row;
            row.driver = driver;
            row.seasonPoints.resize(seasons_);
            drivers_.push_back(std::move(row));
            lastSeason_.push_back(season + 1); // not yet counted in any season
        }
        AllTimeDriver& row = drivers_[at->second];
        if (lastSeason_[at->second] == season) {
            return; // already counted at a better place: the standings are in place order
        }
        lastSeason_[at->second] = season;
        ++row.seasons;
        row.titles += finished && place == 1 ? 1 : 0;
        row.podiums += place >= 1 && place <= 3 ? 1 : 0;
        row.bestPlace = row.bestPlace == 0 ? place : std::min(row.bestPlace, place);
        row.points += points;
        row.seasonPoints[season] = points;
    }

    std::vector<AllTimeDriver> ranked() && {
        std::stable_sort(drivers_.begin(), drivers_.end(),
                         [](const AllTimeDriver& a, const AllTimeDriver& b) {
                             if (a.titles != b.titles) {
                                 return a.titles > b.titles;
                             }
                             if (a.podiums != b.podiums) {
                                 return a.podiums > b.podiums;
                             }
                             if (a.points != b.points) {
                                 return a.points > b.points;
                             }
                             return a.bestPlace < b.bestPlace;
                         });
        return std::move(drivers_);
    }

  private:
    size_t seasons_;
    std::map<DriverIdentity, size_t> rows_;
    std::vector<AllTimeDriver> drivers_;
    std::vector<size_t> lastSeason_;
};

} // namespace

AllTime buildAllTime(const std::vector<ArchivedSeason>& archived, const RankingModel& model,
                     const std::string& currentName, std::vector<UnreadSeason> unread) {
    AllTime table;
    table.unread = std::move(unread);
    Table rows(archived.size() + 1);
    for (size_t s = 0; s < archived.size(); ++s) {
        std::vector<const SnapshotStanding*> standings;
        for (const SnapshotStanding& standing : archived[s].standings) {
            standings.push_back(&standing);
        }
        // A line written by hand may list its standings in any order.
        std::stable_sort(standings.begin(), standings.end(),
                         [](const auto* a, const auto* b) { return a->place < b->place; });
        AllTimeSeason season;
        season.name = archived[s].name;
        for (const SnapshotStanding* standing : standings) {
            if (standing->place < 1) {
                continue;
            }
            const DriverIdentity driver{standing->code, standing->name};
            if (standing->place == 1 && !season.champion) {
                season.champion = driver;
            }
            rows.add(s, driver, standing->place, standing->points, true);
        }
        table.seasons.push_back(std::move(season));
    }
    AllTimeSeason current;
    current.name = currentName;
    current.current = true;
    for (const Standing& standing : model.standings) {
        const DriverIdentity& driver =
            model.participants[static_cast<size_t>(standing.participantIndex)];
        if (standing.place == 1 && !current.leader) {
            current.leader = driver;
        }
        rows.add(archived.size(), driver, standing.place, standing.points, false);
    }
    table.seasons.push_back(std::move(current));
    table.drivers = std::move(rows).ranked();
    return table;
}

} // namespace kvr::history
