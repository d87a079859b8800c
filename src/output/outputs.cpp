#include "output/outputs.h"

#include "platform/env.h"
#include "report/ranking_report.h"

namespace kvr {

ReportTime currentLocalTime() {
    const platform::LocalTime now = platform::Env::system().localNow();
    ReportTime result;
    result.year = now.year;
    result.month = now.month;
    result.day = now.day;
    result.hour = now.hour;
    result.minute = now.minute;
    result.second = now.second;
    return result;
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
