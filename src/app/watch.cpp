#include "app/watch.h"

#include "app/run_compute.h"
#include "app/run_steps.h"
#include "data/text.h"
#include "live/board_destination.h"
#include "live/watched_folder.h"
#include "model/time_text.h"
#include "platform/console.h"
#include "platform/fs.h"
#include "report/count_text.h"

#include <algorithm>
#include <memory>

namespace kvr {

namespace {

void say(std::FILE* console, const std::string& text) {
    platform::writeConsole(console, text);
}

// What changed since the last run, in words: "2 files new, 1 changed".
struct Changes {
    std::vector<std::string> added; // bare names, in listing order
    std::vector<std::string> changed;
    std::vector<std::string> removed;
    bool league = false;      // the league file was read again
    bool leagueWrong = false; // it was changed into a bad one

    bool any() const {
        return !added.empty() || !changed.empty() || !removed.empty() || league || leagueWrong;
    }
    // "2 files new (anna.kvr, bert.kvr), 1 changed (carl.kvr)": the files named, up to three.
    std::string text(bool first, size_t files) const {
        if (first) {
            return countText(files, "file", "files");
        }
        std::vector<std::string> parts;
        if (!added.empty()) {
            parts.push_back(countText(added.size(), "file", "files") + " new" + named(added));
        }
        if (!changed.empty()) {
            parts.push_back(std::to_string(changed.size()) + " changed" + named(changed));
        }
        if (!removed.empty()) {
            parts.push_back(std::to_string(removed.size()) + " removed" + named(removed));
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

  private:
    static std::string named(const std::vector<std::string>& names) {
        constexpr size_t Shown = 3;
        std::string text;
        for (size_t i = 0; i < names.size() && i < Shown; ++i) {
            text += (i == 0 ? " (" : ", ") + safeText(names[i]);
        }
        if (names.size() > Shown) {
            text += " and " + std::to_string(names.size() - Shown) + " more";
        }
        return text + ")";
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

// Keeps the season's line of the last run that published: the watch adds it when it ends, so
// that the season has the evening as one run.
class SeasonLine final : public Destination {
  public:
    const std::string& entry() const { return entry_; }

    OutputSink* open(const OutputKind& kind) override {
        if (kind.file != FileMode::Append) {
            return nullptr;
        }
        sink_ = std::make_unique<StringSink>();
        return sink_.get();
    }
    platform::Status close(const OutputKind&) override {
        std::string entry = sink_->take();
        if (!entry.empty()) {
            entry_ = std::move(entry);
        }
        return platform::Status();
    }
    std::string shown(const OutputKind& kind) const override {
        return kind.leagueKey != nullptr ? kind.leagueKey : "";
    }

  private:
    std::unique_ptr<StringSink> sink_;
    std::string entry_;
};

class Watch {
  public:
    Watch(platform::Env& env, std::FILE* console, std::FILE* errors, WatchSettings settings,
          const platform::StopToken& stop)
        : env_(env), console_(console), errors_(errors), settings_(std::move(settings)),
          stop_(stop), folder_(settings_.settle), board_(server_) {
        settings_.options.live = settings_.serve.has_value();
    }

    int run() {
        const RunOptions& options = settings_.options;
        const std::string& historyPath = options.file(Output::History);
        // The port first: a board that cannot serve leaves no file created or touched, the
        // season's included.
        if (settings_.serve) {
            std::string error;
            server_.publish(waitingContent(options.league.language));
            if (!server_.start(*settings_.serve, error)) {
                complain(errors_, "--serve", error);
                return ExitFailure;
            }
            say(console_, "Live page: " + server_.url() + "  (Ctrl+C stops)\n");
            say(console_, "Overlay for a stream: " + server_.url() + "overlay\n");
        }
        if (!historyPath.empty()) {
            season_.emplace();
            season_->announce(SeasonHolder::Board, console_);
            if (!season_->take(env_, historyPath, options.seasonWait)) {
                complain(errors_, historyPath, seasonHeldReason(options.seasonWait));
                return ExitFailure;
            }
            memory_.season = &*season_;
        }
        leagueThere_ = platform::stampOf(env_, settings_.leagueFile.c_str(), leagueStamp_).ok();
        loop();
        int status = ExitSuccess;
        const std::string& entry = seasonLine_.entry();
        if (season_ && !entry.empty()) {
            platform::Status appended = season_->append(entry);
            if (!appended) {
                complain(errors_, historyPath, appended.reason());
                status = ExitFailure;
            }
        }
        server_.stop();
        say(console_,
            "Stopped after " + countText(runs_, "run", "runs") +
                (season_ && !entry.empty() ? "; the season has them as one run\n" : "\n"));
        platform::stopDone();
        return status;
    }

  private:
    void loop() {
        const std::string participants = settings_.options.game.path(ParticipantFolder);
        std::unique_ptr<platform::FolderWake> wake = env_.folderWake();
        bool watching = false;
        bool first = true;
        bool folderTold = false;
        std::vector<platform::StampedEntry> entries;
        for (;;) {
            if (!watching) {
                watching = wake->watch(participants);
            }
            const auto now = env_.steadyNow();
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
            wake->takeNews(news_);
            folder_.heard(news_);
            WatchedFolder::Look look =
                folder_.look(entries, now, first, watching && wake->tellsCloses());
            for (const std::string& name : look.waiting) {
                say(console_,
                    "waiting for " + safeText(participantPath(name)) + " to finish copying\n");
            }
            Changes changes;
            changes.removed = std::move(look.removed);
            readFiles(look.toRead, first, changes);
            leagueChanged(changes);
            if (first || changes.any()) {
                publish(first, changes, looked.ok());
                first = false;
            }
            if (stop_.requested()) {
                return;
            }
            auto wait = settings_.lookEvery;
            if (look.pending) {
                const auto untilSettled = std::chrono::duration_cast<std::chrono::milliseconds>(
                    look.settlesAt - env_.steadyNow());
                wait = std::clamp(untilSettled + std::chrono::milliseconds(1),
                                  std::chrono::milliseconds(20), wait);
            }
            if (wake->wait(wait, stop_)) {
                // A copy is many events: let them pass (50 ms of quiet, half a second at most)
                // before the next look, so that a file copied at once is seen closed, not
                // half written.
                const auto until = env_.steadyNow() + std::chrono::milliseconds(500);
                while (wake->wait(std::chrono::milliseconds(50), stop_) &&
                       env_.steadyNow() < until) {
                }
            }
            if (stop_.requested()) {
                return;
            }
        }
    }

    void readFiles(const std::vector<std::string>& names, bool first, Changes& changes) {
        ParticipantRecord record{};
        for (const std::string& name : names) {
            const bool before = folder_.wasRead(name);
            platform::Status read = importParticipant(env_, settings_.options.game, name, record,
                                                      first ? console_ : nullptr);
            folder_.read(name, read, record);
            if (read.kind() == platform::StatusKind::Held && !first) {
                continue; // still being written
            }
            if (!read) {
                complain(errors_, participantPath(name), read.reason());
            }
            (before ? changes.changed : changes.added).push_back(name);
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
        std::string restart;
        if (!settings_.reloadLeague(options, error, restart)) {
            leagueError_ = error + " (the last good rules stay)";
            complain(errors_, leagueError_);
            changes.leagueWrong = settings_.serve.has_value();
            return;
        }
        leagueError_.clear();
        // The board keeps its address: a change to it is told once, and stays on the page.
        if (!restart.empty() && restart != restartNote_) {
            say(console_, safeText(restart) + "\n");
        }
        restartNote_ = std::move(restart);
        // The season stays the one held since the start.
        options.file(Output::History) = settings_.options.file(Output::History);
        options.live = settings_.options.live;
        options.seasonWait = settings_.options.seasonWait;
        settings_.options = std::move(options);
        changes.league = true;
    }

    // Runs on the files that count. With none, the first run says so as a one-off run does (a
    // folder that cannot be listed has been told already); later ones only count it.
    void publish(bool first, const Changes& changes, bool listed) {
        const RunOptions& options = settings_.options;
        RunRequest request;
        request.imported = folder_.imported();
        request.now = reportTimeOf(env_.localNow());
        request.tellUpdate = first;
        // A decision's mistake is told when the rules are new, not at every run.
        request.tellMisses = first || changes.league;
        const size_t files = request.imported.fileEntries;
        ++runs_;
        if (request.imported.records.empty()) {
            if (first && files == 0) {
                tellNothingToImport(options.game, listed ? "no .kvr file in this folder" : "",
                                    console_, errors_);
            } else if (first) {
                complain(errors_, options.game.shownParticipantFolder(),
                         "no participant file could be imported, nothing updated");
            }
            say(console_, formatTimeOfDay(request.now) + " run " + std::to_string(runs_) + ": " +
                              changes.text(first, files) + "; nobody to rank yet\n");
            return;
        }
        std::vector<Destination*> more;
        if (settings_.serve) {
            std::vector<std::string> problems;
            for (const std::string* problem : {&leagueError_, &restartNote_}) {
                if (!problem->empty()) {
                    problems.push_back(*problem);
                }
            }
            board_.next(runs_, std::move(problems));
            more.push_back(&board_);
        }
        if (season_) {
            more.push_back(&seasonLine_);
        }
        // The board is published first: the console's line then says what the board shows.
        RunDone done =
            runSteps(env_, options, std::move(request), memory_, more, console_, errors_);
        if (!done.run) {
            return;
        }
        const RankingModel& model = done.run->model;
        say(console_, formatTimeOfDay(model.time) + " run " + std::to_string(runs_) + ": " +
                          changes.text(first, files) + "; " +
                          countText(model.participants.size(), "driver", "drivers") + "; " +
                          leaderText(model) + "\n");
    }

    platform::Env& env_;
    std::FILE* console_;
    std::FILE* errors_;
    WatchSettings settings_;
    const platform::StopToken& stop_;
    WatchedFolder folder_;
    LiveServer server_;
    BoardDestination board_;
    SeasonLine seasonLine_;
    std::optional<SeasonHold> season_;
    RunMemory memory_;
    std::vector<platform::FileNews> news_;
    platform::FileStamp leagueStamp_;
    bool leagueThere_ = false;
    std::string leagueError_;
    std::string restartNote_; // what the league file asks that waits for a restart
    uint64_t runs_ = 0;
};

} // namespace

int watchGameFolder(platform::Env& env, std::FILE* console, std::FILE* errors,
                    WatchSettings settings, const platform::StopToken& stop) {
    Watch watch(env, console, errors, std::move(settings), stop);
    return watch.run();
}

} // namespace kvr
