#include "report/html_decisions.h"

#include "report/decision_text.h"
#include "report/html_text.h"
#include "report/review_text.h"

namespace kvr {

namespace {

std::string decisionId(int index) {
    return "decision-" + std::to_string(index);
}

// "+10 s", "+0.01 s", "+1 h 0.5 s" would be unreadable: seconds only, hundredths when any.
std::string penaltyText(uint32_t hundredths) {
    std::string text = "+" + std::to_string(hundredths / 100);
    if (hundredths % 100 != 0) {
        const uint32_t rest = hundredths % 100;
        text += rest % 10 == 0 ? "." + std::to_string(rest / 10)
                               : (rest < 10 ? ".0" : ".") + std::to_string(rest);
    }
    return text + " s";
}

// Why a decision matched nothing, for the page: "changed nothing" when no reason is known.
std::string missNote(const Decision& decision, const DecisionEffect& effect) {
    const std::string why = decisionMissReason(decision, effect);
    return why.empty() ? "changed nothing" : why;
}

// Which standings a points adjustment counts in, where the league has classes.
std::string pointsScope(const RankingModel& model, const Decision& decision) {
    if (decision.action != DecisionAction::AddPoints || model.league.classes.empty()) {
        return std::string();
    }
    return decision.className.empty() ? ", in the overall and every class standings"
                                      : ", in the " + decision.className + " standings only";
}

} // namespace

std::string decisionLinkHtml(int index, const std::string& html) {
    return "<a href=\"#" + decisionId(index) + "\">" + html + "</a>";
}

std::string penaltyHtml(const RankingModel& model, int32_t participant, const Event& event) {
    const ChangedTime* changed =
        model.changedTimes.empty() ? nullptr : changedTime(model, participant, event);
    if (changed == nullptr || changed->after == NoTime || changed->after <= changed->before) {
        return std::string();
    }
    return " " + decisionLinkHtml(changed->decisions.front(),
                                  "(" + penaltyText(changed->after - changed->before) + ")");
}

void htmlDecidedTimeCell(OutputSink& out, const RankingModel& model, int32_t participant,
                         const Event& event, uint32_t time) {
    std::string penalty = penaltyHtml(model, participant, event);
    if (underReviewAt(model, participant, event) != nullptr) {
        // U+2691 BLACK FLAG, to the check that flags it.
        penalty += " <a href=\"#check-outliers\" class=\"flag\">\xE2\x9A\x91 outlier</a>";
    }
    if (penalty.empty()) {
        htmlTimeCell(out, time);
        return;
    }
    out.put("<td class=\"n\">");
    htmlTime(out, time);
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

void htmlCheckDecisionCell(OutputSink& out, int decision) {
    htmlCell(out, decision == 0
                      ? std::string()
                      : decisionLinkHtml(decision, "Decision " + std::to_string(decision)));
}

void htmlReviewCell(OutputSink& out, const RankingModel& model, const std::vector<size_t>& items) {
    out.put("<td><span class=\"flag\">\xE2\x9A\x91 Under review</span>");
    for (size_t i : items) {
        out.put("<details class=\"ready\"><summary>Decision to paste</summary><pre>");
        out.put(escapeHtml(decisionBlock(model.checks.underReview[i].ready)));
        out.put("</pre></details>");
    }
    out.put("</td>");
}

void renderDecisions(const RankingModel& model, OutputSink& out) {
    const std::vector<Decision>& decisions = model.league.decisions;
    if (decisions.empty() || model.decisionEffects.size() != decisions.size()) {
        return;
    }
    out.put("<section id=\"decisions\">\n<h2>Decisions</h2>\n<p class=\"checks-note\">The "
            "organiser's decisions from the league file, applied to the files before the "
            "ranking and the records: the files themselves are unchanged.</p>\n");
    htmlTable(
        out, "id=\"decision-table\"", "",
        {{"#", "n"}, {"Date"}, {"Action"}, {"Driver or file"}, {"Event"}, {"Reason"}, {"Effect"}},
        decisions.size(), [&] {
            for (size_t d = 0; d < decisions.size(); ++d) {
                const Decision& decision = decisions[d];
                const int index = static_cast<int>(d + 1);
                out.put("<tr id=\"" + decisionId(index) + "\">");
                htmlNumberCell(out, index);
                out.put("<td class=\"at\">"); // a date never wraps
                out.put(formatDate(decision.year, decision.month, decision.day));
                out.put("</td>");
                htmlCell(out, decisionActionInfo(decision.action).title);
                htmlCell(out, decision.namesDriver() ? escapeHtml(decision.name) + " (" +
                                                           escapeHtml(decision.code) + ")"
                                                     : fileNameHtml(decision.file));
                htmlCell(out, decision.event != nullptr ? escapeHtml(decision.event->title())
                                                        : std::string());
                htmlCell(out, escapeHtml(decision.reason));
                const DecisionEffect& effect = model.decisionEffects[d];
                htmlCell(out, effect.matched
                                  ? escapeHtml(decisionEffectText(decision, effect) +
                                               pointsScope(model, decision))
                                  : "<span class=\"note\">Matched nothing: " +
                                        escapeHtml(missNote(decision, effect)) + ".</span>");
                out.put("</tr>\n");
            }
        });
    out.put("</section>\n");
}

} // namespace kvr
