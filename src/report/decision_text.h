// What a decision did, in the few words the page and the JSON show: "excluded 2 files",
// "Finland 2: 01:02.00 excluded", "+5 points", "matched nothing".
#pragma once

#include "data/decisions.h"
#include "report/words.h"

#include <string>

namespace kvr {

// The JSON's are English; the page's in the league's language.
std::string decisionEffectText(const Decision& decision, const DecisionEffect& effect);
std::string decisionEffectText(const Decision& decision, const DecisionEffect& effect,
                               const Words& words);

// The title of a decision's action on the page: "Exclude file", "Time penalty", ...
std::string_view decisionActionTitle(DecisionAction action, const Words& words);

// The line that tells the organiser a decision matched nothing, and why: "decision 3
// (exclude-driver, 2026-12-01) matched nothing: no driver named "Jonas Ulrik"; did you mean
// "Jonas Ulrich" (JUL)?". `index` counts from 1.
std::string decisionMissText(size_t index, const Decision& decision, const DecisionEffect& effect);

// Why a decision matched nothing and what it may have meant, without the decision's own words:
// "already excluded by decision 1"; empty when it matched. The console's is English.
std::string decisionMissReason(const Decision& decision, const DecisionEffect& effect,
                               const Words& words);

} // namespace kvr
