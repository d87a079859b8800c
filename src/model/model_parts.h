// The jobs the ranking model is built of, one file each: the listings, the standings, the
// drivers' summaries, the checks and the decisions' marks. Only computeRankingModel calls them,
// in that order.
#pragma once

#include "model/ranking_model.h"

#include <vector>

namespace kvr::ranking {

// The listing of an event from its leading items, with each place's points, added to `into`;
// nothing when no item leads.
void addListing(std::vector<EventListing>& into, const Event& event,
                const std::vector<RankingItem>& items, const PlacePoints& places);

// The listings of the whole field and of each league class, in one pass over the participants.
void buildListings(const ParticipantRecord* participants, RankingModel& model);

// The drivers with points on `stages` and `arcade`, most points first, under `rules`;
// `adjustments`, when given, holds the points decisions add to each participant's total.
std::vector<Standing> rankDrivers(const std::vector<EventListing>& stages,
                                  const std::vector<EventListing>& arcade, const LeagueRules& rules,
                                  const std::vector<int>* adjustments = nullptr);

// The standings of the whole field and of each class; each driver's total and place in the
// whole field go to the participant too.
void buildStandings(RankingModel& model, const DecidedField* decided);

// Each driver's results with their places in the whole field, points by rally, wins,
// podiums, time to gain and rivals.
void buildDriverSummaries(const ParticipantRecord* participants, RankingModel& model);

// The decisions' marks on the model: what each did, who each excluded, the times they changed.
void markDecisions(RankingModel& model, const DecidedField& decided);

// The matched decision that acted on a participant's time in an event (`event` null: on the
// file): the one that excluded the file, else the first that excluded or penalised the time;
// 0 none.
int decisionOn(const DecidedField* decided, int32_t participant, const Event* event);

// Duplicates by the drivers' identities, outliers among the times as imported (the options'
// `imported` under decisions, else the listings), and implausible files.
void buildChecks(RankingModel& model, const ParticipantRecord* participants,
                 const RankingOptions& options);

// The checks that no decision covers, each with a decision ready to settle it.
void buildReview(RankingModel& model);

} // namespace kvr::ranking
