#include "sample_folder.h"

#include "app/help_format.h"
#include "app/run.h"
#include "data/championship_tables.h"
#include "data/little_endian.h"
#include "records/record_tables.h"
#include "records/records_file.h"

#include <cerrno>
#include <cinttypes>
#include <cstring>
#include <filesystem>
#include <memory>
#include <numeric>
#include <system_error>

namespace kvrsample {

namespace fs = std::filesystem;
using namespace kvr;

namespace {

// ---- Arguments ----------------------------------------------------------------------------

// Decimal digits only, no sign, no blanks, at most `maximum`.
bool parseDecimal(const char* text, uint64_t maximum, uint64_t& value) {
    if (*text == '\0') {
        return false;
    }
    uint64_t result = 0;
    for (const char* p = text; *p != '\0'; ++p) {
        if (*p < '0' || *p > '9') {
            return false;
        }
        uint64_t digit = static_cast<uint64_t>(*p - '0');
        if (result > (maximum - digit) / 10) {
            return false;
        }
        result = result * 10 + digit;
    }
    value = result;
    return true;
}

std::string badNumber(const char* option, const char* value, const char* maximum) {
    std::string text = std::string(option) + " needs a whole number from 0 to " + maximum;
    return value == nullptr ? text : text + ", not \"" + value + "\"";
}

// ---- Pseudo-random numbers ----------------------------------------------------------------

// splitmix64's finaliser: every value below is a pure function of the seed and its keys, so
// the output is the same with every compiler and standard library.
uint64_t mix(uint64_t x) {
    x += 0x9E3779B97F4A7C15u;
    x = (x ^ (x >> 30)) * 0xBF58476D1CE4E5B9u;
    x = (x ^ (x >> 27)) * 0x94D049BB133111EBu;
    return x ^ (x >> 31);
}

// What a stream of numbers is for; keeps streams of different purposes apart.
enum Salt : uint64_t {
    SaltPlayer = 1,
    SaltRally,
    SaltMissing,
    SaltBase,
    SaltNoise,
    SaltTie,
    SaltArcade,
    SaltCodes,
    SaltIdentity,
};

class Random {
  public:
    Random(uint64_t seed, Salt salt, uint64_t a = 0, uint64_t b = 0)
        : state_(mix(mix(mix(seed ^ (salt * 0xD1B54A32D192ED03u)) + a) + b)) {}

    uint64_t next() {
        state_ += 0x9E3779B97F4A7C15u;
        uint64_t z = state_;
        z = (z ^ (z >> 30)) * 0xBF58476D1CE4E5B9u;
        z = (z ^ (z >> 27)) * 0x94D049BB133111EBu;
        return z ^ (z >> 31);
    }
    // 0 to n - 1, for n below 2^32.
    uint32_t below(uint32_t n) { return static_cast<uint32_t>(((next() >> 32) * n) >> 32); }
    bool percent(uint32_t chance) { return below(100) < chance; }

  private:
    uint64_t state_;
};

// ---- Players --------------------------------------------------------------------------------

const char* const firstNames[] = {
    "Aino",   "Bruno", "Carla", "Dario", "Elin",   "Fabian", "Greta",  "Hugo", "Ines",  "Jonas",
    "Katja",  "Lars",  "Mira",  "Nils",  "Olga",   "Pavel",  "Rosa",   "Sven", "Tilda", "Umberto",
    "Vera",   "Wim",   "Yara",  "Zeno",  "Anton",  "Britt",  "Cyril",  "Dora", "Emil",  "Frida",
    "Gustav", "Hanna", "Ivo",   "Jule",  "Kasper", "Lotte",  "Matteo", "Nora", "Oskar", "Petra",
};

const char* const lastNames[] = {
    "Aalto",    "Berger",  "Castell", "Dalgaard",  "Eskola",  "Ferreira", "Grahn",  "Holm",
    "Ivarsson", "Jensen",  "Kallio",  "Lindqvist", "Moretti", "Nyberg",   "Ortega", "Pihl",
    "Quist",    "Rinaldi", "Salonen", "Tamm",      "Ulrich",  "Vidal",    "Wester", "Young",
    "Zeller",   "Brandt",  "Coelho",  "Dorn",      "Ekberg",  "Falk",     "Gallo",  "Hedlund",
    "Karlsson", "Lehto",   "Marin",   "Novak",     "Olsen",   "Rossi",    "Strand", "Virta",
};

template <typename T, size_t N> constexpr uint32_t countOf(T (&)[N]) {
    return static_cast<uint32_t>(N);
}

constexpr int daysInMonth[12] = {31, 28, 31, 30, 31, 30, 31, 31, 30, 31, 30, 31};

// Result slots are numbered 0 to 95 for the stages, 96 to 103 for the arcade events.
constexpr int ArcadeSlotBase = static_cast<int>(StageSlotCount);

struct Player {
    uint32_t skill; // per mille slower than the stage's base time, 0 to 240
    uint8_t favouriteVehicle;
    bool automatic;
};

Player playerTraits(uint64_t seed, uint32_t player) {
    Random random(seed, SaltPlayer, player);
    Player traits;
    // The sum of two draws: most players are mid-field, a few are very fast or slow.
    traits.skill = random.below(121) + random.below(121);
    traits.favouriteVehicle = static_cast<uint8_t>(random.below(VehicleCount));
    traits.automatic = random.percent(35);
    return traits;
}

uint8_t vehicleByte(uint32_t vehicle, bool automatic) {
    return static_cast<uint8_t>(vehicle | (automatic ? 0x40u : 0u));
}

// The stage's or arcade event's time for a player of skill 0: 2:30 to 7:30 for a stage,
// 0:50 to 1:30 for an arcade lap, in hundredths.
uint32_t baseTime(uint64_t seed, int slot) {
    Random random(seed, SaltBase, static_cast<uint64_t>(slot));
    return slot < ArcadeSlotBase ? 15000 + random.below(30001) : 5000 + random.below(4001);
}

void putResult(uint8_t* image, size_t offset, uint8_t vehicle, uint32_t time) {
    image[offset] = vehicle;
    storeU32LE(image + offset + 4, time);
}

void putText(uint8_t* image, size_t offset, const std::string& text) {
    std::memcpy(image + offset, text.data(), text.size());
}

// Code numbers: 0-25 one letter, 26-701 two letters, 702-18277 three letters.
std::string codeText(uint32_t code) {
    std::string text;
    if (code < 26) {
        text += static_cast<char>('A' + code);
    } else if (code < 702) {
        code -= 26;
        text += static_cast<char>('A' + code / 26);
        text += static_cast<char>('A' + code % 26);
    } else {
        code -= 702;
        text += static_cast<char>('A' + code / 676);
        text += static_cast<char>('A' + code / 26 % 26);
        text += static_cast<char>('A' + code % 26);
    }
    return text;
}

uint32_t codeNumber(const std::string& letters) {
    uint32_t value = 0;
    for (char c : letters) {
        value = value * 26 + static_cast<uint32_t>(c - 'A');
    }
    return letters.size() == 1 ? value : letters.size() == 2 ? 26 + value : 702 + value;
}

char upper(char c) {
    return c >= 'a' && c <= 'z' ? static_cast<char>(c - 'a' + 'A') : c;
}

// ---- Files ----------------------------------------------------------------------------------

bool writeNewFile(const std::string& path, const uint8_t* data, size_t size, std::string& error) {
    // "x": never overwrite; two sample files with one name would be a generator fault.
    std::FILE* file = std::fopen(path.c_str(), "wbx");
    if (file == nullptr) {
        error = "cannot create " + path + ": " + std::strerror(errno);
        return false;
    }
    size_t written = std::fwrite(data, 1, size, file);
    int writeErrno = errno;
    bool closed = std::fclose(file) == 0;
    if (written != size || !closed) {
        error = "cannot write " + path + ": " + std::strerror(written != size ? writeErrno : errno);
        return false;
    }
    return true;
}

bool buildInto(const fs::path& folder, const SampleOptions& options, size_t failAtFile,
               std::string& error) {
    std::error_code ec;
    if (!fs::create_directory(folder / "Configuration", ec) ||
        !fs::create_directory(folder / ParticipantFolder, ec)) {
        error = "cannot create folders in " + folder.string() + ": " + ec.message();
        return false;
    }
    std::vector<uint8_t> records = sampleRecordsFile();
    if (!writeNewFile((folder / GameRecordsPath).string(), records.data(), records.size(), error)) {
        return false;
    }

    const std::string prefix = (folder / ParticipantFolder / "").string();
    ParticipantGenerator generator(options.seed);
    uint8_t image[ParticipantFileSize];
    std::string name;
    std::string path;
    for (uint32_t i = 0; i < options.participants; ++i) {
        generator.next(image, name);
        path.assign(prefix).append(name);
        if (failAtFile == i + 1u) {
            error = "cannot write " + path + ": injected failure";
            return false;
        }
        if (!writeNewFile(path, image, sizeof image, error)) {
            return false;
        }
    }
    return true;
}

} // namespace

// ---- Public operations ------------------------------------------------------------------------

namespace {

constexpr const char* Description =
    "Makes a synthetic game folder for kvrrank: Configuration/gameinfo.rcf with both\n"
    "best-time tables empty, and N participant files in kvr/ with invented players and\n"
    "times. The same seed always gives the same bytes; nothing comes from the real game.";

constexpr const char* Footer = "Exit status:\n"
                               "  0  the folder was made\n"
                               "  1  it could not be written; nothing is left behind\n"
                               "  2  a bad command line, or DIR exists and is not an empty folder";

// The command line; numbers are taken as text and checked by parseDecimal, which takes
// plain decimal digits only.
struct CommandLine {
    CLI::App app{Description, "kvrsample"};
    std::string participants;
    std::string seed;
    bool version = false;

    explicit CommandLine(SampleOptions& options) {
        app.formatter(std::make_shared<kvr::HelpFormatter>());
        app.set_help_flag("-h,--help", "print this help and exit");
        app.add_flag("--version", version, "print the version and exit");
        app.add_option("DIR", options.folder, "the folder to make (must not exist, or be empty)")
            ->type_name("");
        app.add_option("--participants", participants, "number of participant files (default 8)")
            ->type_name("N");
        app.add_option("--seed", seed, "seed of the invented data (default 2001)")->type_name("S");
        app.footer(Footer);
    }
};

} // namespace

bool parseArguments(int argc, const char* const* argv, SampleOptions& options, std::string& error) {
    options = SampleOptions{};
    CommandLine line(options);
    try {
        std::vector<std::string> reversed;
        for (int i = argc - 1; i >= 1; --i) {
            reversed.emplace_back(argv[i]);
        }
        line.app.parse(reversed);
    } catch (const CLI::CallForHelp&) {
        options.help = true;
        return true;
    } catch (const CLI::ParseError& e) {
        error = e.what();
        return false;
    }
    if (line.version) {
        options.version = true;
        return true;
    }
    uint64_t number = 0;
    if (line.app.count("--participants") > 0) {
        if (!parseDecimal(line.participants.c_str(), MaximumParticipantCount, number)) {
            error = badNumber("--participants", line.participants.c_str(), "1000000");
            return false;
        }
        options.participants = static_cast<uint32_t>(number);
    }
    if (line.app.count("--seed") > 0) {
        if (!parseDecimal(line.seed.c_str(), UINT64_MAX, number)) {
            error = badNumber("--seed", line.seed.c_str(), "18446744073709551615");
            return false;
        }
        options.seed = number;
    }
    if (options.folder.empty()) {
        error = "no folder given";
        return false;
    }
    return true;
}

std::string helpText() {
    SampleOptions options;
    return CommandLine(options).app.help();
}

std::vector<uint8_t> sampleRecordsFile() {
    std::vector<uint8_t> bytes(SampleRecordsFileSize);
    for (size_t i = 0; i < bytes.size(); ++i) {
        bytes[i] = static_cast<uint8_t>(i * 151 + (i >> 8) * 29 + 0x3C);
    }
    RecordTables tables;
    std::memset(&tables, 0, sizeof tables);
    // The entries of stages that exist are empty; a ten-stage rally's eleventh entry stays zero.
    const char empty[CodeSize] = {'d', 'l', 'r', '\0'};
    for (int r = 0; r < RallyCount; ++r) {
        for (int s = 0; s < stageCounts[r]; ++s) {
            packRecordEntry(tables.stage(r, s), 0, empty, 0);
        }
    }
    for (int a = 0; a < ArcadeEventCount; ++a) {
        packRecordEntry(tables.arcade(a), 0, empty, 0);
    }
    std::memcpy(&bytes[StageRecordsOffset], tables.stageBytes(), StageRecordsSize);
    std::memcpy(&bytes[ArcadeRecordsOffset], tables.arcadeBytes(), ArcadeRecordsSize);
    return bytes;
}

static_assert(SampleRecordsFileSize >= MinimumRecordsFileSize, "");

ParticipantGenerator::ParticipantGenerator(uint64_t seed)
    : seed_(seed), codeUsed_(DistinctCodeCount, false) {
    // Codes no name suggests are handed out in a seeded order: start + k * step, with a
    // step coprime to the number of codes so that every code comes once.
    Random random(seed, SaltCodes);
    fallbackStart_ = random.below(DistinctCodeCount);
    do {
        fallbackStep_ = 1 + random.below(DistinctCodeCount - 1);
    } while (std::gcd(fallbackStep_, DistinctCodeCount) != 1);
}

bool ParticipantGenerator::tryCode(uint32_t code) {
    if (codeUsed_[code]) {
        return false;
    }
    codeUsed_[code] = true;
    ++codesUsed_;
    return true;
}

// Initials first (three letters: first initial and two of the last name), then the seeded
// order of all codes.
std::string ParticipantGenerator::takeCode(const std::string& first, const std::string& last,
                                           bool shortCode) {
    if (codesUsed_ == DistinctCodeCount) {
        std::fill(codeUsed_.begin(), codeUsed_.end(), false);
        codesUsed_ = 0;
        fallbackCursor_ = 0;
        ++round_;
    }
    const char initial = upper(first[0]);
    const char lastInitial = upper(last[0]);
    if (shortCode) {
        std::string two{initial, lastInitial};
        if (tryCode(codeNumber(two))) {
            return two;
        }
    }
    for (size_t k = 1; k < last.size(); ++k) {
        std::string three{initial, lastInitial, upper(last[k])};
        if (tryCode(codeNumber(three))) {
            return three;
        }
    }
    // Every code before the cursor is taken, and the round is not full: one is free ahead.
    for (;;) {
        uint32_t code = static_cast<uint32_t>(
            (fallbackStart_ + static_cast<uint64_t>(fallbackCursor_) * fallbackStep_) %
            DistinctCodeCount);
        ++fallbackCursor_;
        if (tryCode(code)) {
            return codeText(code);
        }
    }
}

uint32_t ParticipantGenerator::ownTime(uint32_t player, int slot) const {
    Random random(seed_, SaltNoise, player, static_cast<uint64_t>(slot));
    uint64_t noise = random.below(61); // -30 to +30 per mille, offset by 30
    uint64_t permille = 1000 - 30 + playerTraits(seed_, player).skill + noise;
    return static_cast<uint32_t>(baseTime(seed_, slot) * permille / 1000);
}

// Now and then a player ends up within five hundredths of an earlier one (possibly equal).
uint32_t ParticipantGenerator::stageTime(uint32_t player, int slot) const {
    int64_t offset = 0;
    for (;;) {
        Random random(seed_, SaltTie, player, static_cast<uint64_t>(slot));
        if (player == 0 || !random.percent(4)) {
            break;
        }
        player = random.below(player);
        offset += static_cast<int64_t>(random.below(11)) - 5;
    }
    int64_t time = static_cast<int64_t>(ownTime(player, slot)) + offset;
    return static_cast<uint32_t>(time < 1 ? 1 : time);
}

void ParticipantGenerator::next(uint8_t* image, std::string& fileName) {
    const uint32_t player = index_++;
    std::memset(image, 0, ParticipantFileSize);
    Random random(seed_, SaltIdentity, player);
    const Player traits = playerTraits(seed_, player);

    const std::string first = firstNames[random.below(countOf(firstNames))];
    const std::string last = lastNames[random.below(countOf(lastNames))];
    putText(image, NameOffset, first + " " + last);
    const std::string code = takeCode(first, last, random.percent(10));
    putText(image, CodeOffset, code);

    const uint32_t month = 1 + random.below(12);
    image[DateOffset] = static_cast<uint8_t>(2000 + random.below(3) - 1850);
    image[DateOffset + 1] = static_cast<uint8_t>(month);
    image[DateOffset + 2] =
        static_cast<uint8_t>(1 + random.below(static_cast<uint32_t>(daysInMonth[month - 1])));

    // A rally is driven in one car; now and then a player skips a rally or a stage.
    for (int r = 0; r < RallyCount; ++r) {
        Random rally(seed_, SaltRally, player, static_cast<uint64_t>(r));
        const bool skipped = rally.percent(5);
        const uint32_t vehicle =
            rally.percent(75) ? traits.favouriteVehicle : rally.below(VehicleCount);
        const bool automatic = rally.percent(85) ? traits.automatic : !traits.automatic;
        for (int s = 0; s < stageCounts[r]; ++s) {
            const int slot = stageSlot(r, s);
            Random missing(seed_, SaltMissing, player, static_cast<uint64_t>(slot));
            if (skipped || missing.percent(2)) {
                continue;
            }
            putResult(image, StageResultsOffset + static_cast<size_t>(slot) * ResultEntrySize,
                      vehicleByte(vehicle, automatic), stageTime(player, slot));
        }
    }
    for (int a = 0; a < ArcadeEventCount; ++a) {
        Random arcade(seed_, SaltArcade, player, static_cast<uint64_t>(a));
        if (arcade.percent(8)) {
            continue;
        }
        const uint32_t vehicle =
            arcade.percent(60) ? traits.favouriteVehicle : arcade.below(VehicleCount);
        const bool automatic = arcade.percent(80) ? traits.automatic : !traits.automatic;
        putResult(image, ArcadeResultsOffset + static_cast<size_t>(a) * ResultEntrySize,
                  vehicleByte(vehicle, automatic), stageTime(player, ArcadeSlotBase + a));
    }

    fileName = code;
    if (round_ > 0) {
        fileName += "-" + std::to_string(round_ + 1);
    }
    fileName += ParticipantExtension;
}

int createSampleFolder(const SampleOptions& options, std::string& error, size_t failAtFile) {
    std::error_code ec;
    fs::path target = fs::absolute(fs::path(options.folder), ec).lexically_normal();
    if (ec) {
        error = "cannot create folder " + options.folder + ": " + ec.message();
        return ExitFailure;
    }
    if (!target.has_filename()) {
        target = target.parent_path();
    }

    bool replaceEmpty = false;
    fs::file_status status = fs::symlink_status(target, ec);
    if (fs::exists(status)) {
        if (!fs::is_directory(status)) {
            error = options.folder + " exists and is not a folder";
            return ExitRefused;
        }
        bool empty = fs::is_empty(target, ec);
        if (ec || !empty) {
            error = options.folder + " is not empty; give a new or an empty folder";
            return ExitRefused;
        }
        replaceEmpty = true;
    }
    if (!target.has_filename()) {
        error = "cannot create folder " + options.folder;
        return ExitFailure;
    }

    // Build beside the target and rename at the end: the target is complete or absent.
    fs::path partial;
    for (int attempt = 1; attempt <= 100 && partial.empty(); ++attempt) {
        fs::path candidate = target;
        candidate += ".partial" + std::to_string(attempt);
        if (fs::create_directory(candidate, ec)) {
            partial = candidate;
        } else if (ec) {
            error = "cannot create folder " + options.folder + ": " + ec.message();
            return ExitFailure;
        }
    }
    if (partial.empty()) {
        error = "cannot create folder " + options.folder + ": too many partial folders beside it";
        return ExitFailure;
    }

    bool built = buildInto(partial, options, failAtFile, error);
    if (built && replaceEmpty && !fs::remove(target, ec)) {
        error = "cannot replace the empty folder " + options.folder + ": " + ec.message();
        built = false;
    }
    if (built) {
        fs::rename(partial, target, ec);
        if (ec) {
            error = "cannot create folder " + options.folder + ": " + ec.message();
            built = false;
        }
    }
    if (!built) {
        std::error_code ignored;
        fs::remove_all(partial, ignored);
        return ExitFailure;
    }
    return ExitSuccess;
}

int runKvrSample(int argc, const char* const* argv, std::FILE* out, std::FILE* errors) {
    SampleOptions options;
    std::string error;
    if (!parseArguments(argc, argv, options, error)) {
        std::fprintf(errors, "kvrsample: %s (%s)\n", error.c_str(), Usage);
        return ExitRefused;
    }
    if (options.help) {
        std::fputs(helpText().c_str(), out);
        return ExitSuccess;
    }
    if (options.version) {
        std::fputs("kvrsample " KVR_VERSION "\n", out);
        return ExitSuccess;
    }
    int status = createSampleFolder(options, error);
    if (status != ExitSuccess) {
        std::fprintf(errors, "kvrsample: %s\n", error.c_str());
        return status;
    }
    std::fprintf(out, "kvrsample: made %s with %" PRIu32 " participants (seed %" PRIu64 ")\n",
                 options.folder.c_str(), options.participants, options.seed);
    return ExitSuccess;
}

} // namespace kvrsample
