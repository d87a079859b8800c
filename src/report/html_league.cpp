#include "report/html_league.h"

#include "report/html_drivers.h"
#include "report/html_text.h"
#include "report/words.h"

#include <map>
#include <vector>

namespace kvr {

namespace {

const RankedParticipant& participant(const RankingModel& model, int32_t index) {
    return model.participants[static_cast<size_t>(index)];
}

std::string driverLink(const RankingModel& model, int32_t index) {
    const RankedParticipant& p = participant(model, index);
    return "<a href=\"#" + driverSectionId(index) + "\">" + escapeHtml(p.name) + "</a>";
}

} // namespace

void htmlLeagueNavigation(const RunResults& run, OutputSink& out) {
    const RankingModel& model = run.ranking;
    const Words words(model.league.language);
    if (!model.teams.empty()) {
        out.put("\n<a href=\"#teams\">" + std::string(words[Word::TeamsHeading]) + "</a>");
    }
    if (!model.headToHead.empty()) {
        out.put("\n<a href=\"#head-to-head\">" + std::string(words[Word::HeadToHeadHeading]) +
                "</a>");
    }
    if (run.allTime != nullptr) {
        out.put("\n<a href=\"#all-time\">" + std::string(words[Word::AllTimeHeading]) + "</a>");
    }
}

std::string htmlTeamName(const RankingModel& model, int32_t participant) {
    const int32_t team = model.teamOf.empty() ? -1 : model.teamOf[static_cast<size_t>(participant)];
    return team < 0 ? std::string()
                    : escapeHtml(model.league.roster.teams[static_cast<size_t>(team)].name);
}

void renderTeams(const RankingModel& model, OutputSink& out) {
    if (model.teams.empty()) {
        return;
    }
    const Words words(model.league.language);
    out.put("<section id=\"teams\">\n<h2>" + std::string(words[Word::TeamsHeading]) + "</h2>\n");
    std::vector<HtmlColumn> columns = {
        {words[Word::ColPlace], "n"}, {words[Word::ColTeam]}, {words[Word::ColPoints], "n"}};
    for (const char* rally : rallyNames) {
        columns.push_back({rally, "n"});
    }
    columns.push_back({words[Word::Arcade], "n"});
    columns.push_back({words[Word::ColMembers]});
    htmlTable(out, "id=\"team-standings\"", "", columns, model.teams.size(), [&] {
        for (const TeamStanding& t : model.teams) {
            out.put("<tr>");
            htmlNumberCell(out, t.place);
            htmlCell(out, escapeHtml(model.league.roster.teams[t.team].name));
            htmlNumberCell(out, t.points);
            for (int points : t.rallyPoints) {
                htmlNumberCell(out, points);
            }
            htmlNumberCell(out, t.arcadePoints);
            std::string members;
            for (int32_t m : t.members) {
                members += (members.empty() ? "" : ", ") + driverLink(model, m);
            }
            htmlCell(out, members);
            out.put("</tr>\n");
        }
    });
    bool same = true;
    for (const Team& team : model.league.roster.teams) {
        same = same && team.counted == model.league.roster.teams.front().counted;
    }
    out.put("<p class=\"note\">");
    out.put(words.say(Word::TeamsNote,
                      {{"counted", same ? std::to_string(model.league.roster.teams.front().counted)
                                        : std::string(words[Word::TeamsCounted])}}));
    out.put("</p>\n</section>\n");
}

void renderHeadToHead(const RankingModel& model, OutputSink& out) {
    if (model.headToHead.empty()) {
        return;
    }
    // The drivers in standings order, as the pairs name them.
    std::vector<int32_t> drivers;
    std::map<int32_t, size_t> column;
    for (const HeadToHead& pair : model.headToHead) {
        for (int32_t d : {pair.a, pair.b}) {
            if (column.emplace(d, drivers.size()).second) {
                drivers.push_back(d);
            }
        }
    }
    const size_t n = drivers.size();
    std::vector<const HeadToHead*> cells(n * n, nullptr);
    for (const HeadToHead& pair : model.headToHead) {
        const size_t a = column[pair.a];
        const size_t b = column[pair.b];
        cells[a * n + b] = &pair;
        cells[b * n + a] = &pair;
    }
    const Words words(model.league.language);
    out.put("<section id=\"head-to-head\">\n<h2>" + std::string(words[Word::HeadToHeadHeading]) +
            "</h2>\n");
    std::vector<std::string> codes;
    for (int32_t d : drivers) {
        codes.push_back(participant(model, d).code);
    }
    std::vector<HtmlColumn> columns = {{words[Word::ColDriver]}};
    for (const std::string& code : codes) {
        columns.push_back({code, "n"});
    }
    htmlTable(out, "id=\"head-to-head-table\"", words[Word::HeadToHeadCaption], columns, n, [&] {
        for (size_t r = 0; r < n; ++r) {
            out.put("<tr>");
            htmlCell(out, driverLink(model, drivers[r]));
            for (size_t c = 0; c < n; ++c) {
                const HeadToHead* pair = cells[r * n + c];
                if (pair == nullptr || pair->events == 0) {
                    out.put("<td class=\"n\"></td>");
                    continue;
                }
                const bool first = pair->a == drivers[r];
                const int won = first ? pair->aFaster : pair->bFaster;
                const int lost = first ? pair->bFaster : pair->aFaster;
                out.put("<td class=\"n\">" + std::to_string(won) + "-" + std::to_string(lost) +
                        "</td>");
            }
            out.put("</tr>\n");
        }
    });
    out.put("</section>\n");
}

namespace {

std::string identityHtml(const DriverIdentity& driver) {
    return escapeHtml(driver.name) + " (" + escapeHtml(driver.code) + ")";
}

} // namespace

void renderAllTime(const RunResults& run, OutputSink& out) {
    if (run.allTime == nullptr) {
        return;
    }
    const AllTime& table = *run.allTime;
    const Words words(run.ranking.league.language);
    out.put("<section id=\"all-time\">\n<h2>" + std::string(words[Word::AllTimeHeading]) +
            "</h2>\n");
    htmlTable(out, "id=\"all-time-seasons\"", words[Word::Champions],
              {{words[Word::ColSeason]}, {words[Word::ColChampion]}}, table.seasons.size(), [&] {
                  for (const AllTimeSeason& season : table.seasons) {
                      out.put("<tr>");
                      htmlCell(out,
                               escapeHtml(season.name) +
                                   (season.current ? " <span class=\"note\">" +
                                                         std::string(words[Word::SoFar]) + "</span>"
                                                   : std::string()));
                      if (season.champion) {
                          htmlCell(out, identityHtml(*season.champion));
                      } else if (season.leader) {
                          // The running season has a leader, not yet a champion.
                          htmlCell(out, identityHtml(*season.leader) + " <span class=\"note\">" +
                                            std::string(words[Word::Leading]) + "</span>");
                      } else {
                          htmlCell(out, "");
                      }
                      out.put("</tr>\n");
                  }
              });
    std::vector<HtmlColumn> columns = {{words[Word::ColDriver]},
                                       {words[Word::ColSeasons], "n"},
                                       {words[Word::ColTitles], "n"},
                                       {words[Word::ColPodiums], "n"},
                                       {words[Word::ColBestPlace], "n"}};
    for (const AllTimeSeason& season : table.seasons) {
        columns.push_back({season.name, "n"});
    }
    columns.push_back({words[Word::ColPoints], "n"});
    htmlTable(out, "id=\"all-time-drivers\"", words[Word::AllTimeCaption], columns,
              table.drivers.size(), [&] {
                  for (const AllTimeDriver& d : table.drivers) {
                      out.put("<tr>");
                      htmlCell(out, identityHtml(d.driver));
                      htmlNumberCell(out, d.seasons);
                      htmlNumberCell(out, d.titles);
                      htmlNumberCell(out, d.podiums);
                      htmlNumberCell(out, d.bestPlace);
                      for (const std::optional<int32_t>& points : d.seasonPoints) {
                          if (points) {
                              htmlNumberCell(out, *points);
                          } else {
                              out.put("<td class=\"n\"></td>");
                          }
                      }
                      htmlNumberCell(out, d.points);
                      out.put("</tr>\n");
                  }
              });
    for (const UnreadSeason& season : table.unread) {
        out.put("<p class=\"note\">" +
                words.say(Word::NotRead, {{"file", fileNameHtml(season.file)},
                                          {"reason", escapeHtml(season.reason)}}) +
                "</p>\n");
    }
    out.put("</section>\n");
}

void htmlClosestRival(const RankingModel& model, size_t standing, OutputSink& out) {
    if (standing >= model.closestRivals.size() || model.closestRivals[standing] < 0) {
        return;
    }
    const HeadToHead& pair = model.headToHead[static_cast<size_t>(model.closestRivals[standing])];
    const bool first = pair.a == model.standings[standing].participantIndex;
    const int32_t rival = first ? pair.b : pair.a;
    const RankedParticipant& p = participant(model, rival);
    const Words words(model.league.language);
    out.put(" " +
            words.say(Word::ClosestRival,
                      {{"driver", "<a href=\"#" + driverSectionId(rival) + "\">" +
                                      escapeHtml(p.name) + " (" + escapeHtml(p.code) + ")</a>"},
                       {"won", std::to_string(first ? pair.aFaster : pair.bFaster)},
                       {"lost", std::to_string(first ? pair.bFaster : pair.aFaster)}}));
}

} // namespace kvr
