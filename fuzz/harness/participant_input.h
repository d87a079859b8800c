// The exports target's input: participants written compactly, so that a small input holds many
// drivers with a few results each rather than a few 1616-byte files full of results, whose
// exports would be hundreds of KiB. Each participant, until the input ends (bytes past the end
// read as zero):
//   code (4 bytes) and date (4), as a participant file stores them;
//   the name's length (1 byte, modulo 45), then its bytes; the rest of the field is NUL;
//   the file name's length (1 byte, low 4 bits), then its bytes;
//   the result count (1 byte, low 4 bits), then per result its slot (1 byte, modulo 104: the
//   96 stage slots, then the 8 arcade events), vehicle byte (1) and time (4, little-endian).
#pragma once

#include "data/participant.h"

#include <cstddef>
#include <cstdint>
#include <string>
#include <vector>

namespace kvrfuzz {

struct ParticipantInput {
    std::vector<std::vector<uint8_t>> files; // participant file images, 1616 bytes each
    std::vector<std::string> fileNames;      // one per image
};

ParticipantInput readParticipantInput(const uint8_t* data, size_t size);

// Appends `record` and its file name to an input: its name up to the last non-NUL byte, up to
// 15 of its results (the first non-zero times in slot order) and the first 15 bytes of the
// file name.
void writeParticipantInput(std::vector<uint8_t>& input, const kvr::ParticipantRecord& record,
                           const std::string& fileName);

} // namespace kvrfuzz
