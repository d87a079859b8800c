#include "harness/participant_input.h"

#include "data/little_endian.h"

#include <algorithm>
#include <cstddef>

namespace kvrfuzz {

using namespace kvr;

namespace {

constexpr size_t SlotCount = StageSlotCount + ArcadeSlotCount;
constexpr size_t MostInField = 15; // the low four bits of a length or count

size_t resultOffset(size_t slot) {
    return slot < StageSlotCount ? StageResultsOffset + slot * ResultEntrySize
                                 : ArcadeResultsOffset + (slot - StageSlotCount) * ResultEntrySize;
}

// Reads the input front to back; past its end every byte is zero.
class Reader {
  public:
    Reader(const uint8_t* data, size_t size) : data_(data), size_(size) {}
    bool atEnd() const { return at_ >= size_; }
    uint8_t byte() {
        const uint8_t value = at_ < size_ ? data_[at_] : 0;
        ++at_;
        return value;
    }
    void copy(uint8_t* out, size_t count) {
        for (size_t i = 0; i < count; ++i) {
            out[i] = byte();
        }
    }

  private:
    const uint8_t* data_;
    size_t size_;
    size_t at_ = 0;
};

} // namespace

ParticipantInput readParticipantInput(const uint8_t* data, size_t size) {
    ParticipantInput input;
    Reader in(data, size);
    while (!in.atEnd()) {
        std::vector<uint8_t> image(ParticipantFileSize, 0);
        in.copy(&image[CodeOffset], CodeSize);
        in.copy(&image[DateOffset], DateSize);
        in.copy(&image[NameOffset], in.byte() % (NameSize + 1));
        std::string fileName(in.byte() & MostInField, '\0');
        for (char& c : fileName) {
            c = static_cast<char>(in.byte());
        }
        for (size_t n = in.byte() & MostInField; n > 0; --n) {
            uint8_t* entry = &image[resultOffset(in.byte() % SlotCount)];
            entry[0] = in.byte();
            in.copy(entry + 4, 4);
        }
        input.files.push_back(std::move(image));
        input.fileNames.push_back(std::move(fileName));
    }
    return input;
}

void writeParticipantInput(std::vector<uint8_t>& input, const ParticipantRecord& record,
                           const std::string& fileName) {
    input.insert(input.end(), record.code, record.code + CodeSize);
    input.insert(input.end(), record.date, record.date + DateSize);
    size_t nameLength = NameSize;
    while (nameLength > 0 && record.name[nameLength - 1] == '\0') {
        --nameLength;
    }
    input.push_back(static_cast<uint8_t>(nameLength));
    input.insert(input.end(), record.name, record.name + nameLength);
    const size_t fileNameLength = std::min(fileName.size(), MostInField);
    input.push_back(static_cast<uint8_t>(fileNameLength));
    input.insert(input.end(), fileName.begin(),
                 fileName.begin() + static_cast<std::ptrdiff_t>(fileNameLength));
    std::vector<uint8_t> results;
    size_t count = 0;
    for (size_t slot = 0; slot < SlotCount && count < MostInField; ++slot) {
        const ResultEntry& result = slot < StageSlotCount
                                        ? record.stageResults[slot]
                                        : record.arcadeResults[slot - StageSlotCount];
        if (result.time != 0) {
            uint8_t time[4];
            storeU32LE(time, result.time);
            results.push_back(static_cast<uint8_t>(slot));
            results.push_back(result.vehicle);
            results.insert(results.end(), time, time + 4);
            ++count;
        }
    }
    input.push_back(static_cast<uint8_t>(count));
    input.insert(input.end(), results.begin(), results.end());
}

} // namespace kvrfuzz
