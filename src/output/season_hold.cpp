#include "output/season_hold.h"

#include "platform/console.h"
#include "platform/wait.h"

namespace kvr {

std::string seasonHeldReason(std::chrono::milliseconds wait) {
    // "10 s", or "250 ms" for a wait of less than whole seconds.
    const auto ms = static_cast<long long>(wait.count());
    return std::string(platform::HeldByAnotherProgram) + ": waited " +
           (ms % 1000 == 0 ? std::to_string(ms / 1000) + " s" : std::to_string(ms) + " ms") +
           ", nothing written";
}

bool tellSeasonHolder(platform::Env& env, const std::string& path, std::chrono::milliseconds wait,
                      std::FILE* console) {
    const std::optional<SeasonOwner> owner = readSeasonOwner(env, path);
    if (!owner || console == nullptr) {
        return false;
    }
    platform::writeConsole(console, seasonHolderLine(path, *owner, wait) + "\n");
    return true;
}

SeasonHold::~SeasonHold() {
    dropOwner();
}

void SeasonHold::dropOwner() {
    if (ownerWritten_) {
        // A record left behind is not believed once this process ends.
        (void)removeSeasonOwner(*env_, path_);
        ownerWritten_ = false;
    }
}

bool SeasonHold::take(platform::Env& env, const std::string& path, std::chrono::milliseconds wait) {
    env_ = &env;
    path_ = path;
    bool looked = false;
    const platform::Status status = platform::retryWhileHeld(env, wait, [&] {
        file_ = std::make_unique<platform::AppendOnlyFile>(env);
        read_.content.clear();
        platform::Status opened = file_->open(path.c_str());
        opened = opened ? file_->readAll(read_.content) : opened;
        if (!opened) {
            file_.reset();
            read_.content.clear();
        }
        // Told once, at the first refusal, so that the organiser knows at once what to close.
        if (opened.kind() == platform::StatusKind::Held && !looked) {
            looked = true;
            (void)tellSeasonHolder(env, path, wait, console_);
        }
        return opened;
    });
    if (status.kind() == platform::StatusKind::Held) {
        return false;
    }
    // Only a run that holds the season names itself; failing to do so changes nothing else.
    ownerWritten_ = file_ != nullptr && writeSeasonOwner(env, path, kind_);
    read_.problem = status ? std::string() : status.reason();
    return true;
}

void SeasonHold::forgetContent() {
    read_.content.clear();
    read_.content.shrink_to_fit();
}

platform::Status SeasonHold::append(const std::string& entry) {
    platform::Status appended = file_->append(entry.data(), entry.size());
    // The record goes while the season is still held, so that it never removes the next
    // holder's.
    dropOwner();
    appended = appended ? file_->close() : appended;
    file_.reset();
    return appended;
}

} // namespace kvr
