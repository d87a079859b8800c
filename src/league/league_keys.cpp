#include "league/league_keys.h"

#include "output/output_table.h"

#include <algorithm>

namespace kvr {

namespace {

std::vector<std::string_view> outputsKeys() {
    std::vector<std::string_view> keys;
    for (const OutputKind& kind : outputTable()) {
        if (kind.leagueKey != nullptr) {
            keys.emplace_back(kind.leagueKey);
        }
    }
    keys.push_back(OutputsKeys::PageUrl);
    return keys;
}

} // namespace

std::string_view LeagueTable::name() const {
    const size_t brackets = repeated() ? 2 : 1;
    return header.substr(brackets, header.size() - 2 * brackets);
}

bool LeagueTable::takes(std::string_view key) const {
    return std::find(keys.begin(), keys.end(), key) != keys.end();
}

const std::vector<LeagueTable>& leagueTables() {
    using T = LeagueTableKind;
    using D = DecisionKeys;
    static const std::vector<LeagueTable> tables = {
        {T::Outputs, "[outputs]", outputsKeys()},
        {T::Page, "[page]", {PageKeys::Language}},
        {T::Live, "[live]", {LiveKeys::Watch, LiveKeys::Serve, LiveKeys::Lan}},
        {T::Card, "[card]", {CardKeys::Title, CardKeys::Theme}},
        {T::Points,
         "[points]",
         {PointsKeys::Places, PointsKeys::TieBreak, PointsKeys::MergeCopies,
          PointsKeys::BestRallies}},
        {T::Class, "[[class]]", {ClassKeys::Name, ClassKeys::Transmission, ClassKeys::Vehicles}},
        {T::Decision,
         D::Header,
         {D::Action, D::Date, D::Reason, D::File, D::Code, D::Name, D::Event, D::Seconds, D::Points,
          D::Class}},
        {T::Driver,
         "[[driver]]",
         {DriverKeys::Code, DriverKeys::Name, DriverKeys::Team, DriverKeys::Also}},
        {T::Team, "[[team]]", {TeamKeys::Name, TeamKeys::Counted, TeamKeys::Members}},
        {T::Archive, "[archive]", {ArchiveKeys::Seasons}},
    };
    return tables;
}

const LeagueTable* leagueTableNamed(std::string_view name) {
    for (const LeagueTable& table : leagueTables()) {
        if (table.name() == name) {
            return &table;
        }
    }
    return nullptr;
}

} // namespace kvr
