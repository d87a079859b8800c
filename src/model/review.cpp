#include "model/model_parts.h"

namespace kvr::ranking {

namespace {

Decision readyDecision(const RankingModel& model, DecisionAction action, std::string reason) {
    Decision ready;
    ready.year = model.time.year;
    ready.month = model.time.month;
    ready.day = model.time.day;
    ready.action = action;
    ready.reason = std::move(reason);
    return ready;
}

// The file of a duplicate group that is kept: the shortest name, as copies gain a suffix or a
// prefix ("odo (2).kvr", "again-odo.kvr"); of equal lengths the first.
int32_t keptFile(const RankingModel& model, const std::vector<int32_t>& group) {
    int32_t kept = group.front();
    for (int32_t member : group) {
        if (model.participants[static_cast<size_t>(member)].file.size() <
            model.participants[static_cast<size_t>(kept)].file.size()) {
            kept = member;
        }
    }
    return kept;
}

} // namespace

void buildReview(RankingModel& model) {
    std::vector<ReviewItem>& review = model.checks.underReview;
    for (size_t k = 0; k < model.checks.outliers.size(); ++k) {
        const Outlier& outlier = model.checks.outliers[k];
        if (outlier.decision != 0) {
            continue;
        }
        const RankedParticipant& driver =
            model.participants[static_cast<size_t>(outlier.participantIndex)];
        ReviewItem item;
        item.kind = ReviewKind::Outlier;
        item.event = outlier.event;
        item.check = k;
        item.participantIndex = outlier.participantIndex;
        item.ready = readyDecision(model, DecisionAction::ExcludeTime,
                                   "outlier: " + formatTime(outlier.time) + ", place 2 " +
                                       formatTime(outlier.secondTime));
        item.ready.code = driver.code;
        item.ready.name = driver.name;
        item.ready.event = outlier.event;
        review.push_back(std::move(item));
    }
    for (size_t g = 0; g < model.checks.duplicates.size(); ++g) {
        if (model.checks.duplicateDecisions[g] != 0) {
            continue;
        }
        const std::vector<int32_t>& group = model.checks.duplicates[g];
        const int32_t kept = keptFile(model, group);
        for (int32_t member : group) {
            if (member == kept) {
                continue;
            }
            ReviewItem item;
            item.kind = ReviewKind::Duplicate;
            item.check = g;
            item.participantIndex = member;
            item.keptIndex = kept;
            item.ready =
                readyDecision(model, DecisionAction::ExcludeFile,
                              "a copy of " + model.participants[static_cast<size_t>(kept)].file);
            item.ready.file = model.participants[static_cast<size_t>(member)].file;
            review.push_back(std::move(item));
        }
    }
    for (size_t k = 0; k < model.checks.implausible.size(); ++k) {
        const Implausible& file = model.checks.implausible[k];
        if (file.decision != 0) {
            continue;
        }
        ReviewItem item;
        item.kind = ReviewKind::Implausible;
        item.check = k;
        item.participantIndex = file.participantIndex;
        item.ready = readyDecision(model, DecisionAction::ExcludeFile,
                                   "implausible: " + implausibleWhat(file));
        item.ready.file = model.participants[static_cast<size_t>(file.participantIndex)].file;
        review.push_back(std::move(item));
    }
}

} // namespace kvr::ranking

namespace kvr {

std::string implausibleWhat(const Implausible& file) {
    std::string what = file.controlBytes ? "control bytes in the code or name" : "";
    if (file.event != nullptr) {
        what += (what.empty() ? "" : ", ") + file.event->title() + " in " + formatTime(file.time);
    }
    return what;
}

const ReviewItem* underReviewAt(const RankingModel& model, int32_t participant,
                                const Event& event) {
    for (const ReviewItem& item : model.checks.underReview) {
        if (item.event == &event && item.participantIndex == participant) {
            return &item;
        }
    }
    return nullptr;
}

} // namespace kvr
