#include "report/html_decisions.h"

#include "report/decision_text.h"
#include "report/html_text.h"
#include "report/review_text.h"
#include "report/words.h"

namespace kvr {

namespace {

std::string decisionId(int index) {
    return "decision-" + std::to_string(index);
}

// "+10 s", "+0.01 s", "+1 h 0.5 s" would be unreadable: seconds only, hundredths when any.
std::string penaltyText(uint32_t hundredths, const Words& words) {
    std::string seconds = "+" + std::to_string(hundredths / 100);
    if (hundredths % 100 != 0) {
        const uint32_t rest = hundredths % 100;
        seconds += words.decimal();
        seconds += rest % 10 == 0 ? std::to_string(rest / 10)
                                  : (rest < 10 ? "0" : "") + std::to_string(rest);
    }
    return words.say(Word::PenaltySeconds, {{"seconds", seconds}});
}

// Why a decision matched nothing, for the page: "changed nothing" when no reason is known.
std::string missNote(const Decision& decision, const DecisionEffect& effect, const Words& words) {
    const std::string why = decisionMissReason(decision, effect, words);
    return why.empty() ? std::string(words[Word::ChangedNothing]) : why;
}

// Which standings a points adjustment counts in, where the league has classes.
std::string pointsScope(const RankingModel& model, const Decision& decision, const Words& words) {
    if (decision.action != DecisionAction::AddPoints || model.league.classes.empty()) {
        return std::string();
    }
    return decision.className.empty()
               ? std::string(words[Word::ScopeEveryStandings])
               : words.say(Word::ScopeClassStandings, {{"class", decision.className}});
}

} // namespace

std::string decisionLinkHtml(int index, const std::string& html) {
    return "<a href=\"#" + decisionId(index) + "\">" + html + "</a>";
}

std::string penaltyHtml(const RankingModel& model, int32_t participant, const Event& event,
                        const Words& words) {
    const ChangedTime* changed =
        model.changedTimes.empty() ? nullptr : changedTime(model, participant, event);
    if (changed == nullptr || changed->after == NoTime || changed->after <= changed->before) {
        return std::string();
    }
    return " " + decisionLinkHtml(changed->decisions.front(),
                                  "(" + penaltyText(changed->after - changed->before, words) + ")");
}

void htmlDecidedTimeCell(OutputSink& out, const RankingModel& model, int32_t participant,
                         const Event& event, uint32_t time, const Words& words) {
    std::string penalty = penaltyHtml(model, participant, event, words);
    if (underReviewAt(model, participant, event) != nullptr) {
        // U+2691 BLACK FLAG, to the check that flags it.
        penalty += " <a href=\"#check-outliers\" class=\"flag\">\xE2\x9A\x91 " +
                   std::string(words[Word::OutlierFlag]) + "</a>";
    }
    if (penalty.empty()) {
        htmlTimeCell(out, time, "", words.decimal());
        return;
    }
    out.put("<td class=\"n\">");
    htmlTime(out, time, words.decimal());
    out.put(penalty);
    out.put("</td>");
}

void htmlStandingPointsCell(OutputSink& out, const Standing& standing) {
    if (standing.adjustment == 0) {
        htmlNumberCell(out, standing.points);
        return;
    }
    out.put("<td class=\"n\">");
    out.putNumber(standing.points);
    out.put(standing.adjustment > 0 ? " (+" : " (");
    out.putNumber(standing.adjustment);
    out.put(")</td>");
}

void htmlCheckDecisionCell(OutputSink& out, int decision, const Words& words) {
    htmlCell(out, decision == 0
                      ? std::string()
                      : decisionLinkHtml(decision, words.say(Word::DecisionNumber,
                                                             {{"n", std::to_string(decision)}})));
}

void htmlReviewCell(OutputSink& out, const RankingModel& model, const std::vector<size_t>& items,
                    const Words& words) {
    out.put("<td><span class=\"flag\">\xE2\x9A\x91 " + std::string(words[Word::UnderReview]) +
            "</span>");
    for (size_t i : items) {
        out.put("<details class=\"ready\"><summary>" + std::string(words[Word::DecisionToPaste]) +
                "</summary><pre>");
        out.put(escapeHtml(decisionBlock(readyDecision(model, model.checks.underReview[i], words),
                                         words[Word::ReviewAsk])));
        out.put("</pre></details>");
    }
    out.put("</td>");
}

void renderDecisions(const RankingModel& model, OutputSink& out) {
    const std::vector<Decision>& decisions = model.league.decisions;
    if (decisions.empty() || model.decisionEffects.size() != decisions.size()) {
        return;
    }
    const Words words(model.league.language);
    out.put("<section id=\"decisions\">\n<h2>" + std::string(words[Word::DecisionsHeading]) +
            "</h2>\n<p class=\"checks-note\">" + std::string(words[Word::DecisionsNote]) +
            "</p>\n");
    htmlTable(out, "id=\"decision-table\"", "",
              {{"#", "n"},
               {words[Word::ColDate]},
               {words[Word::ColAction]},
               {words[Word::ColDriverOrFile]},
               {words[Word::ColEvent]},
               {words[Word::ColReason]},
               {words[Word::ColEffect]}},
              decisions.size(), [&] {
                  for (size_t d = 0; d < decisions.size(); ++d) {
                      const Decision& decision = decisions[d];
                      const int index = static_cast<int>(d + 1);
                      out.put("<tr id=\"" + decisionId(index) + "\">");
                      htmlNumberCell(out, index);
                      out.put("<td class=\"at\">"); // a date never wraps
                      out.put(words.date(decision.year, decision.month, decision.day));
                      out.put("</td>");
                      htmlCell(out, escapeHtml(decisionActionTitle(decision.action, words)));
                      htmlCell(out, decision.namesDriver() ? escapeHtml(decision.name) + " (" +
                                                                 escapeHtml(decision.code) + ")"
                                                           : fileNameHtml(decision.file));
                      htmlCell(out, decision.event != nullptr ? escapeHtml(decision.event->title())
                                                              : std::string());
                      htmlCell(out, escapeHtml(decision.reason));
                      const DecisionEffect& effect = model.decisionEffects[d];
                      htmlCell(out, effect.matched
                                        ? escapeHtml(decisionEffectText(decision, effect, words) +
                                                     pointsScope(model, decision, words))
                                        : "<span class=\"note\">" +
                                              escapeHtml(words.say(
                                                  Word::MatchedNothing,
                                                  {{"why", missNote(decision, effect, words)}})) +
                                              "</span>");
                      out.put("</tr>\n");
                  }
              });
    out.put("</section>\n");
}

} // namespace kvr
