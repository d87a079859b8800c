// Writes the seed corpora of the fuzz targets, built with the test fixture builder:
// make_seeds FOLDER creates FOLDER/participant, FOLDER/pipeline and FOLDER/history.
#include "history/snapshot.h"
#include "report/ranking_model.h"
#include "support/participant_builder.h"

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

std::vector<uint8_t> concatenate(const std::vector<ParticipantFileBuilder>& images,
                                 size_t tail = 0) {
    std::vector<uint8_t> bytes;
    for (const ParticipantFileBuilder& image : images) {
        bytes.insert(bytes.end(), image.bytes().begin(), image.bytes().end());
    }
    bytes.resize(bytes.size() + tail, 0x33);
    return bytes;
}

} // namespace

int main(int argc, char** argv) {
    if (argc != 2) {
        std::fprintf(stderr, "usage: make_seeds FOLDER\n");
        return 2;
    }
    fs::path participantSeeds = fs::path(argv[1]) / "participant";
    fs::path pipelineSeeds = fs::path(argv[1]) / "pipeline";
    std::error_code error;
    fs::create_directories(participantSeeds, error);
    fs::create_directories(pipelineSeeds, error);
    if (error) {
        std::fprintf(stderr, "cannot create %s\n", argv[1]);
        return 1;
    }

    // Single files: lengths around the size, text fields without NUL, extreme bytes.
    std::vector<std::pair<std::string, std::vector<uint8_t>>> singles = {
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
    for (const auto& seed : singles) {
        if (!writeSeed(participantSeeds / seed.first, seed.second)) {
            return 1;
        }
    }

    // Groups: ties, more than ten results per event, a cut-off last file, line ends in text.
    std::vector<ParticipantFileBuilder> twelve;
    for (int i = 0; i < 12; ++i) {
        twelve.push_back(driver(i, 1));
    }
    ParticipantFileBuilder tieA = driver(4, 2);
    ParticipantFileBuilder tieB = driver(5, 2);
    tieA.stage(0, 0, 1, 4321).arcade(0, 2, 7000);
    tieB.stage(0, 0, 3, 4321).arcade(0, 4, 7000);
    std::vector<std::pair<std::string, std::vector<uint8_t>>> groups = {
        {"one", concatenate({driver(1, 1)})},
        {"ties", concatenate({tieA, tieB, driver(6, 5)})},
        {"twelve", concatenate(twelve)},
        {"cut-off", concatenate({driver(7, 2), driver(8, 3)}, 700)},
        {"line-ends",
         concatenate({ParticipantFileBuilder().code("A\n").name("two\nlines").stage(1, 1, 2, 99),
                      driver(9, 4)})},
    };
    for (const auto& seed : groups) {
        if (!writeSeed(pipelineSeeds / seed.first, seed.second)) {
            return 1;
        }
    }

    // Histories: runs of groups as written, torn, mixed with other lines, spaced out.
    fs::path historySeeds = fs::path(argv[1]) / "history";
    fs::create_directories(historySeeds, error);
    auto lineOf = [](const std::vector<ParticipantFileBuilder>& builders) {
        std::vector<kvr::ParticipantRecord> records;
        for (const auto& b : builders) {
            records.push_back(b.record());
        }
        kvr::RankingModel model = kvr::computeRankingModel(
            records.data(), static_cast<int32_t>(records.size()), {}, {2026, 1, 2, 3, 4, 5});
        return kvr::history::snapshotLine(model);
    };
    const std::string first = lineOf({driver(1, 1), driver(2, 3)});
    const std::string second = lineOf({tieA, tieB, driver(6, 5), driver(1, 2)});
    std::string spaced = second;
    for (size_t at = spaced.find(','); at != std::string::npos; at = spaced.find(',', at + 2)) {
        spaced.insert(at + 1, " ");
    }
    auto bytesOf = [](const std::string& text) {
        return std::vector<uint8_t>(text.begin(), text.end());
    };
    std::vector<std::pair<std::string, std::vector<uint8_t>>> histories = {
        {"empty", {}},
        {"one-run", bytesOf(first)},
        {"two-runs-torn", bytesOf(first + second + second.substr(0, 40))},
        {"foreign", bytesOf("Ranking at 2026.01.02\n" + first + "\n\r\n[1]\n" + second)},
        {"spaced", bytesOf(spaced + first)},
        {"escapes",
         bytesOf("{\"kvrrank_history\":1,\"at\":\"\\u00e9\",\"standings\":[{\"place\":1,"
                 "\"code\":\"AAA\",\"name\":\"\\\"\\n\",\"points\":5}],\"records\":[{"
                 "\"event\":\"arcade-1\",\"time\":\"x\",\"hundredths\":1,\"code\":\"AAA\","
                 "\"name\":\"\\t\"}]}\n")},
    };
    for (const auto& seed : histories) {
        if (!writeSeed(historySeeds / seed.first, seed.second)) {
            return 1;
        }
    }
    return 0;
}
