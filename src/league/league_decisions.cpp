// The [[decision]] tables: the organiser's decisions on the imported files.
#include "league/league_checker.h"

#include "data/events.h"

#include <algorithm>
#include <cmath>
#include <tuple>

namespace kvr {

using K = DecisionKeys;

void LeagueChecker::decision(const toml::table& table, const LeagueTable& spec) {
    Decision added;
    // The action first: it says which other fields belong.
    std::optional<DecisionAction> action;
    if (const toml::node* node = table.get(K::Action)) {
        const auto* text = node->as_string();
        std::string names; // "\"exclude-file\", ... or \"add-points\""
        for (const DecisionActionInfo& info : decisionActions()) {
            if (text != nullptr && text->get() == info.name) {
                action = info.action;
            }
            const bool last = &info == &decisionActions().back();
            names += (names.empty() ? "" : last ? " or " : ", ") + quoted(info.name);
        }
        if (!action) {
            problem(node->source(), "\"action\" in [[decision]] must be " + names);
            return;
        }
        added.action = *action;
    } else {
        problem(table.source(), "a [[decision]] needs an action");
        return;
    }
    const std::vector<std::string_view>& fields = decisionActionInfo(added.action).fields;
    const std::string actionName = quoted(decisionActionName(added.action));
    for (auto&& [key, node] : table) {
        const std::string_view k = key.str();
        if (k == K::Action || !known(spec, key, node)) {
            continue;
        }
        if (k == K::Date) {
            decisionDate(node, added);
        } else if (k == K::Reason) {
            const auto* text = node.as_string();
            if (text == nullptr) {
                problem(node.source(), "\"reason\" in [[decision]] must be a text in quotes");
            } else if (text->get().find_first_not_of(" \t") == std::string::npos) {
                problem(node.source(), "the reason of a [[decision]] is empty");
            } else {
                added.reason = text->get();
            }
        } else if (std::find(fields.begin(), fields.end(), k) != fields.end()) {
            decisionField(key, node, added);
        } else if (k == K::Class && added.action == DecisionAction::AddPoints) {
            const auto* text = node.as_string();
            if (text == nullptr || text->get().empty()) {
                problem(node.source(), "\"class\" in [[decision]] must be the name of a "
                                       "[[class]] in quotes");
            } else {
                added.className = text->get();
                classNamed_.emplace_back(added.className, node.source());
            }
        } else {
            // A key of [[decision]], but of another action.
            problem(key.source(), quoted(k) + " does not go with the action " + actionName);
        }
    }
    for (std::string_view needed : {K::Date, K::Reason}) {
        if (!table.contains(needed)) {
            problem(table.source(), "a [[decision]] needs a " + std::string(needed));
        }
    }
    for (std::string_view needed : fields) {
        if (!table.contains(needed)) {
            problem(table.source(),
                    "a [[decision]] with the action " + actionName + " needs " + quoted(needed));
        }
    }
    league_.rules.decisions.push_back(std::move(added));
}

void LeagueChecker::decisionDate(const toml::node& node, Decision& added) {
    const auto* date = node.as_date();
    if (date == nullptr) {
        problem(node.source(), "\"date\" in [[decision]] must be a date such as 2026-12-01, "
                               "without quotes");
        return;
    }
    added.year = date->get().year;
    added.month = date->get().month;
    added.day = date->get().day;
    // A decision is taken before the run that applies it: a later date is a slip.
    if (today_.year != 0 && std::tie(added.year, added.month, added.day) >
                                std::tie(today_.year, today_.month, today_.day)) {
        problem(node.source(),
                "\"date\" in [[decision]] is " + formatDate(added.year, added.month, added.day) +
                    ", after today (" + formatDate(today_.year, today_.month, today_.day) + ")");
    }
}

void LeagueChecker::decisionField(const toml::key& key, const toml::node& node, Decision& added) {
    const std::string_view k = key.str();
    if (k == K::Seconds) {
        std::optional<double> value;
        if (const auto* real = node.as_floating_point()) {
            value = real->get();
        } else if (const auto* whole = node.as_integer()) {
            value = static_cast<double>(whole->get());
        }
        const double hundredths = value ? *value * 100.0 : 0.0;
        if (!value || !(hundredths >= 0.5 && hundredths <= 360000.5) ||
            std::fabs(hundredths - std::round(hundredths)) > 1e-6) {
            std::string shown = written(node);
            if (!shown.empty()) {
                shown = !value                  ? ": " + shown + " is not a number"
                        : hundredths < 0.5      ? ": " + shown + " is below 0.01"
                        : hundredths > 360000.5 ? ": " + shown + " is above 3600"
                                                : ": " + shown + " is finer than hundredths";
            }
            problem(node.source(), "\"seconds\" in [[decision]] must be a number from 0.01 "
                                   "to 3600, in hundredths" +
                                       shown);
        } else {
            added.hundredths = static_cast<uint32_t>(std::lround(hundredths));
        }
        return;
    }
    if (k == K::Points) {
        std::optional<int> points = wholeNumber(node, -1000, 1000);
        if (!points || *points == 0) {
            const std::string fault = numberFault(node, -1000, 1000);
            problem(node.source(), "\"points\" in [[decision]] must be a whole number from "
                                   "-1000 to 1000, not 0" +
                                       (fault.empty() ? ": 0 changes nothing" : fault));
        } else {
            added.points = *points;
        }
        return;
    }
    const auto* text = node.as_string();
    if (text == nullptr) {
        problem(node.source(), quoted(k) + " in [[decision]] must be a text in quotes");
        return;
    }
    const std::string& value = text->get();
    if (value.empty() && k != K::Name) {
        problem(node.source(), "the " + std::string(k) + " of a [[decision]] is empty");
    } else if (k == K::File) {
        added.file = value;
    } else if (k == K::Code) {
        added.code = value;
    } else if (k == K::Name) {
        added.name = value;
    } else if (k == K::Event) {
        added.event = eventOfKey(value);
        for (const Event& event : allEvents()) {
            added.event =
                added.event == nullptr && sameLetters(value, event.title()) ? &event : added.event;
        }
        if (added.event == nullptr) {
            problem(node.source(), "no event is named " + quoted(value) +
                                       ": write it as the page does (\"Finland 2\") or "
                                       "as its key (\"rally-1-stage-2\")");
        }
    }
}

} // namespace kvr
