// The tables of a league file and the keys each takes, every key spelled once. The checker
// refuses a key that its table does not list, and a key written at the top of the file is told
// which table's header line it belongs under.
#pragma once

#include "data/decisions.h"

#include <string_view>
#include <vector>

namespace kvr {

// [outputs]: page_url, and each output's leagueKey in the output table (output_table.h).
struct OutputsKeys {
    static constexpr std::string_view PageUrl = "page_url";
};

struct CardKeys {
    static constexpr std::string_view Title = "title";
    static constexpr std::string_view Theme = "theme";
};

struct PointsKeys {
    static constexpr std::string_view Places = "places";
    static constexpr std::string_view TieBreak = "tie_break";
    static constexpr std::string_view MergeCopies = "merge_copies";
    static constexpr std::string_view BestRallies = "best_rallies";
};

// [page]: what the players read.
struct PageKeys {
    static constexpr std::string_view Language = "language";
};

struct LiveKeys {
    static constexpr std::string_view Watch = "watch";
    static constexpr std::string_view Serve = "serve";
    static constexpr std::string_view Lan = "lan";
};

struct ClassKeys {
    static constexpr std::string_view Name = "name";
    static constexpr std::string_view Transmission = "transmission";
    static constexpr std::string_view Vehicles = "vehicles";
};

// [[decision]]: DecisionKeys (decisions.h), which the review listing writes too.

struct DriverKeys {
    static constexpr std::string_view Code = "code";
    static constexpr std::string_view Name = "name";
    static constexpr std::string_view Team = "team";
    static constexpr std::string_view Also = "also"; // a list of { code, name }
};

struct TeamKeys {
    static constexpr std::string_view Name = "name";
    static constexpr std::string_view Counted = "counted";
    static constexpr std::string_view Members = "members";
};

struct ArchiveKeys {
    static constexpr std::string_view Seasons = "seasons";
};

enum class LeagueTableKind {
    Outputs,
    Page,
    Live,
    Card,
    Points,
    Class,
    Decision,
    Driver,
    Team,
    Archive
};

struct LeagueTable {
    LeagueTableKind kind;
    std::string_view header;            // its line as written: "[points]", "[[class]]"
    std::vector<std::string_view> keys; // every key it takes

    // Its name at the top of the file: "points" for [points], "class" for [[class]].
    std::string_view name() const;
    // Written once per item, as [[class]], rather than once, as [points].
    bool repeated() const { return header.substr(0, 2) == "[["; }
    bool takes(std::string_view key) const;
};

// Every table, in the order the starting league file has them.
const std::vector<LeagueTable>& leagueTables();
// The table of this name at the top of the file, or nullptr.
const LeagueTable* leagueTableNamed(std::string_view name);

} // namespace kvr
