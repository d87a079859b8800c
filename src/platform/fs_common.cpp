// Platform-independent parts of the file-system layer: name matching, listing order and the
// fault-injection seam.
#include "platform/fs.h"

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
