// Builds participant file images for tests: any field, any slot, junk, any length.
#pragma once

#include "data/participant.h"

#include <cstdint>
#include <string>
#include <vector>

namespace kvrtest {

class ParticipantFileBuilder {
  public:
    ParticipantFileBuilder();

    // Writes the text and NUL-pads the rest of the field (a full-width text has no NUL).
    ParticipantFileBuilder& code(const std::string& text);
    ParticipantFileBuilder& name(const std::string& text);
    ParticipantFileBuilder& date(uint8_t year, uint8_t month, uint8_t day, uint8_t extra = 0);
    ParticipantFileBuilder& stageSlot(int slot, uint8_t vehicle, uint32_t time);
    ParticipantFileBuilder& stage(int rally, int stage, uint8_t vehicle, uint32_t time);
    ParticipantFileBuilder& arcade(int event, uint8_t vehicle, uint32_t time);
    // Fills the file's ignored byte ranges with pseudo-random bytes from `seed`.
    ParticipantFileBuilder& junk(uint32_t seed);
    // Truncates or extends (with `fill`) the image to `size` bytes.
    ParticipantFileBuilder& resize(size_t size, uint8_t fill = 0xA5);

    const std::vector<uint8_t>& bytes() const { return bytes_; }
    // The record the image decodes to.
    kvr::ParticipantRecord record() const;

  private:
    void text(size_t offset, size_t width, const std::string& text);
    void result(size_t offset, uint8_t vehicle, uint32_t time);
    std::vector<uint8_t> bytes_;
};

} // namespace kvrtest
