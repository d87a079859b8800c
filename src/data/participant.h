// The participant file (1616 bytes) and its in-memory record.
#pragma once

#include "platform/env.h"
#include "platform/fs.h"

#include <cstddef>
#include <cstdint>
#include <string>
#include <tuple>

namespace kvr {

constexpr size_t ParticipantFileSize = 1616;

// Byte ranges of the participant file that carry meaning; everything else is ignored.
constexpr size_t CodeOffset = 16;
constexpr size_t CodeSize = 4;
constexpr size_t DateOffset = 20;
constexpr size_t DateSize = 4;
constexpr size_t NameOffset = 28;
constexpr size_t NameSize = 44;
constexpr size_t StageResultsOffset = 468;
constexpr size_t StageSlotCount = 96;
constexpr size_t ArcadeResultsOffset = 1344;
constexpr size_t ArcadeSlotCount = 8;
constexpr size_t ResultEntrySize = 8;

// One result: vehicle byte (number in bits 0-5, transmission flag in bit 6),
// three ignored bytes, and the time in hundredths (0 = no result).
struct ResultEntry {
    uint8_t vehicle;
    uint8_t ignored[3];
    uint32_t time;
};

// A shown time in hundredths of a second: the stored time word minus one.
constexpr uint32_t NoTime = 0xFFFFFFFFu; // no result (a stored word can never show as this)

struct ParticipantRecord {
    char code[CodeSize];
    char name[NameSize];
    uint8_t date[DateSize];
    ResultEntry stageResults[StageSlotCount];
    ResultEntry arcadeResults[ArcadeSlotCount];
};

static_assert(sizeof(ResultEntry) == 8, "");
static_assert(sizeof(ParticipantRecord) == 884, "");

// Decoding rules.
inline bool hasResult(const ResultEntry& e) {
    return e.time != 0;
}
inline int vehicleNumber(uint8_t vehicle) {
    return vehicle & 0x3F;
}
inline int transmissionFlag(uint8_t vehicle) {
    return (vehicle >> 6) & 1;
}
const char* transmissionLabel(uint8_t vehicle);
// The vehicle's name, or "unknown" for a number beyond the vehicle table.
const char* vehicleName(uint8_t vehicle);
inline int dateYear(const uint8_t date[DateSize]) {
    return 1850 + date[0];
}
inline int dateMonth(const uint8_t date[DateSize]) {
    return date[1] & 0x0F;
}
inline int dateDay(const uint8_t date[DateSize]) {
    return date[2] & 0x1F;
}
inline int stageSlot(int rally, int stage) {
    return rally * 12 + stage;
}

// Length of a code as shown or stored: up to its NUL, at most three characters.
size_t codeLength(const char (&code)[CodeSize]);
// Length of a name as shown: up to its NUL, at most 43 characters.
size_t nameLength(const char (&name)[NameSize]);

// A driver as the exports show them, and as the runs of a season and the organiser's decisions
// recognise them: the code and the name from the game's code page to UTF-8.
struct DriverIdentity {
    std::string code;
    std::string name;

    friend bool operator==(const DriverIdentity& a, const DriverIdentity& b) {
        return a.code == b.code && a.name == b.name;
    }
    friend bool operator!=(const DriverIdentity& a, const DriverIdentity& b) { return !(a == b); }
    friend bool operator<(const DriverIdentity& a, const DriverIdentity& b) {
        return std::tie(a.code, a.name) < std::tie(b.code, b.name);
    }
};

DriverIdentity driverIdentity(const ParticipantRecord& record);

// Fills `record` from the first 1616 bytes of a participant file image.
// Returns false, leaving `record` untouched, when fewer bytes are given.
bool decodeParticipant(const uint8_t* bytes, size_t size, ParticipantRecord& record);

// Reads the participant file at `path` into `record`. The file must be a regular file of at
// least ParticipantFileSize bytes that no other program holds exclusively; on failure
// `record` is left exactly as it was, and the status says why.
platform::Status readParticipantFile(platform::Env& env, const char* path,
                                     ParticipantRecord& record);

} // namespace kvr
