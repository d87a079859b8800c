#include "model/roster.h"

#include "data/text.h"

#include <algorithm>
#include <cstring>
#include <set>
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

namespace {

// A byte of a code or name as its shown text tells it: the conversion to UTF-8 makes every
// control byte '?' and each undefined byte U+FFFD, and keeps every other byte apart.
char shownAlike(char c) {
    const auto u = static_cast<unsigned char>(c);
    if (isControlByte(u)) {
        return '?';
    }
    return u == 0x8D || u == 0x8F || u == 0x90 || u == 0x9D ? static_cast<char>(0x81) : c;
}

// Whether two files show the same code and name, from their bytes.
bool sameShownIdentity(const ParticipantRecord& a, const ParticipantRecord& b) {
    const size_t code = codeLength(a.code);
    const size_t name = nameLength(a.name);
    if (code != codeLength(b.code) || name != nameLength(b.name)) {
        return false;
    }
    for (size_t k = 0; k < code; ++k) {
        if (shownAlike(a.code[k]) != shownAlike(b.code[k])) {
            return false;
        }
    }
    for (size_t k = 0; k < name; ++k) {
        if (shownAlike(a.name[k]) != shownAlike(b.name[k])) {
            return false;
        }
    }
    return true;
}

// FNV-1a of the shown identity's bytes, folded to 32 bits.
uint32_t shownIdentityHash(const ParticipantRecord& r) {
    uint64_t hash = 14695981039346656037u;
    auto add = [&hash](char c) {
        hash = (hash ^ static_cast<unsigned char>(shownAlike(c))) * 1099511628211u;
    };
    std::for_each(r.code, r.code + codeLength(r.code), add);
    add('\0');
    std::for_each(r.name, r.name + nameLength(r.name), add);
    return static_cast<uint32_t>(hash ^ hash >> 32);
}

// Merges the files of `candidates` that show the same code and name, each group into its first
// file. A hash of the identity above the file's index, 8 bytes a file: sorted, the files of one
// identity stand together in file order, with no string made for any of them.
void mergeCopiesOf(std::vector<ParticipantRecord>& records, const std::vector<int32_t>& candidates,
                   MergedDrivers& result) {
    std::vector<uint64_t> byHash;
    byHash.reserve(candidates.size());
    for (int32_t i : candidates) {
        byHash.push_back(uint64_t{shownIdentityHash(records[static_cast<size_t>(i)])} << 32 |
                         static_cast<uint32_t>(i));
    }
    std::sort(byHash.begin(), byHash.end());
    std::vector<int32_t> leaders; // of the identities met in one run of equal hashes
    for (size_t run = 0; run < byHash.size();) {
        size_t end = run + 1;
        while (end < byHash.size() && byHash[end] >> 32 == byHash[run] >> 32) {
            ++end;
        }
        leaders.clear();
        for (size_t k = run; k < end && end - run > 1; ++k) {
            const auto i = static_cast<int32_t>(byHash[k] & 0xFFFFFFFFu);
            ParticipantRecord& record = records[static_cast<size_t>(i)];
            const auto leader = std::find_if(leaders.begin(), leaders.end(), [&](int32_t l) {
                return sameShownIdentity(records[static_cast<size_t>(l)], record);
            });
            if (leader == leaders.end()) {
                leaders.push_back(i);
                continue;
            }
            result.primary[static_cast<size_t>(i)] = *leader;
            mergeInto(records[static_cast<size_t>(*leader)], record);
            result.merged = true;
        }
        run = end;
    }
}

} // namespace

MergedDrivers mergeDrivers(const Roster& roster, std::vector<ParticipantRecord>& records) {
    MergedDrivers result;
    result.primary.resize(records.size());
    for (size_t i = 0; i < records.size(); ++i) {
        result.primary[i] = static_cast<int32_t>(i);
    }
    if (roster.drivers.empty() && !roster.mergeCopies) {
        return result;
    }
    std::map<DriverIdentity, size_t> driverOf; // every roster identity to its driver
    std::set<std::string> codes;               // and their codes, to pass over other files fast
    for (size_t d = 0; d < roster.drivers.size(); ++d) {
        driverOf.emplace(roster.drivers[d].identity, d);
        codes.insert(roster.drivers[d].identity.code);
        for (const DriverIdentity& alias : roster.drivers[d].also) {
            driverOf.emplace(alias, d);
            codes.insert(alias.code);
        }
    }
    std::vector<int32_t> firstOfDriver(roster.drivers.size(), -1);
    std::vector<int32_t> unmatched; // files of no roster driver, when copies merge
    for (size_t i = 0; i < records.size(); ++i) {
        const auto self = static_cast<int32_t>(i);
        ParticipantRecord& record = records[i];
        auto found = driverOf.end();
        if (codes.count(windows1252ToUtf8(record.code, codeLength(record.code))) > 0) {
            found = driverOf.find(driverIdentity(record));
        }
        if (found == driverOf.end()) {
            if (roster.mergeCopies) {
                unmatched.push_back(self);
            }
            continue;
        }
        int32_t& first = firstOfDriver[found->second];
        if (first < 0) {
            first = self;
            const DriverIdentity& identity = roster.drivers[found->second].identity;
            if (found->first != identity) {
                rename(record, identity);
                result.merged = true;
            }
            continue;
        }
        result.primary[i] = first;
        mergeInto(records[static_cast<size_t>(first)], record);
        result.merged = true;
    }
    if (roster.mergeCopies) {
        mergeCopiesOf(records, unmatched, result);
    }
    return result;
}

} // namespace kvr
