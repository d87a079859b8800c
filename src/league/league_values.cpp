// The values of a league file's plain tables: paths and the page's address under [outputs], the
// language, [live], [card], [points], [[class]] and [archive]; each checked, then kept.
#include "league/league_checker.h"

#include "output/output_table.h"
#include "report/words.h"

#include <algorithm>

namespace kvr {

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

} // namespace kvr
