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

// The place of each driver in a snapshot's standings; the first entry counts.
std::map<DriverKey, const SnapshotStanding*> standingsOf(const Snapshot& snapshot) {
    std::map<DriverKey, const SnapshotStanding*> found;
    for (const SnapshotStanding& s : snapshot.standings) {
        found.emplace(DriverKey(s.code, s.name), &s);
    }
    return found;
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
    season.skippedLines = history.skippedLines;
    const Snapshot* previous = history.recent.empty() ? nullptr : &history.recent.back();
    season.hasPrevious = previous != nullptr;
    if (previous != nullptr && previous->at) {
        season.previousAt = safeText(*previous->at);
    }
    const std::string now = formatIsoTime(model.time);

    // Movement in the standings.
    std::map<DriverKey, const SnapshotStanding*> before;
    if (previous != nullptr) {
        before = standingsOf(*previous);
    }
    for (const Standing& standing : model.standings) {
        StandingMovement move;
        auto found = before.find(driverKey(model, standing));
        if (found != before.end()) {
            move.previousPlace = found->second->place;
            move.movement = found->second->place - standing.place;
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
            season.recordLog.push_back(std::move(progression));
        }
    }

    // The leading drivers' points over the last runs, 0 where a driver had none.
    if (history.snapshots == 0) {
        return season;
    }
    std::vector<std::map<DriverKey, const SnapshotStanding*>> runs;
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
        for (const auto& run : runs) {
            auto found = run.find(key);
            line.points.push_back(found != run.end() ? found->second->points : 0);
        }
        line.points.push_back(standing.points);
        season.chart.push_back(std::move(line));
    }
    return season;
}

} // namespace kvr::history
