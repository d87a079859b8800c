#include "app/league_file.h"

#include "app/run.h"
#include "data/text.h"
#include "platform/console.h"
#include "platform/fs.h"

#include "new_league_text.h"

#include <toml++/toml.h>

#include <cstdint>
#include <vector>

namespace kvr {

namespace {

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

// Walks the parsed file against the keys a league file has, filling `league`. Every problem is
// noted with its place; the one earliest in the file is told.
class LeagueChecker {
  public:
    explicit LeagueChecker(LeagueFile& league) : league_(league) {}

    void check(const toml::table& root) {
        league_.empty = root.empty();
        for (auto&& [key, node] : root) {
            if (key == "outputs") {
                table(key, node, "outputs", [this](auto& k, auto& n) { output(k, n); });
            } else if (key == "points") {
                table(key, node, "points", [this](auto& k, auto& n) { points(k, n); });
            } else if (key == "class") {
                classes(node);
            } else {
                unknown(key, node, "");
            }
        }
    }

    // The earliest problem as "LINE:COL: what"; empty when there is none.
    std::string firstProblem() const {
        if (problems_.empty()) {
            return std::string();
        }
        const Problem* first = &problems_[0];
        for (const Problem& p : problems_) {
            if (p.line < first->line || (p.line == first->line && p.column < first->column)) {
                first = &p;
            }
        }
        return std::to_string(first->line) + ":" + std::to_string(first->column) + ": " +
               first->what;
    }

  private:
    struct Problem {
        uint32_t line;
        uint32_t column;
        std::string what;
    };

    void problem(const toml::source_region& at, std::string what) {
        problems_.push_back({at.begin.line, at.begin.column, std::move(what)});
    }

    static std::string quoted(std::string_view text) { return "\"" + std::string(text) + "\""; }

    // A key nobody asked for, in the table named `in` ("" at the top; "points", "[class]").
    void unknown(const toml::key& key, const toml::node& node, const std::string& in) {
        if (node.is_table()) {
            const std::string outer = in == "[class]" ? "class" : in;
            problem(key.source(), "unknown table [" + (outer.empty() ? "" : outer + ".") +
                                      std::string(key.str()) + "]");
        } else {
            problem(key.source(), "unknown key " + quoted(key.str()) +
                                      (in.empty() ? std::string() : " in [" + in + "]"));
        }
    }

    template <typename Member>
    void table(const toml::key& key, const toml::node& node, const char* name, Member member) {
        const toml::table* members = node.as_table();
        if (members == nullptr) {
            problem(node.source(), quoted(key.str()) + " must be a table: write [" +
                                       std::string(name) + "] on a line of its own");
            return;
        }
        for (auto&& [k, n] : *members) {
            member(k, n);
        }
    }

    // A path in [outputs]: text, not empty.
    void path(const toml::node& node, const toml::key& key, std::optional<std::string>& into) {
        const auto* text = node.as_string();
        if (text == nullptr) {
            problem(node.source(), quoted(key.str()) + " in [outputs] must be a path in quotes");
        } else if (text->get().empty()) {
            problem(node.source(), quoted(key.str()) + " in [outputs] is empty");
        } else {
            into = text->get();
        }
    }

    void output(const toml::key& key, const toml::node& node) {
        LeagueOutputs& outputs = league_.outputs;
        if (key == "html") {
            path(node, key, outputs.html);
        } else if (key == "json") {
            path(node, key, outputs.json);
        } else if (key == "csv") {
            path(node, key, outputs.csv);
        } else if (key == "history") {
            path(node, key, outputs.history);
        } else if (key == "records") {
            const auto* flag = node.as_boolean();
            if (flag == nullptr) {
                problem(node.source(), "\"records\" in [outputs] must be true or false");
            } else {
                outputs.records = flag->get();
            }
        } else {
            unknown(key, node, "outputs");
        }
    }

    // A whole number from `low` to `high`, or nothing.
    static std::optional<int> wholeNumber(const toml::node& node, int low, int high) {
        const auto* number = node.as_integer();
        if (number == nullptr || number->get() < low || number->get() > high) {
            return std::nullopt;
        }
        return static_cast<int>(number->get());
    }

    void points(const toml::key& key, const toml::node& node) {
        LeagueRules& rules = league_.rules;
        if (key == "places") {
            places(node);
        } else if (key == "tie_break") {
            const auto* text = node.as_string();
            if (text != nullptr && text->get() == "count-back") {
                rules.tieBreak = TieBreak::CountBack;
            } else if (text != nullptr && text->get() == "file-order") {
                rules.tieBreak = TieBreak::FileOrder;
            } else {
                problem(node.source(),
                        "\"tie_break\" in [points] must be \"count-back\" or \"file-order\"");
            }
        } else if (key == "best_rallies") {
            std::optional<int> best = wholeNumber(node, 1, RallyCount);
            if (!best) {
                problem(node.source(), "\"best_rallies\" in [points] must be a whole number from "
                                       "1 to " +
                                           std::to_string(RallyCount));
            } else {
                rules.bestRallies = *best;
            }
        } else {
            unknown(key, node, "points");
        }
    }

    void places(const toml::node& node) {
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
                                              " must be a whole number from 0 to 100");
                return;
            }
            if (k > 0 && *value > points[k - 1]) {
                problem(element.source(),
                        "\"places\" in [points] must not rise: place " + std::to_string(k + 1) +
                            " has " + std::to_string(*value) + " points, more than place " +
                            std::to_string(k) + "'s " + std::to_string(points[k - 1]));
                return;
            }
            points[k] = *value;
        }
        league_.rules.places = points;
    }

    void classes(const toml::node& node) {
        const toml::array* list = node.as_array();
        if (list == nullptr || !list->is_array_of_tables()) {
            problem(node.source(), "\"class\" must be one [[class]] table per class");
            return;
        }
        for (const toml::node& element : *list) {
            vehicleClass(*element.as_table());
        }
    }

    void vehicleClass(const toml::table& table) {
        VehicleClass added;
        bool named = false;
        for (auto&& [key, node] : table) {
            if (key == "name") {
                const auto* text = node.as_string();
                if (text == nullptr) {
                    problem(node.source(), "\"name\" in [[class]] must be a text in quotes");
                } else if (text->get().find_first_not_of(" \t") == std::string::npos) {
                    problem(node.source(), "the name of a [[class]] is empty");
                }
                added.name = text != nullptr ? text->get() : std::string();
                named = true;
            } else if (key == "transmission") {
                const auto* text = node.as_string();
                if (text != nullptr && sameLetters(text->get(), "MT")) {
                    added.transmission = 0;
                } else if (text != nullptr && sameLetters(text->get(), "AT")) {
                    added.transmission = 1;
                } else {
                    problem(node.source(),
                            "\"transmission\" in [[class]] must be \"MT\" or \"AT\"");
                }
            } else if (key == "vehicles") {
                added.vehicles = vehicles(node);
            } else {
                unknown(key, node, "[class]");
            }
        }
        if (!named) {
            problem(table.source(), "a [[class]] needs a name");
        }
        league_.rules.classes.push_back(std::move(added));
    }

    // The vehicles a list names, as a set of vehicle numbers.
    uint64_t vehicles(const toml::node& node) {
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

    LeagueFile& league_;
    std::vector<Problem> problems_;
};

} // namespace

bool parseLeagueFile(std::string_view text, const std::string& name, LeagueFile& league,
                     std::string& error) {
    league = LeagueFile();
    toml::table root;
    try {
        root = toml::parse(text);
    } catch (const toml::parse_error& failure) {
        const toml::source_position at = failure.source().begin;
        error = name + ":" + std::to_string(at.line) + ":" + std::to_string(at.column) + ": " +
                std::string(failure.description());
        return false;
    }
    LeagueChecker checker(league);
    checker.check(root);
    const std::string problem = checker.firstProblem();
    if (!problem.empty()) {
        league = LeagueFile();
        error = name + ":" + problem;
        return false;
    }
    return true;
}

bool applyLeagueFile(const std::string& path, const std::string& named, RunOptions& options,
                     std::FILE* errors) {
    const std::string file = path.empty() ? LeagueFileName : path;
    const std::string shown = path.empty() ? LeagueFileName : named;
    std::string text;
    platform::Status read = platform::readWholeShared(file.c_str(), LeagueFileLimit, text);
    if (!read) {
        if (path.empty() && platform::isMissingFile(read)) {
            return true; // no league file: the fixed rules
        }
        complain(errors, shown, read.reason());
        return false;
    }
    LeagueFile league;
    std::string error;
    if (!parseLeagueFile(text, shown, league, error)) {
        platform::writeConsole(errors, "kvrrank: " + safeText(error) + "\n");
        return false;
    }
    if (league.empty) {
        return true;
    }
    league.rules.file = shown;
    options.league = std::move(league.rules);
    const LeagueOutputs& outputs = league.outputs;
    const struct {
        std::string& option;
        const std::optional<std::string>& fromFile;
    } paths[] = {
        {options.htmlPath, outputs.html},
        {options.jsonPath, outputs.json},
        {options.csvPath, outputs.csv},
        {options.historyPath, outputs.history},
    };
    for (const auto& output : paths) {
        if (output.option.empty() && output.fromFile) {
            output.option = platform::absolutePathBeside(file, *output.fromFile);
        }
    }
    // --no-records has already cleared updateRecords, and wins over the file.
    if (outputs.records && options.updateRecords) {
        options.updateRecords = *outputs.records;
    }
    return true;
}

std::string_view newLeagueText() {
    return NewLeagueText;
}

int writeNewLeagueFile(std::FILE* console, std::FILE* errors) {
    std::string text;
    for (char c : newLeagueText()) {
        text += c == '\n' ? std::string(platform::TextLineEnd) : std::string(1, c);
    }
    platform::Status written = platform::createNewFile(LeagueFileName, text.data(), text.size());
    if (!written) {
        complain(errors, LeagueFileName,
                 written.reason() == platform::AlreadyExists
                     ? std::string(platform::AlreadyExists) + "; nothing written"
                     : written.reason());
        return ExitFailure;
    }
    platform::writeConsole(console, std::string(LeagueFileName) +
                                        " written: remove the # before the lines you want.\n");
    return ExitSuccess;
}

} // namespace kvr
