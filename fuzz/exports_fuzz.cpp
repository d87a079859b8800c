// Fuzz target: the exports of a ranking. The first byte picks the export an input checks (the
// page, the JSON, the CSV or the chat post), so that each run renders one and a run stays short;
// the rest is a compact list of participants, their file names and a few results each
// (harness/participant_input.h). Every export must be UTF-8 whatever bytes the names hold, and
// the JSON must parse.
#include "fuzz_check.h"
#include "harness/participant_input.h"
#include "harness/text_checks.h"
#include "under_test.h"

#include "report/ranking_post.h"

#include <cstdint>
#include <string>
#include <vector>

using namespace kvr;
using kvrfuzz::Export;
using kvrfuzz::require;

extern "C" int LLVMFuzzerTestOneInput(const uint8_t* data, size_t size) {
    if (size == 0) {
        return 0;
    }
    const auto which = static_cast<Export>(data[0] % 4);
    kvrfuzz::ParticipantInput input = kvrfuzz::readParticipantInput(data + 1, size - 1);
    std::vector<ParticipantRecord> participants(input.files.size());
    for (size_t i = 0; i < participants.size(); ++i) {
        require(decodeParticipant(input.files[i].data(), input.files[i].size(), participants[i]),
                "a whole file decodes");
    }
    const RankingModel model =
        kvrfuzz::rankingOf(participants, std::move(input.fileNames), {2026, 12, 7, 20, 30, 5});
    const std::string text = kvrfuzz::exportOf(model, which);
    require(kvrfuzz::isUtf8(text), "an export is valid UTF-8");
    if (which == Export::Json) {
        require(kvrfuzz::jsonObjectKeys(text).has_value(), "the JSON is one object");
    }
    if (which == Export::Post) {
        require(kvrfuzz::postMessagesFit(text, PostMessageLimit), "each message fits a chat");
    }
    return 0;
}
