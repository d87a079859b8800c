#include "history/snapshot.h"

#include "history/snapshot_readers.h"

#include <nlohmann/json.hpp>

#include <algorithm>
#include <iterator>
#include <set>

namespace kvr::history {

namespace {

using Json = nlohmann::ordered_json;

Json standingsJson(const RankingModel& model, const std::vector<Standing>& standings) {
    Json list = Json::array();
    for (const Standing& s : standings) {
        const RankedParticipant& p = model.participants[static_cast<size_t>(s.participantIndex)];
        list.push_back(
            Json{{"place", s.place}, {"code", p.code}, {"name", p.name}, {"points", s.points}});
    }
    return list;
}

Json driversJson(const std::vector<DriverIdentity>& drivers) {
    Json list = Json::array();
    for (const DriverIdentity& d : drivers) {
        list.push_back(Json{{"code", d.code}, {"name", d.name}});
    }
    return list;
}

} // namespace

std::optional<Snapshot> parseSnapshot(std::string_view line) {
    Snapshot snapshot;
    if (readCompactSnapshot(line, snapshot)) {
        return snapshot;
    }
    return parseGeneralSnapshot(line);
}

std::string snapshotLine(const RankingModel& model, const EntrantChange* entrants) {
    Json standings = standingsJson(model, model.standings);
    Json records = Json::array();
    for (const auto* listings : {&model.stages, &model.arcade}) {
        for (const EventListing& listed : *listings) {
            const ListedResult& first = listed.results.front();
            const RankedParticipant& p =
                model.participants[static_cast<size_t>(first.participantIndex)];
            records.push_back(Json{{"event", listed.event->key()},
                                   {"time", formatTime(first.time)},
                                   {"hundredths", first.time},
                                   {"code", p.code},
                                   {"name", p.name},
                                   {"vehicle", vehicleName(first.vehicle)},
                                   {"transmission", transmissionLabel(first.vehicle)}});
        }
    }
    Json line{{SnapshotFormatKey, 1},
              {"at", formatIsoTime(model.time)},
              {"participants", model.participants.size()},
              {"standings", std::move(standings)},
              {"records", std::move(records)}};
    // Which of the league's decisions the run was decided by: the season keeps the trail.
    if (!model.decisionEffects.empty()) {
        Json decisions = Json::array();
        for (size_t d = 0; d < model.decisionEffects.size(); ++d) {
            if (model.decisionEffects[d].matched) {
                decisions.push_back(d + 1);
            }
        }
        line["decisions"] = std::move(decisions);
    }
    // Each class's standings, by name: the next run's class movements compare with them.
    if (!model.classes.empty()) {
        Json classes = Json::array();
        for (size_t c = 0; c < model.classes.size() && c < model.league.classes.size(); ++c) {
            classes.push_back(
                Json{{"name", model.league.classes[c].name},
                     {"standings", standingsJson(model, model.classes[c].standings)}});
        }
        line["classes"] = std::move(classes);
    }
    // Who had a file, so that the next run can tell new drivers and those who left: all of them
    // when the run before is not known, else only what changed, which keeps a season of large
    // fields small.
    if (entrants == nullptr || entrants->all) {
        line["entrants"] =
            driversJson(entrants != nullptr ? entrants->entered
                                            : entrantChange(HistoryDigest(), model).entered);
    } else {
        line["entered"] = driversJson(entrants->entered);
        line["gone"] = driversJson(entrants->gone);
    }
    return line.dump(-1, ' ', false, Json::error_handler_t::replace) + "\n";
}

std::string textToAppend(std::string_view existing, const std::string& line) {
    if (existing.empty() || existing.back() == '\n') {
        return line;
    }
    return "\n" + line;
}

namespace {
constexpr std::string_view SnapshotStart = "{\"kvrrank_history\":1,";
}

bool beginsAsHistory(std::string_view head, bool whole) {
    const size_t end = head.find('\n');
    if (end == std::string_view::npos && !whole) {
        return head.substr(0, SnapshotStart.size()) == SnapshotStart;
    }
    std::string_view line = head.substr(0, end);
    if (!line.empty() && line.back() == '\r') {
        line.remove_suffix(1);
    }
    return parseSnapshot(line).has_value();
}

std::optional<uint32_t> HistoryDigest::driverNumber(const DriverIdentity& driver) const {
    const auto found = numbers_.find(driver);
    return found != numbers_.end() ? std::optional<uint32_t>(found->second) : std::nullopt;
}

uint32_t HistoryDigest::number(std::string&& code, std::string&& name) {
    const auto next = static_cast<uint32_t>(drivers_.size());
    const auto [at, added] =
        numbers_.try_emplace(DriverIdentity{std::move(code), std::move(name)}, next);
    if (added) {
        drivers_.push_back(&at->first);
    }
    return at->second;
}

std::vector<RunStanding> HistoryDigest::numbered(std::vector<SnapshotStanding>& standings) {
    std::vector<RunStanding> run;
    run.reserve(standings.size());
    for (SnapshotStanding& s : standings) {
        run.push_back({s.place, s.points, number(std::move(s.code), std::move(s.name))});
    }
    return run;
}

void HistoryDigest::addEntrants(Snapshot& snapshot) {
    const bool builds = snapshot.entrantsHeld == EntrantsHeld::Changes && lastEntrants;
    if (snapshot.entrantsHeld == EntrantsHeld::None ||
        (snapshot.entrantsHeld == EntrantsHeld::Changes && !lastEntrants)) {
        // No one can tell who had a file in this run, nor, from here on, who is new.
        lastEntrants.reset();
        everyRunHasEntrants = false;
        return;
    }
    std::vector<uint32_t> entered;
    for (DriverIdentity& d : snapshot.entered) {
        entered.push_back(number(std::move(d.code), std::move(d.name)));
    }
    std::sort(entered.begin(), entered.end());
    entered.erase(std::unique(entered.begin(), entered.end()), entered.end());
    if (!builds) {
        lastEntrants = std::move(entered);
        return;
    }
    std::vector<uint32_t> gone;
    for (DriverIdentity& d : snapshot.gone) {
        gone.push_back(number(std::move(d.code), std::move(d.name)));
    }
    std::sort(gone.begin(), gone.end());
    std::vector<uint32_t> stayed, now;
    std::set_difference(lastEntrants->begin(), lastEntrants->end(), gone.begin(), gone.end(),
                        std::back_inserter(stayed));
    std::set_union(stayed.begin(), stayed.end(), entered.begin(), entered.end(),
                   std::back_inserter(now));
    lastEntrants = std::move(now);
}

void HistoryDigest::add(Snapshot&& snapshot) {
    HistoryRun run;
    run.at = std::move(snapshot.at);
    run.standings = numbered(snapshot.standings);
    for (size_t n = 0; n < snapshot.records.size(); ++n) {
        if (std::optional<RecordHolder>& record = snapshot.records[n]) {
            run.records[n] = RunRecord{record->hundredths,
                                       number(std::move(record->code), std::move(record->name))};
        }
    }
    run.decisions = std::move(snapshot.decisions);
    for (ClassSnapshot& c : snapshot.classes) {
        run.classes.push_back({std::move(c.name), numbered(c.standings)});
    }
    addEntrants(snapshot);
    runs.push_back(std::move(run));
}

Snapshot HistoryDigest::snapshot(size_t run) const {
    const HistoryRun& from = runs[run];
    Snapshot made;
    made.at = from.at;
    for (const RunStanding& s : from.standings) {
        const DriverIdentity& driver = this->driver(s.driver);
        made.standings.push_back({s.place, driver.code, driver.name, s.points});
    }
    for (size_t n = 0; n < from.records.size(); ++n) {
        if (const std::optional<RunRecord>& record = from.records[n]) {
            const DriverIdentity& driver = this->driver(record->driver);
            made.records[n] = RecordHolder{record->hundredths, driver.code, driver.name};
        }
    }
    made.decisions = from.decisions;
    for (const ClassRun& c : from.classes) {
        ClassSnapshot& shown = made.classes.emplace_back();
        shown.name = c.name;
        for (const RunStanding& s : c.standings) {
            const DriverIdentity& driver = this->driver(s.driver);
            shown.standings.push_back({s.place, driver.code, driver.name, s.points});
        }
    }
    return made;
}

namespace {

void renameAlias(const std::map<DriverIdentity, DriverIdentity>& aliases, std::string& code,
                 std::string& name) {
    if (aliases.empty()) {
        return;
    }
    const auto found = aliases.find(DriverIdentity{code, name});
    if (found != aliases.end()) {
        code = found->second.code;
        name = found->second.name;
    }
}

void renameAliases(const std::map<DriverIdentity, DriverIdentity>& aliases, Snapshot& snapshot) {
    for (SnapshotStanding& standing : snapshot.standings) {
        renameAlias(aliases, standing.code, standing.name);
    }
    for (std::optional<RecordHolder>& record : snapshot.records) {
        if (record) {
            renameAlias(aliases, record->code, record->name);
        }
    }
    for (ClassSnapshot& c : snapshot.classes) {
        for (SnapshotStanding& standing : c.standings) {
            renameAlias(aliases, standing.code, standing.name);
        }
    }
    for (auto* drivers : {&snapshot.entered, &snapshot.gone}) {
        for (DriverIdentity& d : *drivers) {
            renameAlias(aliases, d.code, d.name);
        }
    }
}

} // namespace

HistoryDigest readHistory(std::string_view text,
                          const std::map<DriverIdentity, DriverIdentity>* aliases) {
    HistoryDigest digest;
    size_t from = 0;
    size_t number = 0;
    while (from < text.size()) {
        ++number;
        size_t end = text.find('\n', from);
        if (end == std::string_view::npos) {
            end = text.size();
        }
        std::string_view line = text.substr(from, end - from);
        from = end + 1;
        if (line.empty() || line == "\r") {
            continue;
        }
        std::optional<Snapshot> snapshot = parseSnapshot(line);
        if (!snapshot) {
            const bool torn = line.substr(0, SnapshotStart.size()) == SnapshotStart;
            digest.tornSnapshot = digest.tornSnapshot || torn;
            digest.skipped.push_back({number, torn ? CutShortSnapshot : NotASnapshot});
            continue;
        }
        if (aliases != nullptr && !aliases->empty()) {
            renameAliases(*aliases, *snapshot);
        }
        for (size_t n = 0; n < snapshot->records.size(); ++n) {
            const std::optional<RecordHolder>& record = snapshot->records[n];
            std::vector<RecordChangeRead>& log = digest.recordLog[n];
            if (record && (log.empty() || log.back().holder.hundredths != record->hundredths ||
                           log.back().holder.code != record->code ||
                           log.back().holder.name != record->name)) {
                log.push_back({snapshot->at, *record});
            }
        }
        digest.add(std::move(*snapshot));
    }
    return digest;
}

} // namespace kvr::history

namespace kvr::history {

EntrantChange entrantChange(const HistoryDigest& history, const RankingModel& model) {
    EntrantChange change;
    change.all = !history.lastEntrants;
    // Each driver once: those the history names by their number, the others by identity.
    std::vector<bool> present(history.driverCount(), false);
    std::set<DriverIdentity> unnamed;
    for (const RankedParticipant& p : model.participants) {
        const std::optional<uint32_t> number = history.driverNumber(p);
        if (number ? present[*number] : !unnamed.insert(p).second) {
            continue; // a driver's second file
        }
        if (number) {
            present[*number] = true;
        }
        if (change.all || !number ||
            !std::binary_search(history.lastEntrants->begin(), history.lastEntrants->end(),
                                *number)) {
            change.entered.push_back(p);
        }
    }
    if (!change.all) {
        for (uint32_t number : *history.lastEntrants) {
            if (!present[number]) {
                change.gone.push_back(history.driver(number));
            }
        }
    }
    return change;
}

} // namespace kvr::history
