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

std::string decisionBlock(const Decision& decision) {
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
    return block + std::string(K::Reason) + " = " + tomlString(decision.reason) +
           " # say why, in your own words\n";
}

std::string reviewItemText(const RankingModel& model, const ReviewItem& item) {
    const RankedParticipant& p = participant(model, item.participantIndex);
    if (item.kind == ReviewKind::Outlier) {
        const Outlier& outlier = model.checks.outliers[item.check];
        return item.event->title() + ": " + formatTime(outlier.time) + " by " + driverText(p) +
               " in " + p.file + ", an outlier (place 2: " + formatTime(outlier.secondTime) + ")";
    }
    if (item.kind == ReviewKind::Implausible) {
        return p.file + ": " + driverText(p) +
               ", implausible: " + implausibleWhat(model.checks.implausible[item.check]);
    }
    return p.file + ": " + driverText(p) + " again, as in " +
           participant(model, item.keptIndex).file;
}

std::string reviewListing(const RankingModel& model) {
    const std::vector<ReviewItem>& items = model.checks.underReview;
    if (items.empty()) {
        return "# Nothing under review: every flagged result has a decision.\n";
    }
    std::string text =
        "# Under review: " + countText(items.size(), "flagged result", "flagged results") +
        " that no decision covers, each counting until you decide.\n"
        "# To decide one, paste its block into the league file.\n";
    for (const ReviewItem& item : items) {
        // A name with a line end would end the comment: control characters are shown as '?'.
        text += "\n# " + safeText(reviewItemText(model, item)) + "\n" + decisionBlock(item.ready);
    }
    return text;
}

} // namespace kvr
