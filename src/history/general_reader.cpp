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
        for (const nlohmann::json& entry : *standings) {
            if (!entry.is_object()) {
                continue;
            }
            auto place = integerMember(entry, "place", 1, INT32_MAX);
            auto points = integerMember(entry, "points", 0, INT32_MAX);
            const std::string* code = stringMember(entry, "code");
            const std::string* name = stringMember(entry, "name");
            if (place && points && code != nullptr && name != nullptr) {
                snapshot.standings.push_back(
                    {static_cast<int32_t>(*place), *code, *name, static_cast<int32_t>(*points)});
            }
        }
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
    return snapshot;
}

} // namespace kvr::history
