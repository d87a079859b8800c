#include "app/watch.h"

#include "output/outputs.h"
#include "app/run_compute.h"
#include "app/run_publish.h"
#include "data/text.h"
#include "platform/console.h"
#include "platform/fs.h"
#include "report/count_text.h"
#include "report/live_board.h"
#include "report/ranking_html.h"

#include <algorithm>
#include <memory>
#include <thread>
#include <unordered_set>

namespace kvr {

WatchedFolder::Look WatchedFolder::look(const std::vector<platform::StampedEntry>& entries,
                                        Clock::time_point now, bool everything) {
    Look found;
    std::vector<std::string> order;
    order.reserve(entries.size());
    size_t folders = 0;
    for (const platform::StampedEntry& entry : entries) {
        if (entry.isFolder) {
            ++folders;
            continue;
        }
        order.push_back(entry.name);
        auto [at, fresh] = files_.try_emplace(entry.name);
        Known& known = at->second;
        bool restless = false; // changed between two looks: being written now
        if (fresh || known.seen != entry.stamp) {
            restless = !fresh && !everything;
            known.seen = entry.stamp;
            known.since = now;
        }
        if (known.held && known.readStamp == entry.stamp) {
            continue; // read as it is
        }
        const bool complete = entry.stamp.size >= ParticipantFileSize;
        const bool settled = now - known.since >= settle_;
        if (everything || (settled && complete)) {
            found.toRead.push_back(entry.name);
            continue;
        }
        if ((restless || (settled && !complete)) && !known.told) {
            found.waiting.push_back(entry.name);
            known.told = true;
        }
        const Clock::time_point settles = known.since + settle_;
        if (!found.pending || settles < found.settlesAt) {
            found.settlesAt = std::max(settles, now);
        }
        found.pending = true;
    }
    // Files gone since the last look.
    if (files_.size() > order.size()) {
        const std::unordered_set<std::string> present(order.begin(), order.end());
        for (auto it = files_.begin(); it != files_.end();) {
            if (present.count(it->first) == 0) {
                found.removed += it->second.held ? 1 : 0;
                it = files_.erase(it);
            } else {
                ++it;
            }
        }
    }
    order_ = std::move(order);
    folders_ = folders;
    if (everything) {
        // Read and told in the order a normal run imports them.
        std::sort(found.toRead.begin(), found.toRead.end(), platform::folderNameLess);
    }
    return found;
}

void WatchedFolder::read(const std::string& name, const platform::Status& status,
                         const ParticipantRecord& record) {
    auto at = files_.find(name);
    if (at == files_.end()) {
        return;
    }
    Known& known = at->second;
    if (!status && status.reason() == platform::HeldByAnotherProgram) {
        return; // being written: it settles again later
    }
    known.held = true;
    known.told = false;
    known.readStamp = known.seen;
    known.readOk = status.ok();
    known.failure = status ? std::string() : status.reason();
    if (status) {
        known.record = record;
    }
}

bool WatchedFolder::wasRead(const std::string& name) const {
    auto at = files_.find(name);
    return at != files_.end() && at->second.held;
}

ImportedFolder WatchedFolder::imported() const {
    ImportedFolder imported;
    imported.fileEntries = order_.size();
    imported.records.reserve(order_.size());
    imported.files.reserve(order_.size());
    // A participant's place in the list breaks ties, as in a normal run: the folder's sorted
    // order, whatever order the looks list it in.
    std::vector<const std::string*> sorted;
    sorted.reserve(order_.size());
    for (const std::string& name : order_) {
        sorted.push_back(&name);
    }
    std::sort(sorted.begin(), sorted.end(), [](const std::string* a, const std::string* b) {
        return platform::folderNameLess(*a, *b);
    });
    for (const std::string* each : sorted) {
        const std::string& name = *each;
        const Known& known = files_.at(name);
        if (!known.held) {
            continue; // not settled yet
        }
        if (known.readOk) {
            imported.records.push_back(known.record);
            imported.files.push_back(name);
        } else {
            imported.notImported.push_back({validUtf8(name), safeText(known.failure)});
        }
    }
    return imported;
}

namespace {

void say(std::FILE* console, const std::string& text) {
    platform::writeConsole(console, text);
}

std::string twoDigits(int n) {
    return std::string(1, static_cast<char>('0' + n / 10 % 10)) + static_cast<char>('0' + n % 10);
}

std::string timeOfDay(const ReportTime& time) {
    return twoDigits(time.hour) + ":" + twoDigits(time.minute) + ":" + twoDigits(time.second);
}

// What changed since the last run, in words: "2 files new, 1 changed".
struct Changes {
    size_t added = 0;
    size_t changed = 0;
    size_t removed = 0;
    bool league = false;      // the league file was read again
    bool leagueWrong = false; // it was changed into a bad one

    bool any() const { return added + changed + removed > 0 || league || leagueWrong; }
    std::string text(bool first, size_t files) const {
        if (first) {
            return countText(files, "file", "files");
        }
        std::vector<std::string> parts;
        if (added > 0) {
            parts.push_back(countText(added, "file", "files") + " new");
        }
        if (changed > 0) {
            parts.push_back(std::to_string(changed) + " changed");
        }
        if (removed > 0) {
            parts.push_back(std::to_string(removed) + " removed");
        }
        if (league) {
            parts.push_back("league file read again");
        }
        if (leagueWrong) {
            parts.push_back("the league file has a mistake, the last good rules stay");
        }
        std::string joined;
        for (const std::string& part : parts) {
            joined += (joined.empty() ? "" : ", ") + part;
        }
        return joined;
    }
};

std::string leaderText(const RankingModel& model) {
    if (model.standings.empty()) {
        return "no points yet";
    }
    const Standing& first = model.standings.front();
    const RankedParticipant& p = model.participants[static_cast<size_t>(first.participantIndex)];
    return "leader " + safeText(p.name) + " (" + safeText(p.code) + "), " +
           countText(static_cast<size_t>(first.points), "point", "points");
}

// What the server hands out before the first run.
std::shared_ptr<const LiveContent> waitingContent() {
    auto content = std::make_shared<LiveContent>();
    content->page = "<!DOCTYPE html>\n<html lang=\"en\">\n<head>\n<meta charset=\"utf-8\">\n"
                    "<meta name=\"viewport\" content=\"width=device-width, initial-scale=1\">\n"
                    "<title>Dustline Rally 2.0 - KVR Ranking</title>\n"
                    "<script src=\"/live.js\" defer></script>\n</head>\n<body>\n"
                    "<main id=\"live\" data-run=\"0\">\n<h1>Dustline Rally 2.0 - KVR Ranking</h1>\n"
                    "<p>Waiting for the first participant file in kvr/.</p>\n</main>\n"
                    "</body>\n</html>\n";
    content->json = "{}\n";
    content->overlayHead = "<!DOCTYPE html>\n<html lang=\"en\">\n<head>\n<meta charset=\"utf-8\">\n"
                           "<title>KVR standings</title>\n<script src=\"/live.js\" defer>"
                           "</script>\n</head>\n<body>\n<main id=\"overlay\" data-run=\"0\">\n";
    content->overlayTail = "</main>\n</body>\n</html>\n";
    return content;
}

std::shared_ptr<const LiveContent> liveContent(const ComputedRun& run, uint64_t number,
                                               std::vector<std::string> problems) {
    const RunResults results = run.results();
    auto content = std::make_shared<LiveContent>();
    content->run = number;
    LivePageParts parts;
    parts.run = number;
    parts.changedAt = timeOfDay(run.model.time);
    parts.problems = std::move(problems);
    {
        StringSink page;
        renderHtml(results, page, &parts);
        content->page = page.take();
    }
    {
        StringSink json;
        outputKind(Output::Json).render(results, std::string(), json);
        content->json = json.take();
    }
    constexpr size_t OverlayRowLimit = 100;
    OverlayParts overlay = renderOverlay(results, number, OverlayRowLimit);
    content->overlayHead = std::move(overlay.head);
    content->overlayRows = std::move(overlay.rows);
    content->overlayTail = std::move(overlay.tail);
    return content;
}

class Watch {
  public:
    Watch(platform::Env& env, std::FILE* console, std::FILE* errors, WatchSettings settings)
        : env_(env), console_(console), errors_(errors), settings_(std::move(settings)),
          folder_(settings_.settle) {
        settings_.options.live = settings_.serve.has_value();
    }

    int run() {
        const RunOptions& options = settings_.options;
        const std::string& historyPath = options.file(Output::History);
        if (!historyPath.empty()) {
            season_.emplace();
            if (!season_->take(env_, historyPath, options.seasonWait)) {
                complain(errors_, historyPath, seasonHeldReason(options.seasonWait));
                return ExitFailure;
            }
        }
        if (settings_.serve) {
            std::string error;
            server_.publish(waitingContent());
            if (!server_.start(*settings_.serve, error)) {
                complain(errors_, "--serve", error);
                return ExitFailure;
            }
            say(console_, "Live page: " + server_.url() + "  (Ctrl+C stops)\n");
            say(console_, "Overlay for a stream: " + server_.url() + "overlay\n");
        }
        leagueThere_ = platform::stampOf(env_, settings_.leagueFile.c_str(), leagueStamp_).ok();
        loop();
        int status = ExitSuccess;
        if (season_ && !entry_.empty()) {
            platform::Status appended = season_->append(entry_);
            if (!appended) {
                complain(errors_, historyPath, appended.reason());
                status = ExitFailure;
            }
        }
        server_.stop();
        say(console_,
            "Stopped after " + countText(runs_, "run", "runs") +
                (season_ && !entry_.empty() ? "; the season has them as one run\n" : "\n"));
        platform::stopDone();
        return status;
    }

  private:
    void loop() {
        const std::string participants = settings_.options.game.path(ParticipantFolder);
        const std::unique_ptr<platform::FolderWake> wake = env_.folderWake();
        bool watching = false;
        bool first = true;
        bool folderTold = false;
        std::vector<platform::StampedEntry> entries;
        for (;;) {
            if (!watching) {
                watching = wake->watch(participants);
            }
            const auto now = WatchedFolder::Clock::now();
            platform::Status looked =
                platform::lookAtFolder(env_, participants.c_str(), ParticipantExtension, entries);
            if (!looked) {
                if (!folderTold) {
                    complain(errors_, settings_.options.game.shownParticipantFolder(),
                             looked.reason());
                }
                folderTold = true;
                watching = false;
                entries.clear();
            } else {
                folderTold = false;
            }
            WatchedFolder::Look look = folder_.look(entries, now, first);
            for (const std::string& name : look.waiting) {
                say(console_,
                    "waiting for " + safeText(participantPath(name)) + " to finish copying\n");
            }
            Changes changes;
            changes.removed = look.removed;
            readFiles(look.toRead, first, changes);
            leagueChanged(changes);
            if (first || changes.any()) {
                publish(first, changes, looked.ok());
                first = false;
            }
            if (platform::stopRequested()) {
                return;
            }
            auto wait = settings_.lookEvery;
            if (look.pending) {
                const auto untilSettled = std::chrono::duration_cast<std::chrono::milliseconds>(
                    look.settlesAt - WatchedFolder::Clock::now());
                wait = std::clamp(untilSettled + std::chrono::milliseconds(1),
                                  std::chrono::milliseconds(20), wait);
            }
            if (wake->wait(wait, platform::systemStopToken())) {
                // A copy is many events: let them pass before the next look.
                wake->wait(std::chrono::milliseconds(50), platform::systemStopToken());
            }
            if (platform::stopRequested()) {
                return;
            }
        }
    }

    void readFiles(const std::vector<std::string>& names, bool first, Changes& changes) {
        ParticipantRecord record{};
        for (const std::string& name : names) {
            const bool before = folder_.wasRead(name);
            const std::string shown = participantPath(name);
            if (first) {
                say(console_, "importing " + safeText(name));
            }
            platform::Status read =
                readParticipantFile(env_, settings_.options.game.path(shown).c_str(), record);
            if (first) {
                say(console_, read ? " ... ok!\n" : " ... failed!\n");
            }
            folder_.read(name, read, record);
            if (!read && read.reason() == platform::HeldByAnotherProgram && !first) {
                continue; // still being written
            }
            if (!read) {
                complain(errors_, shown, read.reason());
            }
            ++(before ? changes.changed : changes.added);
        }
    }

    // Reads the league file again when it changed. A bad one keeps the last good rules; it
    // is run again only for the page, which tells the mistake.
    void leagueChanged(Changes& changes) {
        if (settings_.leagueFile.empty() || !settings_.reloadLeague) {
            return;
        }
        platform::FileStamp stamp;
        const bool there = platform::stampOf(env_, settings_.leagueFile.c_str(), stamp).ok();
        if (there == leagueThere_ && (!there || stamp == leagueStamp_)) {
            return;
        }
        leagueThere_ = there;
        leagueStamp_ = stamp;
        RunOptions options;
        std::string error;
        if (!settings_.reloadLeague(options, error)) {
            leagueError_ = error + " (the last good rules stay)";
            platform::writeConsole(errors_, "kvrrank: " + safeText(leagueError_) + "\n");
            changes.leagueWrong = settings_.serve.has_value();
            return;
        }
        leagueError_.clear();
        // The season stays the one held since the start.
        options.file(Output::History) = settings_.options.file(Output::History);
        options.live = settings_.options.live;
        options.seasonWait = settings_.options.seasonWait;
        settings_.options = std::move(options);
        changes.league = true;
    }

    // Runs on the files that count. With none, the first run says so as a normal run does
    // (a folder that cannot be listed has been told already); later ones only count it.
    void publish(bool first, const Changes& changes, bool listed) {
        const RunOptions& options = settings_.options;
        ImportedFolder imported = folder_.imported();
        const size_t files = imported.fileEntries;
        std::optional<ComputedRun> run;
        if (!imported.records.empty()) {
            run = computeImported(options, std::move(imported), errors_);
        } else if (first && files == 0) {
            say(console_, "not found kvr file\n");
            if (listed) {
                complain(errors_, options.game.shownParticipantFolder(),
                         "no .kvr file in this folder");
            }
        } else if (first) {
            complain(errors_, options.game.shownParticipantFolder(),
                     "no participant file could be imported, nothing updated");
        }
        ++runs_;
        if (!run) {
            say(console_, timeOfDay(currentLocalTime()) + " run " + std::to_string(runs_) + ": " +
                              changes.text(first, files) + "; nobody to rank yet\n");
            return;
        }
        if (season_) {
            compareWithSeason(season_->read(), *run, &seasonDigest_);
        }
        // Archived seasons are put away: read again only when the league names others or
        // renames drivers. One that cannot be read is told when read.
        if (!options.archive.empty()) {
            if (!archive_ || !archiveReadFor(*archive_, options, *run)) {
                archive_ = readArchive(env_, options, *run, errors_);
            }
            addAllTime(options, *archive_, *run);
        }
        PublishOutcome outcome;
        publishRun(env_, *run, options, nullptr, first ? console_ : nullptr, errors_, &outcome);
        // A decision's mistake is told when the rules are new, not at every run.
        if (first || changes.league) {
            tellDecisionMisses(*run, options.league, console_);
        }
        if (outcome.reported && run->season) {
            entry_ = run->historyEntry;
        }
        // The board first: the console's line then says what the board shows.
        if (settings_.serve) {
            std::vector<std::string> problems = std::move(outcome.problems);
            if (!leagueError_.empty()) {
                problems.push_back(leagueError_);
            }
            server_.publish(liveContent(*run, runs_, std::move(problems)));
        }
        say(console_, timeOfDay(run->model.time) + " run " + std::to_string(runs_) + ": " +
                          changes.text(first, files) + "; " +
                          countText(run->model.participants.size(), "driver", "drivers") + "; " +
                          leaderText(run->model) + "\n");
    }

    platform::Env& env_;
    std::FILE* console_;
    std::FILE* errors_;
    WatchSettings settings_;
    WatchedFolder folder_;
    LiveServer server_;
    std::optional<SeasonHold> season_;
    std::optional<SeasonDigest> seasonDigest_; // the held season as read, for the next runs
    std::string entry_;                        // the season's line of the last run that published
    std::optional<ArchiveRead> archive_;       // the archive as last read
    platform::FileStamp leagueStamp_;
    bool leagueThere_ = false;
    std::string leagueError_;
    uint64_t runs_ = 0;
};

} // namespace

int watchGameFolder(platform::Env& env, std::FILE* console, std::FILE* errors,
                    WatchSettings settings) {
    Watch watch(env, console, errors, std::move(settings));
    return watch.run();
}

} // namespace kvr
