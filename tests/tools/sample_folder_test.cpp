// The sample game folder generator: determinism, plausible participants, the records file,
// a whole kvrrank run on a sample, and refused or failed runs that leave nothing behind.
#include "sample_folder.h"

#include "data/championship_tables.h"
#include "data/participant.h"
#include "platform/env.h"
#include "platform/fs.h"
#include "records/record_tables.h"
#include "support/temp_folder.h"

#include <gtest/gtest.h>

#include <algorithm>
#include <array>
#include <cstring>
#include <map>
#include <set>
#include <sstream>

namespace {

using namespace kvr;
using kvrsample::SampleOptions;
using kvrtest::TempFolder;
namespace fs = std::filesystem;

using Files = std::map<std::string, std::vector<uint8_t>>;
constexpr std::array<uint8_t, 8> EmptyEntry = {'d', 'l', 'r', 0, 0x00, 0xC0, 0x5D, 0};

void makeSample(const fs::path& folder, uint32_t participants, uint64_t seed) {
    SampleOptions options;
    options.folder = folder.string();
    options.participants = participants;
    options.seed = seed;
    std::string error;
    ASSERT_EQ(kvrsample::createSampleFolder(options, error), kvrsample::ExitSuccess) << error;
}

// Every file below `folder`, by relative path.
Files filesIn(const fs::path& folder) {
    Files files;
    for (const auto& entry : fs::recursive_directory_iterator(folder)) {
        if (entry.is_regular_file()) {
            files[fs::relative(entry.path(), folder).generic_string()] =
                kvrtest::readBytes(entry.path());
        }
    }
    return files;
}

std::set<std::string> namesIn(const fs::path& folder) {
    std::set<std::string> names;
    for (const auto& entry : fs::directory_iterator(folder)) {
        names.insert(entry.path().filename().string());
    }
    return names;
}

// The participants as kvrrank imports them, in its listing order.
std::vector<ParticipantRecord> importAll(const fs::path& folder) {
    std::vector<platform::FolderEntry> entries;
    EXPECT_TRUE(platform::listFolder(platform::Env::system(), (folder / "kvr").string().c_str(),
                                     ".kvr", entries));
    std::vector<ParticipantRecord> records;
    for (const platform::FolderEntry& entry : entries) {
        ParticipantRecord record{};
        EXPECT_TRUE(readParticipantFile(platform::Env::system(),
                                        (folder / "kvr" / entry.name).string().c_str(), record))
            << entry.name;
        records.push_back(record);
    }
    return records;
}

// The result of every used slot: 84 stages, then 8 arcade events.
std::vector<ResultEntry> usedResults(const ParticipantRecord& p) {
    std::vector<ResultEntry> results;
    for (int r = 0; r < RallyCount; ++r) {
        for (int s = 0; s < stageCounts[r]; ++s) {
            results.push_back(p.stageResults[stageSlot(r, s)]);
        }
    }
    results.insert(results.end(), p.arcadeResults, p.arcadeResults + ArcadeSlotCount);
    return results;
}

constexpr size_t UsedSlotCount = StageCount + ArcadeEventCount;

struct Capture {
    Capture() : file(std::tmpfile()) {}
    ~Capture() { std::fclose(file); }
    std::string text() {
        std::fflush(file);
        std::rewind(file);
        std::string all;
        char buffer[256];
        size_t n;
        while ((n = std::fread(buffer, 1, sizeof buffer, file)) > 0) {
            all.append(buffer, n);
        }
        return all;
    }
    std::FILE* file;
};

int runSample(const std::vector<std::string>& args, std::string& errors) {
    std::vector<const char*> argv = {"kvrsample"};
    for (const std::string& arg : args) {
        argv.push_back(arg.c_str());
    }
    Capture out;
    Capture err;
    int status =
        kvrsample::runKvrSample(static_cast<int>(argv.size()), argv.data(), out.file, err.file);
    errors = err.text();
    return status;
}

bool isOneLine(const std::string& text) {
    return !text.empty() && text.back() == '\n' && text.find('\n') == text.size() - 1;
}

TEST(SampleFolder, SameSeedSameBytesOtherSeedOtherBytes) {
    TempFolder temp;
    makeSample(temp / "a", 40, 7);
    makeSample(temp / "b", 40, 7);
    makeSample(temp / "c", 40, 8);
    Files a = filesIn(temp / "a");
    Files c = filesIn(temp / "c");
    EXPECT_EQ(a.size(), 41u);
    EXPECT_EQ(filesIn(temp / "b"), a);
    EXPECT_NE(c, a);
    // The records file is the same for every seed; the participants are not.
    EXPECT_EQ(c.at("Configuration/gameinfo.rcf"), a.at("Configuration/gameinfo.rcf"));
    size_t sameParticipants = 0;
    for (const auto& [name, bytes] : c) {
        sameParticipants += a.count(name) != 0 && a.at(name) == bytes;
    }
    EXPECT_EQ(sameParticipants, 1u);
}

TEST(SampleFolder, ParticipantsImportWithPlausibleContent) {
    TempFolder temp;
    makeSample(temp / "game", 400, 11);
    Files files = filesIn(temp / "game");
    size_t participantFiles = 0;
    for (const auto& [name, bytes] : files) {
        if (name.rfind("kvr/", 0) == 0) {
            ++participantFiles;
            EXPECT_EQ(bytes.size(), ParticipantFileSize) << name;
        }
    }
    EXPECT_EQ(participantFiles, 400u);

    std::vector<ParticipantRecord> players = importAll(temp / "game");
    ASSERT_EQ(players.size(), 400u);
    std::set<std::string> codes;
    size_t results = 0, missing = 0, automatic = 0;
    std::set<int> vehicles;
    for (const ParticipantRecord& p : players) {
        std::string code(p.code, codeLength(p.code));
        EXPECT_TRUE(code.size() >= 1 && code.size() <= 3 && p.code[code.size()] == '\0') << code;
        EXPECT_TRUE(std::all_of(code.begin(), code.end(), [](char c) {
            return c >= 'A' && c <= 'Z';
        })) << code;
        EXPECT_TRUE(codes.insert(code).second) << "code " << code << " twice";
        std::string name(p.name, nameLength(p.name));
        EXPECT_NE(name.find(' '), std::string::npos) << name;
        EXPECT_EQ(p.name[name.size()], '\0');
        EXPECT_TRUE(dateYear(p.date) >= 1995 && dateYear(p.date) <= 2010) << dateYear(p.date);
        EXPECT_TRUE(dateMonth(p.date) >= 1 && dateMonth(p.date) <= 12);
        EXPECT_TRUE(dateDay(p.date) >= 1 && dateDay(p.date) <= 31);

        std::vector<ResultEntry> used = usedResults(p);
        for (size_t i = 0; i < used.size(); ++i) {
            const ResultEntry& e = used[i];
            if (e.time == 0) {
                ++missing;
                continue;
            }
            ++results;
            EXPECT_LT(vehicleNumber(e.vehicle), VehicleCount);
            EXPECT_EQ(e.vehicle & 0x80, 0);
            vehicles.insert(vehicleNumber(e.vehicle));
            automatic += static_cast<size_t>(transmissionFlag(e.vehicle));
            bool stage = i < static_cast<size_t>(StageCount);
            // Stages take minutes, arcade laps about one minute.
            uint32_t low = stage ? 100 * 60 : 100 * 30;
            uint32_t high = stage ? 100 * 60 * 12 : 100 * 60 * 3;
            EXPECT_TRUE(e.time >= low && e.time <= high) << i << ": " << e.time;
        }
        // Slots no stage uses stay empty.
        for (int r = 0; r < RallyCount; ++r) {
            for (int s = stageCounts[r]; s < StageSlotsPerRally; ++s) {
                EXPECT_EQ(p.stageResults[stageSlot(r, s)].time, 0u);
            }
        }
    }
    // A few missing results, all vehicles, both transmissions.
    size_t all = players.size() * UsedSlotCount;
    EXPECT_EQ(results + missing, all);
    EXPECT_GT(missing, all / 100);
    EXPECT_LT(missing, all / 5);
    EXPECT_EQ(vehicles.size(), static_cast<size_t>(VehicleCount));
    EXPECT_GT(automatic, results / 10);
    EXPECT_LT(automatic, results * 9 / 10);

    // Per stage a base time and a spread between players: the stages' fastest times differ,
    // and within a stage the slowest player is clearly slower than the fastest.
    std::set<uint32_t> fastest;
    for (size_t slot = 0; slot < UsedSlotCount; ++slot) {
        uint32_t low = UINT32_MAX, high = 0;
        for (const ParticipantRecord& p : players) {
            uint32_t t = usedResults(p)[slot].time;
            if (t != 0) {
                low = std::min(low, t);
                high = std::max(high, t);
            }
        }
        fastest.insert(low);
        EXPECT_GT(high, low + low / 10) << slot;
    }
    EXPECT_GT(fastest.size(), UsedSlotCount * 9 / 10);
}

// Even a small default folder has missing results and near-ties, for any seed.
TEST(SampleFolder, SmallFoldersHaveNearTiesAndMissingResults) {
    for (uint64_t seed : {1u, 2u, 3u, 2001u, 99999u}) {
        TempFolder temp;
        std::string errors;
        std::string folder = (temp / "game").string();
        std::string seedText = std::to_string(seed);
        ASSERT_EQ(runSample({folder, "--seed", seedText}, errors), 0) << errors;
        std::vector<ParticipantRecord> players = importAll(temp / "game");
        ASSERT_EQ(players.size(), kvrsample::DefaultParticipantCount);
        size_t nearTies = 0, missing = 0;
        for (size_t slot = 0; slot < UsedSlotCount; ++slot) {
            for (size_t i = 0; i < players.size(); ++i) {
                uint32_t a = usedResults(players[i])[slot].time;
                missing += a == 0;
                for (size_t j = i + 1; j < players.size(); ++j) {
                    uint32_t b = usedResults(players[j])[slot].time;
                    nearTies += a != 0 && b != 0 && (a > b ? a - b : b - a) <= 5;
                }
            }
        }
        EXPECT_GE(nearTies, 20u) << seed; // about ten without deliberate ties
        EXPECT_GE(missing, 3u) << seed;
    }
}

// Codes stay distinct until every code of one to three letters is taken; file names always.
TEST(ParticipantGenerator, CodesDistinctUntilAllTakenAndFileNamesUnique) {
    kvrsample::ParticipantGenerator generator(5);
    std::vector<uint8_t> image(ParticipantFileSize);
    std::set<std::string> codes, fileNames;
    std::string fileName;
    const uint32_t count = kvrsample::DistinctCodeCount + 300;
    for (uint32_t i = 0; i < count; ++i) {
        generator.next(image.data(), fileName);
        ParticipantRecord p{};
        ASSERT_TRUE(decodeParticipant(image.data(), image.size(), p));
        std::string code(p.code, codeLength(p.code));
        ASSERT_EQ(p.code[code.size()], '\0');
        if (i < kvrsample::DistinctCodeCount) {
            ASSERT_TRUE(codes.insert(code).second) << i << " " << code;
        }
        ASSERT_TRUE(fileNames.insert(fileName).second) << i << " " << fileName;
        ASSERT_EQ(fileName.size() > 4 ? fileName.substr(fileName.size() - 4) : "", ".kvr");
    }
    EXPECT_EQ(codes.size(), kvrsample::DistinctCodeCount);
}

TEST(SampleFolder, RecordsFileHoldsEmptyTables) {
    TempFolder temp;
    makeSample(temp / "game", 1, 3);
    std::vector<uint8_t> records =
        kvrtest::readBytes(temp / "game" / "Configuration" / "gameinfo.rcf");
    ASSERT_EQ(records.size(), kvrsample::SampleRecordsFileSize);
    ASSERT_GE(records.size(), MinimumRecordsFileSize);
    auto entryAt = [&](size_t offset) {
        std::array<uint8_t, 8> entry;
        std::memcpy(entry.data(), &records[offset], 8);
        return entry;
    };
    for (int r = 0; r < RallyCount; ++r) {
        for (int s = 0; s < GameStageSlotsPerRally; ++s) {
            size_t offset = 1784 + static_cast<size_t>(r * 11 + s) * 8;
            if (s < stageCounts[r]) {
                EXPECT_EQ(entryAt(offset), EmptyEntry) << r << "/" << s;
            } else {
                EXPECT_EQ(entryAt(offset), (std::array<uint8_t, 8>{})) << r << "/" << s;
            }
        }
    }
    for (size_t a = 0; a < 8; ++a) {
        EXPECT_EQ(entryAt(4820 + a * 8), EmptyEntry) << a;
    }
    // Outside the tables a pattern, not a blank file.
    std::set<uint8_t> outside(records.begin(), records.begin() + 1784);
    outside.insert(records.begin() + 2488, records.begin() + 4820);
    outside.insert(records.begin() + 4884, records.end());
    EXPECT_GT(outside.size(), 200u);
}

std::string withoutCarriageReturns(std::string text) {
    text.erase(std::remove(text.begin(), text.end(), '\r'), text.end());
    return text;
}

TEST(SampleFolder, TwoHundredParticipantsRunThroughKvrRank) {
    TempFolder temp;
    fs::path game = temp / "game";
    makeSample(game, 200, 42);
    std::vector<uint8_t> recordsBefore =
        kvrtest::readBytes(game / "Configuration" / "gameinfo.rcf");

    kvrtest::ProcessResult run = kvrtest::runProgram(KVRRANK_BINARY, game);
    EXPECT_EQ(run.exitStatus, 0);
    EXPECT_EQ(run.errors, "");
    std::string output = withoutCarriageReturns(run.output);
    size_t imported = 0;
    for (size_t at = output.find(" ... ok!\n"); at != std::string::npos;
         at = output.find(" ... ok!\n", at + 1)) {
        ++imported;
    }
    EXPECT_EQ(imported, 200u);
    EXPECT_EQ(output.find("failed"), std::string::npos);
    EXPECT_NE(output.find("updateing Configuration/gameinfo.rcf... ok!\n"), std::string::npos);

    // Every event of the sample has ten or more times.
    std::vector<ParticipantRecord> players = importAll(game);
    for (size_t slot = 0; slot < UsedSlotCount; ++slot) {
        size_t withTime = 0;
        for (const ParticipantRecord& p : players) {
            withTime += usedResults(p)[slot].time != 0;
        }
        EXPECT_GE(withTime, 10u) << slot;
    }

    // So the report holds 92 listings of ten lines each, and a driver ranking.
    std::istringstream report(withoutCarriageReturns(kvrtest::readText(game / "ranking.txt")));
    std::vector<size_t> listingLengths;
    std::string line;
    bool inListing = false;
    while (std::getline(report, line)) {
        if (line.rfind("    ", 0) == 0) {
            if (!inListing) {
                listingLengths.push_back(0);
                inListing = true;
            }
            ++listingLengths.back();
        } else {
            inListing = false;
        }
    }
    EXPECT_EQ(listingLengths, std::vector<size_t>(UsedSlotCount, listingLimit));

    // Every used entry of the records file now holds a time; bytes outside stay as they were.
    std::vector<uint8_t> records = kvrtest::readBytes(game / "Configuration" / "gameinfo.rcf");
    ASSERT_EQ(records.size(), recordsBefore.size());
    for (int r = 0; r < RallyCount; ++r) {
        for (int s = 0; s < stageCounts[r]; ++s) {
            EXPECT_EQ(records[1784 + static_cast<size_t>(r * 11 + s) * 8 + 4] & 0x40, 0x40);
        }
    }
    for (size_t i = 0; i < records.size(); ++i) {
        bool inTables = (i >= 1784 && i < 2488) || (i >= 4820 && i < 4884);
        if (!inTables) {
            ASSERT_EQ(records[i], recordsBefore[i]) << i;
        }
    }
}

TEST(SampleArguments, AcceptsValidCommandLines) {
    struct Case {
        std::vector<const char*> args;
        uint32_t participants;
        uint64_t seed;
    };
    const Case cases[] = {
        {{"dir"}, kvrsample::DefaultParticipantCount, kvrsample::DefaultSeed},
        {{"dir", "--participants", "1000000"}, 1000000, kvrsample::DefaultSeed},
        {{"--participants=0", "dir"}, 0, kvrsample::DefaultSeed},
        {{"--seed", "18446744073709551615", "dir", "--participants", "12"},
         12,
         18446744073709551615u},
        {{"dir", "--seed=0"}, kvrsample::DefaultParticipantCount, 0},
    };
    for (const Case& c : cases) {
        std::vector<const char*> argv = {"kvrsample"};
        argv.insert(argv.end(), c.args.begin(), c.args.end());
        SampleOptions options;
        std::string error;
        ASSERT_TRUE(
            kvrsample::parseArguments(static_cast<int>(argv.size()), argv.data(), options, error))
            << error;
        EXPECT_EQ(options.folder, "dir");
        EXPECT_EQ(options.participants, c.participants);
        EXPECT_EQ(options.seed, c.seed);
    }
}

TEST(SampleArguments, BadInputIsRefusedAndLeavesNothing) {
    TempFolder temp;
    kvrtest::writeText(temp / "plain-file", "x");
    const std::string dir = (temp / "game").string();
    const std::vector<std::vector<std::string>> cases = {
        {},
        {""},
        {dir, "--participants", "abc"},
        {dir, "--participants", "12x"},
        {dir, "--participants", ""},
        {dir, "--participants", "-3"},
        {dir, "--participants", "+3"},
        {dir, "--participants", "1000001"},
        {dir, "--participants", "99999999999999999999999"},
        {dir, "--participants"},
        {dir, "--seed", "x"},
        {dir, "--seed", "18446744073709551616"},
        {dir, "--colour", "red"},
        {dir, "-n", "5"},
        {dir, (temp / "other").string()},
        {(temp / "missing" / "game").string()},
        {(temp / "plain-file" / "game").string()},
        {(temp / "plain-file").string()},
    };
    for (const auto& args : cases) {
        std::string errors;
        std::string shown;
        for (const std::string& arg : args) {
            shown += "[" + arg + "]";
        }
        EXPECT_NE(runSample(args, errors), 0) << shown;
        EXPECT_TRUE(isOneLine(errors)) << shown << ": " << errors;
        EXPECT_EQ(errors.rfind("kvrsample: ", 0), 0u) << shown << ": " << errors;
        EXPECT_EQ(namesIn(temp.path()), std::set<std::string>{"plain-file"}) << shown;
    }
}

TEST(SampleFolder, RefusesNonEmptyFolderAndFillsEmptyOne) {
    TempFolder temp;
    kvrtest::writeText(temp / "full" / "keep.txt", "mine");
    fs::create_directory(temp / "empty");
    std::string errors;
    EXPECT_EQ(runSample({(temp / "full").string()}, errors), kvrsample::ExitRefused);
    EXPECT_TRUE(isOneLine(errors)) << errors;
    EXPECT_EQ(namesIn(temp / "full"), std::set<std::string>{"keep.txt"});
    EXPECT_EQ(kvrtest::readText(temp / "full" / "keep.txt"), "mine");

    EXPECT_EQ(runSample({(temp / "empty").string(), "--participants", "3"}, errors), 0) << errors;
    EXPECT_EQ(namesIn(temp / "empty"), (std::set<std::string>{"Configuration", "kvr"}));
    EXPECT_EQ(namesIn(temp / "empty" / "kvr").size(), 3u);
    EXPECT_EQ(namesIn(temp.path()), (std::set<std::string>{"empty", "full"}));

    // A made folder is not empty: a second run refuses it.
    EXPECT_EQ(runSample({(temp / "empty").string()}, errors), kvrsample::ExitRefused);
}

TEST(SampleFolder, FailureWhileWritingLeavesNothing) {
    for (size_t failAt : {1u, 5u}) {
        TempFolder temp;
        SampleOptions options;
        options.folder = (temp / "game").string();
        options.participants = 8;
        std::string error;
        EXPECT_EQ(kvrsample::createSampleFolder(options, error, failAt), kvrsample::ExitFailure);
        EXPECT_NE(error.find("cannot write"), std::string::npos) << error;
        EXPECT_TRUE(namesIn(temp.path()).empty()) << failAt;
    }
}

TEST(SampleProgram, WithoutArgumentsExplainsUsage) {
    TempFolder temp;
    kvrtest::ProcessResult run = kvrtest::runProgram(KVRSAMPLE_BINARY, temp.path());
    EXPECT_EQ(run.exitStatus, kvrsample::ExitRefused);
    EXPECT_EQ(run.output, "");
    EXPECT_TRUE(isOneLine(run.errors)) << run.errors;
    EXPECT_NE(run.errors.find(kvrsample::Usage), std::string::npos) << run.errors;
    EXPECT_TRUE(namesIn(temp.path()).empty());
}

} // namespace
