#include "output/run_options.h"

#include "data/text.h"
#include "platform/console.h"
#include "platform/fs.h"

namespace kvr {

void complain(std::FILE* errors, const std::string& path, const std::string& reason) {
    complain(errors, path + ": " + reason);
}

void complain(std::FILE* errors, const std::string& what) {
    platform::writeConsole(errors, "kvrrank: " + safeText(what) + "\n");
}

std::string participantPath(const std::string& name) {
    return std::string(ParticipantFolder) + "/" + name;
}

std::string GamePlaces::path(const std::string& relative) const {
    if (folder.empty()) {
        return relative;
    }
    const char last = folder.back();
    return folder + (last == '/' || last == platform::PathSeparator ? "" : "/") + relative;
}

std::string GamePlaces::shownPath(const std::string& relative) const {
    if (shown.empty()) {
        return relative;
    }
    const char last = shown.back();
    const bool separated = last == '/' || last == platform::PathSeparator;
    return shown + (separated ? "" : std::string(1, platform::PathSeparator)) + relative;
}

std::string RunOptions::label(Output output) const {
    const std::string& named = namedBy[indexOf(output)];
    return named.empty() ? std::string(outputKind(output).option) : named;
}

} // namespace kvr
