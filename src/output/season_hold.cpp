#include "output/season_hold.h"

#include "platform/wait.h"

namespace kvr {

std::string seasonHeldReason(std::chrono::milliseconds wait) {
    // "10 s", or "250 ms" for a wait of less than whole seconds.
    const auto ms = static_cast<long long>(wait.count());
    return std::string(platform::HeldByAnotherProgram) + ": waited " +
           (ms % 1000 == 0 ? std::to_string(ms / 1000) + " s" : std::to_string(ms) + " ms") +
           ", nothing written";
}

bool SeasonHold::take(platform::Env& env, const std::string& path, std::chrono::milliseconds wait) {
    const platform::Status status = platform::retryWhileHeld(env, wait, [&] {
        file_ = std::make_unique<platform::AppendOnlyFile>(env);
        read_.content.clear();
        platform::Status opened = file_->open(path.c_str());
        opened = opened ? file_->readAll(read_.content) : opened;
        if (!opened) {
            file_.reset();
            read_.content.clear();
        }
        return opened;
    });
    if (status.kind() == platform::StatusKind::Held) {
        return false;
    }
    read_.problem = status ? std::string() : status.reason();
    return true;
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

} // namespace kvr
