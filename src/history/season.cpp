#include "history/season.h"

#include "data/text.h"

#include <algorithm>
#include <cstddef>
#include <map>
#include <set>
#include <utility>

namespace kvr::history {

namespace {

const DriverIdentity& driverOf(const RankingModel& model, const Standing& standing) {
    return model.participants[static_cast<size_t>(standing.participantIndex)];
}

// Each driver's standings in a run, in its order: a driver with several files has several.
using StandingsByDriver = std::map<uint32_t, std::vector<const RunStanding*>>;

StandingsByDriver standingsOf(const std::vector<RunStanding>& standings) {
    StandingsByDriver found;
    for (const RunStanding& s : standings) {
        found[s.driver].push_back(&s);
    }
    return found;
}

// The `copy`-th standing (from 0) of a driver in a run; nothing when it has fewer, or when the
// driver is in no run (no number).
const RunStanding* standingOf(const StandingsByDriver& standings,
                              const std::optional<uint32_t>& driver, size_t copy) {
    auto found = driver ? standings.find(*driver) : standings.end();
    return found != standings.end() && copy < found->second.size() ? found->second[copy] : nullptr;
}

// Each standing of this run: its driver's number in the history, and which copy of its driver
// it is: the k-th standing of a driver is compared with the k-th standing of the same driver in
// an earlier run.
struct ThisRunsDriver {
    std::optional<uint32_t> number;
    size_t copy;
};

std::vector<ThisRunsDriver> driversOf(const HistoryDigest& history, const RankingModel& model,
                                      const std::vector<Standing>& standings) {
    std::map<DriverIdentity, size_t> seen;
    std::vector<ThisRunsDriver> drivers;
    drivers.reserve(standings.size());
    for (const Standing& standing : standings) {
        const DriverIdentity& driver = driverOf(model, standing);
        drivers.push_back({history.driverNumber(driver), seen[driver]++});
    }
    return drivers;
}

// A record read from the history, made safe to show as the exports' own texts are.
RecordHolder shown(const RecordHolder& read) {
    return {read.hundredths, safeText(read.code), safeText(read.name)};
}

bool sameHolder(const RecordHolder& a, const RecordHolder& b) {
    return a.hundredths == b.hundredths && a.code == b.code && a.name == b.name;
}

// Each standing's place in the previous run's standings, and how far it moved since.
std::vector<StandingMovement> movements(const std::vector<RunStanding>* previous,
                                        const std::vector<Standing>& standings,
                                        const std::vector<ThisRunsDriver>& drivers) {
    StandingsByDriver before;
    if (previous != nullptr) {
        before = standingsOf(*previous);
    }
    std::vector<StandingMovement> found;
    for (size_t i = 0; i < standings.size(); ++i) {
        StandingMovement move;
        if (const RunStanding* was = standingOf(before, drivers[i].number, drivers[i].copy)) {
            move.previousPlace = was->place;
            move.movement = was->place - standings[i].place;
        }
        found.push_back(move);
    }
    return found;
}

// The listed event's record against the previous run's: new when faster, or when that run
// had none.
void addNewRecord(const HistoryDigest& history, const HistoryRun& previous, const Event* event,
                  const RecordHolder& holder, SeasonChanges& season) {
    const std::optional<RunRecord>& was = previous.records[static_cast<size_t>(event->number)];
    if (!was || holder.hundredths < was->hundredths) {
        NewRecord record{event, holder, std::nullopt, std::nullopt};
        if (was) {
            const DriverIdentity& driver = history.driver(was->driver);
            record.previous = shown({was->hundredths, driver.code, driver.name});
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
    const HistoryRun* previous = history.runs.empty() ? nullptr : &history.runs.back();
    for (const auto* listings : {&model.stages, &model.arcade}) {
        for (const EventListing& listed : *listings) {
            const ListedResult& first = listed.results.front();
            const RankedParticipant& p =
                model.participants[static_cast<size_t>(first.participantIndex)];
            const RecordHolder holder{first.time, p.code, p.name};
            if (previous != nullptr) {
                addNewRecord(history, *previous, listed.event, holder, season);
            }
            season.recordLog.push_back(progressionOf(history, listed.event, holder, now));
            // Annulled now: a change this run added, slower than the one before.
            const std::vector<RecordChange>& changes = season.recordLog.back().changes;
            const size_t logged =
                history.recordLog[static_cast<size_t>(listed.event->number)].size();
            if (changes.size() > logged && changes.back().annulled) {
                season.annulledNow.push_back(season.recordLog.size() - 1);
            }
        }
    }
}

// The leading drivers' points over the last ChartRunCount runs, this one included; none
// where a driver had none.
void pointsOverRuns(const HistoryDigest& history, const RankingModel& model,
                    const std::vector<ThisRunsDriver>& drivers, const std::string& now,
                    SeasonChanges& season) {
    const size_t earlier = std::min(history.runs.size(), ChartRunCount - 1);
    std::vector<StandingsByDriver> runs;
    for (auto run = history.runs.end() - static_cast<std::ptrdiff_t>(earlier);
         run != history.runs.end(); ++run) {
        runs.push_back(standingsOf(run->standings));
        season.chartRuns.push_back(run->at ? safeText(*run->at) : std::string());
    }
    season.chartRuns.push_back(now);
    const size_t charted = std::min(model.standings.size(), SeasonChartDriverCount);
    for (size_t i = 0; i < charted; ++i) {
        const Standing& standing = model.standings[i];
        PointsOverRuns line{standing.participantIndex, {}};
        for (const StandingsByDriver& run : runs) {
            const RunStanding* had = standingOf(run, drivers[i].number, drivers[i].copy);
            line.points.push_back(had != nullptr ? std::optional<int32_t>(had->points)
                                                 : std::nullopt);
        }
        line.points.push_back(standing.points);
        season.chart.push_back(std::move(line));
    }
}

// The standings of drivers who had none in any earlier run.
void markFirstPoints(const HistoryDigest& history, const std::vector<ThisRunsDriver>& drivers,
                     SeasonChanges& season) {
    std::set<uint32_t> scored;
    for (const HistoryRun& run : history.runs) {
        for (const RunStanding& standing : run.standings) {
            scored.insert(standing.driver);
        }
    }
    for (size_t i = 0; i < drivers.size(); ++i) {
        season.movements[i].firstPoints =
            !drivers[i].number || scored.count(*drivers[i].number) == 0;
    }
}

// The drivers with a file in the previous run and none in this one: those the entrants say
// (`gone`), or, when the history does not say who had a file, those of its standings.
std::vector<DriverIdentity> leftSince(const HistoryDigest& history, const HistoryRun& previous,
                                      const RankingModel& model, const EntrantChange& entrants) {
    std::vector<DriverIdentity> left;
    if (!entrants.all) {
        for (const DriverIdentity& driver : entrants.gone) {
            left.push_back({safeText(driver.code), safeText(driver.name)});
        }
        return left;
    }
    std::set<DriverIdentity> present(model.participants.begin(), model.participants.end());
    std::set<uint32_t> told;
    for (const RunStanding& standing : previous.standings) {
        const DriverIdentity& driver = history.driver(standing.driver);
        if (present.count(driver) == 0 && told.insert(standing.driver).second) {
            left.push_back({safeText(driver.code), safeText(driver.name)});
        }
    }
    return left;
}

// The drivers with a file in this run whom no earlier run names: by place when they have
// points, then in participant order. Known only when every earlier run says who had a file.
std::vector<int32_t> newDrivers(const HistoryDigest& history, const RankingModel& model) {
    std::vector<int32_t> found;
    std::set<DriverIdentity> told;
    for (const Standing& standing : model.standings) {
        const DriverIdentity& driver = driverOf(model, standing);
        if (!history.driverNumber(driver) && told.insert(driver).second) {
            found.push_back(standing.participantIndex);
        }
    }
    for (size_t p = 0; p < model.participants.size(); ++p) {
        const RankedParticipant& driver = model.participants[p];
        // A file a decision excluded takes no part.
        if (driver.excludedBy == 0 && !history.driverNumber(driver) && told.insert(driver).second) {
            found.push_back(static_cast<int32_t>(p));
        }
    }
    return found;
}

// Each class's movements against the previous run's standings of the class of that name;
// nothing for a class that run did not keep.
std::vector<std::optional<std::vector<StandingMovement>>>
classMovements(const HistoryDigest& history, const HistoryRun* previous,
               const RankingModel& model) {
    std::vector<std::optional<std::vector<StandingMovement>>> found(model.classes.size());
    if (previous == nullptr) {
        return found;
    }
    for (size_t c = 0; c < model.classes.size() && c < model.league.classes.size(); ++c) {
        const std::string& name = model.league.classes[c].name;
        const auto before = std::find_if(previous->classes.begin(), previous->classes.end(),
                                         [&](const ClassRun& kept) { return kept.name == name; });
        if (before != previous->classes.end()) {
            const std::vector<Standing>& standings = model.classes[c].standings;
            found[c] =
                movements(&before->standings, standings, driversOf(history, model, standings));
        }
    }
    return found;
}

// The decisions that match in this run and matched in none before it.
std::vector<int> firstDecisions(const HistoryDigest& history, const RankingModel& model) {
    std::set<int32_t> before;
    for (const HistoryRun& run : history.runs) {
        before.insert(run.decisions.begin(), run.decisions.end());
    }
    std::vector<int> first;
    for (size_t d = 0; d < model.decisionEffects.size(); ++d) {
        const int index = static_cast<int>(d + 1);
        if (model.decisionEffects[d].matched && before.count(index) == 0) {
            first.push_back(index);
        }
    }
    return first;
}

} // namespace

SeasonChanges compareSeason(const HistoryDigest& history, const RankingModel& model,
                            const EntrantChange* entrants) {
    SeasonChanges season;
    season.runs = history.runs.size() + 1;
    season.skippedLines = history.skipped;
    const HistoryRun* previous = history.runs.empty() ? nullptr : &history.runs.back();
    season.hasPrevious = previous != nullptr;
    if (previous != nullptr && previous->at) {
        season.previousAt = safeText(*previous->at);
    }
    const std::string now = formatIsoTime(model.time);
    const std::vector<ThisRunsDriver> drivers = driversOf(history, model, model.standings);
    season.movements =
        movements(previous != nullptr ? &previous->standings : nullptr, model.standings, drivers);
    season.classMovements = classMovements(history, previous, model);
    markFirstPoints(history, drivers, season);
    if (previous != nullptr) {
        season.left = leftSince(history, *previous, model,
                                entrants != nullptr ? *entrants : entrantChange(history, model));
    }
    season.entrantsKnown = previous != nullptr && history.everyRunHasEntrants;
    if (season.entrantsKnown) {
        season.newDrivers = newDrivers(history, model);
    }
    recordChanges(history, model, now, season);
    season.firstDecisions = firstDecisions(history, model);
    // A record held by a result under review: only an outlier is place 1 of its event.
    for (NewRecord& record : season.newRecords) {
        for (const ReviewItem& item : model.checks.underReview) {
            record.underReview = record.underReview || item.event == record.event;
        }
    }
    // Charted only with an earlier run to draw from.
    if (!history.runs.empty()) {
        pointsOverRuns(history, model, drivers, now, season);
    }
    return season;
}

} // namespace kvr::history
