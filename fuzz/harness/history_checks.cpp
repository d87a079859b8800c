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

void requireSameStandings(const std::vector<kvr::history::SnapshotStanding>& a,
                          const std::vector<kvr::history::SnapshotStanding>& b) {
    require(a.size() == b.size(), "the same standings");
    for (size_t i = 0; i < a.size(); ++i) {
        const auto &x = a[i], &y = b[i];
        require(x.place == y.place && x.points == y.points && x.code == y.code && x.name == y.name,
                "the same standing");
    }
}

} // namespace

void requireSameSnapshot(const kvr::history::Snapshot& a, const kvr::history::Snapshot& b) {
    require(a.at == b.at, "the same time");
    requireSameStandings(a.standings, b.standings);
    for (size_t n = 0; n < a.records.size(); ++n) {
        require(sameHolder(a.records[n], b.records[n]), "the same record");
    }
    require(a.classes.size() == b.classes.size(), "the same classes");
    for (size_t c = 0; c < a.classes.size(); ++c) {
        require(a.classes[c].name == b.classes[c].name, "the same class");
        requireSameStandings(a.classes[c].standings, b.classes[c].standings);
    }
}

void requireSameEntrants(const kvr::history::Snapshot& a, const kvr::history::Snapshot& b) {
    require(a.entrantsHeld == b.entrantsHeld && a.entered == b.entered && a.gone == b.gone,
            "the same entrants");
}

} // namespace kvrfuzz
