#include "app/run_publish.h"

#include "output/outputs.h"
#include "platform/console.h"
#include "records/records_file.h"

#include <thread>

namespace kvr {

std::string seasonHeldReason(std::chrono::milliseconds wait) {
    // "10 s", or "250 ms" for a wait of less than whole seconds.
    const auto ms = static_cast<long long>(wait.count());
    return std::string(platform::HeldByAnotherProgram) + ": waited " +
           (ms % 1000 == 0 ? std::to_string(ms / 1000) + " s" : std::to_string(ms) + " ms") +
           ", nothing written";
}

bool SeasonHold::take(platform::Env& env, const std::string& path, std::chrono::milliseconds wait) {
    const auto until = std::chrono::steady_clock::now() + wait;
    for (;;) {
        file_ = std::make_unique<platform::AppendOnlyFile>(env);
        platform::Status status = file_->open(path.c_str());
        status = status ? file_->readAll(read_.content) : status;
        if (status) {
            return true;
        }
        file_.reset();
        read_.content.clear();
        if (status.reason() != platform::HeldByAnotherProgram) {
            read_.problem = status.reason();
            return true;
        }
        if (std::chrono::steady_clock::now() >= until) {
            return false;
        }
        std::this_thread::sleep_for(std::chrono::milliseconds(50));
    }
}

void SeasonHold::forgetContent() {
    read_.content.clear();
    read_.content.shrink_to_fit();
}

platform::Status SeasonHold::append(const std::string& entry) {
    platform::Status appended = file_->append(entry.data(), entry.size());
    appended = appended ? file_->close() : appended;
    file_.reset();
    return appended;
}

namespace {

// Tells a failure on the error stream, and keeps it for the caller when it asks.
struct Failures {
    std::FILE* errors;
    PublishOutcome* outcome;

    void operator()(const std::string& path, const std::string& reason) const {
        complain(errors, path, reason);
        if (outcome != nullptr) {
            outcome->problems.push_back(path + ": " + reason);
        }
    }
};

bool updateGameRecords(platform::Env& env, const ComputedRun& run, const RunOptions& options,
                       std::FILE* console, const Failures& fail) {
    platform::writeConsole(console, std::string("updateing ") + GameRecordsPath);
    platform::Status written = writeGameRecords(
        env, run.records, options.game.path(GameRecordsPath).c_str(), options.game.folder);
    platform::writeConsole(console, written ? "... ok!\n" : "... failed!\n");
    if (!written) {
        fail(GameRecordsPath, written.reason());
    }
    return written.ok();
}

// Streams each export asked for into its file, in the table's order.
bool writeExports(platform::Env& env, const ComputedRun& run, const RunOptions& options,
                  const Failures& fail) {
    const RunResults results = run.results();
    // The post links the page where the group sees it: a file name means nothing in a chat.
    const std::string& pageName = options.pageUrl;
    bool ok = true;
    for (const OutputKind& kind : outputTable()) {
        const std::string& path = options.file(kind.output);
        if (kind.render == nullptr || path.empty()) {
            continue;
        }
        // Streamed into the file as it is rendered: an export is never held whole in memory.
        platform::Status written = writeRendering(
            env, path.c_str(), [&](OutputSink& out) { kind.render(results, pageName, out); });
        if (!written) {
            fail(path, written.reason());
            ok = false;
        }
    }
    return ok;
}

} // namespace

int publishRun(platform::Env& env, const ComputedRun& run, const RunOptions& options,
               SeasonHold* season, std::FILE* console, std::FILE* errors, PublishOutcome* outcome) {
    const Failures fail{errors, outcome};
    if (options.updateRecords && !updateGameRecords(env, run, options, console, fail)) {
        return ExitFailure;
    }
    if (outcome != nullptr) {
        outcome->recordsUpdated = options.updateRecords;
    }
    bool ok = true;
    const std::string& historyPath = options.file(Output::History);
    if (!historyPath.empty() && !run.seasonProblem.empty()) {
        fail(historyPath, run.seasonProblem);
        ok = false;
    }
    platform::Status reported =
        writeRankingReport(env, run.model, options.game.path(RankingReportPath).c_str());
    if (!reported) {
        fail(RankingReportPath, reported.reason());
        ok = false;
    }
    if (outcome != nullptr) {
        outcome->reported = reported.ok();
    }
    ok = writeExports(env, run, options, fail) && ok;
    // Last, so that a run counts in the season only once its outputs are out.
    if (season != nullptr && season->held() && run.season && reported) {
        platform::Status appended = season->append(run.historyEntry);
        if (!appended) {
            fail(historyPath, appended.reason());
            ok = false;
        }
    }
    return ok ? ExitSuccess : ExitFailure;
}

} // namespace kvr
