#include "report/ranking_json.h"

#include <nlohmann/json.hpp>

#include <cstdio>

namespace kvr {

namespace {

// Keys in the documented order.
using Json = nlohmann::ordered_json;

// Writes one JSON document element by element, in the layout of nlohmann's dump with an
// indent of 2, so that only one element is ever held in memory.
class JsonWriter {
  public:
    explicit JsonWriter(OutputSink& out) : out_(out) {}

    void beginObject(const char* key = nullptr) { open(key, '{'); }
    void beginArray(const char* key = nullptr) { open(key, '['); }
    void end() {
        Level level = levels_.back();
        levels_.pop_back();
        if (level.count > 0) {
            out_.put('\n');
            indent();
        }
        out_.put(level.closing);
        if (levels_.empty()) {
            out_.put('\n');
        }
    }
    // A whole value: an array element, or an object member when `key` is given.
    void value(const Json& element, const char* key = nullptr) {
        next(key);
        std::string text = element.dump(2, ' ', false, Json::error_handler_t::replace);
        size_t from = 0;
        for (size_t at = text.find('\n'); at != std::string::npos; at = text.find('\n', from)) {
            out_.put(std::string_view(text).substr(from, at + 1 - from));
            indent();
            from = at + 1;
        }
        out_.put(std::string_view(text).substr(from));
    }

  private:
    struct Level {
        char closing;
        size_t count;
    };

    void indent() {
        for (size_t i = 0; i < levels_.size(); ++i) {
            out_.put("  ");
        }
    }
    void next(const char* key) {
        if (levels_.empty()) {
            return;
        }
        out_.put(levels_.back().count++ > 0 ? ",\n" : "\n");
        indent();
        if (key != nullptr) {
            out_.put(Json(key).dump());
            out_.put(": ");
        }
    }
    void open(const char* key, char opening) {
        next(key);
        out_.put(opening);
        levels_.push_back({opening == '{' ? '}' : ']', 0});
    }

    OutputSink& out_;
    std::vector<Level> levels_;
};

class JsonRenderer {
  public:
    JsonRenderer(const RunResults& run, OutputSink& out)
        : model_(run.ranking), season_(run.season), out_(out) {}

    void render() {
        out_.beginObject();
        out_.value(formatIsoTime(model_.time), "generated");
        participants();
        stages();
        arcade();
        standings();
        drivers();
        checks();
        if (season_ != nullptr) {
            history(*season_);
        }
        out_.end();
    }

  private:
    void participants() {
        out_.beginArray("participants");
        for (size_t i = 0; i < model_.participants.size(); ++i) {
            const RankedParticipant& p = model_.participants[i];
            out_.value(Json{{"index", i + 1},
                            {"file", p.file},
                            {"code", p.code},
                            {"name", p.name},
                            {"date", formatDate(p.year, p.month, p.day)}});
        }
        out_.end();
    }

    void stages() {
        out_.beginArray("stages");
        for (const EventListing& listed : model_.stages) {
            out_.value(Json{{"rally", listed.event->rally + 1},
                            {"rally_name", rallyNames[listed.event->rally]},
                            {"stage", listed.event->index + 1},
                            {"results", results(listed)}});
        }
        out_.end();
    }

    void arcade() {
        out_.beginArray("arcade");
        for (const EventListing& listed : model_.arcade) {
            out_.value(Json{{"event", listed.event->index + 1},
                            {"name", arcadeNames[listed.event->index]},
                            {"results", results(listed)}});
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
            if (season_ != nullptr) {
                const StandingMovement& move = season_->movements[i];
                entry["previous_place"] = optional(move.previousPlace);
                entry["movement"] = optional(move.movement);
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
            Json results = Json::array();
            for (const DriverResult& r : driver.results) {
                results.push_back(Json{{"event", r.event->key()},
                                       {"time", formatTime(r.time)},
                                       {"hundredths", r.time},
                                       {"place_in_field", r.placeInField},
                                       {"field", r.field},
                                       {"gap_hundredths", r.gap},
                                       {"points", r.points}});
            }
            out_.value(Json{{"index", standing.participantIndex + 1},
                            {"code", p.code},
                            {"name", p.name},
                            {"file", p.file},
                            {"place", standing.place},
                            {"points", standing.points},
                            {"rally_points", driver.rallyPoints},
                            {"arcade_points", driver.arcadePoints},
                            {"wins", driver.wins},
                            {"podiums", driver.podiums},
                            {"time_to_gain_hundredths", driver.timeToGain},
                            {"results", std::move(results)}});
        }
        out_.end();
    }

    void checks() {
        out_.beginObject("checks");
        out_.beginArray("duplicates");
        for (const std::vector<int32_t>& group : model_.checks.duplicates) {
            const RankedParticipant& first = participant(group.front());
            Json files = Json::array();
            for (int32_t index : group) {
                files.push_back(participant(index).file);
            }
            out_.value(
                Json{{"code", first.code}, {"name", first.name}, {"files", std::move(files)}});
        }
        out_.end();
        out_.beginArray("outliers");
        for (const Outlier& outlier : model_.checks.outliers) {
            const RankedParticipant& p = participant(outlier.participantIndex);
            out_.value(Json{{"event", outlier.event->key()},
                            {"index", outlier.participantIndex + 1},
                            {"code", p.code},
                            {"name", p.name},
                            {"file", p.file},
                            {"hundredths", outlier.time},
                            {"second_hundredths", outlier.secondTime}});
        }
        out_.end();
        out_.end();
    }

    void history(const SeasonChanges& season) {
        out_.beginObject("history");
        out_.value(season.runs, "runs");
        out_.value(optional(season.previousAt), "previous_at");
        out_.value(season.skippedLines, "skipped_lines");
        out_.beginArray("new_records");
        for (const NewRecord& record : season.newRecords) {
            Json entry = holder(record.now, record.event->key());
            entry["previous"] = record.previous ? holder(*record.previous) : Json();
            entry["margin_hundredths"] = optional(record.marginHundredths);
            out_.value(entry);
        }
        out_.end();
        out_.beginArray("record_log");
        for (const RecordProgression& progression : season.recordLog) {
            Json changes = Json::array();
            for (const RecordChange& change : progression.changes) {
                Json entry{{"at", change.at}};
                entry.update(holder(change.holder));
                changes.push_back(std::move(entry));
            }
            out_.value(Json{{"event", progression.event->key()}, {"changes", std::move(changes)}});
        }
        out_.end();
        out_.end();
    }

    // {"event", "time", "hundredths", "code", "name"}, without the event when none is given.
    static Json holder(const RecordHolder& h, const std::string& event = std::string()) {
        Json entry = event.empty() ? Json::object() : Json{{"event", event}};
        entry["time"] = h.time;
        entry["hundredths"] = h.hundredths;
        entry["code"] = h.code;
        entry["name"] = h.name;
        return entry;
    }

    template <typename T> static Json optional(const std::optional<T>& value) {
        return value ? Json(*value) : Json();
    }

    const RankedParticipant& participant(int32_t index) const {
        return model_.participants[static_cast<size_t>(index)];
    }

    Json results(const EventListing& listed) const {
        Json list = Json::array();
        for (size_t k = 0; k < listed.results.size(); ++k) {
            const ListedResult& result = listed.results[k];
            const RankedParticipant& p = participant(result.participantIndex);
            bool first = k == 0;
            list.push_back(Json{{"place", k + 1},
                                {"index", result.participantIndex + 1},
                                {"code", p.code},
                                {"name", p.name},
                                {"vehicle", vehicleName(result.vehicle)},
                                {"transmission", transmissionLabel(result.vehicle)},
                                {"time", formatTime(result.time)},
                                {"hundredths", result.time},
                                {"gap", first ? Json() : Json("+" + formatTime(result.gap))},
                                {"gap_hundredths", first ? Json() : Json(result.gap)},
                                {"points", result.points}});
        }
        return list;
    }

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
