// The walk over a league file and its plain tables: [outputs], [points], [live], [[class]] and
// [archive], with the problems found and the hints that go with them.
#include "league/league_checker.h"

#include "data/events.h"
#include "data/text.h"
#include "output/output_table.h"
#include "report/words.h"

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

void LeagueChecker::path(const toml::node& node, const toml::key& key,
                         std::optional<std::string>& into) {
    const auto* text = node.as_string();
    if (text == nullptr) {
        problem(node.source(), quoted(key.str()) + " in [outputs] must be a path in quotes");
    } else if (text->get().empty()) {
        problem(node.source(), quoted(key.str()) + " in [outputs] is empty");
    } else {
        into = text->get();
    }
}

void LeagueChecker::pageUrl(const toml::node& node) {
    const auto* text = node.as_string();
    const std::string value = text != nullptr ? text->get() : std::string();
    const bool web = value.rfind("https://", 0) == 0 || value.rfind("http://", 0) == 0;
    const bool plain = std::all_of(value.begin(), value.end(), [](char c) {
        return static_cast<unsigned char>(c) > 0x20 && c != 0x7F && c != '<' && c != '>';
    });
    if (!web || !plain || value.size() <= 8) {
        problem(node.source(), "\"page_url\" in [outputs] must be a web address in quotes, "
                               "such as \"https://example.org/ranking.html\", without spaces");
        return;
    }
    league_.outputs.pageUrl = value;
}

void LeagueChecker::output(const toml::key& key, const toml::node& node) {
    LeagueOutputs& outputs = league_.outputs;
    if (key == OutputsKeys::PageUrl) {
        pageUrl(node);
        return;
    }
    for (const OutputKind& kind : outputTable()) {
        if (kind.leagueKey == nullptr || key != kind.leagueKey) {
            continue;
        }
        if (kind.takesFile) {
            path(node, key, outputs.files[indexOf(kind.output)]);
        } else if (const auto* flag = node.as_boolean()) {
            outputs.records = flag->get();
        } else {
            problem(node.source(), quoted(key.str()) + " in [outputs] must be true or false");
        }
        return;
    }
}

void LeagueChecker::language(const toml::node& node) {
    const auto* text = node.as_string();
    if (text == nullptr || findLanguage(text->get()) == nullptr) {
        problem(node.source(),
                "\"language\" in [page] must be one of " + languageCodes() + ", in quotes");
        return;
    }
    league_.rules.language = text->get();
}

void LeagueChecker::live(const toml::key& key, const toml::node& node) {
    LeagueLive& board = league_.live;
    if (key == LiveKeys::Watch || key == LiveKeys::Lan) {
        const auto* flag = node.as_boolean();
        if (flag == nullptr) {
            problem(node.source(), quoted(key.str()) + " in [live] must be true or false");
        } else {
            (key == LiveKeys::Watch ? board.watch : board.lan) = flag->get();
        }
    } else if (key == LiveKeys::Serve) {
        // A port alone, or "ADDRESS:PORT" in quotes.
        if (std::optional<int> port = wholeNumber(node, 0, 65535)) {
            board.serve = std::to_string(*port);
        } else if (const auto* text = node.as_string(); text != nullptr && !text->get().empty()) {
            board.serve = text->get();
        } else {
            problem(node.source(), "\"serve\" in [live] must be a port from 0 to 65535, or "
                                   "\"ADDRESS:PORT\" in quotes");
        }
    }
}

void LeagueChecker::card(const toml::key& key, const toml::node& node) {
    const auto* text = node.as_string();
    if (key == CardKeys::Title) {
        if (text == nullptr || text->get().empty() || text->get().size() > 200) {
            problem(node.source(), "\"title\" in [card] must be a text in quotes, "
                                   "of 1 to 200 bytes");
        } else {
            league_.card.title = text->get();
        }
    } else if (key == CardKeys::Theme) {
        if (text != nullptr && (text->get() == "dark" || text->get() == "light")) {
            league_.card.theme = text->get() == "dark" ? CardTheme::Dark : CardTheme::Light;
        } else {
            problem(node.source(), "\"theme\" in [card] must be \"dark\" or \"light\"");
        }
    }
}

std::optional<int> LeagueChecker::wholeNumber(const toml::node& node, int low, int high) {
    const auto* number = node.as_integer();
    if (number == nullptr || number->get() < low || number->get() > high) {
        return std::nullopt;
    }
    return static_cast<int>(number->get());
}

void LeagueChecker::points(const toml::key& key, const toml::node& node) {
    LeagueRules& rules = league_.rules;
    if (key == PointsKeys::Places) {
        places(node);
    } else if (key == PointsKeys::TieBreak) {
        const auto* text = node.as_string();
        if (text != nullptr && text->get() == "count-back") {
            rules.tieBreak = TieBreak::CountBack;
        } else if (text != nullptr && text->get() == "file-order") {
            rules.tieBreak = TieBreak::FileOrder;
        } else {
            problem(node.source(),
                    "\"tie_break\" in [points] must be \"count-back\" or \"file-order\"");
        }
    } else if (key == PointsKeys::MergeCopies) {
        const auto* flag = node.as_boolean();
        if (flag == nullptr) {
            problem(node.source(), "\"merge_copies\" in [points] must be true or false");
        } else {
            rules.roster.mergeCopies = flag->get();
        }
    } else if (key == PointsKeys::BestRallies) {
        std::optional<int> best = wholeNumber(node, 1, RallyCount);
        if (!best) {
            problem(node.source(), "\"best_rallies\" in [points] must be a whole number from "
                                   "1 to " +
                                       std::to_string(RallyCount) +
                                       numberFault(node, 1, RallyCount));
        } else {
            rules.bestRallies = *best;
        }
    }
}

void LeagueChecker::places(const toml::node& node) {
    const toml::array* list = node.as_array();
    if (list == nullptr || list->empty() || list->size() > listingLimit) {
        problem(node.source(), "\"places\" in [points] must be a list of 1 to " +
                                   std::to_string(listingLimit) + " whole numbers");
        return;
    }
    PlacePoints points{};
    for (size_t k = 0; k < list->size(); ++k) {
        const toml::node& element = *list->get(k);
        std::optional<int> value = wholeNumber(element, 0, 100);
        if (!value) {
            problem(element.source(), "the points of place " + std::to_string(k + 1) +
                                          " must be a whole number from 0 to 100" +
                                          numberFault(element, 0, 100));
            return;
        }
        if (k > 0 && *value > points[k - 1]) {
            problem(element.source(), "\"places\" in [points] must not rise: place " +
                                          std::to_string(k + 1) + " has " + std::to_string(*value) +
                                          " points, more than place " + std::to_string(k) + "'s " +
                                          std::to_string(points[k - 1]));
            return;
        }
        points[k] = *value;
    }
    league_.rules.places = points;
}

void LeagueChecker::vehicleClass(const toml::table& table, const LeagueTable& spec) {
    VehicleClass added;
    bool named = false;
    for (auto&& [key, node] : table) {
        if (!known(spec, key, node)) {
            continue;
        }
        if (key == ClassKeys::Name) {
            const auto* text = node.as_string();
            if (text == nullptr) {
                problem(node.source(), "\"name\" in [[class]] must be a text in quotes");
            } else if (text->get().find_first_not_of(" \t") == std::string::npos) {
                problem(node.source(), "the name of a [[class]] is empty");
            }
            added.name = text != nullptr ? text->get() : std::string();
            named = true;
        } else if (key == ClassKeys::Transmission) {
            const auto* text = node.as_string();
            if (text != nullptr && sameLetters(text->get(), "MT")) {
                added.transmission = 0;
            } else if (text != nullptr && sameLetters(text->get(), "AT")) {
                added.transmission = 1;
            } else {
                problem(node.source(), "\"transmission\" in [[class]] must be \"MT\" or \"AT\"");
            }
        } else if (key == ClassKeys::Vehicles) {
            added.vehicles = vehicles(node);
        }
    }
    if (!named) {
        problem(table.source(), "a [[class]] needs a name");
    }
    league_.rules.classes.push_back(std::move(added));
}

uint64_t LeagueChecker::vehicles(const toml::node& node) {
    const toml::array* list = node.as_array();
    if (list == nullptr || list->empty()) {
        problem(node.source(), "\"vehicles\" in [[class]] must be a list of vehicle names "
                               "in quotes; leave it out for every vehicle");
        return AnyVehicle;
    }
    uint64_t set = 0;
    for (const toml::node& element : *list) {
        const auto* text = element.as_string();
        if (text == nullptr) {
            problem(element.source(), "a vehicle name must be in quotes");
            continue;
        }
        int number = -1;
        for (int v = 0; v < VehicleCount && number < 0; ++v) {
            number = sameLetters(text->get(), vehicleNames[v]) ? v : -1;
        }
        if (number < 0) {
            problem(element.source(), "no vehicle is named " + quoted(text->get()));
            continue;
        }
        set |= uint64_t{1} << number;
    }
    return set;
}

void LeagueChecker::seasons(const toml::node& node) {
    const toml::array* list = node.as_array();
    if (list == nullptr) {
        problem(node.source(), "\"seasons\" in [archive] must be a list of history files "
                               "in quotes");
        return;
    }
    for (const toml::node& element : *list) {
        const auto* text = element.as_string();
        if (text == nullptr || text->get().empty()) {
            problem(element.source(), "a season in [archive] is a history file's path in "
                                      "quotes");
            continue;
        }
        league_.archive.push_back(text->get());
    }
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
