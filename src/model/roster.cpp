#include "model/roster.h"

#include <cstring>
#include <utility>

namespace kvr {

std::map<DriverIdentity, DriverIdentity> Roster::aliases() const {
    std::map<DriverIdentity, DriverIdentity> to;
    for (const RosterDriver& driver : drivers) {
        for (const DriverIdentity& alias : driver.also) {
            to.emplace(alias, driver.identity);
        }
    }
    return to;
}

bool toGameText(const std::string& utf8, std::string& bytes) {
    bytes.clear();
    for (size_t i = 0; i < utf8.size(); ++i) {
        const auto c = static_cast<unsigned char>(utf8[i]);
        if (c >= 0x20 && c < 0x7F) {
            bytes.push_back(static_cast<char>(c));
            continue;
        }
        // U+00A0 to U+00FF: two bytes, C2 A0 to C3 BF.
        if ((c == 0xC2 || c == 0xC3) && i + 1 < utf8.size()) {
            const auto next = static_cast<unsigned char>(utf8[i + 1]);
            const unsigned value = (c & 0x1Fu) << 6 | (next & 0x3Fu);
            if ((next & 0xC0u) == 0x80u && value >= 0xA0u) {
                bytes.push_back(static_cast<char>(value));
                ++i;
                continue;
            }
        }
        return false;
    }
    return true;
}

namespace {

// The better of two results: the smaller time; the first of equal ones.
void takeBetter(ResultEntry& into, const ResultEntry& other) {
    if (other.time != 0 && (into.time == 0 || other.time < into.time)) {
        into = other;
    }
}

void mergeInto(ParticipantRecord& into, ParticipantRecord& other) {
    for (size_t s = 0; s < StageSlotCount; ++s) {
        takeBetter(into.stageResults[s], other.stageResults[s]);
        other.stageResults[s].time = 0;
    }
    for (size_t a = 0; a < ArcadeSlotCount; ++a) {
        takeBetter(into.arcadeResults[a], other.arcadeResults[a]);
        other.arcadeResults[a].time = 0;
    }
}

// Writes a roster identity into the game's bytes of a record.
void rename(ParticipantRecord& record, const DriverIdentity& identity) {
    std::string code;
    std::string name;
    if (!toGameText(identity.code, code) || !toGameText(identity.name, name)) {
        return; // the league file's checks let no such identity through
    }
    std::memset(record.code, 0, sizeof record.code);
    std::memset(record.name, 0, sizeof record.name);
    std::memcpy(record.code, code.data(), std::min(code.size(), RosterCodeLimit));
    std::memcpy(record.name, name.data(), std::min(name.size(), RosterNameLimit));
}

} // namespace

MergedDrivers mergeDrivers(const Roster& roster, std::vector<ParticipantRecord>& records) {
    MergedDrivers result;
    result.primary.resize(records.size());
    std::map<DriverIdentity, size_t> driverOf; // every roster identity to its driver
    for (size_t d = 0; d < roster.drivers.size(); ++d) {
        driverOf.emplace(roster.drivers[d].identity, d);
        for (const DriverIdentity& alias : roster.drivers[d].also) {
            driverOf.emplace(alias, d);
        }
    }
    // The first file of each roster driver, and of each identity that copies merge by.
    std::vector<int32_t> firstOfDriver(roster.drivers.size(), -1);
    std::map<DriverIdentity, int32_t> firstOfIdentity;
    for (size_t i = 0; i < records.size(); ++i) {
        const auto self = static_cast<int32_t>(i);
        result.primary[i] = self;
        if (driverOf.empty() && !roster.mergeCopies) {
            continue;
        }
        DriverIdentity identity = driverIdentity(records[i]);
        const auto found = driverOf.find(identity);
        int32_t* first = nullptr;
        if (found != driverOf.end()) {
            first = &firstOfDriver[found->second];
            if (*first < 0 && identity != roster.drivers[found->second].identity) {
                rename(records[i], roster.drivers[found->second].identity);
                result.merged = true;
            }
        } else if (roster.mergeCopies) {
            first = &firstOfIdentity.try_emplace(std::move(identity), -1).first->second;
        } else {
            continue;
        }
        if (*first < 0) {
            *first = self;
            continue;
        }
        result.primary[i] = *first;
        mergeInto(records[static_cast<size_t>(*first)], records[i]);
        result.merged = true;
    }
    return result;
}

} // namespace kvr
