#include "history/season.h"

#include "data/text.h"

#include <algorithm>
#include <map>
#include <utility>

namespace kvr::history {

namespace {

// A driver across runs: the code and the name as the exports show them.
using DriverKey = std::pair<std::string, std::string>;

DriverKey driverKey(const RankingModel& model, const Standing& standing) {
    const RankedParticipant& p = model.participants[static_cast<size_t>(standing.participantIndex)];
    return {p.code, p.name};
}

// Each driver's standings in a snapshot, in its order: a driver with several files has several.
using StandingsByDriver = std::map<DriverKey, std::vector<const SnapshotStanding*>>;

StandingsByDriver standingsOf(const Snapshot& snapshot) {
    StandingsByDriver found;
    for (const SnapshotStanding& s : snapshot.standings) {
        found[DriverKey(s.code, s.name)].push_back(&s);
    }
    return found;
}

// The `copy`-th standing (from 0) of `key` in a snapshot; nothing when it has fewer.
const SnapshotStanding* standingOf(const StandingsByDriver& standings, const DriverKey& key,
                                   size_t copy) {
    auto found = standings.find(key);
    return found != standings.end() && copy < found->second.size() ? found->second[copy] : nullptr;
}

// For each standing of this run, which copy of its driver it is: the k-th standing of a
// driver is compared with the k-th standing of the same driver in an earlier run.
std::vector<size_t> copyNumbers(const RankingModel& model) {
    std::map<DriverKey, size_t> seen;
    std::vector<size_t> copies;
    copies.reserve(model.standings.size());
    for (const Standing& standing : model.standings) {
        copies.push_back(seen[driverKey(model, standing)]++);
    }
    return copies;
}

// A record read from the history, made safe to show as the exports' own texts are.
RecordHolder shown(const RecordHolder& read) {
    return {safeText(read.time), read.hundredths, safeText(read.code), safeText(read.name)};
}

bool sameHolder(const RecordHolder& a, const RecordHolder& b) {
    return a.hundredths == b.hundredths && a.code == b.code && a.name == b.name;
}

} // namespace

SeasonChanges compareSeason(const HistoryDigest& history, const RankingModel& model) {
    SeasonChanges season;
    season.runs = history.snapshots + 1;
    season.skippedLines = history.skipped;
    const Snapshot* previous = history.recent.empty() ? nullptr : &history.recent.back();
    season.hasPrevious = previous != nullptr;
    if (previous != nullptr && previous->at) {
        season.previousAt = safeText(*previous->at);
    }
    const std::string now = formatIsoTime(model.time);

    // Movement in the standings.
    const std::vector<size_t> copies = copyNumbers(model);
    StandingsByDriver before;
    if (previous != nullptr) {
        before = standingsOf(*previous);
    }
    for (size_t i = 0; i < model.standings.size(); ++i) {
        const Standing& standing = model.standings[i];
        StandingMovement move;
        if (const SnapshotStanding* was =
                standingOf(before, driverKey(model, standing), copies[i])) {
            move.previousPlace = was->place;
            move.movement = was->place - standing.place;
        }
        season.movements.push_back(move);
    }

    // New records and each record's progression, in the report's order.
    for (const auto* listings : {&model.stages, &model.arcade}) {
        for (const EventListing& listed : *listings) {
            const Event* event = listed.event;
            const auto n = static_cast<size_t>(event->number);
            const ListedResult& first = listed.results.front();
            const RankedParticipant& p =
                model.participants[static_cast<size_t>(first.participantIndex)];
            const RecordHolder holder{formatTime(first.time), first.time, p.code, p.name};
            if (previous != nullptr) {
                const std::optional<RecordHolder>& was = previous->records[n];
                if (!was || holder.hundredths < was->hundredths) {
                    NewRecord record{event, holder, std::nullopt, std::nullopt};
                    if (was) {
                        record.previous = shown(*was);
                        record.marginHundredths = was->hundredths - holder.hundredths;
                    }
                    season.newRecords.push_back(std::move(record));
                }
            }
            RecordProgression progression{event, {}};
            for (const RecordChangeRead& change : history.recordLog[n]) {
                progression.changes.push_back(
                    {change.at ? safeText(*change.at) : std::string(), shown(change.holder)});
            }
            if (progression.changes.empty() ||
                !sameHolder(progression.changes.back().holder, holder)) {
                progression.changes.push_back({now, holder});
            }
            for (size_t k = 1; k < progression.changes.size(); ++k) {
                progression.changes[k].annulled = progression.changes[k].holder.hundredths >
                                                  progression.changes[k - 1].holder.hundredths;
            }
            season.recordLog.push_back(std::move(progression));
        }
    }

    // The leading drivers' points over the last runs, none where a driver had none.
    if (history.snapshots == 0) {
        return season;
    }
    std::vector<StandingsByDriver> runs;
    for (const Snapshot& snapshot : history.recent) {
        runs.push_back(standingsOf(snapshot));
        season.chartRuns.push_back(snapshot.at ? safeText(*snapshot.at) : std::string());
    }
    season.chartRuns.push_back(now);
    const size_t drivers = std::min(model.standings.size(), SeasonChartDriverCount);
    for (size_t i = 0; i < drivers; ++i) {
        const Standing& standing = model.standings[i];
        const DriverKey key = driverKey(model, standing);
        PointsOverRuns line{standing.participantIndex, {}};
        for (const StandingsByDriver& run : runs) {
            const SnapshotStanding* had = standingOf(run, key, copies[i]);
            line.points.push_back(had != nullptr ? std::optional<int32_t>(had->points)
                                                 : std::nullopt);
        }
        line.points.push_back(standing.points);
        season.chart.push_back(std::move(line));
    }
    return season;
}

} // namespace kvr::history
