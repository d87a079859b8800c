#include "harness/history_checks.h"

#include "fuzz_check.h"

#include <optional>

namespace kvrfuzz {

namespace {

bool sameHolder(const std::optional<kvr::RecordHolder>& a,
                const std::optional<kvr::RecordHolder>& b) {
    return a.has_value() == b.has_value() &&
           (!a || (a->hundredths == b->hundredths && a->code == b->code && a->name == b->name));
}

} // namespace

void requireSameSnapshot(const kvr::history::Snapshot& a, const kvr::history::Snapshot& b) {
    require(a.at == b.at, "the same time");
    require(a.standings.size() == b.standings.size(), "the same standings");
    for (size_t i = 0; i < a.standings.size(); ++i) {
        const auto &x = a.standings[i], &y = b.standings[i];
        require(x.place == y.place && x.points == y.points && x.code == y.code && x.name == y.name,
                "the same standing");
    }
    for (size_t n = 0; n < a.records.size(); ++n) {
        require(sameHolder(a.records[n], b.records[n]), "the same record");
    }
}

} // namespace kvrfuzz
