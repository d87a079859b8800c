// Fuzz target: the core of a run without the disk. The input is cut into 1616-byte participant
// files; the records tables are selected and packed, and ranking.txt is formatted in memory.
// The exports have a target of their own (exports_fuzz.cpp).
#include "fuzz_check.h"
#include "harness/report_checks.h"
#include "under_test.h"

#include "data/participant.h"
#include "records/record_tables.h"

#include <cstdint>
#include <cstring>
#include <string>
#include <vector>

using namespace kvr;
using kvrfuzz::require;

extern "C" int LLVMFuzzerTestOneInput(const uint8_t* data, size_t size) {
    std::vector<ParticipantRecord> participants;
    ParticipantRecord scratch{};
    for (size_t offset = 0; offset < size; offset += ParticipantFileSize) {
        bool decoded = decodeParticipant(data + offset, size - offset, scratch);
        require(decoded == (size - offset >= ParticipantFileSize), "whole files decode");
        if (decoded) {
            participants.push_back(scratch);
        }
    }

    RecordTables tables;
    std::memset(&tables, 0xEE, sizeof tables);
    selectBestTimes(participants.data(), static_cast<int32_t>(participants.size()), tables);
    kvrfuzz::checkRecordTables(tables, participants);

    const std::string report = kvrfuzz::reportOf(participants, {2026, 12, 7, 20, 30, 5});
    kvrfuzz::checkReport(report, participants);
    return 0;
}
