// Platform-independent parts of the file-system layer: name matching, listing order and the
// fault-injection seam.
#include "platform/fs.h"

#include <algorithm>
#include <cstring>

namespace kvr::platform {

static char upperAscii(char c) {
    return (c >= 'a' && c <= 'z') ? static_cast<char>(c - 'a' + 'A') : c;
}

bool nameHasExtension(const std::string& name, const char* extension) {
    size_t length = std::strlen(extension);
    if (name.size() < length) {
        return false;
    }
    const char* tail = name.data() + name.size() - length;
    for (size_t i = 0; i < length; ++i) {
        if (upperAscii(tail[i]) != upperAscii(extension[i])) {
            return false;
        }
    }
    return true;
}

bool folderNameLess(const std::string& a, const std::string& b) {
    size_t common = a.size() < b.size() ? a.size() : b.size();
    for (size_t i = 0; i < common; ++i) {
        auto x = static_cast<unsigned char>(upperAscii(a[i]));
        auto y = static_cast<unsigned char>(upperAscii(b[i]));
        if (x != y) {
            return x < y;
        }
    }
    if (a.size() != b.size()) {
        return a.size() < b.size();
    }
    // Same name apart from letter case: the raw bytes decide.
    return std::memcmp(a.data(), b.data(), a.size()) < 0;
}

void sortFolderEntries(std::vector<FolderEntry>& entries) {
    // Fold every name once, then sort by (folded name, raw name): the same order as
    // folderNameLess, with plain byte comparisons inside the sort.
    struct Key {
        std::string folded;
        size_t index;
    };
    std::vector<Key> keys(entries.size());
    for (size_t i = 0; i < entries.size(); ++i) {
        keys[i].folded = entries[i].name;
        for (char& c : keys[i].folded) {
            c = upperAscii(c);
        }
        keys[i].index = i;
    }
    std::sort(keys.begin(), keys.end(), [&entries](const Key& a, const Key& b) {
        int order = a.folded.compare(b.folded);
        return order != 0 ? order < 0 : entries[a.index].name < entries[b.index].name;
    });
    std::vector<FolderEntry> sorted;
    sorted.reserve(entries.size());
    for (const Key& key : keys) {
        sorted.push_back(std::move(entries[key.index]));
    }
    entries = std::move(sorted);
}

static long faultAt = 0;
static long operationCount = 0;

void injectFaultAt(long k) {
    faultAt = k;
    operationCount = 0;
}

long operationsSinceInjection() {
    return operationCount;
}

bool operationFails() {
    ++operationCount;
    return faultAt > 0 && operationCount == faultAt;
}

} // namespace kvr::platform
