// Fuzz target: the participant decoder and every decoding rule, on bytes of any length.
#include "fuzz_check.h"

#include "data/championship_tables.h"
#include "data/participant.h"
#include "records/record_tables.h"

#include <cstdint>
#include <cstring>
#include <memory>

using namespace kvr;
using kvrfuzz::require;

namespace {

// A field's bytes in a heap block of exactly its width, so that a read past the field is
// an AddressSanitizer report rather than a read of the next field.
template <size_t Width> struct FieldCopy {
    explicit FieldCopy(const char* bytes) : block(new char[Width]) {
        std::memcpy(block.get(), bytes, Width);
    }
    const char (&field() const)[Width] {
        return *reinterpret_cast<const char(*)[Width]>(block.get());
    }
    std::unique_ptr<char[]> block;
};

// The shown length: bytes before the first NUL, and never the field's last byte.
size_t shownLength(const char* field, size_t width) {
    size_t n = 0;
    while (n + 1 < width && field[n] != '\0') {
        ++n;
    }
    return n;
}

uint32_t timeAt(const uint8_t* entry) {
    return entry[4] + 256u * entry[5] + 65536u * entry[6] + 16777216u * entry[7];
}

void checkResult(const ResultEntry& result, const uint8_t* image, const char (&code)[CodeSize]) {
    require(result.vehicle == image[0], "vehicle byte copied");
    require(std::memcmp(result.ignored, image + 1, 3) == 0, "ignored bytes copied");
    require(result.time == timeAt(image), "time little-endian");
    require(hasResult(result) == (result.time != 0), "a result is a non-zero time");

    const char* vehicle = vehicleName(result.vehicle);
    require(vehicle != nullptr && std::strlen(vehicle) <= 32, "vehicle name fits its column");
    require((std::strcmp(vehicle, "unknown") == 0) == ((result.vehicle & 0x3F) >= VehicleCount),
            "unknown exactly beyond the vehicle table");
    const char* label = transmissionLabel(result.vehicle);
    require(label != nullptr && std::strlen(label) == 2, "transmission label");

    // The packed entry of this result.
    RecordEntry entry;
    std::memset(entry.bytes, 0xEE, sizeof entry.bytes);
    packRecordEntry(entry, result.vehicle, code, result.time);
    require(entry.bytes[7] == 0xEE, "byte 7 left alone");
    size_t length = shownLength(code, CodeSize);
    require(std::memcmp(entry.bytes, code, length) == 0, "holder code");
    for (size_t i = length; i < CodeSize; ++i) {
        require(entry.bytes[i] == 0, "code padded with NUL");
    }
    if (result.time == 0) {
        require(entry.bytes[4] == 0 && entry.bytes[5] == 0xC0 && entry.bytes[6] == 0x5D,
                "no time: vehicle byte 0 and time field of the empty entry");
        return;
    }
    require((entry.bytes[4] & 0x40) != 0, "a holder's entry has bit 6");
    require((entry.bytes[4] & 0x3F) == (result.vehicle & 0x3F), "vehicle bits 0-5");
    uint32_t stored = (entry.bytes[4] >> 7u) | (uint32_t{entry.bytes[5]} << 1u) |
                      (uint32_t{entry.bytes[6]} << 9u);
    uint32_t expected = result.time < MaximumRecordTime ? result.time : MaximumRecordTime;
    require(stored == expected, "time stored in 17 bits, capped");
}

} // namespace

extern "C" int LLVMFuzzerTestOneInput(const uint8_t* data, size_t size) {
    ParticipantRecord record;
    std::memset(&record, 0x5A, sizeof record);
    const ParticipantRecord untouched = record;
    bool decoded = decodeParticipant(data, size, record);
    require(decoded == (size >= ParticipantFileSize), "decodes exactly from 1616 bytes on");
    if (!decoded) {
        require(std::memcmp(&record, &untouched, sizeof record) == 0, "refused record untouched");
        return 0;
    }

    require(std::memcmp(record.code, data + CodeOffset, CodeSize) == 0, "code copied");
    require(std::memcmp(record.date, data + DateOffset, DateSize) == 0, "date copied");
    require(std::memcmp(record.name, data + NameOffset, NameSize) == 0, "name copied");
    require(dateYear(record.date) >= 1850 && dateYear(record.date) <= 2105, "year range");
    require(dateMonth(record.date) >= 0 && dateMonth(record.date) <= 15, "month range");
    require(dateDay(record.date) >= 0 && dateDay(record.date) <= 31, "day range");

    FieldCopy<CodeSize> code(record.code);
    FieldCopy<NameSize> name(record.name);
    require(codeLength(code.field()) == shownLength(record.code, CodeSize), "code length");
    require(nameLength(name.field()) == shownLength(record.name, NameSize), "name length");

    for (size_t i = 0; i < StageSlotCount; ++i) {
        checkResult(record.stageResults[i], data + StageResultsOffset + i * ResultEntrySize,
                    code.field());
    }
    for (size_t i = 0; i < ArcadeSlotCount; ++i) {
        checkResult(record.arcadeResults[i], data + ArcadeResultsOffset + i * ResultEntrySize,
                    code.field());
    }
    return 0;
}
