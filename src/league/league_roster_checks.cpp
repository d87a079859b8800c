// The [[driver]] roster and the [[team]]s, and what only the tables together show.
#include "league/league_checker.h"

#include "data/text.h"

#include <algorithm>
#include <map>

namespace kvr {

std::optional<std::string> LeagueChecker::gameText(const toml::node& node, std::string_view key,
                                                   const std::string& in, size_t limit) {
    const auto* text = node.as_string();
    std::string bytes;
    if (text == nullptr) {
        problem(node.source(), quoted(key) + " in " + in + " must be a text in quotes");
        return std::nullopt;
    }
    if (text->get().empty() || !toGameText(text->get(), bytes) || bytes.size() > limit) {
        problem(node.source(), quoted(key) + " in " + in + " must be 1 to " +
                                   std::to_string(limit) +
                                   " letters, digits, spaces or signs of Latin-1");
        return std::nullopt;
    }
    return text->get();
}

std::optional<DriverIdentity> LeagueChecker::identity(const toml::table& table,
                                                      const std::string& in, bool own) {
    DriverIdentity found;
    bool complete = true;
    for (std::string_view needed : {DriverKeys::Code, DriverKeys::Name}) {
        const toml::node* node = table.get(needed);
        std::optional<std::string> value;
        if (node == nullptr) {
            problem(table.source(), "a " + in + " needs a " + std::string(needed));
        } else if (own) {
            value = gameText(*node, needed, in,
                             needed == DriverKeys::Code ? RosterCodeLimit : RosterNameLimit);
        } else if (const auto* text = node->as_string()) {
            value = text->get();
        } else {
            problem(node->source(), quoted(needed) + " in " + in + " must be a text in quotes");
        }
        complete = complete && value.has_value();
        (needed == DriverKeys::Code ? found.code : found.name) = value.value_or(std::string());
    }
    return complete ? std::optional<DriverIdentity>(found) : std::nullopt;
}

void LeagueChecker::driver(const toml::table& table, const LeagueTable& spec) {
    const size_t number = league_.rules.roster.drivers.size();
    RosterDriver added;
    if (std::optional<DriverIdentity> own = identity(table, "[[driver]]", true)) {
        added.identity = *own;
        identities_.push_back({*own, table.source(), number});
    }
    toml::source_region teamAt;
    for (auto&& [key, node] : table) {
        if (key == DriverKeys::Code || key == DriverKeys::Name || !known(spec, key, node)) {
            continue;
        }
        if (key == DriverKeys::Team) {
            const auto* text = node.as_string();
            if (text == nullptr || text->get().find_first_not_of(" \t") == std::string::npos) {
                problem(node.source(), "\"team\" in [[driver]] must be a team's name");
            } else {
                added.team = text->get();
                teamAt = node.source();
            }
        } else if (key == DriverKeys::Also) {
            aliases(node, added, number);
        }
    }
    driverTeamAt_.push_back(teamAt);
    league_.rules.roster.drivers.push_back(std::move(added));
}

void LeagueChecker::aliases(const toml::node& node, RosterDriver& driver, size_t number) {
    const toml::array* list = node.as_array();
    if (list == nullptr) {
        problem(node.source(), "\"also\" in [[driver]] must be a list such as "
                               "[{ code = \"PF\", name = \"Pia Fors\" }]");
        return;
    }
    for (const toml::node& element : *list) {
        const toml::table* alias = element.as_table();
        if (alias == nullptr) {
            problem(element.source(), "each of \"also\" must be { code = \"...\", name = "
                                      "\"...\" }");
            continue;
        }
        for (auto&& [key, value] : *alias) {
            if (key != DriverKeys::Code && key != DriverKeys::Name) {
                unknown(key, value, "[driver].also");
            }
        }
        if (std::optional<DriverIdentity> found = identity(*alias, "\"also\"", false)) {
            driver.also.push_back(*found);
            identities_.push_back({*found, alias->source(), number});
        }
    }
}

void LeagueChecker::team(const toml::table& table, const LeagueTable& spec) {
    Team added;
    std::vector<toml::source_region> members;
    bool named = false;
    for (auto&& [key, node] : table) {
        if (!known(spec, key, node)) {
            continue;
        }
        if (key == TeamKeys::Name) {
            const auto* text = node.as_string();
            if (text == nullptr || text->get().find_first_not_of(" \t") == std::string::npos) {
                problem(node.source(), "\"name\" in [[team]] must be a name in quotes");
            } else {
                for (const Team& other : league_.rules.roster.teams) {
                    if (other.name == text->get()) {
                        problem(node.source(), "two teams are named " + quoted(text->get()));
                    }
                }
                added.name = text->get();
            }
            named = true;
        } else if (key == TeamKeys::Counted) {
            std::optional<int> counted = wholeNumber(node, 1, 100);
            if (!counted) {
                problem(node.source(),
                        "\"counted\" in [[team]] must be a whole number from 1 to 100");
            } else {
                added.counted = *counted;
            }
        } else if (key == TeamKeys::Members) {
            const toml::array* list = node.as_array();
            if (list == nullptr) {
                problem(node.source(), "\"members\" in [[team]] must be a list of drivers' "
                                       "codes in quotes");
                continue;
            }
            for (const toml::node& element : *list) {
                const auto* code = element.as_string();
                if (code == nullptr || code->get().empty()) {
                    problem(element.source(), "a member of a [[team]] is a driver's code "
                                              "in quotes");
                    continue;
                }
                added.memberCodes.push_back(code->get());
                members.push_back(element.source());
            }
        }
    }
    if (!named) {
        problem(table.source(), "a [[team]] needs a name");
    }
    memberAt_.push_back(std::move(members));
    league_.rules.roster.teams.push_back(std::move(added));
}

void LeagueChecker::rosterAcrossTables() {
    const Roster& roster = league_.rules.roster;
    std::map<DriverIdentity, size_t> claimed;
    for (const Placed& placed : identities_) {
        const auto [at, added] = claimed.emplace(placed.identity, placed.driver);
        if (!added && at->second != placed.driver) {
            const DriverIdentity& first = roster.drivers[at->second].identity;
            problem(placed.at, quoted(placed.identity.code) + " " + quoted(placed.identity.name) +
                                   " is already the driver " + first.name + " (" + first.code +
                                   ")");
        }
    }
    // Each code to the team it is in, from the roster first.
    std::map<std::string, std::string> teamOfCode;
    for (size_t d = 0; d < roster.drivers.size(); ++d) {
        const RosterDriver& driver = roster.drivers[d];
        if (driver.team.empty()) {
            continue;
        }
        const bool known = std::any_of(roster.teams.begin(), roster.teams.end(),
                                       [&](const Team& t) { return t.name == driver.team; });
        if (!known) {
            problem(driverTeamAt_[d], "no [[team]] is named " + quoted(driver.team));
        }
        teamOfCode.emplace(driver.identity.code, driver.team);
    }
    for (size_t t = 0; t < roster.teams.size(); ++t) {
        const Team& team = roster.teams[t];
        for (size_t m = 0; m < team.memberCodes.size(); ++m) {
            const auto [at, added] = teamOfCode.emplace(team.memberCodes[m], team.name);
            if (!added && at->second != team.name) {
                problem(memberAt_[t][m], "the driver " + quoted(team.memberCodes[m]) +
                                             " is in the team " + quoted(at->second) + " already");
            }
        }
    }
}

} // namespace kvr
