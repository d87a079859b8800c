#include "report/ranking_json_season.h"

#include "report/decision_text.h"
#include "report/review_text.h"

namespace kvr::json {

namespace {

Json identity(const DriverIdentity& driver) {
    return Json{{"code", driver.code}, {"name", driver.name}};
}

const RankedParticipant& participant(const RankingModel& model, int32_t index) {
    return model.participants[static_cast<size_t>(index)];
}

Json decisionIndex(int decision) {
    return decision != 0 ? Json(decision) : Json();
}

const char* checkName(ReviewKind kind) {
    switch (kind) {
    case ReviewKind::Outlier:
        return "outlier";
    case ReviewKind::Duplicate:
        return "duplicate";
    case ReviewKind::Implausible:
        return "implausible";
    }
    return "";
}

// What the checks flag and no decision covers, each with a decision ready to paste.
void underReview(JsonWriter& out, const RankingModel& model) {
    out.beginArray("under_review");
    for (const ReviewItem& item : model.checks.underReview) {
        const RankedParticipant& p = participant(model, item.participantIndex);
        out.value(
            Json{{"check", checkName(item.kind)},
                 {"event", item.event != nullptr ? Json(item.event->key()) : Json()},
                 {"index", item.participantIndex + 1},
                 {"code", p.code},
                 {"name", p.name},
                 {"file", p.file},
                 {"repeats",
                  item.keptIndex >= 0 ? Json(participant(model, item.keptIndex).file) : Json()},
                 {"text", reviewItemText(model, item)},
                 {"decision", decisionBlock(item.ready)}});
    }
    out.end();
}

// {"event", "time", "hundredths", "code", "name"}, without the event when none is given.
Json holder(const RecordHolder& h, const std::string& event = std::string()) {
    Json entry = event.empty() ? Json::object() : Json{{"event", event}};
    entry["time"] = formatTime(h.hundredths);
    entry["hundredths"] = h.hundredths;
    entry["code"] = h.code;
    entry["name"] = h.name;
    return entry;
}

} // namespace

void allTime(JsonWriter& out, const AllTime& table) {
    out.beginObject("all_time");
    Json seasons = Json::array();
    for (const AllTimeSeason& season : table.seasons) {
        seasons.push_back(Json{{"name", season.name},
                               {"champion", season.champion ? identity(*season.champion) : Json()},
                               {"leader", season.leader ? identity(*season.leader) : Json()},
                               {"current", season.current}});
    }
    out.value(seasons, "seasons");
    out.beginArray("drivers");
    for (const AllTimeDriver& d : table.drivers) {
        Json points = Json::array();
        for (const std::optional<int32_t>& p : d.seasonPoints) {
            points.push_back(optional(p));
        }
        Json entry = identity(d.driver);
        entry.update(Json{{"seasons", d.seasons},
                          {"titles", d.titles},
                          {"podiums", d.podiums},
                          {"best_place", d.bestPlace},
                          {"season_points", std::move(points)},
                          {"points", d.points}});
        out.value(entry);
    }
    out.end();
    Json unread = Json::array();
    for (const UnreadSeason& season : table.unread) {
        unread.push_back(Json{{"file", season.file}, {"reason", season.reason}});
    }
    out.value(unread, "unread");
    out.end();
}

void checks(JsonWriter& out, const RunResults& run) {
    const RankingModel& model = run.ranking;
    out.beginObject("checks");
    out.beginArray("duplicates");
    for (size_t g = 0; g < model.checks.duplicates.size(); ++g) {
        const std::vector<int32_t>& group = model.checks.duplicates[g];
        const RankedParticipant& first = participant(model, group.front());
        Json files = Json::array();
        for (int32_t index : group) {
            files.push_back(participant(model, index).file);
        }
        Json entry{{"code", first.code}, {"name", first.name}, {"files", std::move(files)}};
        if (model.league.inUse()) {
            entry["decision"] = decisionIndex(model.checks.duplicateDecisions[g]);
        }
        out.value(entry);
    }
    out.end();
    out.beginArray("outliers");
    for (const Outlier& outlier : model.checks.outliers) {
        const RankedParticipant& p = participant(model, outlier.participantIndex);
        Json entry{{"event", outlier.event->key()},
                   {"index", outlier.participantIndex + 1},
                   {"code", p.code},
                   {"name", p.name},
                   {"file", p.file},
                   {"hundredths", outlier.time},
                   {"second_hundredths", outlier.secondTime}};
        if (model.league.inUse()) {
            entry["decision"] = decisionIndex(outlier.decision);
        }
        out.value(entry);
    }
    out.end();
    out.beginArray("implausible");
    for (const Implausible& file : model.checks.implausible) {
        const RankedParticipant& p = participant(model, file.participantIndex);
        Json entry{{"index", file.participantIndex + 1},
                   {"code", p.code},
                   {"name", p.name},
                   {"file", p.file},
                   {"control_bytes", file.controlBytes},
                   {"event", file.event != nullptr ? Json(file.event->key()) : Json()},
                   {"hundredths", file.event != nullptr ? Json(file.time) : Json()}};
        if (model.league.inUse()) {
            entry["decision"] = decisionIndex(file.decision);
        }
        out.value(entry);
    }
    out.end();
    underReview(out, model);
    out.beginArray("not_imported");
    for (const NotImported& file : run.notImported) {
        out.value(Json{{"file", file.file}, {"reason", file.reason}});
    }
    out.end();
    if (run.season != nullptr) {
        out.beginArray("history_skipped");
        for (const SkippedLine& skipped : run.season->skippedLines) {
            out.value(Json{{"line", skipped.line}, {"reason", skipped.reason}});
        }
        out.end();
    }
    if (run.allTime != nullptr) {
        out.beginArray("archive_unread");
        for (const UnreadSeason& season : run.allTime->unread) {
            out.value(Json{{"file", season.file}, {"reason", season.reason}});
        }
        out.end();
    }
    out.end();
}

void decisions(JsonWriter& out, const RankingModel& model) {
    out.beginArray("decisions");
    const std::vector<Decision>& decisions = model.league.decisions;
    for (size_t d = 0; d < decisions.size() && d < model.decisionEffects.size(); ++d) {
        const Decision& decision = decisions[d];
        auto text = [](const std::string& value, bool present) {
            return present ? Json(value) : Json();
        };
        const bool driver = decision.namesDriver();
        out.value(Json{{"index", d + 1},
                       {"date", formatDate(decision.year, decision.month, decision.day)},
                       {"action", decisionActionName(decision.action)},
                       {"reason", decision.reason},
                       {"code", text(decision.code, driver)},
                       {"name", text(decision.name, driver)},
                       {"file", text(decision.file, !driver)},
                       {"event", decision.event != nullptr ? Json(decision.event->key()) : Json()},
                       {"seconds", decision.action == DecisionAction::AddTime
                                       ? Json(static_cast<double>(decision.hundredths) / 100.0)
                                       : Json()},
                       {"points", decision.points != 0 ? Json(decision.points) : Json()},
                       {"matched", model.decisionEffects[d].matched},
                       {"effect", decisionEffectText(decision, model.decisionEffects[d])}});
    }
    out.end();
}

void history(JsonWriter& out, const RankingModel& model, const SeasonChanges& season) {
    out.beginObject("history");
    out.value(season.runs, "runs");
    out.value(optional(season.previousAt), "previous_at");
    out.value(season.skippedLines.size(), "skipped_lines");
    out.beginArray("new_records");
    for (const NewRecord& record : season.newRecords) {
        Json entry = holder(record.now, record.event->key());
        entry["previous"] = record.previous ? holder(*record.previous) : Json();
        entry["margin_hundredths"] = optional(record.marginHundredths);
        entry["under_review"] = record.underReview;
        out.value(entry);
    }
    out.end();
    // Who came and went: known when every earlier run of the season says who had a file.
    if (season.entrantsKnown) {
        Json added = Json::array();
        for (int32_t index : season.newDrivers) {
            const RankedParticipant& p = participant(model, index);
            added.push_back(Json{{"code", p.code}, {"name", p.name}});
        }
        out.value(added, "new_drivers");
    } else {
        out.null("new_drivers");
    }
    Json left = Json::array();
    for (const DriverIdentity& driver : season.left) {
        left.push_back(Json{{"code", driver.code}, {"name", driver.name}});
    }
    out.value(left, "left");
    out.beginArray("record_log");
    for (const RecordProgression& progression : season.recordLog) {
        Json changes = Json::array();
        for (const RecordChange& change : progression.changes) {
            Json entry{{"at", change.at}};
            entry.update(holder(change.holder));
            if (change.annulled) {
                entry["annulled"] = true;
            }
            changes.push_back(std::move(entry));
        }
        out.value(Json{{"event", progression.event->key()}, {"changes", std::move(changes)}});
    }
    out.end();
    out.end();
}

} // namespace kvr::json
