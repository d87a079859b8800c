// Fuzz target: the league file's check on any text, and a ranking under any rules it lets
// through. A refused file gets one line that names the file, the line and the column; an
// accepted one gives rules within their bounds, under which the standings and the JSON hold.
#include "fuzz_check.h"
#include "under_test.h"

#include <nlohmann/json.hpp>

#include <cctype>
#include <cstdint>
#include <string>
#include <vector>

using namespace kvr;
using kvrfuzz::require;

namespace {

// Fourteen drivers in every event, in all sorts of vehicles and both gearboxes, with few
// distinct times: full listings and many ties.
const std::vector<ParticipantRecord>& group() {
    static const std::vector<ParticipantRecord> participants = [] {
        std::vector<ParticipantRecord> made(14);
        for (size_t i = 0; i < made.size(); ++i) {
            ParticipantRecord& p = made[i];
            p = ParticipantRecord{};
            p.code[0] = static_cast<char>('A' + i);
            p.name[0] = static_cast<char>('a' + i);
            for (const Event& event : allEvents()) {
                ResultEntry& result =
                    event.isArcade() ? p.arcadeResults[event.slot] : p.stageResults[event.slot];
                const auto seed =
                    static_cast<uint32_t>(i * 7919 + static_cast<size_t>(event.number) * 31);
                result.vehicle = static_cast<uint8_t>((seed % 23) | (seed / 23 % 2) << 6);
                result.time = 1 + seed % 13 * 100;
            }
        }
        return made;
    }();
    return participants;
}

// "kvrrank.toml:LINE:COL: " and more, on one line.
bool wellFormedError(const std::string& error) {
    const std::string name = "kvrrank.toml:";
    if (error.rfind(name, 0) != 0 || error.find('\n') != std::string::npos) {
        return false;
    }
    size_t at = name.size();
    for (int number = 0; number < 2; ++number) {
        const size_t start = at;
        while (at < error.size() && std::isdigit(static_cast<unsigned char>(error[at]))) {
            ++at;
        }
        if (at == start || at >= error.size() || error[at] != ':') {
            return false;
        }
        ++at;
    }
    return error.compare(at, 1, " ") == 0 && error.size() > at + 1;
}

} // namespace

extern "C" int LLVMFuzzerTestOneInput(const uint8_t* data, size_t size) {
    const std::string_view text(reinterpret_cast<const char*>(data), size);
    LeagueFile league;
    std::string error;
    if (!kvrfuzz::leagueOf(text, league, error)) {
        require(wellFormedError(error), "a refusal is one line kvrrank.toml:LINE:COL: what");
        return 0;
    }
    require(error.empty(), "no error for a good file");
    const LeagueRules& rules = league.rules;
    for (size_t k = 0; k < rules.places.size(); ++k) {
        require(rules.places[k] >= 0 && rules.places[k] <= 100, "places from 0 to 100");
        require(k == 0 || rules.places[k] <= rules.places[k - 1], "places never rise");
    }
    require(rules.bestRallies >= 0 && rules.bestRallies <= RallyCount, "best rallies 0 to 8");
    for (const VehicleClass& c : rules.classes) {
        require(c.name.find_first_not_of(" \t") != std::string::npos, "a class has a name");
        require(c.transmission >= AnyTransmission && c.transmission <= 1, "a gearbox or both");
        require(c.vehicles == AnyVehicle || (c.vehicles != 0 && c.vehicles >> VehicleCount == 0),
                "known vehicles, at least one");
    }
    for (const std::optional<std::string>& path : league.outputs.files) {
        require(!path || !path->empty(), "no empty output path");
    }
    if (league.empty) {
        require(
            rules.places == fixedPlacePoints() && rules.classes.empty() && rules.bestRallies == 0 &&
                !league.outputs.files[kvr::indexOf(kvr::Output::Html)] && !league.outputs.records,
            "a file without keys sets nothing");
        return 0;
    }

    LeagueRules used = rules;
    used.file = LeagueFileName;
    const RankingModel model =
        kvrfuzz::rankingOf(group(), {}, ReportTime{2026, 1, 2, 3, 4, 5}, used);
    require(model.classes.size() == rules.classes.size(), "one ranking per class");
    for (const std::vector<Standing>* standings : {&model.standings}) {
        for (size_t s = 0; s < standings->size(); ++s) {
            const Standing& standing = (*standings)[s];
            require(standing.place == static_cast<int32_t>(s + 1), "places run from 1");
            require(standing.points > 0, "only drivers with points stand");
            require(s == 0 || standing.points <= (*standings)[s - 1].points, "most points first");
        }
    }
    const nlohmann::json json =
        nlohmann::json::parse(kvrfuzz::exportOf(model, kvrfuzz::Export::Json), nullptr, false);
    require(!json.is_discarded() && json.is_object(), "the JSON is one object");
    require(json["league"]["classes"].size() == rules.classes.size(), "the JSON names each class");
    require(json["classes"].size() == rules.classes.size(), "the JSON ranks each class");
    return 0;
}
