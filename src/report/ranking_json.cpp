#include "report/ranking_json.h"

#include "data/text.h"

#include <nlohmann/json.hpp>

#include <cstdio>

namespace kvr {

namespace {

// Keys in the documented order.
using Json = nlohmann::ordered_json;

std::string isoTime(const ReportTime& t) {
    char text[64];
    std::snprintf(text, sizeof text, "%04d-%02d-%02dT%02d:%02d:%02d", t.year, t.month, t.day,
                  t.hour, t.minute, t.second);
    return text;
}

class JsonRenderer {
  public:
    explicit JsonRenderer(const RankingModel& model) : model_(model) {}

    Json participants() const {
        Json list = Json::array();
        for (size_t i = 0; i < model_.participants.size(); ++i) {
            const RankedParticipant& p = model_.participants[i];
            list.push_back(Json{{"index", i + 1},
                                {"file", validUtf8(p.file)},
                                {"code", windows1252ToUtf8(p.code)},
                                {"name", windows1252ToUtf8(p.name)},
                                {"date", formatDate(p)}});
        }
        return list;
    }

    Json stages() const {
        Json list = Json::array();
        for (const EventListing& listed : model_.stages) {
            list.push_back(Json{{"rally", listed.rally + 1},
                                {"rally_name", rallyNames[listed.rally]},
                                {"stage", listed.event + 1},
                                {"results", results(listed)}});
        }
        return list;
    }

    Json arcade() const {
        Json list = Json::array();
        for (const EventListing& listed : model_.arcade) {
            list.push_back(Json{{"event", listed.event + 1},
                                {"name", arcadeNames[listed.event]},
                                {"results", results(listed)}});
        }
        return list;
    }

    Json standings() const {
        Json list = Json::array();
        for (const Standing& standing : model_.standings) {
            const RankedParticipant& p = participant(standing.participantIndex);
            list.push_back(Json{{"place", standing.place},
                                {"index", standing.participantIndex + 1},
                                {"code", windows1252ToUtf8(p.code)},
                                {"name", windows1252ToUtf8(p.name)},
                                {"points", standing.points}});
        }
        return list;
    }

  private:
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
                                {"code", windows1252ToUtf8(p.code)},
                                {"name", windows1252ToUtf8(p.name)},
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
};

} // namespace

std::string renderJson(const RankingModel& model) {
    JsonRenderer renderer(model);
    Json root = Json::object();
    root["generated"] = isoTime(model.time);
    root["participants"] = renderer.participants();
    root["stages"] = renderer.stages();
    root["arcade"] = renderer.arcade();
    root["standings"] = renderer.standings();
    // Every text is valid UTF-8 already; replacing keeps a slip from ever throwing here.
    return root.dump(2, ' ', false, Json::error_handler_t::replace) + "\n";
}

} // namespace kvr
