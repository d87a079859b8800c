#include "support/participant_builder.h"

#include "data/little_endian.h"

#include <stdexcept>

namespace kvrtest {

using namespace kvr;

ParticipantFileBuilder::ParticipantFileBuilder() : bytes_(ParticipantFileSize, 0) {}

void ParticipantFileBuilder::text(size_t offset, size_t width, const std::string& value) {
    if (value.size() > width) {
        throw std::invalid_argument("text wider than its field");
    }
    for (size_t i = 0; i < width; ++i) {
        bytes_[offset + i] = i < value.size() ? static_cast<uint8_t>(value[i]) : 0;
    }
}

void ParticipantFileBuilder::result(size_t offset, uint8_t vehicle, uint32_t time) {
    bytes_[offset] = vehicle;
    storeU32LE(&bytes_[offset + 4], time);
}

ParticipantFileBuilder& ParticipantFileBuilder::code(const std::string& value) {
    text(CodeOffset, CodeSize, value);
    return *this;
}

ParticipantFileBuilder& ParticipantFileBuilder::name(const std::string& value) {
    text(NameOffset, NameSize, value);
    return *this;
}

ParticipantFileBuilder& ParticipantFileBuilder::date(uint8_t year, uint8_t month, uint8_t day,
                                                     uint8_t extra) {
    bytes_[DateOffset] = year;
    bytes_[DateOffset + 1] = month;
    bytes_[DateOffset + 2] = day;
    bytes_[DateOffset + 3] = extra;
    return *this;
}

ParticipantFileBuilder& ParticipantFileBuilder::stageSlot(int slot, uint8_t vehicle,
                                                          uint32_t time) {
    result(StageResultsOffset + static_cast<size_t>(slot) * ResultEntrySize, vehicle, time);
    return *this;
}

ParticipantFileBuilder& ParticipantFileBuilder::stage(int rally, int stageIndex, uint8_t vehicle,
                                                      uint32_t time) {
    return stageSlot(rally * 12 + stageIndex, vehicle, time);
}

ParticipantFileBuilder& ParticipantFileBuilder::arcade(int event, uint8_t vehicle, uint32_t time) {
    result(ArcadeResultsOffset + static_cast<size_t>(event) * ResultEntrySize, vehicle, time);
    return *this;
}

ParticipantFileBuilder& ParticipantFileBuilder::junk(uint32_t seed) {
    uint32_t state = seed * 2654435761u + 1;
    auto next = [&state] {
        state ^= state << 13;
        state ^= state >> 17;
        state ^= state << 5;
        return static_cast<uint8_t>(state);
    };
    auto fill = [&](size_t from, size_t to) {
        for (size_t i = from; i < to && i < bytes_.size(); ++i) {
            bytes_[i] = next();
        }
    };
    fill(0, 16);
    fill(24, 28);
    fill(72, 468);
    fill(1236, 1344);
    fill(1408, 1616);
    return *this;
}

ParticipantFileBuilder& ParticipantFileBuilder::resize(size_t size, uint8_t fill) {
    bytes_.resize(size, fill);
    return *this;
}

ParticipantRecord ParticipantFileBuilder::record() const {
    ParticipantRecord record{};
    if (!decodeParticipant(bytes_.data(), bytes_.size(), record)) {
        throw std::logic_error("image too short for a record");
    }
    return record;
}

} // namespace kvrtest
