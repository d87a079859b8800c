#include "support/random_folder.h"

#include "support/participant_builder.h"

#include "data/championship_tables.h"

#include <random>
#include <string>

namespace kvrtest {

using namespace kvr;

std::vector<ParticipantRecord> randomParticipants(uint32_t seed, const RandomFolderShape& shape) {
    std::mt19937 random(seed);
    auto chance = [&random](unsigned percent) { return random() % 100 < percent; };
    std::vector<ParticipantRecord> participants;
    for (size_t i = 0; i < shape.participants; ++i) {
        std::string code;
        for (size_t n = i;; n = n / 26 - 1) {
            code.insert(code.begin(), static_cast<char>('A' + n % 26));
            if (n < 26) {
                break;
            }
        }
        std::string name = "P" + std::to_string(i) + " ";
        size_t extra = random() % 12;
        for (size_t k = 0; k < extra && name.size() < NameSize - 1; ++k) {
            name += shape.oddNames ? static_cast<char>(1 + random() % 255)
                                   : static_cast<char>('a' + random() % 26);
        }
        ParticipantFileBuilder builder;
        builder.code(code).name(name).date(static_cast<uint8_t>(random()),
                                           static_cast<uint8_t>(random()),
                                           static_cast<uint8_t>(random()));
        auto vehicle = [&random] { return static_cast<uint8_t>(random()); };
        auto time = [&random, &shape] {
            return static_cast<uint32_t>(1 + (random() % shape.distinctTimes) * shape.timeStep);
        };
        for (int slot = 0; slot < static_cast<int>(StageSlotCount); ++slot) {
            if (chance(shape.resultPercent)) {
                builder.stageSlot(slot, vehicle(), time());
            }
        }
        for (int a = 0; a < ArcadeEventCount; ++a) {
            if (chance(shape.resultPercent)) {
                builder.arcade(a, vehicle(), time());
            }
        }
        participants.push_back(builder.record());
    }
    return participants;
}

} // namespace kvrtest
