#include "report/review_text.h"

#include "data/text.h"
#include "model/time_text.h"
#include "report/count_text.h"

#include <cstdio>

namespace kvr {

namespace {

// A TOML basic string: quotes and backslashes escaped, control characters as \uXXXX.
std::string tomlString(const std::string& text) {
    std::string out = "\"";
    for (char c : text) {
        const auto byte = static_cast<unsigned char>(c);
        if (c == '"' || c == '\\') {
            out += '\\';
            out += c;
        } else if (byte < 0x20 || byte == 0x7F) {
            char escaped[8];
            std::snprintf(escaped, sizeof escaped, "\\u%04X", byte);
            out += escaped;
        } else {
            out += c;
        }
    }
    return out + "\"";
}

const RankedParticipant& participant(const RankingModel& model, int32_t index) {
    return model.participants[static_cast<size_t>(index)];
}

std::string driverText(const RankedParticipant& p) {
    return p.name + " (" + p.code + ")";
}

} // namespace

std::string decisionBlock(const Decision& decision, std::string_view ask) {
    using K = DecisionKeys;
    // "key = value" on a line of its own.
    auto line = [](std::string_view key, const std::string& value) {
        return std::string(key) + " = " + value + "\n";
    };
    std::string block = std::string(K::Header) + "\n" +
                        line(K::Date, formatDate(decision.year, decision.month, decision.day)) +
                        line(K::Action, tomlString(decisionActionName(decision.action)));
    for (std::string_view field : decisionActionInfo(decision.action).fields) {
        if (field == K::File) {
            block += line(field, tomlString(decision.file));
        } else if (field == K::Code) {
            block += line(field, tomlString(decision.code));
        } else if (field == K::Name) {
            block += line(field, tomlString(decision.name));
        } else if (field == K::Event && decision.event != nullptr) {
            block += line(field, tomlString(decision.event->title()));
        } else if (field == K::Points) {
            block += line(field, std::to_string(decision.points));
            if (!decision.className.empty()) {
                block += line(K::Class, tomlString(decision.className));
            }
        } else if (field == K::Seconds) {
            std::string seconds = std::to_string(decision.hundredths / 100);
            if (decision.hundredths % 100 != 0) {
                const std::string cents = std::to_string(decision.hundredths % 100);
                seconds += "." + std::string(cents.size() < 2 ? "0" : "") + cents;
            }
            block += line(field, seconds);
        }
    }
    return block + std::string(K::Reason) + " = " + tomlString(decision.reason) + " # " +
           std::string(ask) + "\n";
}

std::string reviewItemText(const RankingModel& model, const ReviewItem& item) {
    return reviewItemText(model, item, Words(DefaultLanguage));
}

std::string implausibleWhat(const Implausible& file, const Words& words) {
    std::string what = file.controlBytes ? std::string(words[Word::ImplausibleControl]) : "";
    if (file.event != nullptr) {
        what += (what.empty() ? "" : ", ") +
                words.say(Word::ImplausibleTimeIn,
                          {{"event", file.event->title()}, {"time", words.time(file.time)}});
    }
    return what;
}

Decision readyDecision(const RankingModel& model, const ReviewItem& item, const Words& words) {
    Decision ready = item.ready;
    switch (item.kind) {
    case ReviewKind::Outlier: {
        const Outlier& outlier = model.checks.outliers[item.check];
        ready.reason = words.say(Word::ReadyOutlier, {{"time", words.time(outlier.time)},
                                                      {"second", words.time(outlier.secondTime)}});
        break;
    }
    case ReviewKind::Duplicate:
        ready.reason =
            words.say(Word::ReadyCopy, {{"file", participant(model, item.keptIndex).file}});
        break;
    case ReviewKind::Implausible:
        ready.reason =
            words.say(Word::ReadyImplausible,
                      {{"what", implausibleWhat(model.checks.implausible[item.check], words)}});
        break;
    }
    return ready;
}

std::string reviewItemText(const RankingModel& model, const ReviewItem& item, const Words& words) {
    const RankedParticipant& p = participant(model, item.participantIndex);
    if (item.kind == ReviewKind::Outlier) {
        const Outlier& outlier = model.checks.outliers[item.check];
        return words.say(Word::ReviewOutlier, {{"event", item.event->title()},
                                               {"time", words.time(outlier.time)},
                                               {"driver", driverText(p)},
                                               {"file", p.file},
                                               {"second", words.time(outlier.secondTime)}});
    }
    if (item.kind == ReviewKind::Implausible) {
        return words.say(Word::ReviewImplausible,
                         {{"file", p.file},
                          {"driver", driverText(p)},
                          {"what", implausibleWhat(model.checks.implausible[item.check], words)}});
    }
    return words.say(Word::ReviewDuplicate, {{"file", p.file},
                                             {"driver", driverText(p)},
                                             {"kept", participant(model, item.keptIndex).file}});
}

std::string reviewListing(const RankingModel& model) {
    const std::vector<ReviewItem>& items = model.checks.underReview;
    const Words words(model.league.language);
    if (items.empty()) {
        return "# " + std::string(words[Word::ReviewNothing]) + "\n";
    }
    std::string text = "# " + words.count(Counted::ReviewFlagged, items.size()) + "\n# " +
                       std::string(words[Word::ReviewPaste]) + "\n";
    for (const ReviewItem& item : items) {
        // A name with a line end would end the comment: control characters are shown as '?'.
        text += "\n# " + safeText(reviewItemText(model, item, words)) + "\n" +
                decisionBlock(readyDecision(model, item, words), words[Word::ReviewAsk]);
    }
    return text;
}

} // namespace kvr
