#include "history/snapshot.h"

#include "history/snapshot_readers.h"

#include <nlohmann/json.hpp>

namespace kvr::history {

namespace {

using Json = nlohmann::ordered_json;

} // namespace

std::optional<Snapshot> parseSnapshot(std::string_view line) {
    Snapshot snapshot;
    if (readCompactSnapshot(line, snapshot)) {
        return snapshot;
    }
    return parseGeneralSnapshot(line);
}

std::string snapshotLine(const RankingModel& model) {
    Json standings = Json::array();
    for (const Standing& s : model.standings) {
        const RankedParticipant& p = model.participants[static_cast<size_t>(s.participantIndex)];
        standings.push_back(
            Json{{"place", s.place}, {"code", p.code}, {"name", p.name}, {"points", s.points}});
    }
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

void HistoryDigest::add(Snapshot&& snapshot) {
    HistoryRun run;
    run.at = std::move(snapshot.at);
    run.standings.reserve(snapshot.standings.size());
    for (SnapshotStanding& s : snapshot.standings) {
        run.standings.push_back({s.place, s.points, number(std::move(s.code), std::move(s.name))});
    }
    for (size_t n = 0; n < snapshot.records.size(); ++n) {
        if (std::optional<RecordHolder>& record = snapshot.records[n]) {
            run.records[n] = RunRecord{record->hundredths,
                                       number(std::move(record->code), std::move(record->name))};
        }
    }
    run.decisions = std::move(snapshot.decisions);
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
        if (aliases != nullptr) {
            for (SnapshotStanding& standing : snapshot->standings) {
                renameAlias(*aliases, standing.code, standing.name);
            }
            for (std::optional<RecordHolder>& record : snapshot->records) {
                if (record) {
                    renameAlias(*aliases, record->code, record->name);
                }
            }
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
