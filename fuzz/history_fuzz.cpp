// Fuzz target: a history file of any bytes, read and compared with a fixed ranking, then shown
// in the JSON and the page. The fast reader and the general parser must read every line alike
// (a leading space keeps a line from the fast reader), and the exports must stay UTF-8 JSON.
#include "fuzz_check.h"

#include "history/season.h"
#include "history/snapshot.h"
#include "report/ranking_html.h"
#include "report/ranking_json.h"

#include <nlohmann/json.hpp>

#include <cstdint>
#include <string>
#include <string_view>
#include <vector>

using namespace kvr;
using kvrfuzz::require;

namespace {

bool sameHolder(const std::optional<RecordHolder>& a, const std::optional<RecordHolder>& b) {
    return a.has_value() == b.has_value() &&
           (!a || (a->time == b->time && a->hundredths == b->hundredths && a->code == b->code &&
                   a->name == b->name));
}

void checkReadersAgree(std::string_view line) {
    std::optional<history::Snapshot> read = history::parseSnapshot(line);
    std::optional<history::Snapshot> general = history::parseSnapshot(" " + std::string(line));
    require(read.has_value() == general.has_value(), "both readers take the same lines");
    if (!read) {
        return;
    }
    require(read->at == general->at, "the same time");
    require(read->standings.size() == general->standings.size(), "the same standings");
    for (size_t i = 0; i < read->standings.size(); ++i) {
        const auto &a = read->standings[i], &b = general->standings[i];
        require(a.place == b.place && a.points == b.points && a.code == b.code && a.name == b.name,
                "the same standing");
    }
    for (size_t n = 0; n < read->records.size(); ++n) {
        require(sameHolder(read->records[n], general->records[n]), "the same record");
    }
}

// Three drivers with results in a few events.
const std::vector<ParticipantRecord>& group() {
    static const std::vector<ParticipantRecord> participants = [] {
        std::vector<ParticipantRecord> list(3);
        const char* codes[] = {"AAA", "BBB", "C\"\\"};
        for (size_t i = 0; i < list.size(); ++i) {
            ParticipantRecord& p = list[i];
            p = ParticipantRecord{};
            std::copy(codes[i], codes[i] + 3, p.code);
            p.name[0] = static_cast<char>('A' + i);
            p.stageResults[0].time = 5000 + 10 * static_cast<uint32_t>(i);
            p.stageResults[13].time = 7000 - 10 * static_cast<uint32_t>(i);
            p.arcadeResults[i].time = 3000;
        }
        return list;
    }();
    return participants;
}

} // namespace

extern "C" int LLVMFuzzerTestOneInput(const uint8_t* data, size_t size) {
    const std::string_view text(reinterpret_cast<const char*>(data), size);
    for (size_t from = 0; from <= text.size();) {
        size_t end = std::min(text.find('\n', from), text.size());
        checkReadersAgree(text.substr(from, end - from));
        from = end + 1;
    }
    const std::vector<ParticipantRecord>& participants = group();
    const RankingModel model =
        computeRankingModel(participants.data(), static_cast<int32_t>(participants.size()), {},
                            ReportTime{2026, 12, 7, 12, 5, 9});
    const history::HistoryDigest digest = history::readHistory(text);
    const SeasonChanges season = history::compareSeason(digest, model);
    require(season.movements.size() == model.standings.size(), "a move per standing");
    require(season.runs == digest.snapshots + 1, "the runs counted");
    const RunResults run(model, &season);
    // Throws, and so ends the fuzzer with the input, unless the JSON is whole and UTF-8.
    nlohmann::json json = nlohmann::json::parse(renderJson(run));
    require(json.contains("history"), "the JSON has the history");
    std::string page = renderHtml(run);
    require(nlohmann::json(page).dump().size() > 0, "the page is UTF-8");
    require(history::parseSnapshot(
                history::snapshotLine(model).substr(0, history::snapshotLine(model).size() - 1))
                .has_value(),
            "this run's line is a snapshot");
    return 0;
}
