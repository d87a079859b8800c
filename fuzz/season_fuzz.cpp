// Fuzz target: the season's changes of a fixed run against a history file of any bytes, shown
// in the page, the JSON or the chat post as the input's first byte picks (one per input keeps a
// run short); the history is the rest. All must stay UTF-8 whatever the history holds, the JSON
// one object with the history in it, and the post's messages within a chat's limit.
#include "fuzz_check.h"
#include "harness/history_run.h"
#include "harness/text_checks.h"
#include "under_test.h"

#include "history/snapshot.h"
#include "report/ranking_post.h"

#include <algorithm>
#include <cstdint>
#include <string>
#include <string_view>

using namespace kvr;
using kvrfuzz::Export;
using kvrfuzz::require;

extern "C" int LLVMFuzzerTestOneInput(const uint8_t* data, size_t size) {
    if (size == 0) {
        return 0;
    }
    const Export which = data[0] % 3 == 0   ? Export::Page
                         : data[0] % 3 == 1 ? Export::Json
                                            : Export::Post;
    const std::string_view text(reinterpret_cast<const char*>(data + 1), size - 1);

    const kvrfuzz::HistoryRun& run = kvrfuzz::historyRun();
    const history::HistoryDigest digest = history::readHistory(text);
    const SeasonChanges season = kvrfuzz::seasonOf(digest, run.model);
    require(season.movements.size() == run.model.standings.size(), "a move per standing");
    require(season.runs == digest.runs.size() + 1, "the runs counted");

    const std::string shown = kvrfuzz::exportOf(run.model, season, which);
    require(kvrfuzz::isUtf8(shown), "the page, the JSON and the post are valid UTF-8");
    if (which == Export::Post) {
        require(kvrfuzz::postMessagesFit(shown, PostMessageLimit), "each message fits a chat");
    }
    if (which == Export::Json) {
        const auto keys = kvrfuzz::jsonObjectKeys(shown);
        require(keys && std::count(keys->begin(), keys->end(), "history") == 1,
                "the JSON is one object, with the history");
    }
    return 0;
}
