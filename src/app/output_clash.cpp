#include "app/output_clash.h"

#include "history/snapshot.h"
#include "output/outputs.h"
#include "platform/fs.h"
#include "platform/wait.h"
#include "records/records_file.h"

#include <chrono>
#include <filesystem>
#include <vector>

namespace kvr {

namespace {

struct NamedFile {
    std::string label; // "--html", or what the file is to the run
    std::string path;
    platform::FileIdentity identity;
};

NamedFile named(std::string label, const std::string& path) {
    return {std::move(label), path, platform::identifyFile(path)};
}

// The folder a resolved path is in.
std::string folderOf(const std::string& resolved) {
    return std::filesystem::u8path(resolved).parent_path().u8string();
}

// Why the existing file at `path` must not be replaced by an export: it is a season history
// (its first line is a snapshot), or another program holds it, as a run holds its history
// while it appends to it. Nothing when it may be replaced.
std::optional<std::string> historyProblem(platform::Env& env, const std::string& path) {
    std::vector<uint8_t> head(64 * 1024);
    size_t read = 0;
    // A run holds its history for the whole run, but another run's replacement of an export
    // holds it only for a moment (Windows): held for a second, it is held for good.
    const platform::Status status = platform::retryWhileHeld(env, std::chrono::seconds(1), [&] {
        return platform::readShared(env, path.c_str(), head.data(), head.size(), read);
    });
    if (!status) {
        // Held: perhaps a history in use, which a replacement would take from under its run.
        // Any other failure is told by the export's own write, if that fails.
        if (status.kind() == platform::StatusKind::Held) {
            return std::string(platform::HeldByAnotherProgram);
        }
        return std::nullopt;
    }
    if (history::beginsAsHistory(std::string_view(reinterpret_cast<const char*>(head.data()), read),
                                 read < head.size())) {
        return std::string("is a kvrrank history file");
    }
    return std::nullopt;
}

} // namespace

std::optional<std::string> findOutputClash(platform::Env& env, const RunOptions& options) {
    std::vector<NamedFile> outputs;
    outputs.push_back(named("the ranking report", options.game.path(RankingReportPath)));
    const NamedFile records = named("the game's records file", options.game.path(GameRecordsPath));
    const std::optional<NamedFile> leagueFile =
        options.leagueFilePath.empty()
            ? std::nullopt
            : std::optional<NamedFile>(named("the league file", options.leagueFilePath));
    const NamedFile participants =
        named("the participant folder", options.game.path(ParticipantFolder));
    // The archive is read only: no output may be one of its seasons.
    std::vector<NamedFile> archived;
    for (const std::string& season : options.archive) {
        archived.push_back(named("the archived season", season));
    }
    for (const OutputKind& kind : outputTable()) {
        const std::string& path = options.file(kind.output);
        if (!kind.takesFile || path.empty()) {
            continue;
        }
        NamedFile output = named(options.label(kind.output), path);
        const std::string shown = output.label + " " + output.path;
        for (const NamedFile& earlier : outputs) {
            if (platform::sameFile(output.identity, earlier.identity)) {
                return shown + ": the same file as " + earlier.label + " " +
                       earlier.identity.resolved;
            }
        }
        for (const NamedFile* input : {&records, leagueFile ? &*leagueFile : nullptr}) {
            if (input != nullptr && platform::sameFile(output.identity, input->identity)) {
                return shown + ": the same file as " + input->label + " " +
                       input->identity.resolved;
            }
        }
        for (const NamedFile& season : archived) {
            if (platform::sameFile(output.identity, season.identity)) {
                return shown + ": the same file as " + season.label + " " +
                       season.identity.resolved;
            }
        }
        if (platform::sameFile(platform::identifyFile(folderOf(output.identity.resolved)),
                               participants.identity)) {
            return shown + ": a file in " + participants.label + " " +
                   participants.identity.resolved;
        }
        // An export must not replace a season; the history itself is one.
        if (kind.output != Output::History && output.identity.exists) {
            if (std::optional<std::string> problem = historyProblem(env, path)) {
                return shown + ": " + *problem;
            }
        }
        outputs.push_back(std::move(output));
    }
    return std::nullopt;
}

} // namespace kvr
