#include "report/ranking_model.h"

#include "data/text.h"

#include <algorithm>
#include <cstdio>

namespace kvr {

int compareRankingItems(const RankingItem& a, const RankingItem& b) {
    if (a.key < b.key) {
        return -1;
    }
    return a.key > b.key ? 1 : 0;
}

size_t selectLeadingItems(RankingItem* items, size_t count, size_t limit) {
    size_t shown = std::min(limit, count);
    std::partial_sort(items, items + shown, items + count, rankingItemPrecedes);
    return shown;
}

size_t writeTime(char* out, uint32_t hundredths) {
    // Written digit by digit: the CSV grid shows millions of times.
    char digits[16];
    size_t n = 0;
    uint32_t minutes = hundredths / 6000u;
    do {
        digits[n++] = static_cast<char>('0' + minutes % 10u);
        minutes /= 10u;
    } while (minutes > 0);
    if (n < 2) {
        digits[n++] = '0';
    }
    size_t length = 0;
    while (n > 0) {
        out[length++] = digits[--n];
    }
    uint32_t seconds = (hundredths % 6000u) / 100u;
    uint32_t rest = hundredths % 100u;
    out[length++] = ':';
    out[length++] = static_cast<char>('0' + seconds / 10u);
    out[length++] = static_cast<char>('0' + seconds % 10u);
    out[length++] = '.';
    out[length++] = static_cast<char>('0' + rest / 10u);
    out[length++] = static_cast<char>('0' + rest % 10u);
    return length;
}

void appendTime(std::string& out, uint32_t hundredths) {
    char text[TimeTextCapacity];
    out.append(text, writeTime(text, hundredths));
}

std::string formatTime(uint32_t hundredths) {
    std::string text;
    appendTime(text, hundredths);
    return text;
}

std::string formatDate(const RankedParticipant& participant) {
    char text[48];
    int length = std::snprintf(text, sizeof text, "%04d-%02d-%02d", participant.year,
                               participant.month, participant.day);
    return std::string(text, static_cast<size_t>(length));
}

std::string eventKey(int rally, int event) {
    if (rally < 0) {
        return "arcade-" + std::to_string(event + 1);
    }
    return "rally-" + std::to_string(rally + 1) + "-stage-" + std::to_string(event + 1);
}

std::string eventTitle(int rally, int event) {
    if (rally < 0) {
        return std::string("Arcade ") + arcadeNames[event];
    }
    return std::string(rallyNames[rally]) + " " + std::to_string(event + 1);
}

std::string formatIsoTime(const ReportTime& t) {
    char text[64];
    std::snprintf(text, sizeof text, "%04d-%02d-%02dT%02d:%02d:%02d", t.year, t.month, t.day,
                  t.hour, t.minute, t.second);
    return text;
}

namespace {

uint32_t shownTime(const ResultEntry& result) {
    return result.time != 0 ? result.time - 1u : NoTime;
}

} // namespace

uint32_t RankedParticipant::stageTime(int slot) const {
    const int rally = slot / StageSlotsPerRally;
    if (record == nullptr || slot < 0 || rally >= RallyCount ||
        slot % StageSlotsPerRally >= stageCounts[rally]) {
        return NoTime;
    }
    return shownTime(record->stageResults[slot]);
}

uint32_t RankedParticipant::arcadeTime(int event) const {
    if (record == nullptr || event < 0 || event >= ArcadeEventCount) {
        return NoTime;
    }
    return shownTime(record->arcadeResults[event]);
}

namespace {

RankedParticipant describe(const ParticipantRecord& p, std::string&& file) {
    RankedParticipant r;
    r.file = std::move(file);
    r.record = &p;
    r.code.assign(p.code, codeLength(p.code));
    r.name.assign(p.name, nameLength(p.name));
    r.year = dateYear(p.date);
    r.month = dateMonth(p.date);
    r.day = dateDay(p.date);
    return r;
}

class ModelBuilder {
  public:
    ModelBuilder(const ParticipantRecord* participants, RankingModel& model)
        : participants_(participants), model_(model), items_(model.participants.size()) {}

    void listings() {
        for (int r = 0; r < RallyCount; ++r) {
            for (int s = 0; s < stageCounts[r]; ++s) {
                int slot = stageSlot(r, s);
                listing(model_.stages, r, s,
                        [slot](const ParticipantRecord& p) { return p.stageResults[slot]; });
            }
        }
        for (int a = 0; a < ArcadeEventCount; ++a) {
            listing(model_.arcade, -1, a,
                    [a](const ParticipantRecord& p) { return p.arcadeResults[a]; });
        }
    }

    // Most points first; equal totals in participant order; no line for a total of 0.
    void standings() {
        for (size_t i = 0; i < items_.size(); ++i) {
            items_[i] = {65535u - static_cast<uint32_t>(model_.participants[i].points),
                         static_cast<int32_t>(i), 0};
        }
        std::sort(items_.begin(), items_.end(), rankingItemPrecedes);
        for (size_t p = 0; p < items_.size() && items_[p].key != 65535u; ++p) {
            int32_t index = items_[p].participantIndex;
            RankedParticipant& participant = model_.participants[static_cast<size_t>(index)];
            participant.place = static_cast<int32_t>(p + 1);
            model_.standings.push_back({participant.place, index, participant.points});
        }
    }

    // Every driver's place in the field of each event. A driver's place is one plus the number
    // of results that precede theirs, so each event's driver times are sorted once, and one
    // pass over the field counts, by binary search, the driver times each result precedes.
    void drivers() {
        const size_t count = model_.standings.size();
        model_.drivers.assign(count, DriverSummary{});
        for (size_t d = 0; d < count; ++d) {
            model_.drivers[d].participantIndex = model_.standings[d].participantIndex;
        }
        if (count == 0) {
            return;
        }
        std::vector<EventField> fields;
        fields.reserve(static_cast<size_t>(StageCount + ArcadeEventCount));
        for (int r = 0; r < RallyCount; ++r) {
            for (int s = 0; s < stageCounts[r]; ++s) {
                fields.push_back(eventField(r, s));
            }
        }
        for (int a = 0; a < ArcadeEventCount; ++a) {
            fields.push_back(eventField(-1, a));
        }

        // Participant by participant, so that each record is read once, front to back.
        for (size_t i = 0; i < model_.participants.size(); ++i) {
            const ParticipantRecord& p = participants_[i];
            for (EventField& f : fields) {
                ResultEntry result = f.resultOf(p);
                if (result.time == 0) {
                    continue;
                }
                uint32_t shown = result.time - 1u;
                ++f.field;
                f.best = std::min(f.best, shown);
                uint64_t key = fieldKey(shown, i);
                if (f.keys.empty() || key >= f.keys.back()) {
                    continue; // precedes no driver of the event
                }
                auto ahead = std::upper_bound(f.keys.begin(), f.keys.end(), key);
                ++f.preceding[static_cast<size_t>(ahead - f.keys.begin())];
            }
        }

        for (const EventField& f : fields) {
            int32_t ahead = 0;
            for (size_t j = 0; j < f.keys.size(); ++j) {
                ahead += f.preceding[j];
                DriverResult result{f.rally, f.event,   static_cast<uint32_t>(f.keys[j] >> 32),
                                    0,       ahead + 1, f.field,
                                    0};
                result.gap = result.time - f.best;
                if (result.placeInField <= listingLimit) {
                    result.points = placePoints[result.placeInField - 1];
                }
                DriverSummary& driver = model_.drivers[f.drivers[j]];
                driver.wins += result.placeInField == 1 ? 1 : 0;
                driver.podiums += result.placeInField <= 3 ? 1 : 0;
                driver.timeToGain += result.gap;
                (f.rally < 0 ? driver.arcadePoints : driver.rallyPoints[f.rally]) += result.points;
                driver.results.push_back(result);
            }
        }
    }

    // Duplicates by the code and name as the exports show them; outliers from the listings.
    void checks() {
        std::vector<std::pair<uint64_t, int32_t>> byName(model_.participants.size());
        for (size_t i = 0; i < byName.size(); ++i) {
            byName[i] = {textHash(shownCodeAndName(i)), static_cast<int32_t>(i)};
        }
        std::sort(byName.begin(), byName.end());
        for (size_t run = 0; run < byName.size();) {
            size_t end = run + 1;
            while (end < byName.size() && byName[end].first == byName[run].first) {
                ++end;
            }
            if (end - run > 1) {
                duplicateGroups(byName, run, end);
            }
            run = end;
        }
        std::vector<std::vector<int32_t>>& groups = model_.checks.duplicates;
        std::sort(groups.begin(), groups.end(),
                  [](const auto& a, const auto& b) { return a.front() < b.front(); });

        for (const std::vector<EventListing>* listings : {&model_.stages, &model_.arcade}) {
            for (const EventListing& listed : *listings) {
                if (listed.results.size() < 2) {
                    continue;
                }
                const ListedResult& first = listed.results[0];
                const ListedResult& second = listed.results[1];
                if (5u * uint64_t{first.time} < 4u * uint64_t{second.time}) {
                    model_.checks.outliers.push_back({listed.rally, listed.event,
                                                      first.participantIndex, first.time,
                                                      second.time});
                }
            }
        }
    }

  private:
    // One event's drivers: their sort keys in the listings' order, and who they are.
    struct EventField {
        int rally;
        int event;
        int slot; // the stage slot, or the arcade event
        std::vector<uint64_t> keys;
        std::vector<size_t> drivers;    // the driver (index into the standings) of each key
        std::vector<int32_t> preceding; // results whose first later driver key is this one
        uint32_t best = NoTime;
        int32_t field = 0;

        ResultEntry resultOf(const ParticipantRecord& p) const {
            return rally < 0 ? p.arcadeResults[slot] : p.stageResults[slot];
        }
    };

    // Groups the participants of byName[run, end), whose hashes are equal, by the text itself:
    // almost always one group.
    void duplicateGroups(const std::vector<std::pair<uint64_t, int32_t>>& byName, size_t run,
                         size_t end) {
        std::vector<std::pair<std::string, int32_t>> same;
        for (size_t k = run; k < end; ++k) {
            same.emplace_back(shownCodeAndName(static_cast<size_t>(byName[k].second)),
                              byName[k].second);
        }
        std::stable_sort(same.begin(), same.end(),
                         [](const auto& a, const auto& b) { return a.first < b.first; });
        for (size_t k = 0; k < same.size();) {
            size_t last = k + 1;
            while (last < same.size() && same[last].first == same[k].first) {
                ++last;
            }
            if (last - k > 1) {
                std::vector<int32_t> group;
                for (size_t m = k; m < last; ++m) {
                    group.push_back(same[m].second);
                }
                model_.checks.duplicates.push_back(std::move(group));
            }
            k = last;
        }
    }

    // Shown time, then participant order: the listings' order as one number.
    static uint64_t fieldKey(uint32_t shown, size_t participant) {
        return uint64_t{shown} << 32 | participant;
    }

    EventField eventField(int rally, int event) const {
        EventField f{rally,  event, rally < 0 ? event : stageSlot(rally, event), {}, {}, {},
                     NoTime, 0};
        std::vector<std::pair<uint64_t, size_t>> keyed;
        for (size_t d = 0; d < model_.standings.size(); ++d) {
            auto participant = static_cast<size_t>(model_.standings[d].participantIndex);
            ResultEntry result = f.resultOf(participants_[participant]);
            if (result.time != 0) {
                keyed.emplace_back(fieldKey(result.time - 1u, participant), d);
            }
        }
        std::sort(keyed.begin(), keyed.end());
        for (const auto& k : keyed) {
            f.keys.push_back(k.first);
            f.drivers.push_back(k.second);
        }
        f.preceding.assign(f.keys.size(), 0);
        return f;
    }

    std::string shownCodeAndName(size_t participant) const {
        const RankedParticipant& p = model_.participants[participant];
        return windows1252ToUtf8(p.code) + '\0' + windows1252ToUtf8(p.name);
    }

    // FNV-1a, 64 bits.
    static uint64_t textHash(const std::string& text) {
        uint64_t hash = 14695981039346656037u;
        for (char c : text) {
            hash = (hash ^ static_cast<unsigned char>(c)) * 1099511628211u;
        }
        return hash;
    }

    // One pass collects the event's results into the sort buffer in participant order; the
    // leading ten are then sorted into place.
    template <typename ResultOf>
    void listing(std::vector<EventListing>& into, int rally, int event, ResultOf resultOf) {
        size_t n = 0;
        for (size_t i = 0; i < items_.size(); ++i) {
            ResultEntry result = resultOf(participants_[i]);
            if (result.time != 0) {
                items_[n++] = {result.time - 1u, static_cast<int32_t>(i), result.vehicle};
            }
        }
        if (n == 0) {
            return;
        }
        size_t shown = selectLeadingItems(items_.data(), n, listingLimit);
        EventListing listed{rally, event, {}};
        listed.results.reserve(shown);
        for (size_t k = 0; k < shown; ++k) {
            const RankingItem& item = items_[k];
            listed.results.push_back({item.participantIndex, static_cast<uint8_t>(item.vehicle),
                                      item.key, item.key - items_[0].key, placePoints[k]});
            model_.participants[static_cast<size_t>(item.participantIndex)].points +=
                placePoints[k];
        }
        into.push_back(std::move(listed));
    }

    const ParticipantRecord* participants_;
    RankingModel& model_;
    std::vector<RankingItem> items_; // the one sort buffer, reused by every listing
};

} // namespace

RankingModel computeRankingModel(const ParticipantRecord* participants, int32_t count,
                                 std::vector<std::string> fileNames, const ReportTime& time) {
    RankingModel model;
    model.time = time;
    size_t size = count > 0 ? static_cast<size_t>(count) : 0;
    model.participants.reserve(size);
    for (size_t i = 0; i < size; ++i) {
        model.participants.push_back(describe(
            participants[i], i < fileNames.size() ? std::move(fileNames[i]) : std::string()));
    }
    ModelBuilder builder(participants, model);
    builder.listings();
    builder.standings();
    builder.drivers();
    builder.checks();
    return model;
}

} // namespace kvr
