#include "platform/env.h"
#include "platform/fs.h"
#include "platform/fs_detail.h"
#include "platform/os_file.h"

#include "support/faulty_env.h"
#include "support/temp_folder.h"

#include <gtest/gtest.h>

#include <algorithm>
#include <functional>
#include <random>

#ifndef _WIN32
#include <sys/stat.h>
#endif

namespace {

using namespace kvr::platform;
using kvrtest::TempFolder;
namespace fs = std::filesystem;

TEST(NameHasExtension, MatchesTheExtensionWithoutRegardToCase) {
    struct Case {
        const char* name;
        bool matches;
    };
    const Case cases[] = {
        {"a.kvr", true},      {"A.KVR", true},         {"b.Kvr", true}, {".kvr", true},
        {"a.kvrx", false},    {"a.kv", false},         {"kvr", false},  {"akvr", false},
        {"a.kvr.txt", false}, {"x.k\xC3\xA4r", false}, {"", false},
    };
    for (const Case& c : cases) {
        EXPECT_EQ(nameHasExtension(c.name, ".kvr"), c.matches) << c.name;
    }
}

TEST(FolderNameLess, FoldsLettersThenBreaksTiesByRawBytes) {
    std::vector<std::string> names = {"b.kvr", "_x.kvr", "a.kvr",  "[.kvr",
                                      "A.kvr", "Z.kvr",  "ab.kvr", "a.KVR"};
    std::sort(names.begin(), names.end(), folderNameLess);
    // '[' (5Bh) and '_' (5Fh) sort after the letters once those are folded to upper case.
    const std::vector<std::string> expected = {"A.kvr", "a.KVR", "a.kvr", "ab.kvr",
                                               "b.kvr", "Z.kvr", "[.kvr", "_x.kvr"};
    EXPECT_EQ(names, expected);
}

TEST(SortFolderEntries, AgreesWithFolderNameLessOnRandomNames) {
    std::mt19937 random(11);
    const std::string alphabet = "aAbBzZ_[`{~\x7f\x80\xe9\xC9.";
    for (int round = 0; round < 50; ++round) {
        std::vector<FolderEntry> entries;
        for (int i = 0; i < 40; ++i) {
            std::string name;
            for (size_t length = random() % 5; length > 0; --length) {
                name += alphabet[random() % alphabet.size()];
            }
            entries.push_back({name + ".kvr", (random() & 1) != 0});
        }
        std::vector<FolderEntry> expected = entries;
        std::stable_sort(expected.begin(), expected.end(),
                         [](const FolderEntry& a, const FolderEntry& b) {
                             return folderNameLess(a.name, b.name);
                         });
        sortFolderEntries(entries);
        ASSERT_EQ(entries.size(), expected.size());
        for (size_t i = 0; i < entries.size(); ++i) {
            EXPECT_EQ(entries[i].name, expected[i].name) << round << "/" << i;
        }
    }
}

TEST(ListFolder, ListsMatchingEntriesInOrderAndMarksFolders) {
    TempFolder folder;
    for (const char* name : {"b.kvr", "A.KVR", "c.kvrx", "notes.txt", "a2.kvr"}) {
        kvrtest::writeText(folder / name, "x");
    }
    fs::create_directory(folder / "sub.kvr");
    fs::create_directory(folder / "other");
    if (kvrtest::posixFileSystem()) {
        fs::create_directory_symlink(folder / "other", folder / "link.kvr");
        fs::create_symlink(folder / "nowhere", folder / "dangling.kvr");
    }

    std::vector<FolderEntry> entries;
    ASSERT_TRUE(listFolder(Env::system(), folder.path().string().c_str(), ".kvr", entries));
    std::vector<std::string> names;
    std::vector<std::string> folders;
    for (const FolderEntry& e : entries) {
        names.push_back(e.name);
        if (e.isFolder) {
            folders.push_back(e.name);
        }
    }
    if (kvrtest::posixFileSystem()) {
        EXPECT_EQ(names, (std::vector<std::string>{"A.KVR", "a2.kvr", "b.kvr", "dangling.kvr",
                                                   "link.kvr", "sub.kvr"}));
        EXPECT_EQ(folders, (std::vector<std::string>{"link.kvr", "sub.kvr"}));
    } else {
        EXPECT_EQ(names, (std::vector<std::string>{"A.KVR", "a2.kvr", "b.kvr", "sub.kvr"}));
        EXPECT_EQ(folders, (std::vector<std::string>{"sub.kvr"}));
    }
}

TEST(ListFolder, FailsOnAMissingFolder) {
    TempFolder folder;
    std::vector<FolderEntry> entries{{"stale", false}};
    EXPECT_FALSE(listFolder(Env::system(), (folder / "missing").string().c_str(), ".kvr", entries));
    EXPECT_TRUE(entries.empty());
}

size_t filesIn(const fs::path& folder) {
    return static_cast<size_t>(
        std::distance(fs::directory_iterator(folder), fs::directory_iterator()));
}

TEST(ReplaceFile, CreatesOrReplacesAndLeavesNoTemporaryFile) {
    TempFolder folder;
    auto target = folder / "report.txt";
    ASSERT_TRUE(replaceFile(Env::system(), target.string().c_str(), "first\n", 6));
    EXPECT_EQ(kvrtest::readText(target), "first\n");
    ASSERT_TRUE(replaceFile(Env::system(), target.string().c_str(), "2", 1));
    EXPECT_EQ(kvrtest::readText(target), "2");
    EXPECT_EQ(filesIn(folder.path()), 1u);
}

TEST(ReplaceFile, FailsOnAFolderAndLeavesItAlone) {
    TempFolder folder;
    auto target = folder / "report.txt";
    fs::create_directory(target);
    kvrtest::writeText(target / "inside", "keep");
    EXPECT_FALSE(replaceFile(Env::system(), target.string().c_str(), "new", 3));
    EXPECT_EQ(kvrtest::readText(target / "inside"), "keep");
    EXPECT_EQ(filesIn(folder.path()), 1u);
}

#ifndef _WIN32
TEST(ReplaceFile, KeepsThePermissionBitsOfTheReplacedFile) {
    TempFolder folder;
    auto target = folder / "report.txt";
    kvrtest::writeText(target, "old");
    ASSERT_EQ(::chmod(target.c_str(), 0640), 0);
    ASSERT_TRUE(replaceFile(Env::system(), target.c_str(), "new", 3));
    struct stat info;
    ASSERT_EQ(::stat(target.c_str(), &info), 0);
    EXPECT_EQ(info.st_mode & 07777, 0640u);
    EXPECT_EQ(kvrtest::readText(target), "new");
}
#endif

// Every step of every policy fails in turn, as on a failing disk: the policy fails with the
// disk's reason, the file is as it was or whole, and no temporary file stays beside it. The
// sweep ends exactly after the steps of an undisturbed run: a failure at none of them is
// swallowed.
// A file replaced after its identity was taken never shares its number with the file that took
// its place, as another run replacing its outputs between two looks would otherwise make it.
TEST(FileIdentity, NeverPassesAReplacedFilesNumberOn) {
    TempFolder folder;
    kvrtest::writeText(folder / "a.txt", "a");
    kvrtest::writeText(folder / "b.txt", "b");
    for (int round = 0; round < 200; ++round) {
        const FileIdentity before = identifyFile((folder / "a.txt").u8string());
        ASSERT_TRUE(before.exists);
        ASSERT_TRUE(replaceFile(Env::system(), (folder / "a.txt").u8string().c_str(), "x", 1));
        ASSERT_TRUE(replaceFile(Env::system(), (folder / "b.txt").u8string().c_str(), "y", 1));
        EXPECT_FALSE(sameFile(before, identifyFile((folder / "b.txt").u8string())))
            << "round " << round;
    }
}

TEST(FaultyEnv, AFaultAtEachStepOfAPolicyFailsItAndLeavesTheFileOldOrWhole) {
    using Run = std::function<Status(Env&, const fs::path& folder, const fs::path& file)>;
    struct Policy {
        const char* what;
        const char* before; // the file at the start; nullptr: none
        const char* after;  // the file once the policy has succeeded
        Run run;
        bool createsEmpty = false; // a log is created empty before it is appended to
    };
    const auto* bytes = reinterpret_cast<const uint8_t*>("abcd");
    const WriteBlock blocks[] = {{2, bytes, 2}, {6, bytes + 2, 2}};
    const Run replace = [](Env& env, const fs::path&, const fs::path& file) {
        return replaceFile(env, file.string().c_str(), "new", 3);
    };
    const Run append = [](Env& env, const fs::path&, const fs::path& file) {
        AppendOnlyFile log(env);
        std::string content;
        Status status = log.open(file.string().c_str());
        status = status ? log.readAll(content) : status;
        status = status ? log.append("new\n", 4) : status;
        return status ? log.close() : status;
    };
    const Policy policies[] = {
        {"replace", "old", "new", replace},
        {"replace a missing file", nullptr, "new", replace},
        {"create", nullptr, "new",
         [](Env& env, const fs::path&, const fs::path& file) {
             return createNewFile(env, file.string().c_str(), "new", 3);
         }},
        {"update in place", "0123456789", "01ab45cd89",
         [&blocks](Env& env, const fs::path&, const fs::path& file) {
             return writeBlocksInPlace(env, file.string().c_str(), blocks, 2, 10);
         }},
        {"read", "0123456789", "0123456789",
         [](Env& env, const fs::path&, const fs::path& file) {
             uint8_t buffer[64];
             size_t delivered = 0;
             Status status =
                 readShared(env, file.string().c_str(), buffer, sizeof buffer, delivered);
             return status && delivered != 10
                        ? Status::failure(StatusKind::Other, "part of the file")
                        : status;
         }},
        {"read whole", "0123456789", "0123456789",
         [](Env& env, const fs::path&, const fs::path& file) {
             std::string content;
             Status status = readWholeShared(env, file.string().c_str(), 100, content);
             return status && content != "0123456789"
                        ? Status::failure(StatusKind::Other, "not the file")
                        : status;
         }},
        {"list", "x", "x",
         [](Env& env, const fs::path& folder, const fs::path&) {
             std::vector<FolderEntry> entries;
             Status status = listFolder(env, folder.string().c_str(), ".kvr", entries);
             return status && entries.size() != 1
                        ? Status::failure(StatusKind::Other, "not every entry")
                        : status;
         }},
        {"append", "old\n", "old\nnew\n", append},
        {"append to a missing file", nullptr, "new\n", append, true},
    };
    for (const Policy& policy : policies) {
        SCOPED_TRACE(policy.what);
        long steps = -1; // of an undisturbed run
        for (long k = 0;; ++k) {
            ASSERT_LT(k, 40) << "the sweep does not end";
            SCOPED_TRACE("fault at step " + std::to_string(k));
            TempFolder folder;
            const fs::path file = folder / "file.kvr";
            if (policy.before != nullptr) {
                kvrtest::writeText(file, policy.before);
            }
            kvrtest::FaultyEnv env;
            env.failAt(k);
            const Status status = policy.run(env, folder.path(), file);
            for (const auto& entry : fs::directory_iterator(folder.path())) {
                EXPECT_EQ(entry.path().filename(), "file.kvr");
            }
            if (k == 0) {
                ASSERT_TRUE(status) << status.reason();
                EXPECT_EQ(kvrtest::readText(file), policy.after);
                steps = env.operations();
                continue;
            }
            if (k > steps) {
                EXPECT_TRUE(status) << status.reason();
                EXPECT_EQ(env.operations(), steps);
                break;
            }
            EXPECT_FALSE(status);
            EXPECT_EQ(status.code(), deviceErrorCode()) << status.reason();
            if (fs::exists(file)) {
                const std::string now = kvrtest::readText(file);
                const std::string earlier = policy.before != nullptr ? policy.before : "";
                const bool kept = policy.before != nullptr || (policy.createsEmpty && now.empty());
                EXPECT_TRUE(now == policy.after || (kept && now == earlier)) << now;
            } else {
                EXPECT_EQ(policy.before, nullptr);
            }
        }
        EXPECT_GE(steps, 2);
    }
}

// The season's history as the run keeps it: what the file holds is read, lines are added at
// its end, and the file is held against any other opener until it is closed.
TEST(AppendOnlyFile, AppendsAfterWhatItReadAndHoldsTheFileUntilClosed) {
    struct Case {
        const char* what;
        bool exists;
        std::string earlier;
    };
    const Case cases[] = {
        {"missing, created", false, ""},
        {"empty", true, ""},
        {"ending without a line feed", true, "{\"a\":1}\n{\"b\""},
    };
    for (const Case& c : cases) {
        SCOPED_TRACE(c.what);
        TempFolder folder;
        const fs::path path = folder / "season.jsonl";
        if (c.exists) {
            kvrtest::writeText(path, c.earlier);
        }
        AppendOnlyFile log(Env::system());
        ASSERT_TRUE(log.open(path.string().c_str()));
        std::string content = "stale";
        ASSERT_TRUE(log.readAll(content));
        EXPECT_EQ(content, c.earlier);
        AppendOnlyFile second(Env::system());
        const Status held = second.open(path.string().c_str());
        EXPECT_EQ(held.reason(), HeldByAnotherProgram);
        EXPECT_EQ(held.kind(), StatusKind::Held);
        ASSERT_TRUE(log.append("one\n", 4));
        ASSERT_TRUE(log.append("two\n", 4));
        ASSERT_TRUE(log.close());
        EXPECT_EQ(kvrtest::readText(path), c.earlier + "one\ntwo\n");
        EXPECT_TRUE(second.open(path.string().c_str()));
    }
    TempFolder folder;
    AppendOnlyFile onFolder(Env::system());
    EXPECT_EQ(onFolder.open(folder.path().string().c_str()).reason(), NotARegularFile);
}

// Each operation of an append can fail, the flush that makes it durable too: every such fault
// fails the append with a reason, and the file keeps its earlier bytes.
TEST(AppendOnlyFile, AFaultAtAnyStepOfAnAppendFailsIt) {
    for (bool created : {false, true}) {
        SCOPED_TRACE(created ? "a file the open created" : "an earlier file");
        const std::string earlier = created ? "" : "earlier\n";
        long faultedSteps = 0;
        for (long k = 1;; ++k) {
            ASSERT_LT(k, 20) << "the sweep does not end";
            SCOPED_TRACE("fault at step " + std::to_string(k));
            TempFolder folder;
            const fs::path path = folder / "season.jsonl";
            if (!created) {
                kvrtest::writeText(path, earlier);
            }
            kvrtest::FaultyEnv env;
            AppendOnlyFile log(env);
            std::string content;
            ASSERT_TRUE(log.open(path.string().c_str()));
            ASSERT_TRUE(log.readAll(content));
            env.failAt(k);
            const Status appended = log.append("line\n", 5);
            const bool hit = env.operations() >= k;
            env.failAt(0);
            ASSERT_TRUE(log.close());
            const std::string now = kvrtest::readText(path);
            if (!hit) {
                EXPECT_TRUE(appended) << appended.reason();
                EXPECT_EQ(now, earlier + "line\n");
                break;
            }
            ++faultedSteps;
            EXPECT_FALSE(appended);
            EXPECT_NE(appended.code(), 0);
            EXPECT_FALSE(appended.reason().empty());
            // The write is the first step; after it the line is there, but not yet durable.
            EXPECT_EQ(now, k == 1 ? earlier : earlier + "line\n");
        }
        // The write and its flush at least (POSIX also flushes a created file's folder).
        EXPECT_GE(faultedSteps, 2);
    }
}

// The temporary file of a replacement under way is held: another run's cleaner leaves it
// alone until its writer has gone, and a name that is taken is never opened again.
TEST(TemporaryFile, IsHeldWhileWrittenAndItsNameIsNeverTakenTwice) {
    TempFolder folder;
    const os::Place place = os::placeOf((folder / "ranking.txt").string().c_str());
    const NativePath path = os::pathIn(place.folder, temporaryName(place.base, 7));
    File file = NoFile;
    bool nameTaken = true;
    ASSERT_TRUE(os::createTemporary(Env::system(), path, file, nameTaken));
    EXPECT_FALSE(nameTaken);
    size_t moved = 0;
    ASSERT_TRUE(Env::system().writeAt(file, 0, reinterpret_cast<const uint8_t*>("kept"), 4, moved));

    os::removeIfAbandoned(path); // another run's cleaner
    File second = NoFile;
    EXPECT_FALSE(os::createTemporary(Env::system(), path, second, nameTaken));
    EXPECT_TRUE(nameTaken);
    EXPECT_EQ(second, NoFile);
    EXPECT_EQ(os::temporariesOf(place.folder, place.base), std::vector<NativePath>{path});

    // A writer that ended without removing its file: the next cleaner removes it.
    Env::system().closeQuietly(file);
    EXPECT_EQ(kvrtest::readText(folder / temporaryName(place.base, 7)), "kept");
    os::removeIfAbandoned(path);
    EXPECT_TRUE(os::temporariesOf(place.folder, place.base).empty());
}

TEST(CreateNewFile, WritesOnlyWhereNothingIsAndAFailedStepLeavesNoPartOfIt) {
    TempFolder folder;
    const fs::path path = folder / "kvrrank.toml";
    kvrtest::writeText(path, "mine\n");
    Status status = createNewFile(Env::system(), path.u8string().c_str(), "new\n", 4);
    EXPECT_EQ(status.reason(), AlreadyExists);
    EXPECT_EQ(status.kind(), StatusKind::AlreadyExists);
    EXPECT_EQ(kvrtest::readText(path), "mine\n");
    if (kvrtest::posixFileSystem()) {
        // A link, even one that leads nowhere, is something: what it names is not created.
        const fs::path link = folder / "link.toml";
        fs::create_symlink(folder / "nowhere", link);
        EXPECT_EQ(createNewFile(Env::system(), link.u8string().c_str(), "new\n", 4).reason(),
                  AlreadyExists);
        EXPECT_FALSE(fs::exists(folder / "nowhere"));
    }

    long faulted = 0;
    for (long k = 1;; ++k) {
        ASSERT_LT(k, 20) << "the sweep does not end";
        TempFolder empty;
        const fs::path created = empty / "kvrrank.toml";
        kvrtest::FaultyEnv env;
        env.failAt(k);
        status = createNewFile(env, created.u8string().c_str(), "text\n", 5);
        const bool hit = env.operations() >= k;
        if (!hit) {
            EXPECT_TRUE(status) << status.reason();
            EXPECT_EQ(kvrtest::readText(created), "text\n");
            break;
        }
        ++faulted;
        EXPECT_FALSE(status) << "fault at step " << k;
        // Only the last step, making the new name durable, comes after the file is whole.
        if (fs::exists(created)) {
            EXPECT_EQ(kvrtest::readText(created), "text\n") << "fault at step " << k;
        }
    }
    EXPECT_GE(faulted, 3); // the create, the write and the flush at least
}

} // namespace
