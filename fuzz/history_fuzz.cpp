// Fuzz target: a history file of any bytes, read line by line. The fast reader and the general
// parser must read every line alike (a leading space keeps a line from the fast reader), and
// this run's line, appended to the history, must read back as its last run. What the season
// makes of the history, and how it is shown, is the season target's (season_fuzz.cpp).
#include "fuzz_check.h"
#include "harness/history_checks.h"
#include "harness/history_run.h"
#include "under_test.h"

#include "history/snapshot.h"

#include <algorithm>
#include <cstdint>
#include <optional>
#include <set>
#include <string>
#include <string_view>

using namespace kvr;
using kvrfuzz::require;

namespace {

void checkReadersAgree(std::string_view line) {
    std::optional<history::Snapshot> read = history::parseSnapshot(line);
    std::optional<history::Snapshot> general = history::parseSnapshot(" " + std::string(line));
    require(read.has_value() == general.has_value(), "both readers take the same lines");
    if (read) {
        kvrfuzz::requireSameSnapshot(*read, *general);
        kvrfuzz::requireSameEntrants(*read, *general);
    }
}

} // namespace

extern "C" int LLVMFuzzerTestOneInput(const uint8_t* data, size_t size) {
    const std::string_view text(reinterpret_cast<const char*>(data), size);
    for (size_t from = 0; from <= text.size();) {
        size_t end = std::min(text.find('\n', from), text.size());
        checkReadersAgree(text.substr(from, end - from));
        from = end + 1;
    }

    // Appended, this run's line is read back as the last run: against it nobody moves and no
    // record is new. The append leaves the lines before the history's last one alone.
    const kvrfuzz::HistoryRun& run = kvrfuzz::historyRun();
    const std::string_view last = text.substr(text.rfind('\n') + 1);
    const size_t lastSnapshots = history::readHistory(last).runs.size();
    const history::HistoryDigest after =
        history::readHistory(std::string(last) + history::textToAppend(text, run.line));
    require(after.runs.size() == lastSnapshots + 1, "the appended line reads as a run");
    kvrfuzz::requireSameSnapshot(after.snapshot(after.runs.size() - 1), run.snapshot);
    // The line names every entrant: they are the last run's, each driver once.
    std::set<DriverIdentity> entrants(run.model.participants.begin(), run.model.participants.end());
    require(after.lastEntrants && after.lastEntrants->size() == entrants.size(),
            "the last run's entrants are this run's");
    const SeasonChanges again = kvrfuzz::seasonOf(after, run.model);
    require(again.hasPrevious && again.newRecords.empty(), "no record is new against itself");
    require(again.movements.size() == run.model.standings.size(), "a move per standing");
    for (size_t i = 0; i < again.movements.size(); ++i) {
        require(again.movements[i].previousPlace == run.model.standings[i].place &&
                    again.movements[i].movement == 0,
                "nobody moves against itself");
    }
    return 0;
}
