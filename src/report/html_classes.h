// The page's parts for a league file: a section per class of the league (its standings, then
// its listings folded per rally) and the footer that names the league file and its rules.
// Without a league file they write nothing.
#pragma once

#include "model/ranking_model.h"
#include "model/season_changes.h"
#include "report/output_sink.h"
#include "report/words.h"

#include <cstdint>
#include <string>

namespace kvr {

// The id of a class's section, "class-N" with the class's number from 1.
std::string classSectionId(size_t classIndex);

// Links to the class sections, for the page's navigation.
void htmlClassNavigation(const RankingModel& model, OutputSink& out);

// One section per class, in the league's order.
// With `season`, a class the previous run kept standings of shows each driver's movement in it.
void renderClassSections(const RankingModel& model, const SeasonChanges* season, OutputSink& out);

// The rules in force, under the points grid, when a league leaves rallies out of the totals.
void htmlCountedRalliesNote(const RankingModel& model, OutputSink& out);

// A standing's points of each rally, one cell each: struck through where a rally with points
// does not count (`counted`, bit r for rally r).
void htmlRallyPointsCells(OutputSink& out, const int* points, uint8_t counted);

// The footer naming the league file and its rules.
void renderLeagueFooter(const RankingModel& model, OutputSink& out);

// The rules in one line of text: "25-18-15-12-10-8-6-4-2-1 points; equal points by count-back;
// the 6 best rally totals count".
std::string describeLeagueRules(const LeagueRules& rules, const Words& words);

// A class's vehicles and gearbox in words: "any vehicle with an MT gearbox", "hoshin arc,
// marlet 140 with either gearbox".
std::string describeVehicleClass(const VehicleClass& vehicleClass, const Words& words);

} // namespace kvr
