#include "history/snapshot.h"

#include "data/text.h"

#include <nlohmann/json.hpp>

#include <cstring>

namespace kvr::history {

namespace {

using Json = nlohmann::ordered_json;

constexpr const char* FormatKey = "kvrrank_history";

// The number of the first stage of each rally.
constexpr std::array<int, RallyCount> firstStages() {
    std::array<int, RallyCount> first{};
    int n = 0;
    for (int r = 0; r < RallyCount; ++r) {
        first[static_cast<size_t>(r)] = n;
        n += stageCounts[r];
    }
    return first;
}
constexpr std::array<int, RallyCount> FirstStage = firstStages();

// A number from 1 to `most` written without a leading zero, at the start of `text`, which
// it must fill.
int smallNumber(std::string_view text, int most) {
    if (text.empty() || text.size() > 2 || text[0] < '1' || text[0] > '9') {
        return -1;
    }
    int n = 0;
    for (char c : text) {
        if (c < '0' || c > '9') {
            return -1;
        }
        n = n * 10 + (c - '0');
    }
    return n <= most ? n : -1;
}

} // namespace

int eventNumber(int rally, int event) {
    return rally < 0 ? StageCount + event : FirstStage[static_cast<size_t>(rally)] + event;
}

int eventNumber(std::string_view key) {
    constexpr std::string_view Rally = "rally-", Stage = "-stage-", Arcade = "arcade-";
    if (key.substr(0, Arcade.size()) == Arcade) {
        int a = smallNumber(key.substr(Arcade.size()), ArcadeEventCount);
        return a < 0 ? -1 : eventNumber(-1, a - 1);
    }
    if (key.substr(0, Rally.size()) != Rally || key.size() < Rally.size() + 1 + Stage.size()) {
        return -1;
    }
    int r = smallNumber(key.substr(Rally.size(), 1), RallyCount);
    if (r < 0 || key.substr(Rally.size() + 1, Stage.size()) != Stage) {
        return -1;
    }
    int s = smallNumber(key.substr(Rally.size() + 1 + Stage.size()), stageCounts[r - 1]);
    return s < 0 ? -1 : eventNumber(r - 1, s - 1);
}

SeasonEvent seasonEvent(int rally, int event) {
    SeasonEvent e;
    e.rally = rally;
    e.event = event;
    e.key = eventKey(rally, event);
    e.title = eventTitle(rally, event);
    return e;
}

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
        if (!list([&] { return standing(snapshot); }) || !literal(",\"records\":[") ||
            !list([&] { return record(snapshot); }) || !literal("}")) {
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

    bool standing(Snapshot& snapshot) {
        SnapshotStanding s;
        uint64_t place = 0, points = 0;
        if (!(literal("{\"place\":") && number(place) && literal(",\"code\":") && text(s.code) &&
              literal(",\"name\":") && text(s.name) && literal(",\"points\":") && number(points) &&
              literal("}") && place > 0)) {
            return false;
        }
        s.place = static_cast<int32_t>(place);
        s.points = static_cast<int32_t>(points);
        snapshot.standings.push_back(std::move(s));
        return true;
    }

    bool record(Snapshot& snapshot) {
        RecordHolder holder;
        uint64_t hundredths = 0;
        // The vehicle and the transmission are checked, not kept: nothing compares them. The
        // buffers live as long as the reader, so that they allocate once.
        if (!(literal("{\"event\":") && text(key_) && literal(",\"time\":") && text(holder.time) &&
              literal(",\"hundredths\":") && number(hundredths) && literal(",\"code\":") &&
              text(holder.code) && literal(",\"name\":") && text(holder.name) &&
              literal(",\"vehicle\":") && text(unused_) && literal(",\"transmission\":") &&
              text(unused_) && literal("}"))) {
            return false;
        }
        holder.hundredths = static_cast<uint32_t>(hundredths);
        int n = eventNumber(key_);
        if (n >= 0 && !snapshot.records[static_cast<size_t>(n)]) {
            snapshot.records[static_cast<size_t>(n)] = std::move(holder);
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
            size_t length = utf8Length();
            if (length == 0) {
                return false;
            }
            value.append(at_, length);
            at_ += length;
        }
    }

    // The length of the well-formed UTF-8 sequence of two to four bytes at the cursor; 0 for
    // none.
    size_t utf8Length() const {
        auto byte = [this](ptrdiff_t i) {
            return at_ + i < end_ ? static_cast<unsigned char>(at_[i]) : 0u;
        };
        auto continues = [&](ptrdiff_t i, unsigned low, unsigned high) {
            return byte(i) >= low && byte(i) <= high;
        };
        unsigned lead = byte(0);
        if (lead >= 0xC2 && lead <= 0xDF) {
            return continues(1, 0x80, 0xBF) ? 2 : 0;
        }
        if (lead >= 0xE0 && lead <= 0xEF) {
            unsigned low = lead == 0xE0 ? 0xA0 : 0x80, high = lead == 0xED ? 0x9F : 0xBF;
            return continues(1, low, high) && continues(2, 0x80, 0xBF) ? 3 : 0;
        }
        if (lead >= 0xF0 && lead <= 0xF4) {
            unsigned low = lead == 0xF0 ? 0x90 : 0x80, high = lead == 0xF4 ? 0x8F : 0xBF;
            return continues(1, low, high) && continues(2, 0x80, 0xBF) && continues(3, 0x80, 0xBF)
                       ? 4
                       : 0;
        }
        return 0;
    }

    const char* at_;
    const char* end_;
    std::string key_, unused_;
};

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
std::optional<Snapshot> parseGeneral(std::string_view line) {
    nlohmann::json json = nlohmann::json::parse(line.begin(), line.end(), nullptr, false);
    if (json.is_discarded() || !json.is_object()) {
        return std::nullopt;
    }
    auto format = integerMember(json, FormatKey, 1, 1);
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
            int n = key != nullptr ? eventNumber(*key) : -1;
            if (n >= 0 && time != nullptr && hundredths && code != nullptr && name != nullptr &&
                !snapshot.records[static_cast<size_t>(n)]) {
                snapshot.records[static_cast<size_t>(n)] =
                    RecordHolder{*time, static_cast<uint32_t>(*hundredths), *code, *name};
            }
        }
    }
    return snapshot;
}

} // namespace

std::optional<Snapshot> parseSnapshot(std::string_view line) {
    Snapshot snapshot;
    if (CompactReader(line).read(snapshot)) {
        return snapshot;
    }
    return parseGeneral(line);
}

std::string snapshotLine(const RankingModel& model) {
    Json standings = Json::array();
    for (const Standing& s : model.standings) {
        const RankedParticipant& p = model.participants[static_cast<size_t>(s.participantIndex)];
        standings.push_back(Json{{"place", s.place},
                                 {"code", windows1252ToUtf8(p.code)},
                                 {"name", windows1252ToUtf8(p.name)},
                                 {"points", s.points}});
    }
    Json records = Json::array();
    for (const auto* listings : {&model.stages, &model.arcade}) {
        for (const EventListing& listed : *listings) {
            const ListedResult& first = listed.results.front();
            const RankedParticipant& p =
                model.participants[static_cast<size_t>(first.participantIndex)];
            records.push_back(Json{{"event", seasonEvent(listed.rally, listed.event).key},
                                   {"time", formatTime(first.time)},
                                   {"hundredths", first.time},
                                   {"code", windows1252ToUtf8(p.code)},
                                   {"name", windows1252ToUtf8(p.name)},
                                   {"vehicle", vehicleName(first.vehicle)},
                                   {"transmission", transmissionLabel(first.vehicle)}});
        }
    }
    Json line{{FormatKey, 1},
              {"at", formatIsoTime(model.time)},
              {"participants", model.participants.size()},
              {"standings", std::move(standings)},
              {"records", std::move(records)}};
    return line.dump(-1, ' ', false, Json::error_handler_t::replace) + "\n";
}

std::string textToAppend(std::string_view existing, const std::string& line) {
    if (existing.empty() || existing.back() == '\n') {
        return line;
    }
    return "\n" + line;
}

HistoryDigest readHistory(std::string_view text) {
    HistoryDigest digest;
    const size_t kept = ChartRunCount - 1;
    size_t from = 0;
    while (from < text.size()) {
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
            ++digest.skippedLines;
            constexpr std::string_view Start = "{\"kvrrank_history\":1,";
            digest.tornSnapshot = digest.tornSnapshot || line.substr(0, Start.size()) == Start;
            continue;
        }
        ++digest.snapshots;
        for (size_t n = 0; n < snapshot->records.size(); ++n) {
            const std::optional<RecordHolder>& record = snapshot->records[n];
            std::vector<RecordChangeRead>& log = digest.recordLog[n];
            if (record && (log.empty() || log.back().holder.hundredths != record->hundredths ||
                           log.back().holder.code != record->code ||
                           log.back().holder.name != record->name)) {
                log.push_back({snapshot->at, *record});
            }
        }
        if (digest.recent.size() == kept) {
            digest.recent.pop_front();
        }
        digest.recent.push_back(std::move(*snapshot));
    }
    return digest;
}

} // namespace kvr::history
