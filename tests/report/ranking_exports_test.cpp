// The JSON, CSV and HTML renderings checked against ranking.txt and against their formats.
#include "ranking_text_reader.h"

#include "data/text.h"
#include "history/season.h"
#include "history/snapshot.h"
#include "report/html_text.h"
#include "report/post_decisions.h"
#include "report/ranking_csv.h"
#include "report/ranking_html.h"
#include "report/ranking_json.h"
#include "report/ranking_report.h"
#include "report/review_text.h"
#include "support/participant_builder.h"
#include "support/random_folder.h"
#include "support/temp_folder.h"

#include <gtest/gtest.h>
#include <nlohmann/json.hpp>

#include <algorithm>
#include <cstdio>
#include <map>
#include <optional>
#include <random>
#include <tuple>

namespace {

using namespace kvr;
using kvrtest::ParticipantFileBuilder;
using Json = nlohmann::json;

const ReportTime Noon{2026, 12, 7, 12, 5, 9};
const std::string Utf8Bom = "\xEF\xBB\xBF";

struct Folder {
    std::vector<ParticipantRecord> participants;
    std::vector<std::string> files;
    RankingModel model;
    kvrtest::TextReport text;
    std::optional<SeasonChanges> season; // with a history

    RunResults run() const { return RunResults(model, season ? &*season : nullptr); }
};

Folder folder(std::vector<ParticipantRecord> participants, std::vector<std::string> files = {},
              const LeagueRules& league = {}) {
    Folder f{std::move(participants), std::move(files), {}, {}, {}};
    auto count = static_cast<int32_t>(f.participants.size());
    RankingOptions options;
    options.league = league;
    f.model = computeRankingModel(f.participants.data(), count, f.files, Noon, options);
    f.text = kvrtest::readTextReport(formatRankingReport(f.participants.data(), count, Noon));
    return f;
}

// Folders full of ties, with names of any byte and file names that are not all UTF-8.
std::vector<Folder> randomFolders() {
    std::vector<Folder> folders;
    for (uint32_t seed = 1; seed <= 12; ++seed) {
        kvrtest::RandomFolderShape shape;
        shape.participants = 1 + seed * 3 % 25;
        shape.distinctTimes = 1 + seed % 4;
        std::vector<ParticipantRecord> participants = kvrtest::randomParticipants(seed, shape);
        std::vector<std::string> files;
        for (size_t i = 0; i < participants.size(); ++i) {
            files.push_back("f" + std::to_string(i) + (i % 3 ? ",\"q\".kvr" : "\xFF\xC3.kvr"));
        }
        folders.push_back(folder(std::move(participants), files));
    }
    return folders;
}

// mm:ss.hh as hundredths.
uint32_t hundredths(const std::string& time) {
    unsigned minutes = 0, seconds = 0, rest = 0;
    EXPECT_EQ(std::sscanf(time.c_str(), "%u:%u.%u", &minutes, &seconds, &rest), 3) << time;
    return minutes * 6000u + seconds * 100u + rest;
}

std::string isoDate(std::string shown) {
    for (char& c : shown) {
        c = c == '.' ? '-' : c;
    }
    return shown;
}

// ---- JSON

TEST(RankingJson, AgreesWithTheTextReport) {
    for (const Folder& f : randomFolders()) {
        Json json = Json::parse(renderJson(f.model)); // throws, failing the test, if invalid
        const kvrtest::TextReport& text = f.text;
        EXPECT_EQ(json["generated"], "2026-12-07T12:05:09");

        ASSERT_EQ(json["participants"].size(), text.participants.size());
        for (size_t i = 0; i < text.participants.size(); ++i) {
            const Json& p = json["participants"][i];
            EXPECT_EQ(p["index"], i + 1);
            EXPECT_EQ(p["file"], validUtf8(f.files[i]));
            EXPECT_EQ(p["code"], text.participants[i].code);
            EXPECT_EQ(p["name"], windows1252ToUtf8(text.participants[i].name));
            EXPECT_EQ(p["date"], isoDate(text.participants[i].date));
        }

        std::vector<const Json*> listings;
        for (const Json& stage : json["stages"]) {
            listings.push_back(&stage);
        }
        for (const Json& event : json["arcade"]) {
            listings.push_back(&event);
        }
        ASSERT_EQ(listings.size(), text.listings.size());
        std::map<int, int> points; // per index, summed over the listings
        for (size_t l = 0; l < listings.size(); ++l) {
            const Json& listed = *listings[l];
            const kvrtest::TextListing& expected = text.listings[l];
            if (listed.contains("rally")) {
                EXPECT_EQ(listed["rally_name"], expected.group);
                EXPECT_EQ("Stage " + listed["stage"].dump(), expected.event);
                EXPECT_EQ(listed["rally_name"], rallyNames[listed["rally"].get<int>() - 1]);
            } else {
                EXPECT_EQ("Arcade", expected.group);
                EXPECT_EQ(listed["name"], expected.event);
                EXPECT_EQ(listed["name"], arcadeNames[listed["event"].get<int>() - 1]);
            }
            ASSERT_EQ(listed["results"].size(), expected.results.size()) << expected.event;
            for (size_t k = 0; k < expected.results.size(); ++k) {
                const Json& r = listed["results"][k];
                const kvrtest::TextResult& line = expected.results[k];
                auto index = r["index"].get<size_t>();
                ASSERT_GE(index, 1u);
                ASSERT_LE(index, text.participants.size());
                EXPECT_EQ(r["place"], line.place);
                EXPECT_EQ(r["code"], line.code);
                EXPECT_EQ(text.participants[index - 1].code, line.code);
                EXPECT_EQ(r["name"], windows1252ToUtf8(text.participants[index - 1].name));
                EXPECT_EQ(r["vehicle"], line.vehicle);
                EXPECT_EQ(r["transmission"], line.transmission);
                EXPECT_EQ(r["time"], line.time);
                EXPECT_EQ(r["hundredths"], hundredths(line.time));
                if (k == 0) {
                    EXPECT_TRUE(r["gap"].is_null() && r["gap_hundredths"].is_null());
                } else {
                    EXPECT_EQ(r["gap"], "+" + line.gap);
                    EXPECT_EQ(r["gap_hundredths"], hundredths(line.gap));
                }
                EXPECT_EQ(r["points"], placePoints[k]);
                points[static_cast<int>(index)] += r["points"].get<int>();
            }
        }

        ASSERT_EQ(json["standings"].size(), text.standings.size());
        for (size_t s = 0; s < text.standings.size(); ++s) {
            const Json& standing = json["standings"][s];
            auto index = standing["index"].get<size_t>();
            EXPECT_EQ(standing["place"], text.standings[s].place);
            EXPECT_EQ(standing["points"], text.standings[s].points);
            EXPECT_EQ(standing["points"], points[static_cast<int>(index)]);
            EXPECT_EQ(standing["name"], windows1252ToUtf8(text.standings[s].name));
            EXPECT_EQ(standing["code"], text.participants[index - 1].code);
        }
    }
}

// The drivers' members, and their results against the participants' own times and the
// listings (the places in the whole field are checked against a full sort in the model tests).
TEST(RankingJson, DriversHoldEveryOwnResultAndAgreeWithTheListings) {
    auto keysOf = [](const nlohmann::ordered_json& object) {
        std::vector<std::string> keys;
        for (const auto& member : object.items()) {
            keys.push_back(member.key());
        }
        return keys;
    };
    for (const Folder& f : randomFolders()) {
        const std::string text = renderJson(f.model);
        const auto ordered = nlohmann::ordered_json::parse(text);
        EXPECT_EQ(keysOf(ordered),
                  std::vector<std::string>({"generated", "participants", "stages", "arcade",
                                            "standings", "drivers", "checks"}));
        const Json json = Json::parse(text);
        std::map<std::string, const Json*> listings; // by event key
        for (const Json& stage : json["stages"]) {
            listings["rally-" + stage["rally"].dump() + "-stage-" + stage["stage"].dump()] =
                &stage["results"];
        }
        for (const Json& event : json["arcade"]) {
            listings["arcade-" + event["event"].dump()] = &event["results"];
        }

        ASSERT_EQ(json["drivers"].size(), json["standings"].size());
        for (size_t d = 0; d < json["drivers"].size(); ++d) {
            const Json& driver = json["drivers"][d];
            EXPECT_EQ(keysOf(ordered["drivers"][d]),
                      std::vector<std::string>({"index", "code", "name", "file", "place", "points",
                                                "rally_points", "arcade_points", "wins", "podiums",
                                                "time_to_gain_hundredths", "rivals", "results"}));
            // The rivals are the standings next to this one.
            for (const auto& [side, d2, apart] :
                 {std::tuple{"ahead", d - 1, "points_behind"}, {"behind", d + 1, "points_ahead"}}) {
                const Json& rival = driver["rivals"][side];
                if (d2 >= json["standings"].size()) {
                    EXPECT_TRUE(rival.is_null()) << side;
                    continue;
                }
                const Json& other = json["standings"][d2];
                EXPECT_EQ(rival["code"], other["code"]);
                EXPECT_EQ(rival["name"], other["name"]);
                const int points = driver["points"], theirs = other["points"];
                EXPECT_EQ(rival[apart], std::abs(points - theirs)) << side;
            }
            for (const char* same :
                 {"index", "code", "name", "place", "points", "rally_points", "arcade_points"}) {
                EXPECT_EQ(driver[same], json["standings"][d][same]) << same;
            }
            const auto index = driver["index"].get<size_t>();
            const ParticipantRecord& own = f.participants[index - 1];
            EXPECT_EQ(driver["file"], json["participants"][index - 1]["file"]);

            // One result per own time, in the CSV's column order.
            std::vector<uint32_t> times;
            for (int r = 0; r < RallyCount; ++r) {
                for (int st = 0; st < stageCounts[r]; ++st) {
                    times.push_back(own.stageResults[stageSlot(r, st)].time);
                }
            }
            for (const ResultEntry& result : own.arcadeResults) {
                times.push_back(result.time);
            }
            times.erase(std::remove(times.begin(), times.end(), 0u), times.end());
            ASSERT_EQ(driver["results"].size(), times.size());
            int listed = 0, points = 0;
            for (size_t k = 0; k < times.size(); ++k) {
                const Json& r = driver["results"][k];
                EXPECT_EQ(r["hundredths"], times[k] - 1);
                EXPECT_EQ(hundredths(r["time"]), times[k] - 1);
                const Json& listing = *listings.at(r["event"]);
                EXPECT_EQ(r["gap_hundredths"], r["hundredths"].get<long long>() -
                                                   listing[0]["hundredths"].get<long long>());
                auto place = r["place_in_field"].get<size_t>();
                if (place <= listing.size()) {
                    EXPECT_EQ(listing[place - 1]["index"], index) << r["event"];
                    EXPECT_EQ(r["points"], listing[place - 1]["points"]);
                    ++listed;
                } else {
                    EXPECT_TRUE(listing.size() == 10 && r["points"] == 0) << r["event"];
                }
                points += r["points"].get<int>();
            }
            // Every listed place of the driver is among the results.
            int places = 0;
            for (const auto& entry : listings) {
                for (const Json& result : *entry.second) {
                    places += result["index"] == index;
                }
            }
            EXPECT_EQ(listed, places);
            EXPECT_EQ(points, driver["points"]);
        }
    }
}

// A folder with two drivers of two and three files and one fast best time.
Folder checkedFolder() {
    std::vector<ParticipantRecord> participants = {
        ParticipantFileBuilder().code("ZO").name("Zo\xEB").stage(2, 3, 0, 7001).record(),
        ParticipantFileBuilder().code("AB").name("Ab").stage(2, 3, 0, 9001).record(),
        ParticipantFileBuilder().code("ZO").name("Zo\xEB").arcade(4, 0, 1001).record(),
        ParticipantFileBuilder().code("AB").name("Ab").arcade(4, 0, 1251).record(), // 80%: no
                                                                                    // outlier
        ParticipantFileBuilder().code("ZO").name("Zo\xEB").record(),
        ParticipantFileBuilder().code("ZP").name("Zo\xEB").record(),
    };
    return folder(participants,
                  {"zo.kvr", "ab.kvr", "zo (2).kvr", "ab\xFF.kvr", "zo, new.kvr", "zp.kvr"});
}

TEST(RankingJson, ChecksListDuplicatesOutliersFilesNotImportedAndSkippedHistoryLines) {
    const Folder checked = checkedFolder();
    const std::vector<NotImported> notImported = {{"short.kvr", "too short"},
                                                  {"x\xEF\xBF\xBD.kvr", "held"}};
    Json json = Json::parse(renderJson(RunResults(checked.model, nullptr, &notImported)));
    // What is under review: the outlier, then each copy, each with the block that settles it.
    const Json review = json["checks"]["under_review"];
    json["checks"].erase("under_review");
    const struct {
        const char* check;
        Json event;
        const char* file;
        Json repeats;
        const char* decision;
    } flagged[] = {
        {"outlier", "rally-3-stage-4", "zo.kvr", nullptr,
         "[[decision]]\ndate = 2026-12-07\naction = \"exclude-time\"\ncode = \"ZO\"\n"
         "name = \"Zo\xC3\xAB\"\nevent = \"France 4\"\n"},
        {"duplicate", nullptr, "zo (2).kvr", "zo.kvr",
         "[[decision]]\ndate = 2026-12-07\naction = \"exclude-file\"\nfile = \"zo (2).kvr\"\n"},
        {"duplicate", nullptr, "zo, new.kvr", "zo.kvr",
         "[[decision]]\ndate = 2026-12-07\naction = \"exclude-file\"\nfile = \"zo, new.kvr\"\n"},
        {"duplicate", nullptr, "ab\xEF\xBF\xBD.kvr", "ab.kvr",
         "[[decision]]\ndate = 2026-12-07\naction = \"exclude-file\"\n"
         "file = \"ab\xEF\xBF\xBD.kvr\"\n"},
    };
    ASSERT_EQ(review.size(), std::size(flagged)) << review;
    for (size_t i = 0; i < std::size(flagged); ++i) {
        SCOPED_TRACE(i);
        EXPECT_EQ(review[i]["check"], flagged[i].check);
        EXPECT_EQ(review[i]["event"], flagged[i].event);
        EXPECT_EQ(review[i]["file"], flagged[i].file);
        EXPECT_EQ(review[i]["repeats"], flagged[i].repeats);
        EXPECT_EQ(review[i]["decision"].get<std::string>().rfind(flagged[i].decision, 0), 0u)
            << review[i]["decision"];
    }
    EXPECT_EQ(review[0]["text"],
              "France 4: 01:10.00 by Zo\xC3\xAB (ZO) in zo.kvr, an outlier (place 2: 01:30.00)");
    EXPECT_EQ(json["checks"], Json::parse(R"({
        "duplicates": [
            {"code": "ZO", "name": "Zoë", "files": ["zo.kvr", "zo (2).kvr", "zo, new.kvr"]},
            {"code": "AB", "name": "Ab", "files": ["ab.kvr", "ab\ufffd.kvr"]}],
        "outliers": [
            {"event": "rally-3-stage-4", "index": 1, "code": "ZO", "name": "Zoë",
             "file": "zo.kvr", "hundredths": 7000, "second_hundredths": 9000}],
        "implausible": [],
        "not_imported": [{"file": "short.kvr", "reason": "too short"},
                         {"file": "x\ufffd.kvr", "reason": "held"}]})"));
    // With a season, its skipped lines by their line numbers.
    const std::string history =
        "\n" + history::snapshotLine(checked.model) + "junk\n{\"kvrrank_history\":1,\"at\":\"2026-";
    const SeasonChanges season =
        history::compareSeason(history::readHistory(history), checked.model);
    json = Json::parse(renderJson(RunResults(checked.model, &season)));
    EXPECT_EQ(json["checks"]["not_imported"], Json::array());
    EXPECT_EQ(json["checks"]["history_skipped"], Json::parse(R"([
        {"line": 3, "reason": "not a snapshot"}, {"line": 4, "reason": "a snapshot cut short"}])"));
    EXPECT_EQ(json["history"]["skipped_lines"], 2);
    // The page says why in the players' language.
    Folder german = checked;
    german.model.league.language = "de";
    const std::string page = renderHtml(RunResults(german.model, &season));
    EXPECT_NE(page.find("<td>kein Lauf</td>"), std::string::npos);
    EXPECT_NE(page.find("<td>ein abgeschnittener Lauf</td>"), std::string::npos);
    EXPECT_EQ(page.find("snapshot"), std::string::npos);
}

// File names may hold any byte but NUL and '/': each is escaped as a JSON writer escapes it.
TEST(RankingJson, FileNamesOfEveryByteAreEscapedAsJsonWritersDo) {
    std::vector<std::string> files;
    for (int c = 1; c < 0x80; ++c) {
        files.push_back("f" + std::string(1, static_cast<char>(c)) + ".kvr");
    }
    files.push_back("\xC3\xA9\xFF\\\"\b\f\n\r\t.kvr");
    std::vector<ParticipantRecord> participants(files.size(),
                                                ParticipantFileBuilder().name("P").record());
    const RankingModel model = computeRankingModel(
        participants.data(), static_cast<int32_t>(participants.size()), files, Noon);
    const std::string text = renderJson(model);
    const Json json = Json::parse(text);
    for (size_t i = 0; i < files.size(); ++i) {
        const std::string shown = validUtf8(files[i]);
        EXPECT_EQ(json["participants"][i]["file"], shown) << i;
        EXPECT_NE(text.find("\"file\": " + Json(shown).dump() + ",\n"), std::string::npos) << i;
    }
}

// An implausible file as the JSON, the page, the post and --review tell it: what was found, and
// the exclude-file block that settles it.
TEST(RankingJson, ImplausibleFilesInTheChecksThePageThePostAndTheReview) {
    Folder f = folder({ParticipantFileBuilder().code("AB").name("Ab").record(),
                       ParticipantFileBuilder()
                           .code("OD")
                           .name("O\x01"
                                 "d")
                           .record(),
                       ParticipantFileBuilder()
                           .code("LT")
                           .name("Late")
                           .arcade(1, 2, 1000)
                           .arcade(2, 2, 360000001)
                           .arcade(3, 2, 3600001)
                           .record()},
                      {"ab.kvr", "od.kvr", "late.kvr"});
    const Json json = Json::parse(renderJson(f.run()));
    EXPECT_EQ(json["checks"]["implausible"], Json::parse(R"([
        {"index": 2, "code": "OD", "name": "O?d", "file": "od.kvr", "control_bytes": true,
         "event": null, "hundredths": null},
        {"index": 3, "code": "LT", "name": "Late", "file": "late.kvr", "control_bytes": false,
         "event": "arcade-3", "hundredths": 360000000}])"));
    const std::string arcade3 = allEvents()[static_cast<size_t>(StageCount + 2)].title();
    const Json review = json["checks"]["under_review"];
    ASSERT_EQ(review.size(), 2u);
    EXPECT_EQ(review[0]["check"], "implausible");
    EXPECT_EQ(review[0]["text"],
              "od.kvr: O?d (OD), implausible: control bytes in the code or name");
    EXPECT_EQ(review[1]["text"],
              "late.kvr: Late (LT), implausible: " + arcade3 + " in 60000:00.00");
    EXPECT_EQ(review[1]["decision"],
              "[[decision]]\ndate = 2026-12-07\naction = \"exclude-file\"\nfile = \"late.kvr\"\n"
              "reason = \"implausible: " +
                  arcade3 + " in 60000:00.00\" # say why, in your own words\n");
    EXPECT_NE(reviewListing(f.model).find("\n# late.kvr: Late (LT), implausible: "),
              std::string::npos)
        << reviewListing(f.model);

    const std::string page = renderHtml(f.run());
    const size_t table = page.find("<table id=\"implausible\"");
    ASSERT_NE(table, std::string::npos);
    const std::string rows = page.substr(table, page.find("</table>", table) - table);
    EXPECT_NE(rows.find("<td>O?d (OD)</td><td>od.<wbr>kvr</td><td>control bytes in the code or "
                        "name</td>"),
              std::string::npos)
        << rows;
    EXPECT_NE(rows.find("file = &quot;late.kvr&quot;"), std::string::npos) << rows;
    EXPECT_NE(page.find("<a href=\"#check-implausible\">2 implausible files</a>"),
              std::string::npos);

    const std::vector<std::string> post = postReviewLines(f.model);
    ASSERT_EQ(post.size(), 2u);
    EXPECT_EQ(post[0], "file od.kvr: O?d (OD), implausible: control bytes in the code or name");

    // In German the listing's comments are German and its blocks the league file's keys; the
    // JSON is the same as in English.
    f.model.league.language = "de";
    EXPECT_EQ(renderJson(f.run()).find("unplausibel"), std::string::npos);
    EXPECT_EQ(reviewListing(f.model).rfind("# In Pr\u00FCfung: 2 markierte Ergebnisse, die keine "
                                           "Entscheidung abdeckt; jedes z\u00E4hlt, bis du "
                                           "entscheidest.\n# Zum Entscheiden",
                                           0),
              0u);
    // Why the file is implausible is German too, in the comment and in the reason to paste.
    EXPECT_NE(reviewListing(f.model).find("\n# late.kvr: Late (LT), unplausibel: " + arcade3 +
                                          " in 60000:00,00\n[[decision]]\n"),
              std::string::npos)
        << reviewListing(f.model);
    EXPECT_NE(reviewListing(f.model).find("reason = \"unplausibel: Steuerzeichen in K\u00FCrzel "
                                          "oder Name\" # "),
              std::string::npos);
    EXPECT_NE(reviewListing(f.model).find("action = \"exclude-file\"\nfile = \"late.kvr\"\n"),
              std::string::npos);
    EXPECT_NE(reviewListing(f.model).find("\" # Begr\u00FCndung in eigenen Worten\n"),
              std::string::npos);
}

// The reason readied for each flagged result: in English the JSON's, byte for byte; in the
// players' language its own words and decimal sign, the file names as they are.
TEST(RankingJson, ReadyReasonsAreTheJsonsInEnglishAndThePlayersWordsOnThePage) {
    const Folder checked = checkedFolder();
    const Folder odd = folder(
        {ParticipantFileBuilder().code("AB").name("Ab").record(),
         ParticipantFileBuilder().code("OD").name("O\x01").record(),
         ParticipantFileBuilder().code("LT").name("Late\x02").stage(0, 1, 2, 3600001).record()},
        {"ab.kvr", "od.kvr", "late.kvr"});
    const struct {
        const char* code;
        std::vector<std::string> checked, odd; // the reasons, in the order of the review
    } cases[] = {
        {"en",
         {"outlier: 01:10.00, place 2 01:30.00", "a copy of zo.kvr", "a copy of zo.kvr",
          "a copy of ab.kvr"},
         {"implausible: control bytes in the code or name",
          "implausible: control bytes in the code or name, Finland 2 in 600:00.00"}},
        {"de",
         {"Ausrei\u00DFer: 01:10,00, Platz 2 01:30,00", "eine Kopie von zo.kvr",
          "eine Kopie von zo.kvr", "eine Kopie von ab.kvr"},
         {"unplausibel: Steuerzeichen in K\u00FCrzel oder Name",
          "unplausibel: Steuerzeichen in K\u00FCrzel oder Name, Finland 2 in 600:00,00"}},
    };
    for (const auto& c : cases) {
        SCOPED_TRACE(c.code);
        const Words words(c.code);
        for (const auto& [f, reasons] : {std::pair(&checked, &c.checked), {&odd, &c.odd}}) {
            const std::vector<ReviewItem>& items = f->model.checks.underReview;
            ASSERT_EQ(items.size(), reasons->size());
            for (size_t i = 0; i < items.size(); ++i) {
                const Decision ready = readyDecision(f->model, items[i], words);
                EXPECT_EQ(ready.reason, (*reasons)[i]);
                if (words.english()) {
                    EXPECT_EQ(decisionBlock(ready), decisionBlock(items[i].ready));
                }
            }
        }
    }
}

TEST(RankingJson, EmptyListHasEveryMemberAndUnknownFileNamesAreEmpty) {
    Json json = Json::parse(renderJson(computeRankingModel(nullptr, 0, {}, ReportTime{})));
    EXPECT_EQ(json, Json::parse(R"({"generated": "0000-00-00T00:00:00", "participants": [],
                                    "stages": [], "arcade": [], "standings": [], "drivers": [],
                                    "checks": {"duplicates": [], "outliers": [],
                                               "implausible": [], "under_review": [],
                                               "not_imported": []}})"));
    std::vector<ParticipantRecord> one = {ParticipantFileBuilder().name("N\x9D").record()};
    json = Json::parse(renderJson(computeRankingModel(one.data(), 1, {}, Noon)));
    EXPECT_EQ(json["participants"][0]["file"], "");
    EXPECT_EQ(json["participants"][0]["name"], "N\xEF\xBF\xBD");
}

// ---- CSV

using Rows = std::vector<std::vector<std::string>>;

// RFC 4180, strictly: every row ends in CR LF; a field is either quoted, with inner quotes
// doubled, or holds no quote, CR or LF at all. Returns nothing for input that breaks a rule.
// A UTF-8 byte order mark at the start is not part of the first field.
std::optional<Rows> readCsv(const std::string& text) {
    Rows rows;
    std::vector<std::string> row;
    size_t at = text.rfind(Utf8Bom, 0) == 0 ? Utf8Bom.size() : 0;
    while (at < text.size()) {
        std::string field;
        if (text[at] == '"') {
            for (++at;; ++at) {
                if (at >= text.size()) {
                    return std::nullopt; // unterminated quote
                }
                if (text[at] == '"') {
                    if (at + 1 < text.size() && text[at + 1] == '"') {
                        field += '"';
                        ++at;
                        continue;
                    }
                    ++at;
                    break;
                }
                field += text[at];
            }
        } else {
            while (at < text.size() && text[at] != ',' && text[at] != '\r') {
                if (text[at] == '"' || text[at] == '\n') {
                    return std::nullopt; // a bare quote or line feed
                }
                field += text[at++];
            }
        }
        row.push_back(field);
        if (at < text.size() && text[at] == ',') {
            ++at;
            continue;
        }
        if (text.compare(at, 2, "\r\n") != 0) {
            return std::nullopt; // anything but a comma or CR LF after a field
        }
        at += 2;
        rows.push_back(std::move(row));
        row.clear();
    }
    if (rows.empty()) {
        return std::nullopt;
    }
    return rows;
}

TEST(CsvReader, RejectsWhatRfc4180Forbids) {
    const char* const bad[] = {
        "a,b\n", "a,b\r\nc", "a\"b\r\n", "\"a\"b\r\n", "\"a\r\n", "a,b\rc\r\n", "", "\"a\"\"\r\n",
    };
    for (const char* text : bad) {
        EXPECT_FALSE(readCsv(text).has_value()) << text;
    }
    EXPECT_EQ(readCsv("a,\"b,\"\"c\"\"\r\nd\"\r\n,\r\n"), Rows({{"a", "b,\"c\"\r\nd"}, {"", ""}}));
}

const size_t CsvColumns = 7 + StageCount + ArcadeEventCount;

TEST(RankingCsv, HeaderNamesEveryStageAndArcadeEvent) {
    const std::string text = renderCsv(computeRankingModel(nullptr, 0, {}, Noon));
    // A spreadsheet opened by double-click reads the file as UTF-8 only after this mark.
    EXPECT_EQ(text.rfind(Utf8Bom, 0), 0u);
    auto rows = readCsv(text);
    ASSERT_TRUE(rows.has_value());
    ASSERT_EQ(rows->size(), 1u);
    const std::vector<std::string>& header = (*rows)[0];
    ASSERT_EQ(header.size(), CsvColumns);
    std::vector<std::string> start(header.begin(), header.begin() + 9);
    EXPECT_EQ(start, std::vector<std::string>({"index", "file", "code", "name", "date", "place",
                                               "points", "Finland 1", "Finland 2"}));
    EXPECT_EQ(header[7 + 9], "Finland 10");
    EXPECT_EQ(header[7 + 10], "Greece 1");
    EXPECT_EQ(header[7 + StageCount - 1], "United Kingdom 11");
    EXPECT_EQ(header[7 + StageCount], "Arcade Italy");
    EXPECT_EQ(header.back(), "Arcade United Kingdom");
}

TEST(RankingCsv, KeepsNamesWithCommasQuotesAndWindows1252Letters) {
    std::vector<ParticipantRecord> participants = {
        ParticipantFileBuilder()
            .code("Z,\"")
            .name("Zo\xEB \"Quick\", Jr.\n")
            .date(151, 3, 4)
            .stage(0, 1, 0, 24751)
            .arcade(7, 0, 1)
            .record(),
        ParticipantFileBuilder().code("NO").name("No Results").record(),
    };
    auto rows = readCsv(renderCsv(
        computeRankingModel(participants.data(), 2, {"z, \"1\".kvr", "\xFFn.kvr"}, Noon)));
    ASSERT_TRUE(rows.has_value());
    ASSERT_EQ(rows->size(), 3u);
    std::vector<std::string> expected(CsvColumns, "");
    std::vector<std::string> lead = {
        "1", "z, \"1\".kvr", "Z,\"", "Zo\xC3\xAB \"Quick\", Jr.?", "2001-03-04", "1", "24"};
    std::copy(lead.begin(), lead.end(), expected.begin());
    expected[7 + 1] = "04:07.50";
    expected.back() = "00:00.00";
    EXPECT_EQ((*rows)[1], expected);
    expected.assign(CsvColumns, "");
    lead = {"2", "\xEF\xBF\xBDn.kvr", "NO", "No Results", "1850-00-00"};
    std::copy(lead.begin(), lead.end(), expected.begin());
    EXPECT_EQ((*rows)[2], expected);
}

TEST(RankingCsv, GridHoldsEveryShownTimeAndTheStandingsOfTheTextReport) {
    for (const Folder& f : randomFolders()) {
        auto rows = readCsv(renderCsv(f.model));
        ASSERT_TRUE(rows.has_value());
        ASSERT_EQ(rows->size(), f.participants.size() + 1);
        std::map<std::string, std::pair<int, int>> ranked; // name -> place, points
        for (const kvrtest::TextStanding& s : f.text.standings) {
            ranked[s.name] = {s.place, s.points};
        }
        for (size_t i = 0; i < f.participants.size(); ++i) {
            const std::vector<std::string>& row = (*rows)[i + 1];
            ASSERT_EQ(row.size(), CsvColumns);
            const ParticipantRecord& p = f.participants[i];
            const kvrtest::TextParticipant& shown = f.text.participants[i];
            EXPECT_EQ(row[0], std::to_string(i + 1));
            EXPECT_EQ(row[1], validUtf8(f.files[i]));
            EXPECT_EQ(row[2], shown.code);
            EXPECT_EQ(row[3], windows1252ToUtf8(shown.name));
            EXPECT_EQ(row[4], isoDate(shown.date));
            auto standing = ranked.find(shown.name);
            if (standing == ranked.end()) {
                EXPECT_EQ(row[5] + row[6], "");
            } else {
                EXPECT_EQ(row[5], std::to_string(standing->second.first));
                EXPECT_EQ(row[6], std::to_string(standing->second.second));
            }
            size_t column = 7;
            auto expectTime = [&](const ResultEntry& result) {
                char time[32] = "";
                if (result.time != 0) {
                    unsigned v = result.time - 1;
                    std::snprintf(time, sizeof time, "%02u:%02u.%02u", v / 6000, v / 100 % 60,
                                  v % 100);
                }
                EXPECT_EQ(row[column++], time);
            };
            for (int r = 0; r < RallyCount; ++r) {
                for (int s = 0; s < stageCounts[r]; ++s) {
                    expectTime(p.stageResults[stageSlot(r, s)]);
                }
            }
            for (const ResultEntry& result : p.arcadeResults) {
                expectTime(result);
            }
        }
    }
}

// ---- HTML

// The text between `from` and the next `to` after it, from `at` on; advances `at`.
std::string between(const std::string& text, size_t& at, const std::string& from,
                    const std::string& to) {
    size_t start = text.find(from, at);
    if (start == std::string::npos) {
        at = std::string::npos;
        return "";
    }
    start += from.size();
    size_t end = text.find(to, start);
    at = end == std::string::npos ? end : end + to.size();
    return text.substr(start, end - start);
}

std::string unescaped(const std::string& html) {
    std::string text;
    for (size_t i = 0; i < html.size(); ++i) {
        if (html[i] != '&') {
            text += html[i];
            continue;
        }
        size_t end = html.find(';', i);
        std::string entity = html.substr(i, end - i + 1);
        static const std::map<std::string, char> entities = {
            {"&amp;", '&'}, {"&lt;", '<'}, {"&gt;", '>'}, {"&quot;", '"'}, {"&#39;", '\''}};
        auto known = entities.find(entity);
        EXPECT_NE(known, entities.end()) << entity;
        text += known == entities.end() ? '?' : known->second;
        i = end;
    }
    return text;
}

// A cell's content without the elements around its text, such as a link.
std::string withoutTags(const std::string& html) {
    std::string text;
    bool inTag = false;
    for (char c : html) {
        if (c == '<' || c == '>') {
            inTag = c == '<';
        } else if (!inTag) {
            text += c;
        }
    }
    return text;
}

// The cells of each body row of a table's HTML, unescaped.
Rows tableRows(const std::string& table) {
    Rows rows;
    size_t at = 0;
    std::string body = between(table, at, "<tbody>", "</tbody>");
    at = 0;
    for (std::string row = between(body, at, "<tr>", "</tr>"); at != std::string::npos;
         row = between(body, at, "<tr>", "</tr>")) {
        std::vector<std::string> cells;
        size_t cell = 0;
        for (std::string content = between(row, cell, "<td", "</td>"); cell != std::string::npos;
             content = between(row, cell, "<td", "</td>")) {
            cells.push_back(unescaped(withoutTags(content.substr(content.find('>') + 1))));
        }
        rows.push_back(cells);
    }
    return rows;
}

TEST(RankingHtml, TablesHoldTheStandingsAndEveryListingOfTheTextReport) {
    for (const Folder& f : randomFolders()) {
        std::string html = renderHtml(f.model);
        size_t at = 0;
        std::string standings = between(html, at, "<table id=\"standings\">", "</table>");
        ASSERT_NE(at, std::string::npos);
        EXPECT_NE(standings.find("<thead><tr><th class=\"n\">Place</th><th>Code</th><th>Name</th>"
                                 "<th class=\"n\">Points</th></tr></thead>"),
                  std::string::npos);
        Rows rows = tableRows(standings);
        ASSERT_EQ(rows.size(), f.text.standings.size());
        ASSERT_EQ(rows.size(), f.model.standings.size());
        for (size_t s = 0; s < rows.size(); ++s) {
            const kvrtest::TextStanding& expected = f.text.standings[s];
            const int32_t index = f.model.standings[s].participantIndex;
            EXPECT_EQ(rows[s],
                      std::vector<std::string>(
                          {std::to_string(expected.place),
                           windows1252ToUtf8(std::string(
                               f.model.participants[static_cast<size_t>(index)].gameCode())),
                           windows1252ToUtf8(expected.name), std::to_string(expected.points)}));
            // The name links to the driver's own section.
            EXPECT_NE(standings.find("<a href=\"#driver-" + std::to_string(index + 1) + "\">"),
                      std::string::npos);
        }
        std::vector<const EventListing*> modelListings;
        for (const std::vector<EventListing>* group : {&f.model.stages, &f.model.arcade}) {
            for (const EventListing& listing : *group) {
                modelListings.push_back(&listing);
            }
        }
        ASSERT_EQ(modelListings.size(), f.text.listings.size());

        size_t listed = 0;
        std::string rally;
        for (const kvrtest::TextListing& expected : f.text.listings) {
            std::string event;
            if (expected.group == "Arcade") {
                size_t number = 0;
                while (arcadeNames[number] != expected.event) {
                    ++number;
                }
                event = "arcade-" + std::to_string(number + 1);
            } else {
                size_t number = 0;
                while (rallyNames[number] != expected.group) {
                    ++number;
                }
                event =
                    "rally-" + std::to_string(number + 1) + "-stage-" + expected.event.substr(6);
            }
            // One fold per rally (and one for the arcade), its summary led by its name.
            if (expected.group != rally) {
                rally = expected.group;
                size_t fold =
                    html.rfind("<details class=\"rally\">", html.find("data-event=\"" + event));
                ASSERT_NE(fold, std::string::npos) << rally;
                EXPECT_EQ(html.compare(html.find("<summary>", fold), rally.size() + 10,
                                       "<summary>" + rally + ":"),
                          0)
                    << rally;
            }
            std::string table = between(
                html, at, "<table class=\"listing\" data-event=\"" + event + "\">", "</table>");
            ASSERT_NE(at, std::string::npos) << event;
            const EventListing& modelListing = *modelListings[listed];
            ++listed;
            Rows results = tableRows(table);
            ASSERT_EQ(results.size(), expected.results.size()) << event;
            ASSERT_EQ(results.size(), modelListing.results.size()) << event;
            for (size_t k = 0; k < results.size(); ++k) {
                const kvrtest::TextResult& line = expected.results[k];
                std::string name = windows1252ToUtf8(std::string(
                    f.model
                        .participants[static_cast<size_t>(modelListing.results[k].participantIndex)]
                        .gameName()));
                // An outlier that no decision covers is flagged beside its time.
                const std::string flag =
                    underReviewAt(f.model, modelListing.results[k].participantIndex,
                                  *modelListing.event) != nullptr
                        ? " \u2691 outlier"
                        : "";
                // The name cell holds the vehicle again, for a narrow screen.
                const std::string gap =
                    line.gap.empty() ? "" : "+" + formatDuration(hundredths(line.gap));
                EXPECT_EQ(results[k], std::vector<std::string>(
                                          {std::to_string(line.place), line.code,
                                           name + line.vehicle + ", " + line.transmission,
                                           line.vehicle, line.transmission,
                                           formatDuration(hundredths(line.time)) + flag, gap}))
                    << event;
            }
        }
        // Nothing but these listings.
        size_t tables = 0;
        for (size_t found = html.find("class=\"listing\""); found != std::string::npos;
             found = html.find("class=\"listing\"", found + 1)) {
            ++tables;
        }
        EXPECT_EQ(tables, listed);
    }
}

// A listing key as the CSV names its column: "Finland 3", "Arcade Italy".
std::string columnName(const std::string& event) {
    int rally = 0, stage = 0, arcade = 0;
    if (std::sscanf(event.c_str(), "rally-%d-stage-%d", &rally, &stage) == 2) {
        return std::string(rallyNames[rally - 1]) + " " + std::to_string(stage);
    }
    std::sscanf(event.c_str(), "arcade-%d", &arcade);
    return std::string("Arcade ") + arcadeNames[arcade - 1];
}

// The points grid, the drivers' sections and the checks show what the JSON export holds.
TEST(RankingHtml, DriverSectionsPointsGridAndChecksShowWhatTheJsonHolds) {
    std::vector<Folder> folders = randomFolders();
    folders.push_back(checkedFolder());
    folders.push_back(folder({}));
    for (const Folder& f : folders) {
        const std::string html = renderHtml(f.model);
        const Json json = Json::parse(renderJson(f.model));

        size_t at = 0;
        std::string grid = between(html, at, "<table id=\"points-grid\">", "</table>");
        ASSERT_NE(at, std::string::npos);
        EXPECT_LT(html.find("id=\"standings\""), html.find("id=\"points-grid\""));
        EXPECT_NE(grid.find("<th>Name</th><th class=\"n\">Finland</th><th class=\"n\">Greece"),
                  std::string::npos);
        Rows rows = tableRows(grid);
        ASSERT_EQ(rows.size(), json["standings"].size());
        EXPECT_EQ(grid.find("<tbody>") != std::string::npos, !rows.empty());
        for (size_t s = 0; s < rows.size(); ++s) {
            const Json& standing = json["standings"][s];
            std::vector<std::string> expected = {standing["place"].dump(), standing["code"],
                                                 standing["name"]};
            for (const Json& points : standing["rally_points"]) {
                expected.push_back(points.dump());
            }
            expected.push_back(standing["arcade_points"].dump());
            expected.push_back(standing["points"].dump());
            EXPECT_EQ(rows[s], expected);
        }

        // Driver sections in standings order, after the last listing.
        size_t lastListing = html.rfind("class=\"listing\"");
        at = lastListing == std::string::npos ? 0 : lastListing;
        for (size_t d = 0; d < json["drivers"].size(); ++d) {
            const Json& driver = json["drivers"][d];
            const std::string id = " id=\"driver-" + driver["index"].dump() + "\"";
            ASSERT_NE(html.find(id, at), std::string::npos) << id;
            std::string section = between(html, at, id, "</details>");
            char summary[160];
            std::snprintf(summary, sizeof summary, "<p>Place %d with %d points, %d win",
                          driver["place"].get<int>(), driver["points"].get<int>(),
                          driver["wins"].get<int>());
            EXPECT_NE(section.find(summary), std::string::npos) << section.substr(0, 300);
            EXPECT_NE(section.find(", " + driver["podiums"].dump() + " podium"), std::string::npos);
            // Then the rivals on each side, each with a link to their section.
            std::string rivals;
            const Json &ahead = driver["rivals"]["ahead"], &behind = driver["rivals"]["behind"];
            // The rival's link leads to the section of the standing next to this one.
            auto who = [&json](const Json& rival, size_t next) {
                const Json& other = json["drivers"][next];
                EXPECT_EQ(rival["code"], other["code"]);
                return "<a href=\"#driver-" + other["index"].dump() + "\">" +
                       escapeHtml(rival["name"].get<std::string>()) + " (" +
                       escapeHtml(rival["code"].get<std::string>()) + ")</a>";
            };
            auto points = [](const Json& count) {
                return count.dump() + (count == 1 ? " point " : " points ");
            };
            if (!ahead.is_null()) {
                rivals = " " + points(ahead["points_behind"]) + "behind " + who(ahead, d - 1);
            }
            if (!behind.is_null()) {
                rivals += ahead.is_null() ? " " + points(behind["points_ahead"]) + "ahead of "
                                          : ", " + behind["points_ahead"].dump() + " ahead of ";
                rivals += who(behind, d + 1);
            }
            rivals += rivals.empty() ? "" : ".";
            EXPECT_NE(section.find("time to gain " +
                                   formatDuration(driver["time_to_gain_hundredths"]) + "." +
                                   rivals + "</p>"),
                      std::string::npos)
                << section.substr(0, 600);
            size_t from = 0;
            Rows results =
                tableRows(between(section, from, "<table class=\"driver-results\">", "</table>"));
            ASSERT_EQ(results.size(), driver["results"].size());
            for (size_t k = 0; k < results.size(); ++k) {
                const Json& r = driver["results"][k];
                const auto gap = r["gap_hundredths"].get<uint32_t>();
                const Json& toNext = r["to_next_place_hundredths"];
                // Without a league, every outlier is under review and flagged beside its time.
                std::string flag;
                for (const Json& outlier : json["checks"]["outliers"]) {
                    flag = outlier["event"] == r["event"] && outlier["index"] == driver["index"]
                               ? " \u2691 outlier"
                               : flag;
                }
                EXPECT_EQ(results[k],
                          std::vector<std::string>(
                              {columnName(r["event"]), formatDuration(r["hundredths"]) + flag,
                               r["place_in_field"].dump() + "/" + r["field"].dump(),
                               gap == 0 ? "" : "+" + formatDuration(gap),
                               toNext.is_null() ? "" : "-" + formatDuration(toNext),
                               r["points"].dump()}));
            }
        }
        EXPECT_EQ(html.find(" id=\"driver-", at), std::string::npos);

        // The checks: a table where there is something to show, else a line saying so.
        at = html.find("<section id=\"checks\">");
        ASSERT_NE(at, std::string::npos);
        std::string checks = html.substr(at);
        EXPECT_NE(checks.find("Checks only point"), std::string::npos);
        at = 0;
        std::string duplicates = between(checks, at, "<table id=\"duplicates\">", "</table>");
        EXPECT_EQ(at != std::string::npos, !json["checks"]["duplicates"].empty());
        EXPECT_EQ(checks.find("No two files have the same code and name.") == std::string::npos,
                  !json["checks"]["duplicates"].empty());
        rows = tableRows(duplicates);
        ASSERT_EQ(rows.size(), json["checks"]["duplicates"].size());
        EXPECT_EQ(duplicates.find("<th>Code</th><th>Name</th><th>Files</th>") != std::string::npos,
                  !rows.empty());
        for (size_t g = 0; g < rows.size(); ++g) {
            const Json& group = json["checks"]["duplicates"][g];
            std::string files;
            for (const Json& file : group["files"]) {
                files += (files.empty() ? "" : ", ") + file.get<std::string>();
            }
            // No league: every group is under review, its copies each with a decision to paste.
            ASSERT_EQ(rows[g].size(), 4u);
            EXPECT_EQ(rows[g],
                      std::vector<std::string>({group["code"], group["name"], files, rows[g][3]}));
            EXPECT_EQ(rows[g][3].rfind("\u2691 Under reviewDecision to paste[[decision]]\n", 0), 0u)
                << rows[g][3];
        }
        at = 0;
        std::string outliers = between(checks, at, "<table id=\"outliers\">", "</table>");
        EXPECT_EQ(at != std::string::npos, !json["checks"]["outliers"].empty());
        EXPECT_EQ(checks.find("No place 1 is faster than 80% of place 2.") == std::string::npos,
                  !json["checks"]["outliers"].empty());
        rows = tableRows(outliers);
        ASSERT_EQ(rows.size(), json["checks"]["outliers"].size());
        EXPECT_EQ(outliers.find("<th>File</th><th class=\"n\">Time</th>") != std::string::npos,
                  !rows.empty());
        for (size_t o = 0; o < rows.size(); ++o) {
            const Json& outlier = json["checks"]["outliers"][o];
            EXPECT_EQ(rows[o], std::vector<std::string>(
                                   {columnName(outlier["event"]),
                                    outlier["name"].get<std::string>() + " (" +
                                        outlier["code"].get<std::string>() + ")",
                                    outlier["file"], formatDuration(outlier["hundredths"]),
                                    formatDuration(outlier["second_hundredths"]), rows[o].back()}));
            EXPECT_EQ(rows[o].back().rfind("\u2691 Under reviewDecision to paste[[decision]]\n", 0),
                      0u);
            EXPECT_NE(rows[o].back().find("action = \"exclude-time\"\n"), std::string::npos);
        }
    }
}

TEST(RankingHtml, PageStandsAloneAndEscapesEveryName) {
    std::vector<ParticipantRecord> participants = {
        ParticipantFileBuilder()
            .code("<&>")
            .name("<script>\"'&amp;\xE9\x01")
            .stage(6, 9, 0x55, 3)
            .record(),
        ParticipantFileBuilder().code("B").name("B").stage(6, 9, 0, 2).record(),
    };
    std::string html = renderHtml(computeRankingModel(participants.data(), 2, {}, Noon));
    EXPECT_EQ(html.compare(0, 16, "<!DOCTYPE html>\n"), 0);
    EXPECT_NE(html.find("<meta charset=\"utf-8\">"), std::string::npos);
    EXPECT_NE(html.find("Ranking at 2026-12-07 12:05:09</p>"), std::string::npos);
    EXPECT_EQ(html.find("2026.12"), std::string::npos);
    EXPECT_LT(html.find("id=\"standings\""), html.find("class=\"listing\""));
    EXPECT_LT(html.find("id=\"standings\""), html.find("<svg"));
    for (const char* outside : {"<script", "http:", "https:", "src=", "url(", "@import", "<link"}) {
        EXPECT_EQ(html.find(outside), std::string::npos) << outside;
    }
    EXPECT_EQ(validUtf8(html), html);
    const std::string name = "&lt;script&gt;&quot;&#39;&amp;amp;\xC3\xA9?";
    EXPECT_NE(html.find("<tr><td class=\"n\">2</td><td>&lt;&amp;&gt;</td><td>" + name +
                        "<span class=\"also\">arden pacer mk1, AT</span></td><td>arden pacer "
                        "mk1</td><td>AT</td><td class=\"n\">00:00.02</td><td class=\"n\">"
                        "+00:00.01</td></tr>"),
              std::string::npos);
    // The chart: one bar per driver, labelled with place and name, and with the points.
    EXPECT_NE(html.find(">1. B</text><rect"), std::string::npos);
    EXPECT_NE(html.find(">2. " + name + "</text><rect"), std::string::npos);
    EXPECT_NE(html.find(">8</text>"), std::string::npos);
}

TEST(RankingHtml, ChartShowsTheFirstTwentyDrivers) {
    for (size_t drivers : {0u, 1u, 20u, 21u}) {
        std::vector<ParticipantRecord> participants;
        for (size_t i = 0; i < drivers; ++i) {
            participants.push_back(ParticipantFileBuilder()
                                       .name("D" + std::to_string(i))
                                       .arcade(static_cast<int>(i % 8), 0, 5)
                                       .record());
        }
        std::string html = renderHtml(
            computeRankingModel(participants.data(), static_cast<int32_t>(drivers), {}, Noon));
        size_t bars = 0;
        for (size_t at = html.find("<rect"); at != std::string::npos;
             at = html.find("<rect", at + 1)) {
            ++bars;
        }
        EXPECT_EQ(bars, std::min<size_t>(drivers, StandingsChartDriverCount)) << drivers;
        EXPECT_EQ(html.find("<svg") != std::string::npos, drivers > 0);
        EXPECT_NE(html.find("<table id=\"standings\">"), std::string::npos);
    }
}

// The chart shows each run's date, the first ten bytes of its time as the history holds it:
// a character there that the cut would split is left out whole, so the page stays UTF-8.
TEST(RankingHtml, ARunTimeCutForItsDateKeepsThePageUtf8) {
    std::vector<ParticipantRecord> participants = {
        ParticipantFileBuilder().name("A").stage(0, 0, 0, 500).record()};
    const RankingModel model = computeRankingModel(participants.data(), 1, {}, Noon);
    for (const char* at : {"2026-01-0\xCF\xA4"
                           "03:04:05",
                           "2026-01-\xE2\x82\xAC",
                           "\xF0\x9F\x98\x80"
                           "2026-01-01"}) {
        SeasonChanges season;
        season.runs = 2;
        season.hasPrevious = true;
        season.chartRuns = {at, "2026-12-07T12:05:09"};
        season.chart = {{0, {3, 12}}};
        season.movements.resize(model.standings.size());
        const std::string page = renderHtml(RunResults(model, &season));
        EXPECT_EQ(validUtf8(page), page) << at;
        EXPECT_NE(page.find(">2026-12-07</text>"), std::string::npos);
    }
}

// ---- A league's rules and classes

// Random folders, each under rules of its own: 1 to 10 places, either tie-break, any number
// of rallies counted, a class of one gearbox and one of some vehicles.
std::vector<Folder> leagueFolders() {
    std::vector<Folder> folders;
    std::mt19937 random(77);
    for (uint32_t seed = 1; seed <= 8; ++seed) {
        kvrtest::RandomFolderShape shape;
        shape.participants = 4 + seed * 5 % 30;
        shape.distinctTimes = 1 + seed % 5;
        LeagueRules rules;
        rules.file = seed % 2 == 0 ? "kvrrank.toml" : "../league <\xE9>.toml";
        rules.places = {};
        for (size_t k = 0, places = 1 + random() % 10; k < places; ++k) {
            rules.places[k] = static_cast<int>(places - k) * 3;
        }
        rules.tieBreak = seed % 3 == 0 ? TieBreak::FileOrder : TieBreak::CountBack;
        rules.bestRallies = static_cast<int>(seed % 9);
        rules.classes = {{"Manual & <co>", 0, AnyVehicle},
                         {"Light", AnyTransmission, random() % (1u << VehicleCount)}};
        folders.push_back(folder(kvrtest::randomParticipants(seed + 40, shape), {}, rules));
    }
    return folders;
}

// The JSON's league, counted rallies and classes, and the page's struck rally points, class
// sections and footer, against the model and against each other.
TEST(LeagueExports, JsonAndPageShowTheRulesTheCountedRalliesAndEachClass) {
    for (const Folder& f : leagueFolders()) {
        const LeagueRules& rules = f.model.league;
        SCOPED_TRACE(rules.file);
        const Json json = Json::parse(renderJson(f.model));
        const std::string html = renderHtml(f.model);
        EXPECT_EQ(json["league"]["file"], validUtf8(rules.file));
        EXPECT_NE(html.find("<footer>\n<p class=\"note\">League file " +
                            escapeHtml(validUtf8(rules.file)) + ": "),
                  std::string::npos);

        // The counted rallies and the arcade points make up each total; the page strikes
        // through the other rallies' points.
        size_t at = 0;
        const std::string grid = between(html, at, "<table id=\"points-grid\">", "</table>");
        at = 0;
        for (const Json& standing : json["standings"]) {
            ASSERT_EQ(standing.contains("counted_rallies"), rules.bestRallies > 0);
            const Json counted = standing.value("counted_rallies", Json::array());
            int total = standing["arcade_points"];
            std::string struck;
            for (int r = 1; r <= RallyCount; ++r) {
                const int points = standing["rally_points"][static_cast<size_t>(r - 1)];
                const bool counts =
                    rules.bestRallies == 0 || std::count(counted.begin(), counted.end(), r) > 0;
                total += counts ? points : 0;
                struck += !counts && points > 0 ? "<s>" + std::to_string(points) + "</s>" : "";
            }
            EXPECT_EQ(standing["points"].get<int>(), total) << standing.dump();
            const std::string row = between(grid, at, "<tr><td", "</tr>");
            std::string shown;
            for (size_t s = row.find("<s>"); s != std::string::npos; s = row.find("<s>", s + 1)) {
                shown += row.substr(s, row.find("</s>", s) + 4 - s);
            }
            EXPECT_EQ(shown, struck) << row;
        }

        // Each class: the model's standings and listings in the JSON and on the page.
        ASSERT_EQ(json["classes"].size(), 2u);
        for (size_t c = 0; c < 2; ++c) {
            const Json& shown = json["classes"][c];
            const ClassRanking& ranking = f.model.classes[c];
            EXPECT_EQ(shown["transmission"], c == 0 ? Json("MT") : Json());
            Json standings = Json::array();
            for (const Standing& s : ranking.standings) {
                const RankedParticipant& p =
                    f.model.participants[static_cast<size_t>(s.participantIndex)];
                standings.push_back(
                    {{"place", s.place}, {"code", p.code}, {"name", p.name}, {"points", s.points}});
            }
            EXPECT_EQ(shown["standings"], standings);
            ASSERT_EQ(shown["listings"].size(), ranking.stages.size() + ranking.arcade.size());
            const std::string id = "class-" + std::to_string(c + 1);
            at = 0;
            const std::string section =
                between(html, at, "<section id=\"" + id + "\"", "</section>");
            ASSERT_NE(at, std::string::npos) << id;
            size_t from = 0;
            Rows rows = tableRows(
                between(section, from, "<table id=\"" + id + "-standings\" class=\"class-grid\">",
                        "</table>"));
            ASSERT_EQ(rows.size(), standings.size());
            for (size_t s = 0; s < rows.size(); ++s) {
                // Place, code, name, the eight rallies, the arcade and the total.
                ASSERT_EQ(rows[s].size(), 3u + RallyCount + 2u);
                EXPECT_EQ(std::vector<std::string>(rows[s].begin(), rows[s].begin() + 3),
                          std::vector<std::string>({standings[s]["place"].dump(),
                                                    standings[s]["code"], standings[s]["name"]}));
                EXPECT_EQ(rows[s].back(), standings[s]["points"].dump());
                // The rallies that count and the arcade add up to the total; a struck one
                // is left out.
                const Standing& standing = ranking.standings[s];
                int sum = std::stoi(rows[s][3 + RallyCount]);
                for (int r = 0; r < RallyCount; ++r) {
                    const std::string cell = rows[s][3 + static_cast<size_t>(r)];
                    sum += (standing.countedRallies >> r & 1u) != 0 ? std::stoi(cell) : 0;
                }
                EXPECT_EQ(sum, standing.points) << id;
                if (f.model.league.bestRallies == 0) {
                    EXPECT_EQ(section.find("<s>"), std::string::npos) << id; // all count
                }
            }
            size_t tables = 0;
            for (size_t t = section.find("class=\"class-listing\""); t != std::string::npos;
                 t = section.find("class=\"class-listing\"", t + 1)) {
                ++tables;
            }
            EXPECT_EQ(tables, shown["listings"].size());
        }
    }
    // Without a league file none of it.
    const Folder plain = randomFolders()[0];
    const Json json = Json::parse(renderJson(plain.model));
    EXPECT_FALSE(json.contains("league") || json.contains("classes") ||
                 json["standings"][0].contains("counted_rallies"));
    const std::string html = renderHtml(plain.model);
    for (const char* part : {"<footer>", "<s>", "id=\"class-"}) {
        EXPECT_EQ(html.find(part), std::string::npos) << part;
    }
}

// With a season, a class whose standings the previous run kept shows each driver's movement
// in it, in the JSON and in a Move column of its table; a class it did not keep shows none.
TEST(LeagueExports, ClassesMoveAgainstThePreviousRunsStandingsOfTheClass) {
    const Folder f = leagueFolders()[0];
    const std::vector<Standing>& manual = f.model.classes[0].standings;
    ASSERT_GE(manual.size(), 3u);
    // The previous run had the class's drivers the other way round; the other class not at all.
    std::string before;
    for (size_t i = manual.size(); i-- > 0;) {
        const RankedParticipant& p =
            f.model.participants[static_cast<size_t>(manual[i].participantIndex)];
        before += std::string(before.empty() ? "" : ",") +
                  "{\"place\":" + std::to_string(manual.size() - i) +
                  ",\"code\":" + Json(p.code).dump() + ",\"name\":" + Json(p.name).dump() +
                  ",\"points\":1}";
    }
    const std::string line = R"({"kvrrank_history":1,"standings":[],"classes":[{"name":)" +
                             Json(f.model.league.classes[0].name).dump() + R"(,"standings":[)" +
                             before + "]}]}\n";
    const SeasonChanges season = history::compareSeason(history::readHistory(line), f.model);
    const Json json = Json::parse(renderJson(RunResults(f.model, &season)));
    const std::string html = renderHtml(RunResults(f.model, &season));
    for (size_t c = 0; c < 2; ++c) {
        SCOPED_TRACE(c);
        const std::string id = "class-" + std::to_string(c + 1);
        size_t at = 0;
        const std::string section = between(html, at, "<section id=\"" + id + "\"", "</section>");
        at = 0;
        const Rows rows = tableRows(between(
            section, at, "<table id=\"" + id + "-standings\" class=\"class-grid\">", "</table>"));
        const Json& standings = json["classes"][c]["standings"];
        ASSERT_EQ(rows.size(), standings.size());
        for (size_t s = 0; s < rows.size(); ++s) {
            const int place = standings[s]["place"];
            if (c == 1) {
                EXPECT_TRUE(standings[s]["movement"].is_null());
                EXPECT_EQ(rows[s].size(), 3u + RallyCount + 2u); // no Move column
                continue;
            }
            const int previous = static_cast<int>(manual.size() - s);
            EXPECT_EQ(standings[s]["previous_place"], previous);
            EXPECT_EQ(standings[s]["movement"], previous - place);
            const int move = previous - place;
            const std::string shown =
                move == 0 ? "=" : (move > 0 ? "\u25B2" : "\u25BC") + std::to_string(std::abs(move));
            ASSERT_EQ(rows[s].size(), 3u + RallyCount + 3u);
            EXPECT_EQ(rows[s].back(), shown);
        }
    }
}

// Debian's tidy finds no error and no warning in a page; skipped where tidy is not installed.
TEST(RankingHtml, PassesTidy) {
#ifdef _WIN32
    GTEST_SKIP() << "tidy runs on the build machine only";
#else
    if (std::system("tidy -v >/dev/null 2>&1") != 0) {
        GTEST_SKIP() << "tidy is not installed";
    }
    kvrtest::TempFolder temp;
    std::vector<Folder> folders = randomFolders();
    folders.push_back(folder({}));
    folders.push_back(checkedFolder());
    for (Folder& league : leagueFolders()) {
        folders.push_back(std::move(league));
    }
    // The same pages with a season: the history of the folders before, none for the first.
    std::string history;
    const size_t plain = folders.size();
    for (size_t i = 0; i < plain; ++i) {
        Folder seasoned =
            folder(folders[i].participants, folders[i].files, folders[i].model.league);
        seasoned.season = history::compareSeason(history::readHistory(history), seasoned.model);
        history += history::snapshotLine(seasoned.model);
        folders.push_back(std::move(seasoned));
    }
    for (size_t i = 0; i < folders.size(); ++i) {
        auto path = temp / ("ranking-" + std::to_string(i) + ".html");
        const std::string page = renderHtml(folders[i].run());
        EXPECT_EQ(page.find("<section id=\"records\">") != std::string::npos, i >= plain);
        kvrtest::writeText(path, page);
        std::string command = "tidy -errors -quiet '" + path.string() + "' 2>&1";
        FILE* tidy = popen(command.c_str(), "r");
        ASSERT_NE(tidy, nullptr);
        std::string report;
        char buffer[512];
        for (size_t n; (n = std::fread(buffer, 1, sizeof buffer, tidy)) > 0;) {
            report.append(buffer, n);
        }
        int status = pclose(tidy);
        EXPECT_EQ(status, 0) << report;
        EXPECT_EQ(report, "") << path;
    }
#endif
}

} // namespace
