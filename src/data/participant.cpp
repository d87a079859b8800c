#include "data/participant.h"

#include "data/championship_tables.h"
#include "data/little_endian.h"
#include "data/text.h"
#include "platform/fs.h"

#include <cstring>

namespace kvr {

const char* transmissionLabel(uint8_t vehicle) {
    return transmissionLabels[transmissionFlag(vehicle)];
}

const char* vehicleName(uint8_t vehicle) {
    int number = vehicleNumber(vehicle);
    return number < VehicleCount ? vehicleNames[number] : "unknown";
}

static size_t boundedLength(const char* text, size_t width) {
    const void* nul = std::memchr(text, '\0', width);
    size_t length = nul ? static_cast<size_t>(static_cast<const char*>(nul) - text) : width;
    // A field without its NUL shows all but its last byte, the room of the missing NUL.
    return length < width ? length : width - 1;
}

DriverIdentity driverIdentity(const ParticipantRecord& record) {
    return {windows1252ToUtf8(record.code, codeLength(record.code)),
            windows1252ToUtf8(record.name, nameLength(record.name))};
}

size_t codeLength(const char (&code)[CodeSize]) {
    return boundedLength(code, CodeSize);
}
size_t nameLength(const char (&name)[NameSize]) {
    return boundedLength(name, NameSize);
}

static void decodeResults(const uint8_t* bytes, ResultEntry* entries, size_t count) {
    for (size_t i = 0; i < count; ++i) {
        const uint8_t* p = bytes + i * ResultEntrySize;
        entries[i].vehicle = p[0];
        std::memcpy(entries[i].ignored, p + 1, sizeof entries[i].ignored);
        entries[i].time = loadU32LE(p + 4);
    }
}

bool decodeParticipant(const uint8_t* bytes, size_t size, ParticipantRecord& record) {
    if (size < ParticipantFileSize) {
        return false;
    }
    std::memcpy(record.code, bytes + CodeOffset, CodeSize);
    std::memcpy(record.date, bytes + DateOffset, DateSize);
    std::memcpy(record.name, bytes + NameOffset, NameSize);
    decodeResults(bytes + StageResultsOffset, record.stageResults, StageSlotCount);
    decodeResults(bytes + ArcadeResultsOffset, record.arcadeResults, ArcadeSlotCount);
    return true;
}

platform::Status readParticipantFile(platform::Env& env, const char* path,
                                     ParticipantRecord& record) {
    uint8_t buffer[ParticipantFileSize];
    size_t delivered = 0;
    platform::Status status = platform::readShared(env, path, buffer, sizeof buffer, delivered);
    if (!status) {
        return status;
    }
    if (!decodeParticipant(buffer, delivered, record)) {
        return platform::Status::failure(platform::StatusKind::BadInput,
                                         platform::tooShort(delivered, ParticipantFileSize));
    }
    return status;
}

} // namespace kvr
