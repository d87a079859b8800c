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

std::string RunOptions::cardUrl() const {
    const std::string& cardFile = file(Output::Card);
    if (pageUrl.empty() || cardFile.empty()) {
        return std::string();
    }
    // The page's folder: up to the last "/" of its path, before any query or fragment.
    const std::string address = pageUrl.substr(0, pageUrl.find_first_of("?#"));
    const size_t scheme = address.find("://");
    const size_t host = scheme == std::string::npos ? 0 : scheme + 3;
    const size_t path = address.find('/', host);
    std::string url =
        path == std::string::npos ? address + "/" : address.substr(0, address.rfind('/') + 1);
    // The card's file name, each byte that a web address does not take as it is in %XX.
    const size_t slash = cardFile.find_last_of("/\\");
    const std::string name = slash == std::string::npos ? cardFile : cardFile.substr(slash + 1);
    static const char* const Hex = "0123456789ABCDEF";
    for (const char c : name) {
        const auto byte = static_cast<unsigned char>(c);
        if ((byte >= 'A' && byte <= 'Z') || (byte >= 'a' && byte <= 'z') ||
            (byte >= '0' && byte <= '9') || c == '-' || c == '.' || c == '_' || c == '~') {
            url += c;
        } else {
            url += '%';
            url += Hex[byte >> 4];
            url += Hex[byte & 0xF];
        }
    }
    return url;
}

} // namespace kvr
