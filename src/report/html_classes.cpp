#include "report/html_classes.h"

#include "report/html_decisions.h"
#include "report/html_drivers.h"
#include "report/html_season.h"
#include "report/html_text.h"
#include "report/movement_text.h"
#include "report/words.h"

namespace kvr {

std::string classSectionId(size_t classIndex) {
    return "class-" + std::to_string(classIndex + 1);
}

std::string describeLeagueRules(const LeagueRules& rules, const Words& words) {
    // Places past the last one with points are left out: "12-8-6-4-2-1".
    size_t shown = rules.places.size();
    while (shown > 1 && rules.places[shown - 1] == 0) {
        --shown;
    }
    std::string places;
    for (size_t k = 0; k < shown; ++k) {
        places += (k > 0 ? "-" : "") + std::to_string(rules.places[k]);
    }
    const std::string ties(
        words[rules.tieBreak == TieBreak::CountBack ? Word::RulesCountBack : Word::RulesFileOrder]);
    return rules.bestRallies > 0
               ? words.say(
                     Word::RulesBestRallies,
                     {{"places", places}, {"ties", ties}, {"n", std::to_string(rules.bestRallies)}})
               : words.say(Word::RulesPoints, {{"places", places}, {"ties", ties}});
}

std::string describeVehicleClass(const VehicleClass& vehicleClass, const Words& words) {
    std::string vehicles;
    for (int v = 0; v < VehicleCount && vehicleClass.vehicles != AnyVehicle; ++v) {
        if ((vehicleClass.vehicles >> v & 1u) != 0) {
            vehicles += (vehicles.empty() ? "" : ", ") + std::string(vehicleNames[v]);
        }
    }
    if (vehicleClass.transmission == AnyTransmission) {
        return words.say(
            Word::ClassAnyGearbox,
            {{"vehicles", vehicles.empty() ? words[Word::ClassAnyVehicle] : vehicles}});
    }
    return words.say(Word::ClassGearbox,
                     {{"vehicles", vehicles.empty() ? words[Word::ClassAnyVehicle] : vehicles},
                      {"gearbox", transmissionLabels[vehicleClass.transmission]}});
}

namespace {

const RankedParticipant& participant(const RankingModel& model, int32_t index) {
    return model.participants[static_cast<size_t>(index)];
}

void listingTable(const RankingModel& model, OutputSink& out, const EventListing& listed,
                  const std::string& title, const Words& words) {
    const std::vector<HtmlColumn> columns = {
        {words[Word::ColPlace], "n"}, {words[Word::ColCode]},         {words[Word::ColName]},
        {words[Word::ColVehicle]},    {words[Word::ColTransmission]}, {words[Word::ColTime], "n"},
        {words[Word::ColGap], "n"}};
    htmlTable(out, "class=\"class-listing\" data-event=\"" + listed.event->key() + "\"",
              escapeHtml(title), columns, listed.results.size(), [&] {
                  for (size_t k = 0; k < listed.results.size(); ++k) {
                      const ListedResult& result = listed.results[k];
                      const RankedParticipant& p = participant(model, result.participantIndex);
                      out.put("<tr>");
                      htmlNumberCell(out, static_cast<long long>(k + 1));
                      htmlCell(out, escapeHtml(p.code));
                      htmlCell(out, escapeHtml(p.name));
                      htmlCell(out, escapeHtml(vehicleName(result.vehicle)));
                      htmlCell(out, transmissionLabel(result.vehicle));
                      out.put("<td class=\"n\">");
                      out.putTime(result.time, words.decimal());
                      out.put(penaltyHtml(model, result.participantIndex, *listed.event, words));
                      out.put("</td><td class=\"n\">");
                      if (k > 0) {
                          out.put('+');
                          out.putTime(result.gap, words.decimal());
                      }
                      out.put("</td></tr>\n");
                  }
              });
}

// The listings of one rally (or of the arcade events, rally -1), folded under its name.
void foldedListings(const RankingModel& model, OutputSink& out,
                    std::vector<EventListing>::const_iterator from,
                    std::vector<EventListing>::const_iterator to, std::string_view heading,
                    const Words& words) {
    out.put("<details>\n<summary>");
    out.put(escapeHtml(heading));
    out.put("</summary>\n");
    for (auto listed = from; listed != to; ++listed) {
        listingTable(
            model, out, *listed,
            listed->event->isArcade()
                ? std::string(arcadeNames[listed->event->index])
                : words.say(Word::StageTitle, {{"n", std::to_string(listed->event->index + 1)}}),
            words);
    }
    out.put("</details>\n");
}

void classSection(const RankingModel& model, const SeasonChanges* season, OutputSink& out,
                  size_t c) {
    const VehicleClass& vehicleClass = model.league.classes[c];
    const ClassRanking& ranking = model.classes[c];
    const std::string id = classSectionId(c);
    const Words words(model.league.language);
    out.put("<section id=\"" + id + "\" class=\"league-class\">\n<h2>");
    out.put(escapeHtml(vehicleClass.name));
    out.put("</h2>\n<p class=\"note\">");
    out.put(escapeHtml(
        words.say(Word::ClassNote, {{"class", describeVehicleClass(vehicleClass, words)}})));
    out.put("</p>\n");
    // The class's points by rally, as the whole field's grid shows them.
    std::vector<HtmlColumn> columns = {
        {words[Word::ColPlace], "n"}, {words[Word::ColCode]}, {words[Word::ColName]}};
    for (const char* rally : rallyNames) {
        columns.push_back({rally, "n"});
    }
    columns.push_back({words[Word::Arcade], "n"});
    columns.push_back({words[Word::ColPoints], "n"});
    const std::vector<StandingMovement>* moves =
        season != nullptr && c < season->classMovements.size() && season->classMovements[c]
            ? &*season->classMovements[c]
            : nullptr;
    if (moves != nullptr) {
        columns.push_back({words[Word::ColMove], HtmlMoveColumn.cls});
    }
    htmlTable(out, "id=\"" + id + "-standings\" class=\"class-grid\"", "", columns,
              ranking.standings.size(), [&] {
                  for (size_t i = 0; i < ranking.standings.size(); ++i) {
                      const Standing& standing = ranking.standings[i];
                      const RankedParticipant& p = participant(model, standing.participantIndex);
                      out.put("<tr>");
                      htmlNumberCell(out, standing.place);
                      htmlCell(out, escapeHtml(p.code));
                      // A driver with points in the whole field has a section of their own.
                      if (p.place != 0 && !model.drivers.empty()) {
                          htmlCell(out, "<a href=\"#" + driverSectionId(standing.participantIndex) +
                                            "\">" + escapeHtml(p.name) + "</a>");
                      } else {
                          htmlCell(out, escapeHtml(p.name));
                      }
                      htmlRallyPointsCells(out, standing.rallyPoints.data(),
                                           standing.countedRallies);
                      htmlNumberCell(out, standing.arcadePoints);
                      htmlStandingPointsCell(out, standing);
                      if (moves != nullptr) {
                          out.put("<td class=\"move\">" +
                                  movementText((*moves)[i], words[Word::MovementNew]) + "</td>");
                      }
                      out.put("</tr>\n");
                  }
              });
    htmlCountedRalliesNote(model, out);
    for (auto next = ranking.stages.begin(); next != ranking.stages.end();) {
        const int rally = next->event->rally;
        auto end = next;
        while (end != ranking.stages.end() && end->event->rally == rally) {
            ++end;
        }
        foldedListings(model, out, next, end, rallyNames[rally], words);
        next = end;
    }
    if (!ranking.arcade.empty()) {
        foldedListings(model, out, ranking.arcade.begin(), ranking.arcade.end(),
                       words[Word::Arcade], words);
    }
    out.put("</section>\n");
}

} // namespace

void htmlClassNavigation(const RankingModel& model, OutputSink& out) {
    for (size_t c = 0; c < model.league.classes.size(); ++c) {
        out.put("\n<a href=\"#" + classSectionId(c) + "\">");
        out.put(escapeHtml(model.league.classes[c].name));
        out.put("</a>");
    }
}

void renderClassSections(const RankingModel& model, const SeasonChanges* season, OutputSink& out) {
    for (size_t c = 0; c < model.classes.size() && c < model.league.classes.size(); ++c) {
        classSection(model, season, out, c);
    }
}

void htmlRallyPointsCells(OutputSink& out, const int* points, uint8_t counted) {
    for (int r = 0; r < RallyCount; ++r) {
        if (points[r] > 0 && (counted >> r & 1u) == 0) {
            out.put("<td class=\"n\"><s>");
            out.putNumber(points[r]);
            out.put("</s></td>");
        } else {
            htmlNumberCell(out, points[r]);
        }
    }
}

void htmlCountedRalliesNote(const RankingModel& model, OutputSink& out) {
    if (model.league.bestRallies <= 0) {
        return;
    }
    const Words words(model.league.language);
    out.put("<p class=\"note\">");
    out.put(words.say(Word::CountedRalliesNote, {{"n", std::to_string(model.league.bestRallies)}}));
    out.put("</p>\n");
}

void renderLeagueFooter(const RankingModel& model, OutputSink& out) {
    if (!model.league.inUse()) {
        return;
    }
    const Words words(model.league.language);
    out.put("<footer>\n<p class=\"note\">");
    out.put(words.say(Word::LeagueFooter,
                      {{"file", escapeHtml(model.league.file)},
                       {"rules", escapeHtml(describeLeagueRules(model.league, words))}}));
    out.put("</p>\n</footer>\n");
}

} // namespace kvr
