#include "model/ranking_model.h"

#include "data/text.h"
#include "model/model_parts.h"

namespace kvr {

std::string_view RankedParticipant::gameCode() const {
    return record != nullptr ? std::string_view(record->code, codeLength(record->code))
                             : std::string_view();
}

std::string_view RankedParticipant::gameName() const {
    return record != nullptr ? std::string_view(record->name, nameLength(record->name))
                             : std::string_view();
}

namespace {

RankedParticipant describe(const ParticipantRecord& p, std::string&& file) {
    RankedParticipant r;
    static_cast<DriverIdentity&>(r) = driverIdentity(p);
    r.file = validUtf8(file);
    r.record = &p;
    r.year = dateYear(p.date);
    r.month = dateMonth(p.date);
    r.day = dateDay(p.date);
    return r;
}

} // namespace

RankingModel computeRankingModel(const ParticipantRecord* participants, int32_t count,
                                 std::vector<std::string> fileNames, const ReportTime& time,
                                 const RankingOptions& options) {
    RankingModel model;
    model.time = time;
    size_t size = count > 0 ? static_cast<size_t>(count) : 0;
    model.participants.reserve(size);
    for (size_t i = 0; i < size; ++i) {
        model.participants.push_back(describe(
            participants[i], i < fileNames.size() ? std::move(fileNames[i]) : std::string()));
    }
    model.league = options.league;
    model.mergedFiles = options.mergedFiles;
    model.league.file = validUtf8(model.league.file); // shown in the exports
    const DecidedField* decided = options.decided;
    if (decided != nullptr) {
        ranking::markDecisions(model, *decided);
    }
    ranking::buildListings(participants, model);
    ranking::buildStandings(model, decided);
    if (options.driverResults) {
        ranking::buildDriverSummaries(participants, model);
    }
    if (!model.league.roster.teams.empty()) {
        model.teamOf = teamsOfParticipants(model);
        model.teams = rankTeams(model, model.teamOf);
    }
    if (options.driverResults && options.headToHead) {
        model.headToHead = headToHead(model);
        model.closestRivals = closestRivals(model, model.headToHead);
    }
    if (options.checks) {
        ranking::buildChecks(model, participants, options);
    }
    return model;
}

} // namespace kvr
