#include "league/league_file.h"

#include "output/run_options.h"
#include "platform/console.h"
#include "platform/fs.h"

#include "new_league_text.h"

namespace kvr {

std::string_view newLeagueText() {
    return NewLeagueText;
}

int writeNewLeagueFile(platform::Env& env, const GamePlaces& game, std::FILE* console,
                       std::FILE* errors) {
    std::string text;
    for (char c : newLeagueText()) {
        text += c == '\n' ? std::string(platform::TextLineEnd) : std::string(1, c);
    }
    platform::Status written =
        platform::createNewFile(env, game.path(LeagueFileName).c_str(), text.data(), text.size());
    if (!written) {
        complain(errors, game.shownPath(LeagueFileName),
                 written.kind() == platform::StatusKind::AlreadyExists
                     ? std::string(platform::AlreadyExists) + "; nothing written"
                     : written.reason());
        return ExitFailure;
    }
    platform::writeConsole(console, game.shownPath(LeagueFileName) +
                                        " written: remove the # before the lines you want.\n");
    return ExitSuccess;
}

} // namespace kvr
