// The page's sections on the league's drivers across files and seasons: the team standings,
// the head-to-head of the leading drivers and the all-time table.
#pragma once

#include "model/ranking_model.h"
#include "model/run_results.h"
#include "report/output_sink.h"

#include <cstddef>
#include <cstdint>
#include <string>

namespace kvr {

// Links to the sections below that the page has.
void htmlLeagueNavigation(const RunResults& run, OutputSink& out);

// The participant's team, escaped; "" for none.
std::string htmlTeamName(const RankingModel& model, int32_t participant);

// The team standings: place, team, points, points by rally and arcade, and the members.
void renderTeams(const RankingModel& model, OutputSink& out);

// The head-to-head table: a row's driver against a column's, "wins-losses" in each cell.
void renderHeadToHead(const RankingModel& model, OutputSink& out);

// The all-time table over the archived seasons and this one, and each season's champion.
void renderAllTime(const RunResults& run, OutputSink& out);

// " Closest rival: against Anna Berg (ABE): 12 to 9." for a standing; nothing without one.
void htmlClosestRival(const RankingModel& model, size_t standing, OutputSink& out);

} // namespace kvr
