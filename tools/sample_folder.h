// kvrsample's engine: a synthetic game folder (records file and participant files) made from
// a seed alone, so newcomers, tests and benchmarks get realistic folders of any size.
#pragma once

#include "data/participant.h"

#include <cstddef>
#include <cstdint>
#include <cstdio>
#include <string>
#include <vector>

namespace kvrsample {

constexpr uint32_t DefaultParticipantCount = 8;
constexpr uint32_t MaximumParticipantCount = 1000000;
constexpr uint64_t DefaultSeed = 2001;

// The synthetic records file: a fixed pattern of our own, with both best-time tables empty.
constexpr size_t SampleRecordsFileSize = 8192;

// There are 26 + 26^2 + 26^3 codes of one to three capital letters; beyond that many
// participants the codes start over (two files may carry the same code).
constexpr uint32_t DistinctCodeCount = 18278;

// Exit statuses of kvrsample.
constexpr int ExitSuccess = 0;
constexpr int ExitFailure = 1; // the folder could not be made; nothing is left behind
constexpr int ExitRefused = 2; // bad arguments, or DIR exists and is not an empty folder

constexpr const char* Usage = "usage: kvrsample DIR [--participants N] [--seed S]";

struct SampleOptions {
    std::string folder;
    uint32_t participants = DefaultParticipantCount;
    uint64_t seed = DefaultSeed;
    bool help = false;
    bool version = false;
};

// Parses the command line (argv[0] is the program). False with a one-line reason on bad input.
bool parseArguments(int argc, const char* const* argv, SampleOptions& options, std::string& error);

// What --help prints.
std::string helpText();

// The records file image, SampleRecordsFileSize bytes, the same for every seed.
std::vector<uint8_t> sampleRecordsFile();

// Makes the participants of one seed, one after the other: the same seed gives the same
// sequence of files. Every player has a skill, a favourite vehicle and transmission; every
// stage and arcade event has a base time; a few results are missing and a few times are
// near-ties with an earlier player.
class ParticipantGenerator {
  public:
    explicit ParticipantGenerator(uint64_t seed);

    // The next participant's file image (ParticipantFileSize bytes, zeroed here first) and
    // its file name, unique within the sequence.
    void next(uint8_t* image, std::string& fileName);

  private:
    uint32_t stageTime(uint32_t player, int slot) const;
    uint32_t ownTime(uint32_t player, int slot) const;
    std::string takeCode(const std::string& first, const std::string& last, bool shortCode);
    bool tryCode(uint32_t code);

    uint64_t seed_;
    uint32_t index_ = 0;
    uint32_t round_ = 0; // how often the codes have started over
    std::vector<bool> codeUsed_;
    uint32_t codesUsed_ = 0;
    uint32_t fallbackCursor_ = 0;
    uint32_t fallbackStep_;
    uint32_t fallbackStart_;
};

// Creates options.folder as a complete sample folder, or leaves nothing at all: it is built
// in a sibling folder and renamed into place at the end. An existing empty folder is
// replaced; anything else already there is refused. Returns an exit status, with a one-line
// reason in `error` when it is not ExitSuccess. Test seam: `failAtFile` > 0 makes the write
// of that participant file (counted from 1) fail.
int createSampleFolder(const SampleOptions& options, std::string& error, size_t failAtFile = 0);

// The whole program: parses, creates the folder, reports on `out` or one line on `errors`.
int runKvrSample(int argc, const char* const* argv, std::FILE* out, std::FILE* errors);

} // namespace kvrsample
