// What is under review, as the organiser acts on it: each flagged result that no decision
// covers, with a [[decision]] block ready to paste into the league file.
#pragma once

#include "data/decisions.h"
#include "model/run_results.h"
#include "report/words.h"

#include <string>
#include <vector>

namespace kvr {

// `decision` as a [[decision]] block of the league file: its lines, each ended by "\n", the
// reason last with a comment that asks for the organiser's own words (`ask`, in the players'
// language on the page and in the listing; the keys stay the league file's).
std::string decisionBlock(const Decision& decision,
                          std::string_view ask = "say why, in your own words");

// One line for a result under review: "Finland 2: 01:02.00 by Olga Dorn (ODO) in odo.kvr, an
// outlier (place 2: 03:02.63)", or "odo (2).kvr: Olga Dorn (ODO) again, as in odo.kvr".
// The JSON's is English; the listing's in the league's language.
std::string reviewItemText(const RankingModel& model, const ReviewItem& item);
std::string reviewItemText(const RankingModel& model, const ReviewItem& item, const Words& words);

// What makes a file implausible: "control bytes in the code or name, Finland 2 in 600:00.00".
// The console's and the JSON's are English.
std::string implausibleWhat(const Implausible& file, const Words& words);

// The decision readied for a result under review, its reason in the players' language.
Decision readyDecision(const RankingModel& model, const ReviewItem& item, const Words& words);

// The listing of --review: a comment line for each result under review followed by its block,
// so that the whole of it can be pasted; a comment alone when nothing is under review.
std::string reviewListing(const RankingModel& model);

} // namespace kvr
