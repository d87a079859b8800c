#include "report/ranking_json.h"

#include "report/json_writer.h"
#include "report/ranking_json_season.h"

namespace kvr {

namespace {

class JsonRenderer {
  public:
    JsonRenderer(const RunResults& run, OutputSink& out)
        : run_(run), model_(run.ranking), season_(run.season), out_(out) {}

    void render() {
        out_.beginObject();
        out_.value(formatIsoTime(model_.time), "generated");
        if (model_.league.inUse()) {
            league();
        }
        participants();
        stages();
        arcade();
        standings();
        drivers();
        teams();
        headToHead();
        if (run_.allTime != nullptr) {
            json::allTime(out_, *run_.allTime);
        }
        if (model_.league.inUse()) {
            classes();
        }
        json::checks(out_, run_);
        if (model_.league.inUse()) {
            json::decisions(out_, model_);
        }
        if (season_ != nullptr) {
            json::history(out_, model_, *season_);
        }
        out_.end();
    }

  private:
    void participants() {
        out_.beginArray("participants");
        for (size_t i = 0; i < model_.participants.size(); ++i) {
            const RankedParticipant& p = model_.participants[i];
            out_.beginObject();
            out_.number("index", static_cast<long long>(i + 1));
            out_.string("file", p.file);
            out_.string("code", p.code);
            out_.string("name", p.name);
            out_.string("date", formatDate(p.year, p.month, p.day));
            out_.end();
        }
        out_.end();
    }

    void stages() {
        out_.beginArray("stages");
        listings(model_.stages);
        out_.end();
    }

    void arcade() {
        out_.beginArray("arcade");
        listings(model_.arcade);
        out_.end();
    }

    // Stage listings as {rally, rally_name, stage, results}, arcade ones as {event, name,
    // results}.
    void listings(const std::vector<EventListing>& listings) {
        for (const EventListing& listed : listings) {
            out_.beginObject();
            if (listed.event->isArcade()) {
                out_.number("event", listed.event->index + 1);
                out_.string("name", arcadeNames[listed.event->index]);
            } else {
                out_.number("rally", listed.event->rally + 1);
                out_.string("rally_name", rallyNames[listed.event->rally]);
                out_.number("stage", listed.event->index + 1);
            }
            results(listed);
            out_.end();
        }
    }

    // The rules the points follow; only with a league file.
    void league() {
        const LeagueRules& rules = model_.league;
        Json classes = Json::array();
        for (const VehicleClass& vehicleClass : rules.classes) {
            classes.push_back(vehicleClass.name);
        }
        out_.value(
            Json{{"file", rules.file},
                 {"places", rules.places},
                 {"tie_break", rules.tieBreak == TieBreak::CountBack ? "count-back" : "file-order"},
                 {"best_rallies", rules.bestRallies > 0 ? Json(rules.bestRallies) : Json()},
                 {"classes", std::move(classes)}},
            "league");
    }

    // Each class of the league with its own standings and listings.
    void classes() {
        out_.beginArray("classes");
        for (size_t c = 0; c < model_.classes.size(); ++c) {
            const VehicleClass& vehicleClass = model_.league.classes[c];
            const ClassRanking& ranking = model_.classes[c];
            out_.beginObject();
            out_.string("name", vehicleClass.name);
            if (vehicleClass.transmission == AnyTransmission) {
                out_.null("transmission");
            } else {
                out_.string("transmission", transmissionLabels[vehicleClass.transmission]);
            }
            if (vehicleClass.vehicles == AnyVehicle) {
                out_.null("vehicles");
            } else {
                Json vehicles = Json::array();
                for (int v = 0; v < VehicleCount; ++v) {
                    if ((vehicleClass.vehicles >> v & 1u) != 0) {
                        vehicles.push_back(vehicleNames[v]);
                    }
                }
                out_.value(vehicles, "vehicles");
            }
            out_.beginArray("standings");
            // With a season, the movement in the class when the previous run kept its standings.
            const std::optional<std::vector<StandingMovement>>* moves =
                season_ != nullptr && c < season_->classMovements.size()
                    ? &season_->classMovements[c]
                    : nullptr;
            for (size_t i = 0; i < ranking.standings.size(); ++i) {
                const Standing& standing = ranking.standings[i];
                const RankedParticipant& p = participant(standing.participantIndex);
                Json entry{{"place", standing.place},
                           {"code", p.code},
                           {"name", p.name},
                           {"points", standing.points}};
                if (season_ != nullptr) {
                    const StandingMovement move =
                        moves != nullptr && *moves ? (**moves)[i] : StandingMovement();
                    entry["previous_place"] = json::optional(move.previousPlace);
                    entry["movement"] = json::optional(move.movement);
                }
                out_.value(entry);
            }
            out_.end();
            out_.beginArray("listings");
            listings(ranking.stages);
            listings(ranking.arcade);
            out_.end();
            out_.end();
        }
        out_.end();
    }

    void standings() {
        out_.beginArray("standings");
        for (size_t i = 0; i < model_.standings.size(); ++i) {
            const Standing& standing = model_.standings[i];
            const RankedParticipant& p = participant(standing.participantIndex);
            const DriverSummary& driver = model_.drivers[i];
            Json entry{{"place", standing.place},
                       {"index", standing.participantIndex + 1},
                       {"code", p.code},
                       {"name", p.name},
                       {"points", standing.points},
                       {"rally_points", driver.rallyPoints},
                       {"arcade_points", driver.arcadePoints}};
            if (model_.league.inUse()) {
                entry["adjustment"] = standing.adjustment;
            }
            if (model_.league.bestRallies > 0) {
                Json counted = Json::array();
                for (int r = 0; r < RallyCount; ++r) {
                    if ((standing.countedRallies >> r & 1u) != 0) {
                        counted.push_back(r + 1);
                    }
                }
                entry["counted_rallies"] = std::move(counted);
            }
            if (!model_.teamOf.empty()) {
                entry["team"] = teamName(standing.participantIndex);
            }
            if (season_ != nullptr) {
                const StandingMovement& move = season_->movements[i];
                entry["previous_place"] = json::optional(move.previousPlace);
                entry["movement"] = json::optional(move.movement);
            }
            out_.value(entry);
        }
        out_.end();
    }

    // One object per driver, written as soon as it is made.
    void drivers() {
        out_.beginArray("drivers");
        for (size_t s = 0; s < model_.standings.size(); ++s) {
            const Standing& standing = model_.standings[s];
            const DriverSummary& driver = model_.drivers[s];
            const RankedParticipant& p = participant(standing.participantIndex);
            out_.beginObject();
            out_.number("index", standing.participantIndex + 1);
            out_.string("code", p.code);
            out_.string("name", p.name);
            out_.string("file", p.file);
            out_.number("place", standing.place);
            out_.number("points", standing.points);
            out_.value(driver.rallyPoints, "rally_points");
            out_.number("arcade_points", driver.arcadePoints);
            out_.number("wins", driver.wins);
            out_.number("podiums", driver.podiums);
            out_.number("time_to_gain_hundredths", static_cast<long long>(driver.timeToGain));
            out_.value(rivals(driver), "rivals");
            if (!model_.closestRivals.empty()) {
                out_.value(closestRival(s), "closest_rival");
            }
            out_.beginArray("results");
            for (const DriverResult& r : driver.results) {
                out_.beginObject();
                out_.string("event", r.event->key());
                out_.string("time", formatTime(r.time));
                out_.number("hundredths", r.time);
                out_.number("place_in_field", r.placeInField);
                out_.number("field", r.field);
                out_.number("gap_hundredths", r.gap);
                out_.number("points", r.points);
                if (r.placeInField == 1) {
                    out_.null("to_next_place_hundredths");
                } else {
                    out_.number("to_next_place_hundredths", r.toNextPlace);
                }
                out_.end();
            }
            out_.end();
            out_.end();
        }
        out_.end();
    }

    // {"code", "name", "won", "lost"} of the standing's closest rival by the head-to-head; null
    // for none.
    Json closestRival(size_t standing) const {
        const int32_t pair = model_.closestRivals[standing];
        if (pair < 0) {
            return Json();
        }
        const HeadToHead& h = model_.headToHead[static_cast<size_t>(pair)];
        const bool first = h.a == model_.standings[standing].participantIndex;
        const RankedParticipant& p = participant(first ? h.b : h.a);
        return Json{{"code", p.code},
                    {"name", p.name},
                    {"won", first ? h.aFaster : h.bFaster},
                    {"lost", first ? h.bFaster : h.aFaster}};
    }

    // The participant's team's name; null for none.
    Json teamName(int32_t participant) const {
        const int32_t team = model_.teamOf[static_cast<size_t>(participant)];
        return team < 0 ? Json() : Json(model_.league.roster.teams[static_cast<size_t>(team)].name);
    }

    void teams() {
        if (model_.league.roster.teams.empty()) {
            return;
        }
        out_.beginArray("teams");
        for (const TeamStanding& t : model_.teams) {
            Json members = Json::array();
            for (int32_t m : t.members) {
                const RankedParticipant& p = participant(m);
                members.push_back(Json{{"code", p.code}, {"name", p.name}});
            }
            out_.value(Json{{"name", model_.league.roster.teams[t.team].name},
                            {"place", t.place},
                            {"points", t.points},
                            {"members", std::move(members)},
                            {"rally_points", t.rallyPoints},
                            {"arcade_points", t.arcadePoints}});
        }
        out_.end();
    }

    void headToHead() {
        if (model_.headToHead.empty() && model_.closestRivals.empty()) {
            return;
        }
        out_.beginArray("head_to_head");
        for (const HeadToHead& pair : model_.headToHead) {
            const RankedParticipant& a = participant(pair.a);
            const RankedParticipant& b = participant(pair.b);
            out_.value(Json{{"a", Json{{"code", a.code}, {"name", a.name}}},
                            {"b", Json{{"code", b.code}, {"name", b.name}}},
                            {"events", pair.events},
                            {"a_faster", pair.aFaster},
                            {"b_faster", pair.bFaster},
                            {"equal", pair.equal},
                            {"a_points", pair.aPoints},
                            {"b_points", pair.bPoints}});
        }
        out_.end();
    }

    // {"ahead": {"code", "name", "points_behind"} | null, "behind": {..., "points_ahead"} | null}
    Json rivals(const DriverSummary& driver) const {
        auto rival = [this](const std::optional<Rival>& r, const char* apart) {
            if (!r) {
                return Json();
            }
            const RankedParticipant& p = participant(r->participantIndex);
            return Json{{"code", p.code}, {"name", p.name}, {apart, r->pointsApart}};
        };
        return Json{{"ahead", rival(driver.ahead, "points_behind")},
                    {"behind", rival(driver.behind, "points_ahead")}};
    }

    const RankedParticipant& participant(int32_t index) const {
        return model_.participants[static_cast<size_t>(index)];
    }

    // The listed places of an event, as the "results" member of its object.
    void results(const EventListing& listed) {
        out_.beginArray("results");
        for (size_t k = 0; k < listed.results.size(); ++k) {
            const ListedResult& result = listed.results[k];
            const RankedParticipant& p = participant(result.participantIndex);
            out_.beginObject();
            out_.number("place", static_cast<long long>(k + 1));
            out_.number("index", result.participantIndex + 1);
            out_.string("code", p.code);
            out_.string("name", p.name);
            out_.string("vehicle", vehicleName(result.vehicle));
            out_.string("transmission", transmissionLabel(result.vehicle));
            out_.string("time", formatTime(result.time));
            out_.number("hundredths", result.time);
            if (k == 0) {
                out_.null("gap");
                out_.null("gap_hundredths");
            } else {
                out_.string("gap", "+" + formatTime(result.gap));
                out_.number("gap_hundredths", result.gap);
            }
            out_.number("points", result.points);
            out_.end();
        }
        out_.end();
    }

    const RunResults& run_;
    const RankingModel& model_;
    const SeasonChanges* season_;
    JsonWriter out_;
};

} // namespace

void renderJson(const RunResults& run, OutputSink& out) {
    JsonRenderer(run, out).render();
}

std::string renderJson(const RunResults& run) {
    StringSink out;
    renderJson(run, out);
    return out.take();
}

} // namespace kvr
