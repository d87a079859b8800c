// Writes the seed corpora of the fuzz targets, built with the test fixture builder:
// make_seeds FOLDER creates FOLDER/participant, FOLDER/pipeline, FOLDER/exports,
// FOLDER/history, FOLDER/season, FOLDER/league, FOLDER/live_routes and FOLDER/card.
#include "harness/history_run.h"
#include "harness/participant_input.h"
#include "support/participant_builder.h"
#include "under_test.h"

#include <cstdio>
#include <filesystem>
#include <fstream>
#include <string>
#include <vector>

using kvrtest::ParticipantFileBuilder;
namespace fs = std::filesystem;

namespace {

bool writeSeed(const fs::path& path, const std::vector<uint8_t>& bytes) {
    std::ofstream out(path, std::ios::binary | std::ios::trunc);
    out.write(reinterpret_cast<const char*>(bytes.data()),
              static_cast<std::streamsize>(bytes.size()));
    out.close();
    if (!out) {
        std::fprintf(stderr, "cannot write %s\n", path.string().c_str());
        return false;
    }
    return true;
}

// A participant with a time in every `step`-th slot, times spread by `seed`.
ParticipantFileBuilder driver(int seed, int step) {
    ParticipantFileBuilder image;
    std::string code(3, static_cast<char>('A' + seed % 26));
    image.code(code)
        .name("Driver " + std::to_string(seed))
        .date(static_cast<uint8_t>(150 + seed), 6, 15);
    for (int slot = seed % step; slot < 96; slot += step) {
        image.stageSlot(slot, static_cast<uint8_t>((seed + slot) % 70),
                        static_cast<uint32_t>(3000 + (slot * 131 + seed * 977) % 40000));
    }
    for (int event = 0; event < 8; event += 1 + seed % 2) {
        image.arcade(event, static_cast<uint8_t>(0x40 | event),
                     static_cast<uint32_t>(6000 + seed * 50));
    }
    return image;
}

// A participant with three results, in events every such participant has a result in.
ParticipantFileBuilder sparse(int seed) {
    ParticipantFileBuilder image;
    image.code(std::string(3, static_cast<char>('A' + seed % 26)))
        .name("D" + std::to_string(seed))
        .date(static_cast<uint8_t>(150 + seed), 6, 15)
        .stage(0, 0, static_cast<uint8_t>(seed % 70), static_cast<uint32_t>(5000 + seed * 37))
        .stage(1, 2, 3, static_cast<uint32_t>(9000 - seed * 41))
        .arcade(seed % 8, 0x41, static_cast<uint32_t>(6000 + seed * 50));
    return image;
}

std::vector<uint8_t> concatenate(const std::vector<ParticipantFileBuilder>& images,
                                 size_t tail = 0) {
    std::vector<uint8_t> bytes;
    for (const ParticipantFileBuilder& image : images) {
        bytes.insert(bytes.end(), image.bytes().begin(), image.bytes().end());
    }
    bytes.resize(bytes.size() + tail, 0x33);
    return bytes;
}

using Corpus = std::vector<std::pair<std::string, std::vector<uint8_t>>>;

// Creates `folder` and writes every seed of `seeds` into it.
bool writeCorpus(const fs::path& folder, const Corpus& seeds) {
    std::error_code error;
    fs::create_directories(folder, error);
    if (error) {
        std::fprintf(stderr, "cannot create %s: %s\n", folder.string().c_str(),
                     error.message().c_str());
        return false;
    }
    for (const auto& seed : seeds) {
        if (!writeSeed(folder / seed.first, seed.second)) {
            return false;
        }
    }
    return true;
}

// The exports target's input for `images`, the i-th named by fileNames[i] (or "").
std::vector<uint8_t> compact(const std::vector<ParticipantFileBuilder>& images,
                             const std::vector<std::string>& fileNames = {}) {
    std::vector<uint8_t> input;
    for (size_t i = 0; i < images.size(); ++i) {
        kvrfuzz::writeParticipantInput(input, images[i].record(),
                                       i < fileNames.size() ? fileNames[i] : std::string());
    }
    return input;
}

// The history line of a run of `participants`.
std::string lineOf(const std::vector<kvr::ParticipantRecord>& participants, int day) {
    return kvrfuzz::snapshotLineOf(kvrfuzz::rankingOf(participants, {}, {2026, 1, day, 3, 4, 5}));
}

// Each seed once per export, after the byte that picks it, in the target's order of `names`.
Corpus forEachExport(const Corpus& seeds, const std::vector<const char*>& names) {
    Corpus all;
    for (const auto& seed : seeds) {
        for (size_t which = 0; which < names.size(); ++which) {
            std::vector<uint8_t> bytes = {static_cast<uint8_t>(which)};
            bytes.insert(bytes.end(), seed.second.begin(), seed.second.end());
            all.emplace_back(seed.first + "-" + names[which], std::move(bytes));
        }
    }
    return all;
}

std::vector<uint8_t> bytesOf(const std::string& text) {
    return std::vector<uint8_t>(text.begin(), text.end());
}

} // namespace

int main(int argc, char** argv) {
    if (argc != 2) {
        std::fprintf(stderr, "usage: make_seeds FOLDER\n");
        return 2;
    }
    const fs::path folder = argv[1];

    // Single files: lengths around the size, text fields without NUL, extreme bytes.
    const Corpus singles = {
        {"empty", {}},
        {"one-byte", {0x41}},
        {"short", driver(1, 3).resize(1615).bytes()},
        {"zero", ParticipantFileBuilder().bytes()},
        {"full", driver(2, 1).junk(7).bytes()},
        {"long", driver(3, 2).resize(2100).bytes()},
        {"wide-fields", ParticipantFileBuilder()
                            .code("ABCD")
                            .name(std::string(44, 'N'))
                            .date(255, 255, 255, 255)
                            .stage(0, 0, 0xFF, 0xFFFFFFFFu)
                            .stage(7, 10, 0x3F, 131072)
                            .arcade(7, 0x80, 1)
                            .bytes()},
    };

    // Groups: ties, more than ten results per event, a cut-off last file, line ends in text.
    std::vector<ParticipantFileBuilder> twelve;
    for (int i = 0; i < 12; ++i) {
        twelve.push_back(driver(i, 1));
    }
    ParticipantFileBuilder tieA = driver(4, 2);
    ParticipantFileBuilder tieB = driver(5, 2);
    tieA.stage(0, 0, 1, 4321).arcade(0, 2, 7000);
    tieB.stage(0, 0, 3, 4321).arcade(0, 4, 7000);
    ParticipantFileBuilder lineEnds =
        ParticipantFileBuilder().code("A\n").name("two\nlines").stage(1, 1, 2, 99);
    const Corpus groups = {
        {"one", concatenate({driver(1, 1)})},
        {"ties", concatenate({tieA, tieB, driver(6, 5)})},
        {"twelve", concatenate(twelve)},
        {"cut-off", concatenate({driver(7, 2), driver(8, 3)}, 700)},
        {"line-ends", concatenate({lineEnds, driver(9, 4)})},
    };

    // The exports: drivers with a few results each, in events they share, so that listings
    // run past ten places and the points chart past its twenty drivers; names and file names
    // of every kind of byte (the five that Windows-1252 leaves undefined, file names that are
    // not UTF-8); ties, a duplicate and an outlier.
    std::vector<ParticipantFileBuilder> crowd;
    for (int i = 0; i < 22; ++i) {
        crowd.push_back(sparse(i));
    }
    ParticipantFileBuilder sparseTieA = sparse(4);
    ParticipantFileBuilder sparseTieB = sparse(5);
    sparseTieA.stage(0, 0, 1, 4321).arcade(0, 2, 7000);
    sparseTieB.stage(0, 0, 3, 4321).arcade(0, 4, 7000);
    ParticipantFileBuilder highBytes = sparse(10);
    highBytes.code("\x81\xE9\x7F").name("\x8D\x8F\x90\x9D \x80\xFF\xA0\x01");
    ParticipantFileBuilder twin = sparse(11);
    ParticipantFileBuilder fast = sparse(11);
    fast.stage(0, 0, 5, 100); // an outlier, and a duplicate of its twin's code and name
    const Corpus exports = {
        {"empty", {}},
        {"one", compact({driver(1, 8)}, {"one.kvr"})},
        {"ties", compact({sparseTieA, sparseTieB, sparse(6)})},
        {"crowd", compact(crowd)},
        {"line-ends", compact({lineEnds, sparse(9)}, {"a\nb.kvr", "\t"})},
        {"high-bytes", compact({highBytes, sparse(12), sparse(13)},
                               {"\xC3(.kvr", "\xC0\xAF\xED\xA0\x80", "\xF4\x90\x80\x80\xE2\x82"})},
        {"duplicates", compact({twin, fast, sparse(14)}, {"twin", "fast", "\xC3\xA9.kvr"})},
    };

    // Histories, for the history and the season targets: earlier runs of the fixed run's
    // drivers, slower and faster, as written, torn, mixed with other lines and other drivers,
    // spaced out, and more runs than a chart shows.
    const std::string first = lineOf(kvrfuzz::historyGroup(300), 1);
    const std::string second = lineOf(kvrfuzz::historyGroup(100), 2);
    std::vector<kvr::ParticipantRecord> others = {sparse(1).record(), sparse(2).record(),
                                                  kvrfuzz::historyGroup(-20)[1]};
    std::string spaced = second;
    for (size_t at = spaced.find(','); at != std::string::npos; at = spaced.find(',', at + 2)) {
        spaced.insert(at + 1, " ");
    }
    std::string manyRuns; // short lines as the writer lays them out
    for (int run = 1; run <= 21; ++run) {
        manyRuns += "{\"kvrrank_history\":1,\"at\":\"2026-01-" + std::to_string(10 + run) +
                    "T10:00:00\",\"participants\":1,\"standings\":[{\"place\":1,\"code\":"
                    "\"AAA\",\"name\":\"A\",\"points\":" +
                    std::to_string(run * 7) + "}],\"records\":[]}\n";
    }
    const Corpus histories = {
        {"empty", {}},
        {"one-run", bytesOf(first)},
        {"two-runs-torn", bytesOf(first + second + second.substr(0, 40))},
        {"foreign", bytesOf("Ranking at 2026.01.02\n" + first + "\n\r\n[1]\n" + second)},
        {"spaced", bytesOf(spaced + first)},
        {"others", bytesOf(first + lineOf(others, 3))},
        {"many-runs", bytesOf(manyRuns)},
        // What changed since the run before, and a class's standings.
        {"classes-and-changes",
         bytesOf(
             first +
             R"({"kvrrank_history":1,"at":"2026-01-09T03:04:05","participants":2,"standings":)"
             R"([{"place":1,"code":"AAA","name":"A","points":3}],"records":[],"classes":)"
             R"([{"name":"Manual","standings":[{"place":1,"code":"AAA","name":"A","points":4}]}],)"
             R"("entered":[{"code":"BBB","name":"B"}],"gone":[{"code":"CCC","name":"C"}]})"
             "\n")},
        {"escapes",
         bytesOf("{\"kvrrank_history\":1,\"at\":\"\\u00e9\",\"standings\":[{\"place\":1,"
                 "\"code\":\"AAA\",\"name\":\"\\\"\\n\",\"points\":5}],\"records\":[{"
                 "\"event\":\"arcade-1\",\"time\":\"x\",\"hundredths\":1,\"code\":\"AAA\","
                 "\"name\":\"\\t\"}]}\n")},
    };

    // League files: the starting file, every key, TOML's other ways of writing them, and
    // mistakes of each kind.
    const std::string allKeys =
        "[outputs]\nhtml = \"r.html\"\njson = \"r.json\"\ncsv = \"r.csv\"\n"
        "history = \"s.jsonl\"\nrecords = false\n\n[points]\n"
        "places = [25, 18, 15, 12, 10, 8, 6, 4, 2, 1]\ntie_break = \"count-back\"\n"
        "best_rallies = 6\n\n[[class]]\nname = \"Manual gearbox\"\ntransmission = \"MT\"\n\n"
        "[[class]]\nname = \"Light cars\"\nvehicles = [\"hoshin arc\", \"marlet 140\"]\n";
    const Corpus leagues = {
        {"empty", {}},
        {"starting-file", bytesOf(std::string(kvr::newLeagueText()))},
        {"all-keys", bytesOf(allKeys)},
        {"dotted-and-inline", bytesOf("points.places = [3, 2, 1]\npoints.tie_break = 'file-order'\n"
                                      "outputs = { html = '''a.html''', records = true }\n"
                                      "class = [{ name = \"A\", transmission = \"at\" }]\n")},
        {"bom-crlf", bytesOf("\xEF\xBB\xBF[points]\r\nbest_rallies = 1\r\n")},
        {"unknown-key", bytesOf("[points]\npionts = 3\n")},
        {"unknown-table", bytesOf("[pionts]\n[points.x]\n")},
        {"wrong-type", bytesOf("[points]\nbest_rallies = 6.0\nplaces = \"25\"\n")},
        {"rising", bytesOf("[points]\nplaces = [1, 2]\n")},
        {"unknown-vehicle", bytesOf("[[class]]\nname = \"x\"\nvehicles = [\"hoshin ark\"]\n")},
        {"empty-name", bytesOf("[[class]]\nname = \"\"\n[class]\n")},
        {"syntax", bytesOf("[points\nplaces = [1,\n")},
    };

    // Live board requests: flags, open streams, then method, target and Host on lines of their
    // own (live_routes_fuzz.cpp). Every address and answer, and Hosts of each kind.
    const auto request = [](uint8_t flags, uint8_t streams, const std::string& lines) {
        std::vector<uint8_t> bytes = {flags, streams};
        bytes.insert(bytes.end(), lines.begin(), lines.end());
        return bytes;
    };
    const Corpus requests = {
        {"page", request(1, 0, "GET\n/\nlocalhost")},
        {"head-json", request(1, 0, "HEAD\n/ranking.json\n127.0.0.1:8080")},
        {"overlay-top", request(1, 0, "GET\n/overlay?a=1&top=25\n[::1]:80")},
        {"overlay-few", request(9, 0, "GET\n/overlay?top=100\n[::ffff:127.0.0.1]")},
        {"script", request(0, 0, "GET\n/live.js?v=1\nkart-pc.local")},
        {"events", request(1, 31, "GET\n/events\nKART-PC:8080")},
        {"events-full", request(1, 32, "HEAD\n/events\nlocalhost")},
        {"not-found", request(1, 0, "GET\n/../kvr/a.kvr\n10.0.0.2")},
        {"post-body", request(3, 0, "POST\n/\nlocalhost")},
        {"odd-method", request(1, 0, "get\n*\nlocalhost")},
        {"stranger", request(1, 0, "GET\n/\nkart-pc.evil.example")},
        {"no-host", request(5, 0, "GET\n/\n")},
        {"nameless", request(17, 0, "GET\n/\n.local")},
        {"card", request(1, 0, "GET\n/card.png\nlocalhost")},
        {"card-not-yet", request(9, 0, "HEAD\n/card.png?v=2\nlocalhost")},
    };

    // Standings cards: flags, then title, subtitle, "more" line, footer and rows of six fields
    // on lines of their own (card_fuzz.cpp). Plain, long, hostile and empty texts.
    const auto card = [](uint8_t flags, const std::string& lines) {
        std::vector<uint8_t> bytes = {flags};
        bytes.insert(bytes.end(), lines.begin(), lines.end());
        return bytes;
    };
    const std::string longName(43, 'W');
    const Corpus cards = {
        {"plain", card(0, "Dustline Rally 2.0\n8 December 2026\n+ 18 more\n\n1\nAnna Berg\nABE\n"
                          "\n874\n\n2\nOlaf Lind\nOLA\n\n720\n")},
        {"season-teams", card(7, "Tuesday League\n8 December 2026 \xC2\xB7 after 5 runs\n\n"
                                 "https://example.org/league/\n1\nAnna Berg\nABE\nRed Foxes\n"
                                 "874\n\xE2\x96\xB2"
                                 "2\n2\nOlaf Lind\nOLA\nBlue\n720\nnew\n")},
        {"long", card(6, longName + "\n" + longName + "\n\n" + longName + "\n1\n" + longName +
                             "\n" + longName + "\n" + longName + "\n99999999\n" + longName)},
        {"hostile", card(1, std::string("\x01\x1b[2J\n\xff\xfe\n\xc3\n\xf0\x9f\x9a\x80\n") +
                                "\xed\xa0\x80\n\"<b>\"\n\x7f\n\xe2\x80\n\n\x80")},
        {"empty", card(0, "")},
    };

    const bool written =
        writeCorpus(folder / "participant", singles) && writeCorpus(folder / "pipeline", groups) &&
        writeCorpus(folder / "exports", forEachExport(exports, {"page", "json", "csv", "post"})) &&
        writeCorpus(folder / "history", histories) &&
        writeCorpus(folder / "season", forEachExport(histories, {"page", "json", "post"})) &&
        writeCorpus(folder / "league", leagues) && writeCorpus(folder / "live_routes", requests) &&
        writeCorpus(folder / "card", cards);
    return written ? 0 : 1;
}
