// What a decision did, in the few words the page and the JSON show: "excluded 2 files",
// "Finland 2: 01:02.00 excluded", "+5 points", "matched nothing".
#pragma once

#include "data/decisions.h"

#include <string>

namespace kvr {

std::string decisionEffectText(const Decision& decision, const DecisionEffect& effect);

} // namespace kvr
