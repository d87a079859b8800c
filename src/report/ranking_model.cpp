#include "report/ranking_model.h"

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

  private:
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
    return model;
}

} // namespace kvr
