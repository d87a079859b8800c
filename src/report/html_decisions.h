// The page's marks of the organiser's decisions: the Decisions section, and the notes that
// tie a penalised time, an adjusted total or a covered check to its decision.
#pragma once

#include "model/ranking_model.h"
#include "report/output_sink.h"
#include "report/words.h"

#include <string>

namespace kvr {

// A link to decision `index` (from 1) of the Decisions section, showing `html`.
std::string decisionLinkHtml(int index, const std::string& html);

// " (+10 s)" linked to the first decision that added to a participant's time in an event;
// empty when none did.
std::string penaltyHtml(const RankingModel& model, int32_t participant, const Event& event,
                        const Words& words);

// A right-aligned cell with the time and, when decisions added to it, the penalty linked to
// the first of them: "03:11.20 (+10 s)".
void htmlDecidedTimeCell(OutputSink& out, const RankingModel& model, int32_t participant,
                         const Event& event, uint32_t time, const Words& words);

// A right-aligned cell with a standing's points and, when decisions adjusted them, the
// adjustment: "377 (+5)".
void htmlStandingPointsCell(OutputSink& out, const Standing& standing);

// The cell that names the decision covering a check's entry, or an empty one.
void htmlCheckDecisionCell(OutputSink& out, int decision, const Words& words);

// The cell of a check's entry that no decision covers: "⚑ Under review" and the decisions
// ready to paste, one per item of `items` (indices into the checks' underReview).
void htmlReviewCell(OutputSink& out, const RankingModel& model, const std::vector<size_t>& items,
                    const Words& words);

// The Decisions section: one row per decision of the league file, with what it did; nothing
// when the league has none.
void renderDecisions(const RankingModel& model, OutputSink& out);

} // namespace kvr
