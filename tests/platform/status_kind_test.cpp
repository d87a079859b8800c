#include "data/participant.h"
#include "platform/env.h"
#include "platform/fs.h"

#include "support/faulty_env.h"
#include "support/temp_folder.h"

#include <gtest/gtest.h>

#include <functional>
#include <string>
#include <vector>

#ifdef _WIN32
#include "platform/win32.h"
#else
#include <cerrno>
#include <fcntl.h>
#include <sys/stat.h>
#include <unistd.h>
#endif

namespace {

using namespace kvr::platform;
using kvrtest::TempFolder;
namespace fs = std::filesystem;

const char* kindName(StatusKind kind) {
    switch (kind) {
    case StatusKind::Ok:
        return "Ok";
    case StatusKind::NotFound:
        return "NotFound";
    case StatusKind::Held:
        return "Held";
    case StatusKind::NoSpace:
        return "NoSpace";
    case StatusKind::IoError:
        return "IoError";
    case StatusKind::BadInput:
        return "BadInput";
    case StatusKind::AlreadyExists:
        return "AlreadyExists";
    case StatusKind::NotRegular:
        return "NotRegular";
    case StatusKind::Denied:
        return "Denied";
    case StatusKind::Other:
        return "Other";
    }
    return "?";
}

TEST(StatusKind, EachFailureSaysItsKindWhereItArises) {
    struct Case {
        const char* what;
        std::function<Status(TempFolder&)> run;
        StatusKind kind;
        const char* reason; // the unchanged text of a reason of our own; null for the system's
    };
    const auto text = [](const fs::path& path) { return path.u8string(); };
    const Case cases[] = {
        {"a missing file",
         [&](TempFolder& folder) {
             std::string content;
             return readWholeShared(Env::system(), text(folder / "none.toml").c_str(), 100,
                                    content);
         },
         StatusKind::NotFound, nullptr},
        {"a path through a file",
         [&](TempFolder& folder) {
             kvrtest::writeText(folder / "file", "x");
             std::string content;
             return readWholeShared(Env::system(), text(folder / "file" / "a.toml").c_str(), 100,
                                    content);
         },
         StatusKind::NotFound, nullptr},
        {"a file another program holds",
         [&](TempFolder& folder) {
             kvrtest::writeText(folder / "a.kvr", "x");
             kvrtest::ExclusiveHolder holder(folder / "a.kvr");
             EXPECT_TRUE(holder.holding());
             uint8_t buffer[4];
             size_t delivered = 0;
             return readShared(Env::system(), text(folder / "a.kvr").c_str(), buffer, sizeof buffer,
                               delivered);
         },
         StatusKind::Held, HeldByAnotherProgram},
        {"a log another append-only file holds",
         [&](TempFolder& folder) {
             AppendOnlyFile first(Env::system());
             EXPECT_TRUE(first.open(text(folder / "season.jsonl").c_str()));
             AppendOnlyFile second(Env::system());
             return second.open(text(folder / "season.jsonl").c_str());
         },
         StatusKind::Held, HeldByAnotherProgram},
        {"a short participant file",
         [&](TempFolder& folder) {
             kvrtest::writeBytes(folder / "a.kvr", std::vector<uint8_t>(100, 0));
             kvr::ParticipantRecord record{};
             return kvr::readParticipantFile(Env::system(), text(folder / "a.kvr").c_str(), record);
         },
         StatusKind::BadInput, "too short: 100 bytes, at least 1616 needed"},
        {"a short records file updated in place",
         [&](TempFolder& folder) {
             kvrtest::writeBytes(folder / "records.dat", std::vector<uint8_t>(10, 0));
             const uint8_t byte = 1;
             const WriteBlock block{20, &byte, 1};
             return writeBlocksInPlace(Env::system(), text(folder / "records.dat").c_str(), &block,
                                       1, 64);
         },
         StatusKind::BadInput, "too short: 10 bytes, at least 64 needed"},
        {"a file longer than its limit",
         [&](TempFolder& folder) {
             kvrtest::writeText(folder / "kvrrank.toml", "0123456789");
             std::string content;
             return readWholeShared(Env::system(), text(folder / "kvrrank.toml").c_str(), 4,
                                    content);
         },
         StatusKind::BadInput, "too long: 10 bytes, at most 4"},
        {"a folder opened as a log",
         [&](TempFolder& folder) {
             AppendOnlyFile log(Env::system());
             return log.open(text(folder.path()).c_str());
         },
         StatusKind::NotRegular, NotARegularFile},
        {"a new file where one is",
         [&](TempFolder& folder) {
             kvrtest::writeText(folder / "kvrrank.toml", "mine\n");
             return createNewFile(Env::system(), text(folder / "kvrrank.toml").c_str(), "new\n", 4);
         },
         StatusKind::AlreadyExists, AlreadyExists},
        {"a device error",
         [&](TempFolder& folder) {
             kvrtest::writeText(folder / "kvrrank.toml", "x");
             kvrtest::FaultyEnv faulty;
             faulty.failAt(2); // the open, after the look at what the name is
             std::string content;
             return readWholeShared(faulty, text(folder / "kvrrank.toml").c_str(), 100, content);
         },
         StatusKind::IoError, nullptr},
    };
    for (const Case& c : cases) {
        SCOPED_TRACE(c.what);
        TempFolder folder;
        const Status status = c.run(folder);
        EXPECT_FALSE(status);
        EXPECT_STREQ(kindName(status.kind()), kindName(c.kind));
        EXPECT_EQ(isMissingFile(status), c.kind == StatusKind::NotFound);
        if (c.reason != nullptr) {
            EXPECT_EQ(status.reason(), c.reason);
        }
    }
}

#ifndef _WIN32
TEST(StatusKind, AFifoIsNotARegularFileAndAFullDeviceHasNoSpace) {
    if (!kvrtest::posixFileSystem()) {
        GTEST_SKIP() << "no FIFOs here";
    }
    TempFolder folder;
    const std::string fifo = (folder / "a.kvr").string();
    ASSERT_EQ(mkfifo(fifo.c_str(), 0600), 0);
    uint8_t buffer[4];
    size_t delivered = 0;
    const Status read = readShared(Env::system(), fifo.c_str(), buffer, sizeof buffer, delivered);
    EXPECT_STREQ(kindName(read.kind()), "NotRegular");
    EXPECT_EQ(read.reason(), NotARegularFile);

    // The system Env's own write step, on a device that is always full.
    File full = NoFile;
    if (access("/dev/full", W_OK) != 0 ||
        !Env::system().open("/dev/full", Access::UpdateInPlace, full)) {
        GTEST_SKIP() << "no /dev/full";
    }
    size_t moved = 0;
    const uint8_t byte = 0;
    const Status written = Env::system().append(full, 0, &byte, 1, moved);
    Env::system().closeQuietly(full);
    EXPECT_STREQ(kindName(written.kind()), "NoSpace");
    EXPECT_EQ(written.code(), ENOSPC);
}
#endif

TEST(StatusKind, SystemErrorsMapToTheirKindAndKeepCodeAndText) {
    struct Case {
        long code;
        StatusKind kind;
    };
#ifdef _WIN32
    const Case cases[] = {
        {ERROR_FILE_NOT_FOUND, StatusKind::NotFound},
        {ERROR_PATH_NOT_FOUND, StatusKind::NotFound},
        {ERROR_SHARING_VIOLATION, StatusKind::Held},
        {ERROR_LOCK_VIOLATION, StatusKind::Held},
        {ERROR_DISK_FULL, StatusKind::NoSpace},
        {ERROR_HANDLE_DISK_FULL, StatusKind::NoSpace},
        {ERROR_IO_DEVICE, StatusKind::IoError},
        {ERROR_ACCESS_DENIED, StatusKind::Denied},
        {ERROR_FILE_EXISTS, StatusKind::AlreadyExists},
        {ERROR_ALREADY_EXISTS, StatusKind::AlreadyExists},
        {ERROR_INVALID_PARAMETER, StatusKind::Other},
    };
#else
    const Case cases[] = {
        {ENOENT, StatusKind::NotFound},      {ENOTDIR, StatusKind::NotFound},
        {EWOULDBLOCK, StatusKind::Held},     {EAGAIN, StatusKind::Held},
        {ENOSPC, StatusKind::NoSpace},       {EDQUOT, StatusKind::NoSpace},
        {EIO, StatusKind::IoError},          {EACCES, StatusKind::Denied},
        {EPERM, StatusKind::Denied},         {EROFS, StatusKind::Denied},
        {EEXIST, StatusKind::AlreadyExists}, {EINVAL, StatusKind::Other},
    };
#endif
    for (const Case& c : cases) {
        SCOPED_TRACE(c.code);
        const Status status = systemError(c.code);
        EXPECT_FALSE(status);
        EXPECT_STREQ(kindName(status.kind()), kindName(c.kind));
        EXPECT_EQ(status.code(), c.code);
        EXPECT_FALSE(status.reason().empty());
        EXPECT_EQ(status.reason() == HeldByAnotherProgram, c.kind == StatusKind::Held);
    }
    EXPECT_STREQ(kindName(systemError(deviceErrorCode()).kind()), "IoError");
    // A failure is never Ok, whatever it was given.
    EXPECT_FALSE(Status::failure(StatusKind::Ok, "x"));
    EXPECT_STREQ(kindName(Status().kind()), "Ok");
}

} // namespace
