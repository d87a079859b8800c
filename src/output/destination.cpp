#include "output/destination.h"

#include "output/outputs.h"
#include "platform/console.h"
#include "records/records_file.h"

#include <cstring>

namespace kvr {

namespace {

// Takes and drops everything: the sink of a file that could not be begun.
class DroppingSink final : public OutputSink {
  public:
    DroppingSink() : OutputSink(4096) {}
    ~DroppingSink() override = default;

  private:
    bool drain(const char*, size_t) override { return true; }
};

// Hands each piece on to several sinks.
class TeeSink final : public OutputSink {
  public:
    explicit TeeSink(std::vector<OutputSink*> targets) : targets_(std::move(targets)) {}
    ~TeeSink() override = default;

  private:
    bool drain(const char* data, size_t size) override {
        for (OutputSink* target : targets_) {
            target->put(std::string_view(data, size));
        }
        return true;
    }
    std::vector<OutputSink*> targets_;
};

} // namespace

struct FileDestination::Open {
    platform::Status begun;
    std::unique_ptr<platform::FileReplacement> file;
    std::unique_ptr<ReplacementSink> sink;
    StringSink collected; // what is written whole: the records' blocks, the season's line
    DroppingSink dropped;
};

FileDestination::FileDestination(platform::Env& env, const RunOptions& options, SeasonHold* season)
    : env_(env), options_(options), season_(season) {}

FileDestination::~FileDestination() = default;

std::string FileDestination::path(const OutputKind& kind) const {
    return kind.gameFile != nullptr ? options_.game.path(kind.gameFile)
                                    : options_.file(kind.output);
}

std::string FileDestination::shown(const OutputKind& kind) const {
    return kind.gameFile != nullptr ? std::string(kind.gameFile) : options_.file(kind.output);
}

OutputSink* FileDestination::open(const OutputKind& kind) {
    // A file of the game folder is written unless its switch (--no-records) turns it off; an
    // output named by a file, when it names one.
    const bool switchedOff = kind.option != nullptr && !kind.takesFile && !options_.updateRecords;
    const bool wanted =
        kind.gameFile != nullptr ? !switchedOff : !options_.file(kind.output).empty();
    if (!wanted || (kind.file == FileMode::Append && (season_ == nullptr || !season_->held()))) {
        return nullptr;
    }
    open_ = std::make_unique<Open>();
    if (kind.file != FileMode::Replace) {
        return &open_->collected;
    }
    // Streamed into the file as it is rendered: an export is never held whole in memory.
    open_->file = std::make_unique<platform::FileReplacement>(env_);
    open_->begun = open_->file->begin(path(kind).c_str());
    if (!open_->begun) {
        return &open_->dropped;
    }
    open_->sink = std::make_unique<ReplacementSink>(*open_->file);
    return open_->sink.get();
}

platform::Status FileDestination::close(const OutputKind& kind) {
    std::unique_ptr<Open> open = std::move(open_);
    switch (kind.file) {
    case FileMode::Replace:
        if (!open->begun) {
            return open->begun;
        }
        if (!open->sink->flush()) {
            return open->sink->status();
        }
        return open->file->commit();
    case FileMode::InPlace: {
        const std::string image = open->collected.take();
        RecordTables tables{};
        if (image.size() != sizeof tables) {
            return platform::Status::failure(platform::StatusKind::Other,
                                             "the records could not be made");
        }
        std::memcpy(tables.entries, image.data(), sizeof tables);
        return writeGameRecords(env_, tables, path(kind).c_str(), options_.game.folder);
    }
    case FileMode::Append: {
        const std::string entry = open->collected.take();
        // No line (the season could not be used): the hold is let go with the run.
        return entry.empty() ? platform::Status() : season_->append(entry);
    }
    }
    return platform::Status();
}

PublishOutcome publishRun(const Publication& run, const std::vector<Destination*>& destinations,
                          std::FILE* console, std::FILE* errors,
                          const std::function<void(PublishOutcome&)>& proceeding,
                          const OutputTable& table) {
    PublishOutcome outcome;
    bool gate = true; // every output that gates the season was written
    bool proceeded = false;
    for (const OutputKind& kind : table) {
        if (!proceeded && !kind.stopsOnFailure) {
            proceeded = true;
            if (proceeding) {
                proceeding(outcome);
            }
        }
        if (kind.needsGate && !gate) {
            continue;
        }
        std::vector<Destination*> takers;
        std::vector<OutputSink*> sinks;
        for (Destination* destination : destinations) {
            if (OutputSink* sink = destination->open(kind)) {
                takers.push_back(destination);
                sinks.push_back(sink);
            }
        }
        bool written = !takers.empty();
        if (takers.empty()) {
            gate = gate && !kind.gatesSeason;
            continue;
        }
        if (kind.announce != nullptr) {
            platform::writeConsole(console, kind.announce + takers.front()->shown(kind));
        }
        if (sinks.size() == 1) {
            kind.render(run, *sinks.front());
        } else {
            TeeSink tee(sinks);
            kind.render(run, tee);
            tee.flush();
        }
        for (Destination* destination : takers) {
            const platform::Status status = destination->close(kind);
            if (kind.announce != nullptr) {
                platform::writeConsole(console, status ? "... ok!\n" : "... failed!\n");
            }
            if (!status) {
                const std::string where = destination->shown(kind);
                complain(errors, where, status.reason());
                outcome.problems.push_back(where + ": " + status.reason());
                written = false;
            }
        }
        outcome.written[indexOf(kind.output)] = written;
        outcome.ok = outcome.ok && written;
        gate = gate && (written || !kind.gatesSeason);
        if (!written && kind.stopsOnFailure) {
            outcome.stopped = true;
            return outcome;
        }
    }
    return outcome;
}

} // namespace kvr
