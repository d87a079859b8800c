#include "league/league_file.h"

#include "output/run_options.h"
#include "platform/fs.h"

namespace kvr {

bool applyLeagueFile(platform::Env& env, const std::string& path, const std::string& named,
                     RunOptions& options, std::FILE* errors, const ReportTime& today,
                     LeagueLive* live) {
    std::string error;
    if (!applyLeagueFile(env, path, named, options, error, today, live)) {
        complain(errors, error);
        return false;
    }
    return true;
}

bool applyLeagueFile(platform::Env& env, const std::string& path, const std::string& named,
                     RunOptions& options, std::string& error, const ReportTime& today,
                     LeagueLive* live) {
    const std::string file = path.empty() ? options.game.path(LeagueFileName) : path;
    const std::string shown = path.empty() ? options.game.shownPath(LeagueFileName) : named;
    std::string text;
    platform::Status read = platform::readWholeShared(env, file.c_str(), LeagueFileLimit, text);
    if (!read) {
        if (path.empty() && platform::isMissingFile(read)) {
            return true; // no league file: the fixed rules
        }
        error = shown + ": " + read.reason();
        return false;
    }
    LeagueFile league;
    if (!parseLeagueFile(text, shown, league, error, today)) {
        return false;
    }
    if (league.empty) {
        return true;
    }
    if (live != nullptr) {
        *live = league.live;
    }
    // The page and the JSON name it as the league knows it; messages with its folder.
    league.rules.file = path.empty() ? std::string(LeagueFileName) : named;
    options.league = std::move(league.rules);
    const LeagueOutputs& outputs = league.outputs;
    options.leagueFilePath = platform::absolutePath(file);
    for (const OutputKind& kind : outputTable()) {
        const size_t i = indexOf(kind.output);
        if (options.files[i].empty() && outputs.files[i]) {
            options.files[i] = platform::absolutePathBeside(file, *outputs.files[i]);
            options.namedBy[i] = std::string(kind.leagueKey) + " in " + shown;
        }
    }
    // The command line's --archive replaces the file's seasons.
    if (options.archive.empty()) {
        for (const std::string& season : league.archive) {
            options.archive.push_back(platform::absolutePathBeside(file, season));
            options.archiveShown.push_back(season);
        }
    }
    options.pageUrl = outputs.pageUrl.value_or(std::string());
    options.card = league.card;
    // --no-records has already cleared updateRecords, and wins over the file.
    if (outputs.records && options.updateRecords) {
        options.updateRecords = *outputs.records;
    }
    return true;
}

} // namespace kvr
