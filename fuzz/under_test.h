// The product calls that make the ranking model, render it, compare it with the season and
// write its history line, for the fuzz targets and the seed maker: those interfaces change
// shape more than any other, and only this file makes the calls. (The targets also read the
// model's standings and listings and the season's changes, and call the history's readers.)
#pragma once

#include "league/league_file.h"
#include "data/participant.h"
#include "history/snapshot.h"
#include "model/ranking_model.h"
#include "model/season_changes.h"

#include <string>
#include <string_view>
#include <vector>

namespace kvrfuzz {

// The ranking of `participants` at `time`; `fileNames` names them in order (or is empty).
// The model refers to `participants`, which must outlive it.
kvr::RankingModel rankingOf(const std::vector<kvr::ParticipantRecord>& participants,
                            std::vector<std::string> fileNames, const kvr::ReportTime& time);

// The same under a league's rules.
kvr::RankingModel rankingOf(const std::vector<kvr::ParticipantRecord>& participants,
                            std::vector<std::string> fileNames, const kvr::ReportTime& time,
                            const kvr::LeagueRules& league);

// The league file's check of `text`, named kvrrank.toml: true with `league` filled, or false
// with the one line of `error`.
bool leagueOf(std::string_view text, kvr::LeagueFile& league, std::string& error);

// ranking.txt for `participants` at `time`.
std::string reportOf(const std::vector<kvr::ParticipantRecord>& participants,
                     const kvr::ReportTime& time);

enum class Export { Page, Json, Csv, Post };

// One export of `model`, rendered in memory.
std::string exportOf(const kvr::RankingModel& model, Export which);
// The same for a run with its season's changes, which the page and the JSON show.
std::string exportOf(const kvr::RankingModel& model, const kvr::SeasonChanges& season,
                     Export which);

// The changes since the runs of `history`.
kvr::SeasonChanges seasonOf(const kvr::history::HistoryDigest& history,
                            const kvr::RankingModel& model);

// The run's line in the history, ended by a line feed.
std::string snapshotLineOf(const kvr::RankingModel& model);

} // namespace kvrfuzz
