// Platform-independent parts of the file-system layer: name matching, listing order, the
// names of temporary files and the local time.
#include "platform/fs.h"
#include "platform/fs_detail.h"
#include "platform/watch_os.h"

#include <algorithm>
#include <atomic>
#include <chrono>
#include <cstdio>
#include <cstring>
#include <ctime>
#include <filesystem>

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

std::string tooShort(uint64_t size, uint64_t minimum) {
    return "too short: " + std::to_string(size) + " bytes, at least " + std::to_string(minimum) +
           " needed";
}

static constexpr const char* TemporaryTag = ".kvrrank-";
static constexpr const char* TemporarySuffix = ".tmp";
static constexpr size_t TemporaryDigits = 16;

std::string temporaryName(const std::string& base, uint64_t number) {
    char digits[TemporaryDigits + 1];
    std::snprintf(digits, sizeof digits, "%016llx", static_cast<unsigned long long>(number));
    return "." + base + TemporaryTag + digits + TemporarySuffix;
}

bool isTemporaryName(const std::string& name, const std::string& base) {
    const std::string prefix = "." + base + TemporaryTag;
    const size_t suffixLength = std::strlen(TemporarySuffix);
    if (name.size() != prefix.size() + TemporaryDigits + suffixLength ||
        name.compare(0, prefix.size(), prefix) != 0 ||
        name.compare(name.size() - suffixLength, suffixLength, TemporarySuffix) != 0) {
        return false;
    }
    for (size_t i = prefix.size(); i < prefix.size() + TemporaryDigits; ++i) {
        char c = name[i];
        if (!((c >= '0' && c <= '9') || (c >= 'a' && c <= 'f'))) {
            return false;
        }
    }
    return true;
}

uint64_t uniqueNumber() {
    // The clock, a counter and an address that differs between processes, mixed; a clash
    // only costs another attempt, as the file is created exclusively.
    static std::atomic<uint64_t> counter{0};
    static const int anchor = 0;
    uint64_t x = static_cast<uint64_t>(
                     std::chrono::high_resolution_clock::now().time_since_epoch().count()) ^
                 (counter++ << 48) ^ static_cast<uint64_t>(reinterpret_cast<uintptr_t>(&anchor));
    x += 0x9E3779B97F4A7C15u;
    x = (x ^ (x >> 30)) * 0xBF58476D1CE4E5B9u;
    x = (x ^ (x >> 27)) * 0x94D049BB133111EBu;
    return x ^ (x >> 31);
}

std::string absolutePath(const std::string& path) {
    std::error_code error;
    std::filesystem::path absolute =
        std::filesystem::absolute(std::filesystem::u8path(path), error);
    if (error) {
        return path; // then the path is used as given
    }
    std::string utf8 = absolute.u8string();
    return utf8;
}

std::string absolutePathBeside(const std::string& file, const std::string& path) {
    const std::filesystem::path relative = std::filesystem::u8path(path);
    if (relative.is_absolute()) {
        return path;
    }
    const std::filesystem::path folder = std::filesystem::u8path(absolutePath(file)).parent_path();
    std::string utf8 = (folder / relative).u8string();
    return utf8;
}

LocalTime os::localNow() {
    LocalTime result;
    std::time_t now = std::time(nullptr);
    std::tm local{};
#ifdef _WIN32
    bool known = now != static_cast<std::time_t>(-1) && localtime_s(&local, &now) == 0;
#else
    bool known = now != static_cast<std::time_t>(-1) && localtime_r(&now, &local) != nullptr;
#endif
    if (known) {
        result.year = local.tm_year + 1900;
        result.month = local.tm_mon + 1;
        result.day = local.tm_mday;
        result.hour = local.tm_hour;
        result.minute = local.tm_min;
        result.second = local.tm_sec;
    }
    return result;
}

} // namespace kvr::platform
