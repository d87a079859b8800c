#include "harness/history_run.h"

#include "fuzz_check.h"
#include "under_test.h"

#include <algorithm>
#include <string_view>

namespace kvrfuzz {

using namespace kvr;

namespace {

void checkLine(const HistoryRun& run) {
    const RankingModel& model = run.model;
    const history::Snapshot& read = run.snapshot;
    require(read.standings.size() == model.standings.size(), "a line entry per standing");
    for (size_t i = 0; i < model.standings.size(); ++i) {
        require(read.standings[i].place == model.standings[i].place &&
                    read.standings[i].points == model.standings[i].points,
                "the line's standing");
    }
    size_t listed = 0;
    for (const auto* listings : {&model.stages, &model.arcade}) {
        for (const EventListing& listing : *listings) {
            const auto n = static_cast<size_t>(listing.event->number);
            require(read.records[n] && read.records[n]->hundredths == listing.results.front().time,
                    "the line's record");
            ++listed;
        }
    }
    const auto recorded = std::count_if(read.records.begin(), read.records.end(),
                                        [](const auto& record) { return record.has_value(); });
    require(static_cast<size_t>(recorded) == listed, "the line records the listed events alone");
}

} // namespace

std::vector<ParticipantRecord> historyGroup(int32_t slower) {
    const std::string_view codes[] = {"AAA", "BBB", "C\"\\"};
    const std::string_view names[] = {"A", "B\xE9", "C\x81\x01"};
    std::vector<ParticipantRecord> group(3);
    for (size_t i = 0; i < group.size(); ++i) {
        ParticipantRecord& p = group[i];
        p = ParticipantRecord{};
        std::copy(codes[i].begin(), codes[i].end(), p.code);
        std::copy(names[i].begin(), names[i].end(), p.name);
        const auto step = static_cast<int32_t>(10 * i);
        p.stageResults[0].time = static_cast<uint32_t>(5000 + step + slower);
        if (i != 1) {
            p.arcadeResults[0].time = static_cast<uint32_t>(3010 - step + slower);
        }
    }
    return group;
}

const HistoryRun& historyRun() {
    static const std::vector<ParticipantRecord> participants = historyGroup();
    static const HistoryRun run = [] {
        HistoryRun made;
        made.model = rankingOf(participants, {}, ReportTime{2026, 12, 7, 12, 5, 9});
        made.line = snapshotLineOf(made.model);
        require(!made.line.empty() && made.line.back() == '\n', "a line ends with a line feed");
        std::optional<history::Snapshot> read =
            history::parseSnapshot(std::string_view(made.line).substr(0, made.line.size() - 1));
        require(read.has_value(), "this run's line is a snapshot");
        made.snapshot = std::move(*read);
        checkLine(made);
        return made;
    }();
    return run;
}

} // namespace kvrfuzz
