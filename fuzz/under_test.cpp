#include "under_test.h"

#include "history/season.h"
#include "report/ranking_csv.h"
#include "report/ranking_html.h"
#include "report/ranking_json.h"
#include "report/ranking_post.h"
#include "report/ranking_report.h"

#include <utility>

namespace kvrfuzz {

kvr::RankingModel rankingOf(const std::vector<kvr::ParticipantRecord>& participants,
                            std::vector<std::string> fileNames, const kvr::ReportTime& time) {
    return kvr::computeRankingModel(participants.data(), static_cast<int32_t>(participants.size()),
                                    std::move(fileNames), time);
}

kvr::RankingModel rankingOf(const std::vector<kvr::ParticipantRecord>& participants,
                            std::vector<std::string> fileNames, const kvr::ReportTime& time,
                            const kvr::LeagueRules& league) {
    kvr::RankingOptions options;
    options.league = league;
    return kvr::computeRankingModel(participants.data(), static_cast<int32_t>(participants.size()),
                                    std::move(fileNames), time, options);
}

bool leagueOf(std::string_view text, kvr::LeagueFile& league, std::string& error) {
    return kvr::parseLeagueFile(text, kvr::LeagueFileName, league, error);
}

std::string reportOf(const std::vector<kvr::ParticipantRecord>& participants,
                     const kvr::ReportTime& time) {
    return kvr::formatRankingReport(participants.data(), static_cast<int32_t>(participants.size()),
                                    time);
}

namespace {

std::string exportOf(const kvr::RunResults& run, Export which) {
    switch (which) {
    case Export::Page:
        return kvr::renderHtml(run);
    case Export::Json:
        return kvr::renderJson(run);
    case Export::Csv:
        return kvr::renderCsv(run);
    case Export::Post:
        return kvr::renderPost(run, "page.html");
    }
    return std::string();
}

} // namespace

std::string exportOf(const kvr::RankingModel& model, Export which) {
    return exportOf(kvr::RunResults(model), which);
}

std::string exportOf(const kvr::RankingModel& model, const kvr::SeasonChanges& season,
                     Export which) {
    return exportOf(kvr::RunResults(model, &season), which);
}

kvr::SeasonChanges seasonOf(const kvr::history::HistoryDigest& history,
                            const kvr::RankingModel& model) {
    return kvr::history::compareSeason(history, model);
}

std::string snapshotLineOf(const kvr::RankingModel& model) {
    return kvr::history::snapshotLine(model);
}

} // namespace kvrfuzz
