#include "history/snapshot_readers.h"

#include <nlohmann/json.hpp>

namespace kvr::history {

namespace {

// A member of `object` when it is a string; empty otherwise.
const std::string* stringMember(const nlohmann::json& object, const char* key) {
    auto found = object.find(key);
    return found != object.end() && found->is_string() ? found->get_ptr<const std::string*>()
                                                       : nullptr;
}

// A member of `object` when it is an integer within [low, high].
std::optional<int64_t> integerMember(const nlohmann::json& object, const char* key, int64_t low,
                                     int64_t high) {
    auto found = object.find(key);
    if (found == object.end() || !found->is_number_integer()) {
        return std::nullopt;
    }
    if (found->is_number_unsigned()) {
        auto value = found->get<uint64_t>();
        return value <= static_cast<uint64_t>(high) && static_cast<int64_t>(value) >= low
                   ? std::optional<int64_t>(static_cast<int64_t>(value))
                   : std::nullopt;
    }
    auto value = found->get<int64_t>();
    return value >= low && value <= high ? std::optional<int64_t>(value) : std::nullopt;
}

// The standings entries of an array that have every member, of the right type.
std::vector<SnapshotStanding> standingsOf(const nlohmann::json& list) {
    std::vector<SnapshotStanding> standings;
    for (const nlohmann::json& entry : list) {
        if (!entry.is_object()) {
            continue;
        }
        auto place = integerMember(entry, "place", 1, INT32_MAX);
        auto points = integerMember(entry, "points", 0, INT32_MAX);
        const std::string* code = stringMember(entry, "code");
        const std::string* name = stringMember(entry, "name");
        if (place && points && code != nullptr && name != nullptr) {
            standings.push_back(
                {static_cast<int32_t>(*place), *code, *name, static_cast<int32_t>(*points)});
        }
    }
    return standings;
}

// The {"code", "name"} entries of a member that is an array; nothing when it is not one.
std::optional<std::vector<DriverIdentity>> driversMember(const nlohmann::json& object,
                                                         const char* key) {
    auto found = object.find(key);
    if (found == object.end() || !found->is_array()) {
        return std::nullopt;
    }
    std::vector<DriverIdentity> drivers;
    for (const nlohmann::json& entry : *found) {
        const std::string* code = entry.is_object() ? stringMember(entry, "code") : nullptr;
        const std::string* name = entry.is_object() ? stringMember(entry, "name") : nullptr;
        if (code != nullptr && name != nullptr) {
            drivers.push_back({*code, *name});
        }
    }
    return drivers;
}

// Any JSON object on the line, field by field.
} // namespace

std::optional<Snapshot> parseGeneralSnapshot(std::string_view line) {
    nlohmann::json json = nlohmann::json::parse(line.begin(), line.end(), nullptr, false);
    if (json.is_discarded() || !json.is_object()) {
        return std::nullopt;
    }
    auto format = integerMember(json, SnapshotFormatKey, 1, 1);
    if (!format) {
        return std::nullopt;
    }
    Snapshot snapshot;
    if (const std::string* at = stringMember(json, "at")) {
        snapshot.at = *at;
    }
    auto standings = json.find("standings");
    if (standings != json.end() && standings->is_array()) {
        snapshot.standings = standingsOf(*standings);
    }
    auto records = json.find("records");
    if (records != json.end() && records->is_array()) {
        for (const nlohmann::json& entry : *records) {
            if (!entry.is_object()) {
                continue;
            }
            const std::string* key = stringMember(entry, "event");
            const std::string* time = stringMember(entry, "time");
            auto hundredths = integerMember(entry, "hundredths", 0, UINT32_MAX);
            const std::string* code = stringMember(entry, "code");
            const std::string* name = stringMember(entry, "name");
            const Event* event = key != nullptr ? eventOfKey(*key) : nullptr;
            const size_t n = event != nullptr ? static_cast<size_t>(event->number) : 0;
            if (event != nullptr && time != nullptr && hundredths && code != nullptr &&
                name != nullptr && !snapshot.records[n]) {
                snapshot.records[n] =
                    RecordHolder{static_cast<uint32_t>(*hundredths), *code, *name};
            }
        }
    }
    auto decisions = json.find("decisions");
    if (decisions != json.end() && decisions->is_array()) {
        for (const nlohmann::json& entry : *decisions) {
            if (entry.is_number_integer() && entry.get<int64_t>() > 0 &&
                entry.get<int64_t>() <= INT32_MAX) {
                snapshot.decisions.push_back(static_cast<int32_t>(entry.get<int64_t>()));
            }
        }
    }
    auto classes = json.find("classes");
    if (classes != json.end() && classes->is_array()) {
        for (const nlohmann::json& entry : *classes) {
            const std::string* name = entry.is_object() ? stringMember(entry, "name") : nullptr;
            auto classStandings = name != nullptr ? entry.find("standings") : entry.end();
            if (name != nullptr && classStandings != entry.end() && classStandings->is_array()) {
                snapshot.classes.push_back({*name, standingsOf(*classStandings)});
            }
        }
    }
    std::optional<std::vector<DriverIdentity>> entered = driversMember(json, "entrants");
    if (entered) {
        snapshot.entrantsHeld = EntrantsHeld::All;
        snapshot.entered = std::move(*entered);
    } else if ((entered = driversMember(json, "entered"))) {
        if (std::optional<std::vector<DriverIdentity>> gone = driversMember(json, "gone")) {
            snapshot.entrantsHeld = EntrantsHeld::Changes;
            snapshot.entered = std::move(*entered);
            snapshot.gone = std::move(*gone);
        }
    }
    return snapshot;
}

} // namespace kvr::history
