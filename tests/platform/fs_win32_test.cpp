// Windows behaviour of the file-system layer: short-name matches, sharing, devices.
#include "platform/env.h"
#include "platform/fs.h"
#include "platform/fs_detail.h"

#include "support/faulty_env.h"
#include "support/temp_folder.h"

#include <gtest/gtest.h>

#include <algorithm>
#include <chrono>
#include <memory>
#include <thread>

#include <windows.h>

namespace {

using namespace kvr::platform;
using kvrtest::TempFolder;
namespace fs = std::filesystem;

std::vector<std::string> rawPatternMatches(const std::string& pattern) {
    std::vector<std::string> names;
    WIN32_FIND_DATAA found;
    HANDLE search = FindFirstFileA(pattern.c_str(), &found);
    if (search == INVALID_HANDLE_VALUE) {
        return names;
    }
    do {
        names.push_back(found.cFileName);
    } while (FindNextFileA(search, &found));
    FindClose(search);
    return names;
}

bool contains(const std::vector<std::string>& names, const std::string& name) {
    return std::find(names.begin(), names.end(), name) != names.end();
}

TEST(ListFolderWin32, SkipsNamesOnlyTheirShortNameMatches) {
    TempFolder folder;
    const char* names[] = {"x.kvrx", "longer name.kvrzz", "y.kvr", "Z.KVR"};
    for (const char* name : names) {
        kvrtest::writeText(folder / name, "x");
    }
    std::string base = folder.path().string();

    std::vector<FolderEntry> entries;
    ASSERT_TRUE(listFolder(Env::system(), base.c_str(), ".kvr", entries));
    std::vector<std::string> listed;
    for (const FolderEntry& e : entries) {
        listed.push_back(e.name);
    }
    EXPECT_EQ(listed, (std::vector<std::string>{"y.kvr", "Z.KVR"}));

    // Where the volume makes 8.3 names ("x.kvrx" gets one ending in ".KVR"), the pattern
    // alone matches the long names too: the filter above is what keeps them out.
    char shortName[MAX_PATH];
    std::string longPath = (folder / "x.kvrx").string();
    DWORD length = GetShortPathNameA(longPath.c_str(), shortName, MAX_PATH);
    bool hasShortNames = length > 0 && length < MAX_PATH && std::string(shortName) != longPath;
    if (hasShortNames) {
        std::vector<std::string> raw = rawPatternMatches(base + "/*.kvr");
        EXPECT_TRUE(contains(raw, "x.kvrx")) << shortName;
        EXPECT_TRUE(contains(raw, "longer name.kvrzz"));
    }
}

// Another program's handle on the file, opened with the given sharing.
class OtherHandle {
  public:
    OtherHandle(const fs::path& path, DWORD access, DWORD share)
        : handle_(CreateFileW(path.wstring().c_str(), access, share, nullptr, OPEN_EXISTING,
                              FILE_ATTRIBUTE_NORMAL, nullptr)) {}
    ~OtherHandle() {
        if (open()) {
            CloseHandle(handle_);
        }
    }
    OtherHandle(const OtherHandle&) = delete;
    OtherHandle& operator=(const OtherHandle&) = delete;
    bool open() const { return handle_ != INVALID_HANDLE_VALUE; }

  private:
    HANDLE handle_;
};

TEST(SharingWin32, ReadersShareWritersFailAtOnce) {
    TempFolder folder;
    auto path = folder / "held.rcf";
    const std::vector<uint8_t> before = kvrtest::syntheticRecordsFile(100);
    const uint8_t patch[4] = {1, 2, 3, 4};
    const WriteBlock block{10, patch, sizeof patch};
    const DWORD all = FILE_SHARE_READ | FILE_SHARE_WRITE | FILE_SHARE_DELETE;
    struct Case {
        const char* what;
        DWORD access;
        DWORD share;
        bool readable; // by readShared while the other handle is open
    };
    const Case cases[] = {
        {"reader, no sharing", GENERIC_READ, 0, false},
        {"reader, read sharing", GENERIC_READ, FILE_SHARE_READ, true},
        {"reader, full sharing", GENERIC_READ, all, true},
        {"writer, full sharing", GENERIC_WRITE, all, false},
        {"writer, read sharing", GENERIC_READ | GENERIC_WRITE, FILE_SHARE_READ, false},
    };
    for (const Case& c : cases) {
        kvrtest::writeBytes(path, before);
        {
            OtherHandle other(path, c.access, c.share);
            ASSERT_TRUE(other.open()) << c.what;
            uint8_t buffer[200];
            size_t delivered = 99;
            auto start = std::chrono::steady_clock::now();
            Status read =
                readShared(Env::system(), path.string().c_str(), buffer, sizeof buffer, delivered);
            EXPECT_EQ(read.ok(), c.readable) << c.what;
            EXPECT_EQ(delivered, c.readable ? before.size() : 0u) << c.what;
            if (!c.readable) {
                EXPECT_EQ(read.reason(), HeldByAnotherProgram) << c.what;
                EXPECT_EQ(read.kind(), StatusKind::Held) << c.what;
            }
            // The records update wants the file to itself, whatever the other handle does.
            Status written = writeBlocksInPlace(Env::system(), path.string().c_str(), &block, 1, 0);
            EXPECT_EQ(written.reason(), HeldByAnotherProgram) << c.what;
            EXPECT_EQ(written.kind(), StatusKind::Held) << c.what;
            auto elapsed = std::chrono::steady_clock::now() - start;
            EXPECT_LT(elapsed, std::chrono::seconds(1)) << c.what;
        }
        EXPECT_EQ(kvrtest::readBytes(path), before) << c.what;
    }

    // Once the other handle is closed, both succeed.
    uint8_t buffer[200];
    size_t delivered = 0;
    EXPECT_TRUE(readShared(Env::system(), path.string().c_str(), buffer, sizeof buffer, delivered));
    EXPECT_EQ(delivered, before.size());
    EXPECT_TRUE(writeBlocksInPlace(Env::system(), path.string().c_str(), &block, 1, 0));
    EXPECT_EQ(kvrtest::readBytes(path)[12], 3);
}

TEST(DevicesWin32, AreNeitherReadNorWritten) {
    // NUL opens like a file and reads as empty.
    uint8_t buffer[16];
    size_t delivered = 0;
    EXPECT_FALSE(readShared(Env::system(), "NUL", buffer, sizeof buffer, delivered));
    const uint8_t byte = 0;
    const WriteBlock block{0, &byte, 1};
    EXPECT_FALSE(writeBlocksInPlace(Env::system(), "NUL", &block, 1, 0));
}

TEST(DevicesWin32, APipeIsRefusedWithoutWaitingForData) {
    std::string name = "\\\\.\\pipe\\kvrtest-" + std::to_string(GetCurrentProcessId());
    HANDLE server = CreateNamedPipeA(name.c_str(), PIPE_ACCESS_OUTBOUND, PIPE_TYPE_BYTE | PIPE_WAIT,
                                     1, 4096, 4096, 0, nullptr);
    ASSERT_NE(server, INVALID_HANDLE_VALUE);
    // Data arrives late: a reader that waited for it would take two seconds and succeed.
    std::thread writer([server] {
        std::this_thread::sleep_for(std::chrono::seconds(2));
        char data[32] = {};
        DWORD written = 0;
        WriteFile(server, data, sizeof data, &written, nullptr);
        CloseHandle(server);
    });
    uint8_t buffer[16];
    size_t delivered = 0;
    auto start = std::chrono::steady_clock::now();
    bool read = readShared(Env::system(), name.c_str(), buffer, sizeof buffer, delivered).ok();
    auto elapsed = std::chrono::steady_clock::now() - start;
    writer.join();
    EXPECT_FALSE(read);
    EXPECT_LT(elapsed, std::chrono::seconds(1));
}

DWORD attributesOf(const fs::path& path) {
    return GetFileAttributesW(path.wstring().c_str());
}

std::vector<std::string> temporariesOf(const fs::path& folder, const std::string& base) {
    std::vector<std::string> names;
    for (const fs::directory_entry& entry : fs::directory_iterator(folder)) {
        std::string name = entry.path().filename().u8string();
        if (isTemporaryName(name, base)) {
            names.push_back(name);
        }
    }
    return names;
}

TEST(ReplaceWin32, KeepsAttributesAndRefusesAReadOnlyReport) {
    const DWORD watched = FILE_ATTRIBUTE_HIDDEN | FILE_ATTRIBUTE_SYSTEM | FILE_ATTRIBUTE_READONLY;
    struct Case {
        const char* what;
        DWORD attributes;
        bool replaced;
    };
    const Case cases[] = {
        {"plain", FILE_ATTRIBUTE_NORMAL, true},
        {"hidden", FILE_ATTRIBUTE_HIDDEN, true},
        {"hidden and system", FILE_ATTRIBUTE_HIDDEN | FILE_ATTRIBUTE_SYSTEM, true},
        {"read-only", FILE_ATTRIBUTE_READONLY, false},
        {"read-only and hidden", FILE_ATTRIBUTE_READONLY | FILE_ATTRIBUTE_HIDDEN, false},
    };
    for (const Case& c : cases) {
        TempFolder folder;
        fs::path path = folder / "ranking.txt";
        kvrtest::writeText(path, "earlier\r\n");
        ASSERT_TRUE(SetFileAttributesW(path.wstring().c_str(), c.attributes)) << c.what;

        Status status = replaceFile(Env::system(), path.string().c_str(), "new\r\n", 5);
        EXPECT_EQ(status.ok(), c.replaced) << c.what << ": " << status.reason();
        EXPECT_EQ(kvrtest::readText(path), c.replaced ? "new\r\n" : "earlier\r\n") << c.what;
        EXPECT_EQ(attributesOf(path) & watched, c.attributes & watched) << c.what;
        if (!c.replaced) {
            EXPECT_EQ(status.reason(), "read-only") << c.what;
            EXPECT_EQ(status.kind(), StatusKind::Denied) << c.what;
        }
        EXPECT_EQ(temporariesOf(folder.path(), "ranking.txt"), std::vector<std::string>())
            << c.what;
        SetFileAttributesW(path.wstring().c_str(), FILE_ATTRIBUTE_NORMAL);
    }
}

// A reader that holds the target for a moment, as another run looking at its outputs does,
// delays a replacement; one that holds it for good makes it fail, the target as it was.
TEST(ReplaceWin32, WaitsForAMomentaryReaderOnly) {
    const DWORD all = FILE_SHARE_READ | FILE_SHARE_WRITE | FILE_SHARE_DELETE;
    struct Case {
        const char* what;
        DWORD access, share;
        std::chrono::milliseconds held; // zero: for the whole replacement
        bool replaced;
    };
    const Case cases[] = {
        {"reader, read sharing, a moment", GENERIC_READ, FILE_SHARE_READ,
         std::chrono::milliseconds(300), true},
        {"reader, no sharing, a moment", GENERIC_READ, 0, std::chrono::milliseconds(300), true},
        {"a look, full sharing, throughout", 0, all, std::chrono::milliseconds(0), true},
        {"reader, read sharing, throughout", GENERIC_READ, FILE_SHARE_READ,
         std::chrono::milliseconds(0), false},
    };
    for (const Case& c : cases) {
        TempFolder folder;
        const fs::path path = folder / "page.html";
        kvrtest::writeText(path, "earlier");
        Status status;
        {
            auto other = std::make_unique<OtherHandle>(path, c.access, c.share);
            ASSERT_TRUE(other->open()) << c.what;
            std::thread release;
            if (c.held.count() > 0) {
                release = std::thread([&] {
                    std::this_thread::sleep_for(c.held);
                    other.reset();
                });
            }
            status = replaceFile(Env::system(), path.string().c_str(), "new", 3);
            if (release.joinable()) {
                release.join();
            }
        }
        EXPECT_EQ(status.ok(), c.replaced) << c.what << ": " << status.reason();
        EXPECT_EQ(kvrtest::readText(path), c.replaced ? "new" : "earlier") << c.what;
        if (!c.replaced) {
            EXPECT_EQ(status.reason(), HeldByAnotherProgram) << c.what;
            EXPECT_EQ(status.kind(), StatusKind::Held) << c.what;
        }
        EXPECT_EQ(temporariesOf(folder.path(), "page.html"), std::vector<std::string>()) << c.what;
    }
}

TEST(ReplaceWin32, RemovesStaleTemporariesButNotALiveWritersOne) {
    TempFolder folder;
    const std::string stale = temporaryName("ranking.txt", 1);
    const std::string live = temporaryName("ranking.txt", 2);
    const std::string otherTarget = temporaryName("other.txt", 3);
    for (const std::string& name : {stale, live, otherTarget}) {
        kvrtest::writeText(folder / name, "left over");
    }
    // A run that is writing keeps its temporary file open without delete sharing.
    HANDLE writer = CreateFileW((folder / live).wstring().c_str(), GENERIC_WRITE, FILE_SHARE_READ,
                                nullptr, OPEN_EXISTING, FILE_ATTRIBUTE_NORMAL, nullptr);
    ASSERT_NE(writer, INVALID_HANDLE_VALUE);
    Status status = replaceFile(Env::system(), (folder / "ranking.txt").string().c_str(), "new", 3);
    CloseHandle(writer);
    EXPECT_TRUE(status) << status.reason();
    EXPECT_EQ(kvrtest::readText(folder / "ranking.txt"), "new");
    EXPECT_FALSE(fs::exists(folder / stale));
    EXPECT_TRUE(fs::exists(folder / live));
    EXPECT_TRUE(fs::exists(folder / otherTarget));
}

TEST(ReasonsWin32, CarryTheSystemTextWithoutItsClosingPunctuation) {
    TempFolder folder;
    uint8_t buffer[4];
    size_t delivered = 0;
    Status missing =
        readShared(Env::system(), (folder / "missing.kvr").string().c_str(), buffer, 4, delivered);
    ASSERT_FALSE(missing);
    EXPECT_EQ(missing.code(), static_cast<long>(ERROR_FILE_NOT_FOUND));
    EXPECT_TRUE(isMissingFile(missing));
    EXPECT_FALSE(missing.reason().empty());
    const char last = missing.reason().back();
    EXPECT_TRUE(last != '.' && last != '\n' && last != '\r' && last != ' ') << missing.reason();
    EXPECT_EQ(
        readShared(Env::system(), folder.path().string().c_str(), buffer, 4, delivered).reason(),
        NotARegularFile);

    kvrtest::FaultyEnv env;
    env.failAt(1);
    Status injected =
        readShared(env, (folder / "missing.kvr").string().c_str(), buffer, 4, delivered);
    EXPECT_FALSE(injected);
    EXPECT_FALSE(injected.reason().empty());
}

} // namespace
