#include "output/outputs.h"

#include "platform/env.h"
#include "report/ranking_report.h"

namespace kvr {

ReportTime currentLocalTime() {
    return reportTimeOf(platform::Env::system().localNow());
}

platform::Status writeRankingReport(platform::Env& env, const RankingModel& model,
                                    const char* path) {
    return writeRendering(env, path,
                          [&](OutputSink& out) { renderText(model, out, platform::TextLineEnd); });
}

platform::Status writeRankingReport(platform::Env& env, const ParticipantRecord* participants,
                                    int32_t count, const char* path) {
    return writeRankingReport(
        env, computeRankingModel(participants, count, {}, currentLocalTime(), {false, false, {}}),
        path);
}

} // namespace kvr
