// The walk over a league file and its tables, with the problems found and the hints that go
// with them; the values themselves are checked in league_values.cpp.
#include "league/league_checker.h"

#include "data/text.h"

#include <algorithm>

namespace kvr {

bool sameLetters(std::string_view a, std::string_view b) {
    if (a.size() != b.size()) {
        return false;
    }
    for (size_t i = 0; i < a.size(); ++i) {
        auto lower = [](char c) { return c >= 'A' && c <= 'Z' ? static_cast<char>(c + 32) : c; };
        if (lower(a[i]) != lower(b[i])) {
            return false;
        }
    }
    return true;
}

namespace {

// How an unknown key's message names the table it is in: "points" for [points], "[class]" for
// [[class]].
std::string within(const LeagueTable& spec) {
    return std::string(spec.header.substr(1, spec.header.size() - 2));
}

} // namespace

template <typename Member>
void LeagueChecker::table(const toml::key& key, const toml::node& node, const LeagueTable& spec,
                          Member member) {
    const toml::table* members = node.as_table();
    if (members == nullptr) {
        problem(node.source(), quoted(key.str()) + " must be a table: write " +
                                   std::string(spec.header) + " on a line of its own");
        return;
    }
    for (auto&& [k, n] : *members) {
        if (known(spec, k, n)) {
            member(k, n);
        }
    }
}

template <typename Check>
void LeagueChecker::eachTable(const toml::node& node, const LeagueTable& spec, Check check) {
    const toml::array* list = node.as_array();
    if (list == nullptr || !list->is_array_of_tables()) {
        const std::string what(spec.name());
        problem(node.source(), "\"" + what + "\" must be one [[" + what + "]] table per " + what);
        return;
    }
    for (const toml::node& element : *list) {
        check(*element.as_table(), spec);
    }
}

void LeagueChecker::check(const toml::table& root) {
    league_.empty = root.empty();
    for (auto&& [key, node] : root) {
        const LeagueTable* spec = leagueTableNamed(key.str());
        if (spec == nullptr) {
            unknown(key, node, "");
            continue;
        }
        switch (spec->kind) {
        case LeagueTableKind::Outputs:
            table(key, node, *spec, [this](auto& k, auto& n) { output(k, n); });
            break;
        case LeagueTableKind::Page:
            table(key, node, *spec, [this](auto&, auto& n) { language(n); });
            break;
        case LeagueTableKind::Live:
            table(key, node, *spec, [this](auto& k, auto& n) { live(k, n); });
            break;
        case LeagueTableKind::Card:
            table(key, node, *spec, [this](auto& k, auto& n) { card(k, n); });
            break;
        case LeagueTableKind::Points:
            table(key, node, *spec, [this](auto& k, auto& n) { points(k, n); });
            break;
        case LeagueTableKind::Class:
            eachTable(node, *spec, [this](auto& t, auto& s) { vehicleClass(t, s); });
            break;
        case LeagueTableKind::Decision:
            eachTable(node, *spec, [this](auto& t, auto& s) { decision(t, s); });
            break;
        case LeagueTableKind::Driver:
            eachTable(node, *spec, [this](auto& t, auto& s) { driver(t, s); });
            break;
        case LeagueTableKind::Team:
            eachTable(node, *spec, [this](auto& t, auto& s) { team(t, s); });
            break;
        case LeagueTableKind::Archive:
            table(key, node, *spec, [this](auto&, auto& n) { seasons(n); });
            break;
        }
    }
    rosterAcrossTables();
    // The classes may come after the decisions that name them.
    for (const auto& named : classNamed_) {
        const std::vector<VehicleClass>& classes = league_.rules.classes;
        if (std::none_of(classes.begin(), classes.end(),
                         [&](const VehicleClass& c) { return c.name == named.first; })) {
            problem(named.second, "no [[class]] is named " + quoted(named.first));
        }
    }
}

std::string LeagueChecker::firstProblem() const {
    if (problems_.empty()) {
        return std::string();
    }
    const Problem* first = &problems_[0];
    for (const Problem& p : problems_) {
        if (p.line < first->line || (p.line == first->line && p.column < first->column)) {
            first = &p;
        }
    }
    return std::to_string(first->line) + ":" + std::to_string(first->column) + ": " + first->what;
}

void LeagueChecker::problem(const toml::source_region& at, std::string what) {
    problems_.push_back({at.begin.line, at.begin.column, std::move(what)});
}

void LeagueChecker::unknown(const toml::key& key, const toml::node& node, const std::string& in) {
    if (node.is_table()) {
        const std::string outer =
            !in.empty() && in.front() == '[' ? in.substr(1, in.size() - 2) : in;
        problem(key.source(), "unknown table [" + (outer.empty() ? "" : outer + ".") +
                                  std::string(key.str()) + "]");
    } else {
        problem(key.source(), "unknown key " + quoted(key.str()) +
                                  (in.empty() ? headerHint(key) : " in [" + in + "]"));
    }
}

bool LeagueChecker::known(const LeagueTable& spec, const toml::key& key, const toml::node& node) {
    if (spec.takes(key.str())) {
        return true;
    }
    unknown(key, node, within(spec));
    return false;
}

std::string_view LeagueChecker::lineOf(uint32_t line) const {
    std::string_view rest = text_;
    for (uint32_t n = 1; n < line && !rest.empty(); ++n) {
        const size_t end = rest.find('\n');
        rest = end == std::string_view::npos ? std::string_view() : rest.substr(end + 1);
    }
    rest = rest.substr(0, rest.find('\n'));
    return !rest.empty() && rest.back() == '\r' ? rest.substr(0, rest.size() - 1) : rest;
}

std::string LeagueChecker::written(const toml::node& node) const {
    const toml::source_region& at = node.source();
    if (at.begin.line != at.end.line || at.end.column <= at.begin.column) {
        return std::string();
    }
    const std::string_view line = lineOf(at.begin.line);
    if (at.end.column - 1 > line.size()) {
        return std::string(); // columns count characters: a wide one before it
    }
    return std::string(line.substr(at.begin.column - 1, at.end.column - at.begin.column));
}

std::string LeagueChecker::numberFault(const toml::node& node, int64_t low, int64_t high) const {
    std::string shown = written(node);
    if (const auto* number = node.as_integer()) {
        shown = shown.empty() ? std::to_string(number->get()) : shown;
        if (number->get() < low) {
            return ": " + shown + " is below " + std::to_string(low);
        }
        if (number->get() > high) {
            return ": " + shown + " is above " + std::to_string(high);
        }
        return std::string();
    }
    if (shown.empty()) {
        return std::string();
    }
    if (node.is_floating_point()) {
        return ": " + shown + " is not a whole number";
    }
    return ": " + shown + (node.is_string() ? " is a text, not a number" : " is not a number");
}

std::string LeagueChecker::headerHint(const toml::key& key) const {
    const std::string_view k = key.str();
    std::vector<std::string_view> homes; // the headers it may go under
    for (const LeagueTable& table : leagueTables()) {
        if (table.takes(k)) {
            homes.push_back(table.header);
        }
    }
    if (homes.empty()) {
        return std::string();
    }
    // The nearest header above the key: every one there is commented out, or the key
    // would be in its table.
    for (uint32_t line = key.source().begin.line; line-- > 1;) {
        std::string_view text = lineOf(line);
        const size_t start = text.find_first_not_of(" \t");
        if (start == std::string_view::npos || text[start] != '#') {
            continue;
        }
        text.remove_prefix(start + 1);
        text.remove_prefix(std::min(text.size(), text.find_first_not_of(" \t")));
        text = text.substr(0, text.find_last_not_of(" \t") + 1);
        if (text.empty() || text.front() != '[' || text.back() != ']') {
            continue;
        }
        if (std::find(homes.begin(), homes.end(), text) != homes.end()) {
            return ": is the `" + std::string(text) + "` line above it still commented out?";
        }
        break;
    }
    return homes.size() == 1 ? ": it belongs under a `" + std::string(homes.front()) + "` line"
                             : std::string();
}

bool parseLeagueFile(std::string_view text, const std::string& name, LeagueFile& league,
                     std::string& error, const ReportTime& today) {
    league = LeagueFile();
    toml::table root;
    try {
        root = toml::parse(text);
    } catch (const toml::parse_error& failure) {
        const toml::source_position at = failure.source().begin;
        // The parser quotes what it saw, line ends and all: kept to one line.
        error = name + ":" + std::to_string(at.line) + ":" + std::to_string(at.column) + ": " +
                safeText(std::string(failure.description()));
        return false;
    }
    LeagueChecker checker(league, text, today);
    checker.check(root);
    const std::string problem = checker.firstProblem();
    if (!problem.empty()) {
        league = LeagueFile();
        error = name + ":" + safeText(problem); // a key or name quoted may hold a line end
        return false;
    }
    return true;
}

} // namespace kvr
