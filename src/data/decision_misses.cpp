// Why a decision matched nothing: worked out only for the decisions that did, after all of them
// have acted, from what they left.
#include "data/decisions.h"

#include <algorithm>
#include <cstdint>
#include <limits>

namespace kvr {

namespace {

// The code points of `text`, ASCII letters in lower case; a stray byte counts as one.
std::vector<uint32_t> folded(std::string_view text) {
    std::vector<uint32_t> points;
    for (size_t i = 0; i < text.size();) {
        const auto lead = static_cast<unsigned char>(text[i]);
        const size_t length = lead < 0x80    ? 1
                              : lead >= 0xF0 ? 4
                              : lead >= 0xE0 ? 3
                              : lead >= 0xC0 ? 2
                                             : 1;
        uint32_t point = lead;
        for (size_t k = 1; k < length && i + k < text.size(); ++k) {
            point = point << 8 | static_cast<unsigned char>(text[i + k]);
        }
        points.push_back(point >= 'A' && point <= 'Z' ? point + 32 : point);
        i += length;
    }
    return points;
}

// Close enough to be what was meant: a slip of a key or two, more in a longer text.
bool close(size_t distance, size_t length) {
    return distance <= std::max<size_t>(1, length / 4);
}

std::string_view bareName(std::string_view file) {
    const size_t slash = file.find_last_of("/\\");
    return slash == std::string_view::npos ? file : file.substr(slash + 1);
}

class MissExplainer {
  public:
    MissExplainer(const std::vector<Decision>& decisions, const std::vector<std::string>& files,
                  DecidedField& field)
        : decisions_(decisions), files_(files), field_(field) {}

    void explain() {
        for (size_t d = 0; d < decisions_.size(); ++d) {
            DecisionEffect& effect = field_.effects[d];
            if (!effect.matched) {
                effect.miss = decisions_[d].action == DecisionAction::ExcludeFile
                                  ? fileMiss(decisions_[d])
                                  : driverMiss(decisions_[d]);
            }
        }
    }

  private:
    DecisionMiss fileMiss(const Decision& decision) const {
        DecisionMiss miss;
        const auto at = std::find(files_.begin(), files_.end(), decision.file);
        if (at != files_.end()) {
            miss.reason = DecisionMissReason::Covered;
            miss.coveredBy = field_.excludedBy[static_cast<size_t>(at - files_.begin())];
            return miss;
        }
        miss.reason = DecisionMissReason::NoFile;
        const std::string_view wanted = bareName(decision.file);
        size_t best = std::numeric_limits<size_t>::max();
        for (const std::string& file : files_) {
            const size_t distance = foldedEditDistance(wanted, file);
            if (distance < best) {
                best = distance;
                miss.nearFile = file;
            }
        }
        if (!close(best, folded(wanted).size())) {
            miss.nearFile.clear();
        }
        return miss;
    }

    DecisionMiss driverMiss(const Decision& decision) {
        if (identities_.empty()) {
            identities_.reserve(field_.records.size());
            for (const ParticipantRecord& record : field_.records) {
                identities_.push_back(driverIdentity(record));
            }
        }
        DecisionMiss miss;
        int cover = 0;
        bool named = false;
        for (size_t i = 0; i < identities_.size(); ++i) {
            if (identities_[i].code != decision.code || identities_[i].name != decision.name) {
                continue;
            }
            named = true;
            cover = earliest(cover, coverOf(decision, i));
        }
        if (named) {
            miss.reason =
                cover != 0 ? DecisionMissReason::Covered : DecisionMissReason::TimeMissing;
            miss.coveredBy = cover;
            return miss;
        }
        const bool sameName =
            std::any_of(identities_.begin(), identities_.end(),
                        [&](const DriverIdentity& d) { return d.name == decision.name; });
        miss.reason = sameName ? DecisionMissReason::OtherCode : DecisionMissReason::NoDriver;
        size_t best = std::numeric_limits<size_t>::max();
        const DriverIdentity* nearest = nullptr;
        for (const DriverIdentity& driver : identities_) {
            if (sameName && driver.name != decision.name) {
                continue;
            }
            const size_t distance = foldedEditDistance(decision.name, driver.name) +
                                    foldedEditDistance(decision.code, driver.code);
            if (distance < best) {
                best = distance;
                nearest = &driver;
            }
        }
        const size_t length = folded(decision.name).size() + folded(decision.code).size();
        if (nearest != nullptr && (sameName || close(best, length))) {
            miss.nearCode = nearest->code;
            miss.nearName = nearest->name;
        }
        return miss;
    }

    static int earliest(int a, int b) { return a == 0 || (b != 0 && b < a) ? b : a; }

    // The decision that left participant `i` nothing for `decision` to act on; 0 none.
    int coverOf(const Decision& decision, size_t i) const {
        if (field_.excludedBy[i] != 0) {
            return field_.excludedBy[i];
        }
        if (decision.event == nullptr) {
            return 0;
        }
        for (const ChangedTime& change : field_.changedTimes) {
            if (change.participantIndex == static_cast<int32_t>(i) &&
                change.event == decision.event && change.after == NoTime) {
                return change.decisions.front(); // exclusions act before penalties
            }
        }
        return 0;
    }

    const std::vector<Decision>& decisions_;
    const std::vector<std::string>& files_;
    DecidedField& field_;
    std::vector<DriverIdentity> identities_;
};

} // namespace

size_t foldedEditDistance(std::string_view a, std::string_view b) {
    const std::vector<uint32_t> x = folded(a);
    const std::vector<uint32_t> y = folded(b);
    std::vector<size_t> row(y.size() + 1);
    for (size_t j = 0; j <= y.size(); ++j) {
        row[j] = j;
    }
    for (size_t i = 1; i <= x.size(); ++i) {
        size_t diagonal = row[0];
        row[0] = i;
        for (size_t j = 1; j <= y.size(); ++j) {
            const size_t above = row[j];
            row[j] =
                std::min({row[j] + 1, row[j - 1] + 1, diagonal + (x[i - 1] == y[j - 1] ? 0 : 1)});
            diagonal = above;
        }
    }
    return row[y.size()];
}

void explainMisses(const std::vector<Decision>& decisions, const std::vector<std::string>& files,
                   DecidedField& field) {
    MissExplainer(decisions, files, field).explain();
}

} // namespace kvr
