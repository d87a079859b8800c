#include "output/outputs.h"

#include "report/ranking_report.h"

#include <ctime>

namespace kvr {

ReportTime currentLocalTime() {
    ReportTime result;
    std::time_t now = std::time(nullptr);
    std::tm local{};
#ifdef _WIN32
    bool known = now != static_cast<std::time_t>(-1) && localtime_s(&local, &now) == 0;
#else
    bool known = now != static_cast<std::time_t>(-1) && localtime_r(&now, &local) != nullptr;
#endif
    if (known) {
        result.year = local.tm_year + 1900;
        result.month = local.tm_mon + 1;
        result.day = local.tm_mday;
        result.hour = local.tm_hour;
        result.minute = local.tm_min;
        result.second = local.tm_sec;
    }
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
