#include "output/season_owner.h"

#include "platform/fs.h"

#include <cstdio>
#include <sstream>

namespace kvr {

namespace {

constexpr size_t RecordLimit = 256;

std::string clock(const platform::LocalTime& time, bool seconds) {
    char text[16];
    if (seconds) {
        std::snprintf(text, sizeof text, "%02d:%02d:%02d", time.hour, time.minute, time.second);
    } else {
        std::snprintf(text, sizeof text, "%02d:%02d", time.hour, time.minute);
    }
    return text;
}

std::string waitText(std::chrono::milliseconds wait) {
    const auto ms = static_cast<long long>(wait.count());
    return ms % 1000 == 0 ? std::to_string(ms / 1000) + " s" : std::to_string(ms) + " ms";
}

} // namespace

std::string seasonOwnerPath(const std::string& season) {
    return season + ".owner";
}

std::string formatSeasonOwner(const SeasonOwner& owner) {
    return std::to_string(owner.pid) + (owner.kind == SeasonHolder::Board ? " board " : " run ") +
           clock(owner.since, true) + "\n";
}

std::optional<SeasonOwner> parseSeasonOwner(const std::string& text) {
    std::istringstream in(text);
    long pid = 0;
    std::string kind, since, extra;
    if (!(in >> pid >> kind >> since) || (in >> extra) || pid <= 0) {
        return std::nullopt;
    }
    SeasonOwner owner;
    owner.pid = pid;
    if (kind == "board") {
        owner.kind = SeasonHolder::Board;
    } else if (kind != "run") {
        return std::nullopt;
    }
    int h = 0, m = 0, s = 0;
    char end = 0;
    if (since.size() != 8 || std::sscanf(since.c_str(), "%2d:%2d:%2d%c", &h, &m, &s, &end) != 3 ||
        h > 23 || m > 59 || s > 60 || h < 0 || m < 0 || s < 0) {
        return std::nullopt;
    }
    owner.since.hour = h;
    owner.since.minute = m;
    owner.since.second = s;
    return owner;
}

bool writeSeasonOwner(platform::Env& env, const std::string& season, SeasonHolder kind) {
    SeasonOwner owner;
    owner.pid = env.processId();
    owner.kind = kind;
    owner.since = env.localNow();
    const std::string text = formatSeasonOwner(owner);
    // Replaced as one step: a stale record of a holder that crashed goes, and a run that looks
    // meanwhile reads the old record or the new one, never half of one.
    return static_cast<bool>(
        platform::replaceFile(env, seasonOwnerPath(season).c_str(), text.data(), text.size()));
}

std::optional<SeasonOwner> readSeasonOwner(platform::Env& env, const std::string& season) {
    std::string text;
    if (!platform::readWholeShared(env, seasonOwnerPath(season).c_str(), RecordLimit, text)) {
        return std::nullopt;
    }
    std::optional<SeasonOwner> owner = parseSeasonOwner(text);
    // A holder that ended without removing its record, or whose id another process now has
    // while the season is free, is not believed; the id of a process that is gone is the
    // usual case.
    if (!owner || !env.processRuns(owner->pid)) {
        return std::nullopt;
    }
    return owner;
}

bool removeSeasonOwner(platform::Env& env, const std::string& season) {
    const std::string path = seasonOwnerPath(season);
    std::string text;
    if (platform::readWholeShared(env, path.c_str(), RecordLimit, text)) {
        const std::optional<SeasonOwner> owner = parseSeasonOwner(text);
        if (owner && owner->pid != env.processId()) {
            return false;
        }
    }
    return static_cast<bool>(platform::removeFile(env, path.c_str()));
}

std::string seasonHolderLine(const std::string& season, const SeasonOwner& owner,
                             std::chrono::milliseconds wait) {
    const bool board = owner.kind == SeasonHolder::Board;
    return season + " is held by " + (board ? "the kvrrank board" : "another kvrrank run") +
           " (process " + std::to_string(owner.pid) + ") since " + clock(owner.since, !board) +
           "; waiting up to " + waitText(wait);
}

} // namespace kvr
