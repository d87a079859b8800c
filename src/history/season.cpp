#include "history/season.h"

#include "data/text.h"

#include <algorithm>
#include <cstddef>
#include <map>
#include <utility>

namespace kvr::history {

namespace {

const DriverIdentity& driverOf(const RankingModel& model, const Standing& standing) {
    return model.participants[static_cast<size_t>(standing.participantIndex)];
}

// Each driver's standings in a snapshot, in its order: a driver with several files has several.
using StandingsByDriver = std::map<DriverIdentity, std::vector<const SnapshotStanding*>>;

StandingsByDriver standingsOf(const Snapshot& snapshot) {
    StandingsByDriver found;
    for (const SnapshotStanding& s : snapshot.standings) {
        found[DriverIdentity{s.code, s.name}].push_back(&s);
    }
    return found;
}

// The `copy`-th standing (from 0) of `driver` in a snapshot; nothing when it has fewer.
const SnapshotStanding* standingOf(const StandingsByDriver& standings, const DriverIdentity& driver,
                                   size_t copy) {
    auto found = standings.find(driver);
    return found != standings.end() && copy < found->second.size() ? found->second[copy] : nullptr;
}

// For each standing of this run, which copy of its driver it is: the k-th standing of a
// driver is compared with the k-th standing of the same driver in an earlier run.
std::vector<size_t> copyNumbers(const RankingModel& model) {
    std::map<DriverIdentity, size_t> seen;
    std::vector<size_t> copies;
    copies.reserve(model.standings.size());
    for (const Standing& standing : model.standings) {
        copies.push_back(seen[driverOf(model, standing)]++);
    }
    return copies;
}

// A record read from the history, made safe to show as the exports' own texts are.
RecordHolder shown(const RecordHolder& read) {
    return {read.hundredths, safeText(read.code), safeText(read.name)};
}

bool sameHolder(const RecordHolder& a, const RecordHolder& b) {
    return a.hundredths == b.hundredths && a.code == b.code && a.name == b.name;
}

// Each standing's place at the previous run, and how far it moved since.
std::vector<StandingMovement> movements(const Snapshot* previous, const RankingModel& model,
                                        const std::vector<size_t>& copies) {
    StandingsByDriver before;
    if (previous != nullptr) {
        before = standingsOf(*previous);
    }
    std::vector<StandingMovement> found;
    for (size_t i = 0; i < model.standings.size(); ++i) {
        const Standing& standing = model.standings[i];
        StandingMovement move;
        if (const SnapshotStanding* was =
                standingOf(before, driverOf(model, standing), copies[i])) {
            move.previousPlace = was->place;
            move.movement = was->place - standing.place;
        }
        found.push_back(move);
    }
    return found;
}

// The listed event's record against the previous run's: new when faster, or when that run
// had none.
void addNewRecord(const Snapshot& previous, const Event* event, const RecordHolder& holder,
                  SeasonChanges& season) {
    const std::optional<RecordHolder>& was = previous.records[static_cast<size_t>(event->number)];
    if (!was || holder.hundredths < was->hundredths) {
        NewRecord record{event, holder, std::nullopt, std::nullopt};
        if (was) {
            record.previous = shown(*was);
            record.marginHundredths = was->hundredths - holder.hundredths;
        }
        season.newRecords.push_back(std::move(record));
    }
}

// The holders of an event's record over the runs, this run's last.
RecordProgression progressionOf(const HistoryDigest& history, const Event* event,
                                const RecordHolder& holder, const std::string& now) {
    RecordProgression progression{event, {}};
    for (const RecordChangeRead& change : history.recordLog[static_cast<size_t>(event->number)]) {
        progression.changes.push_back(
            {change.at ? safeText(*change.at) : std::string(), shown(change.holder)});
    }
    if (progression.changes.empty() || !sameHolder(progression.changes.back().holder, holder)) {
        progression.changes.push_back({now, holder});
    }
    for (size_t k = 1; k < progression.changes.size(); ++k) {
        progression.changes[k].annulled =
            progression.changes[k].holder.hundredths > progression.changes[k - 1].holder.hundredths;
    }
    return progression;
}

// New records and each record's progression, in the report's order.
void recordChanges(const HistoryDigest& history, const RankingModel& model, const std::string& now,
                   SeasonChanges& season) {
    const Snapshot* previous = history.runs.empty() ? nullptr : &history.runs.back();
    for (const auto* listings : {&model.stages, &model.arcade}) {
        for (const EventListing& listed : *listings) {
            const ListedResult& first = listed.results.front();
            const RankedParticipant& p =
                model.participants[static_cast<size_t>(first.participantIndex)];
            const RecordHolder holder{first.time, p.code, p.name};
            if (previous != nullptr) {
                addNewRecord(*previous, listed.event, holder, season);
            }
            season.recordLog.push_back(progressionOf(history, listed.event, holder, now));
        }
    }
}

// The leading drivers' points over the last ChartRunCount runs, this one included; none
// where a driver had none.
void pointsOverRuns(const HistoryDigest& history, const RankingModel& model,
                    const std::vector<size_t>& copies, const std::string& now,
                    SeasonChanges& season) {
    const size_t earlier = std::min(history.runs.size(), ChartRunCount - 1);
    std::vector<StandingsByDriver> runs;
    for (auto snapshot = history.runs.end() - static_cast<std::ptrdiff_t>(earlier);
         snapshot != history.runs.end(); ++snapshot) {
        runs.push_back(standingsOf(*snapshot));
        season.chartRuns.push_back(snapshot->at ? safeText(*snapshot->at) : std::string());
    }
    season.chartRuns.push_back(now);
    const size_t drivers = std::min(model.standings.size(), SeasonChartDriverCount);
    for (size_t i = 0; i < drivers; ++i) {
        const Standing& standing = model.standings[i];
        const DriverIdentity& driver = driverOf(model, standing);
        PointsOverRuns line{standing.participantIndex, {}};
        for (const StandingsByDriver& run : runs) {
            const SnapshotStanding* had = standingOf(run, driver, copies[i]);
            line.points.push_back(had != nullptr ? std::optional<int32_t>(had->points)
                                                 : std::nullopt);
        }
        line.points.push_back(standing.points);
        season.chart.push_back(std::move(line));
    }
}

} // namespace

SeasonChanges compareSeason(const HistoryDigest& history, const RankingModel& model) {
    SeasonChanges season;
    season.runs = history.runs.size() + 1;
    season.skippedLines = history.skipped;
    const Snapshot* previous = history.runs.empty() ? nullptr : &history.runs.back();
    season.hasPrevious = previous != nullptr;
    if (previous != nullptr && previous->at) {
        season.previousAt = safeText(*previous->at);
    }
    const std::string now = formatIsoTime(model.time);
    const std::vector<size_t> copies = copyNumbers(model);
    season.movements = movements(previous, model, copies);
    recordChanges(history, model, now, season);
    // Charted only with an earlier run to draw from.
    if (!history.runs.empty()) {
        pointsOverRuns(history, model, copies, now, season);
    }
    return season;
}

} // namespace kvr::history
