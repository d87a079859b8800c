#include "history/snapshot_readers.h"

#include "platform/wide_text.h"

#include <cstdint>
#include <cstring>

namespace kvr::history {

namespace {

// Reads the compact line this program writes, byte by byte, far faster than a general JSON
// parser: a history of a thousand runs is read in a few hundredths of a second. Anything
// else it meets (spaces, \u escapes, other key orders, negative or large numbers) makes it
// give up, and the line goes to the general parser, which decides.
class CompactReader {
  public:
    explicit CompactReader(std::string_view line)
        : at_(line.data()), end_(line.data() + line.size()) {}

    bool read(Snapshot& snapshot) {
        uint64_t participants = 0;
        std::string at;
        if (!(literal("{\"kvrrank_history\":1,\"at\":") && text(at) &&
              literal(",\"participants\":") && number(participants) &&
              literal(",\"standings\":["))) {
            return false;
        }
        snapshot.at = std::move(at);
        if (!list([&] { return standing(snapshot.standings); }) || !literal(",\"records\":[") ||
            !list([&] { return record(snapshot); })) {
            return false;
        }
        if (literal(",\"decisions\":[") && !list([&] { return decision(snapshot); })) {
            return false;
        }
        if (literal(",\"classes\":[") && !list([&] { return leagueClass(snapshot); })) {
            return false;
        }
        if (!entrants(snapshot) || !literal("}")) {
            return false;
        }
        return at_ == end_;
    }

  private:
    bool literal(std::string_view expected) {
        if (static_cast<size_t>(end_ - at_) < expected.size() ||
            std::memcmp(at_, expected.data(), expected.size()) != 0) {
            return false;
        }
        at_ += expected.size();
        return true;
    }

    // Elements up to the closing bracket; the opening one has been read.
    template <typename Element> bool list(Element element) {
        if (literal("]")) {
            return true;
        }
        do {
            if (!element()) {
                return false;
            }
        } while (literal(","));
        return literal("]");
    }

    bool decision(Snapshot& snapshot) {
        uint64_t index = 0;
        if (!number(index) || index == 0 || index > INT32_MAX) {
            return false;
        }
        snapshot.decisions.push_back(static_cast<int32_t>(index));
        return true;
    }

    bool standing(std::vector<SnapshotStanding>& standings) {
        SnapshotStanding s;
        uint64_t place = 0, points = 0;
        if (!(literal("{\"place\":") && number(place) && literal(",\"code\":") && text(s.code) &&
              literal(",\"name\":") && text(s.name) && literal(",\"points\":") && number(points) &&
              literal("}") && place > 0)) {
            return false;
        }
        s.place = static_cast<int32_t>(place);
        s.points = static_cast<int32_t>(points);
        standings.push_back(std::move(s));
        return true;
    }

    bool leagueClass(Snapshot& snapshot) {
        ClassSnapshot& read = snapshot.classes.emplace_back();
        return literal("{\"name\":") && text(read.name) && literal(",\"standings\":[") &&
               list([&] { return standing(read.standings); }) && literal("}");
    }

    bool driver(std::vector<DriverIdentity>& drivers) {
        DriverIdentity& read = drivers.emplace_back();
        return literal("{\"code\":") && text(read.code) && literal(",\"name\":") &&
               text(read.name) && literal("}");
    }

    // All the entrants, or what changed since the run before; neither in older lines.
    bool entrants(Snapshot& snapshot) {
        if (literal(",\"entrants\":[")) {
            snapshot.entrantsHeld = EntrantsHeld::All;
            return list([&] { return driver(snapshot.entered); });
        }
        if (literal(",\"entered\":[")) {
            snapshot.entrantsHeld = EntrantsHeld::Changes;
            return list([&] { return driver(snapshot.entered); }) && literal(",\"gone\":[") &&
                   list([&] { return driver(snapshot.gone); });
        }
        return true;
    }

    bool record(Snapshot& snapshot) {
        RecordHolder holder;
        uint64_t hundredths = 0;
        // The time's text, the vehicle and the transmission are checked, not kept: the
        // hundredths say the time, and nothing compares the others. The buffers live as long
        // as the reader, so that they allocate once.
        if (!(literal("{\"event\":") && text(key_) && literal(",\"time\":") && text(unused_) &&
              literal(",\"hundredths\":") && number(hundredths) && literal(",\"code\":") &&
              text(holder.code) && literal(",\"name\":") && text(holder.name) &&
              literal(",\"vehicle\":") && text(unused_) && literal(",\"transmission\":") &&
              text(unused_) && literal("}"))) {
            return false;
        }
        holder.hundredths = static_cast<uint32_t>(hundredths);
        const Event* event = eventOfKey(key_);
        if (event != nullptr && !snapshot.records[static_cast<size_t>(event->number)]) {
            snapshot.records[static_cast<size_t>(event->number)] = std::move(holder);
        }
        return true;
    }

    // A whole number from 0 to 999,999,999 without a leading zero.
    bool number(uint64_t& value) {
        value = 0;
        const char* start = at_;
        while (at_ < end_ && *at_ >= '0' && *at_ <= '9' && at_ - start < 10) {
            value = value * 10 + static_cast<uint64_t>(*at_ - '0');
            ++at_;
        }
        size_t digits = static_cast<size_t>(at_ - start);
        return digits > 0 && digits < 10 && (digits == 1 || *start != '0');
    }

    // A string of UTF-8 with no escape but the one-letter ones.
    bool text(std::string& value) {
        if (!literal("\"")) {
            return false;
        }
        value.clear();
        for (;;) {
            const char* run = at_;
            while (at_ < end_ && *at_ != '"' && *at_ != '\\' &&
                   static_cast<unsigned char>(*at_) >= 0x20 &&
                   static_cast<unsigned char>(*at_) < 0x80) {
                ++at_;
            }
            value.append(run, static_cast<size_t>(at_ - run));
            if (at_ == end_) {
                return false;
            }
            unsigned char c = static_cast<unsigned char>(*at_);
            if (c == '"') {
                ++at_;
                return true;
            }
            if (c < 0x20) {
                return false;
            }
            if (c == '\\') {
                if (end_ - at_ < 2) {
                    return false;
                }
                static constexpr char Letters[] = "\"\\/bfnrt";
                static constexpr char Meanings[] = "\"\\/\b\f\n\r\t";
                const char* letter = at_[1] != '\0' ? std::strchr(Letters, at_[1]) : nullptr;
                if (letter == nullptr) {
                    return false;
                }
                value += Meanings[letter - Letters];
                at_ += 2;
                continue;
            }
            size_t illFormed = 0;
            const size_t length =
                platform::utf8SequenceLength(reinterpret_cast<const unsigned char*>(at_),
                                             static_cast<size_t>(end_ - at_), illFormed);
            if (length == 0) {
                return false;
            }
            value.append(at_, length);
            at_ += length;
        }
    }

    const char* at_;
    const char* end_;
    std::string key_, unused_;
};

} // namespace

bool readCompactSnapshot(std::string_view line, Snapshot& snapshot) {
    return CompactReader(line).read(snapshot);
}

} // namespace kvr::history
