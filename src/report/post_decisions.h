// The post's words for the organiser's decisions: each that acts for the first time (every
// one that acts, without a season), and the records taken away in this run.
#pragma once

#include "model/run_results.h"
#include "report/words.h"

#include <string>
#include <vector>

namespace kvr {

// "Olga Dorn (ODO), Finland 2 01:02.00 excluded (impossible time)", one line a decision, then
// "Finland 2: record annulled, back to 05:31.20 by Anna Berg (ABE)" for each annulled record.
// Names are made chat text. Empty when there is nothing to tell.
std::vector<std::string> postDecisionLines(const RunResults& run, const Words& words);

// "Finland 2: 01:02.00 by Olga Dorn (ODO), an outlier (place 2: 05:31.20)", "file odo
// (2).kvr: Olga Dorn (ODO) again, as in odo.kvr": one line for each result under review.
std::vector<std::string> postReviewLines(const RankingModel& model, const Words& words);
inline std::vector<std::string> postReviewLines(const RankingModel& model) {
    return postReviewLines(model, Words(model.league.language));
}

} // namespace kvr
