// The file-system layer's policies, written once over the steps of an Env (env.h) and the
// per-OS parts of os_file.h: listing a folder, reading under a shared lock, updating blocks in
// place, replacing a file through a temporary file beside it, and appending to a log held
// exclusively.
#include "platform/env.h"
#include "platform/fs.h"
#include "platform/fs_detail.h"
#include "platform/os_file.h"

#include <filesystem>
#include <memory>
#include <string>
#include <utility>
#include <vector>

namespace kvr::platform {

namespace {

// The first failure of a sequence of steps, in the order they ran.
Status firstFailure(const Status& first, const Status& second) {
    return first.ok() ? second : first;
}

// Reads a file just opened until `capacity` bytes or its end.
Status readUpTo(Env& env, File file, uint8_t* buffer, size_t capacity, size_t& delivered) {
    delivered = 0;
    while (delivered < capacity) {
        size_t moved = 0;
        Status status = env.read(file, buffer + delivered, capacity - delivered, moved);
        if (!status) {
            return status;
        }
        if (moved == 0) {
            break;
        }
        delivered += moved;
    }
    return Status();
}

// Moves exactly `size` bytes, `step(done, moved)` moving some of the rest each time; a step
// that moves nothing fails with `stalled`, as a device that failed to move them.
template <typename Step> Status transferAll(size_t size, const char* stalled, Step step) {
    size_t done = 0;
    while (done < size) {
        size_t moved = 0;
        Status status = step(done, moved);
        if (!status) {
            return status;
        }
        if (moved == 0) {
            return Status::failure(StatusKind::IoError, stalled);
        }
        done += moved;
    }
    return Status();
}

constexpr const char* EndOfFile = "unexpected end of file";

Status readAllAt(Env& env, File file, uint64_t offset, uint8_t* buffer, size_t size) {
    return transferAll(size, EndOfFile, [&](size_t done, size_t& moved) {
        return env.readAt(file, offset + done, buffer + done, size - done, moved);
    });
}

Status writeAllAt(Env& env, File file, uint64_t offset, const uint8_t* data, size_t size) {
    return transferAll(size, EndOfFile, [&](size_t done, size_t& moved) {
        return env.writeAt(file, offset + done, data + done, size - done, moved);
    });
}

// The size of an open file on disk; anything else (a folder, a pipe, a device) fails with
// NotARegularFile.
Status sizeOf(Env& env, File file, uint64_t& size) {
    OpenInfo info;
    Status status = env.statOpen(file, info);
    if (status && !info.regular) {
        return Status::failure(StatusKind::NotRegular, NotARegularFile);
    }
    size = status ? info.size : 0;
    return status;
}

// Opens the file at `path` for `access` and holds it, after refusing what must not be opened
// (a missing file is no failure for AppendOrCreate, which creates it). The file must be on
// disk, and at least `minimumSize` bytes long, before it is locked. `file` is NoFile when
// nothing was opened; a failure with the file open leaves it to the caller to close.
Status openHeld(Env& env, const NativePath& path, Access access, uint64_t minimumSize, File& file,
                uint64_t& size, size_t checkedFrom = 0) {
    file = NoFile;
    Status status = access == Access::UpdateInPlace ? os::checkInPlaceTarget(env, path, checkedFrom)
                                                    : os::checkBeforeOpen(env, path);
    if (!status && !(access == Access::AppendOrCreate && os::isMissing(status))) {
        return status;
    }
    status = env.open(path, access, file);
    if (!status) {
        file = NoFile;
        return status;
    }
    status = sizeOf(env, file, size);
    if (status && size < minimumSize) {
        status = Status::failure(StatusKind::BadInput, tooShort(size, minimumSize));
    }
    if (!status || !os::LocksFiles) {
        return status;
    }
    return env.lock(file, access != Access::ReadShared);
}

// Reads the bytes each block replaces, then writes the blocks in order. When a write fails,
// the blocks already begun get their earlier bytes back: the file then holds either all new
// blocks or none.
Status writeAllOrNone(Env& env, File file, const WriteBlock* blocks, size_t count) {
    std::vector<std::vector<uint8_t>> earlier(count);
    for (size_t i = 0; i < count; ++i) {
        earlier[i].resize(blocks[i].size);
        Status status = readAllAt(env, file, blocks[i].offset, earlier[i].data(), blocks[i].size);
        if (!status) {
            return status;
        }
    }
    size_t begun = 0; // blocks whose write was started
    Status status;
    while (status && begun < count) {
        status =
            writeAllAt(env, file, blocks[begun].offset, blocks[begun].data, blocks[begun].size);
        ++begun;
    }
    if (!status) {
        // The write has failed either way; a restore that fails too cannot be reported
        // beyond that.
        for (size_t i = 0; i < begun; ++i) {
            writeAllAt(env, file, blocks[i].offset, earlier[i].data(), earlier[i].size());
        }
    }
    return status;
}

} // namespace

Status listFolder(Env& env, const char* folder, const char* extension,
                  std::vector<FolderEntry>& entries) {
    entries.clear();
    const NativePath native = os::nativePath(folder);
    Listing listing = nullptr;
    Status status = env.openListing(native, extension, listing);
    if (!status) {
        return status;
    }
    for (;;) {
        // A read that fails fails the whole listing: a run over part of the folder would drop
        // participants without a word.
        std::string name;
        bool isFolder = false;
        bool known = true;
        bool end = false;
        status = env.readListing(listing, name, isFolder, known, end);
        if (!status || end) {
            break;
        }
        if (name == "." || name == ".." || !nameHasExtension(name, extension)) {
            continue;
        }
        if (!known) {
            // A link or an entry of unknown type: ask for what it leads to. A dangling link or
            // a loop is not a folder; its import fails.
            PathInfo info;
            isFolder = env.stat(os::pathIn(native, name), true, info).ok() &&
                       info.kind == PathKind::Folder;
        }
        entries.push_back(FolderEntry{std::move(name), isFolder});
    }
    env.closeListing(listing);
    if (!status) {
        entries.clear();
        return status;
    }
    sortFolderEntries(entries);
    return status;
}

Status readShared(Env& env, const char* path, uint8_t* buffer, size_t capacity, size_t& delivered) {
    delivered = 0;
    File file = NoFile;
    uint64_t size = 0;
    Status status = openHeld(env, os::nativePath(path), Access::ReadShared, 0, file, size);
    status = status ? readUpTo(env, file, buffer, capacity, delivered) : status;
    return file == NoFile ? status : firstFailure(status, env.close(file));
}

Status readWholeShared(Env& env, const char* path, size_t limit, std::string& content) {
    content.clear();
    File file = NoFile;
    uint64_t size = 0;
    Status status = openHeld(env, os::nativePath(path), Access::ReadShared, 0, file, size);
    if (status && size > limit) {
        status =
            Status::failure(StatusKind::BadInput, "too long: " + std::to_string(size) +
                                                      " bytes, at most " + std::to_string(limit));
    }
    if (status) {
        content.resize(static_cast<size_t>(size));
        size_t delivered = 0;
        status = readUpTo(env, file, reinterpret_cast<uint8_t*>(content.data()), content.size(),
                          delivered);
        content.resize(delivered);
    }
    return file == NoFile ? status : firstFailure(status, env.close(file));
}

Status removeFile(Env& env, const char* path) {
    return env.removeFile(os::nativePath(path));
}

Status createNewFile(Env& env, const char* path, const char* data, size_t size) {
    const NativePath native = os::nativePath(path);
    File file = NoFile;
    bool nameTaken = false;
    Status status = os::createTemporary(env, native, file, nameTaken);
    if (!status) {
        return nameTaken ? Status::failure(StatusKind::AlreadyExists, AlreadyExists) : status;
    }
    status = writeAllAt(env, file, 0, reinterpret_cast<const uint8_t*>(data), size);
    status = status ? env.flush(file) : status;
    if (status) {
        status = env.close(file);
        file = NoFile;
    }
    if (!status) {
        os::discardTemporary(file, native); // what was created goes again
        return status;
    }
    return os::syncFolderOf(env, native);
}

Status writeBlocksInPlace(Env& env, const char* path, const WriteBlock* blocks, size_t count,
                          uint64_t minimumSize, const std::string& within) {
    // The folders checked for links: those below `within`, or all of a relative path.
    const std::string utf8 = path;
    size_t checkedFrom = std::filesystem::u8path(utf8).is_absolute() ? std::string::npos : 0;
    if (!within.empty() && utf8.compare(0, within.size(), within) == 0) {
        checkedFrom = within.size();
    }
    File file = NoFile;
    uint64_t size = 0;
    Status status = openHeld(env, os::nativePath(path), Access::UpdateInPlace, minimumSize, file,
                             size, checkedFrom);
    status = status ? writeAllOrNone(env, file, blocks, count) : status;
    status = status ? env.flush(file) : status;
    return file == NoFile ? status : firstFailure(status, env.close(file));
}

struct FileReplacement::State {
    NativePath target;
    NativePath temporary;
    File file = NoFile;   // the held temporary file while it is written
    TargetState found;    // the target as it was at the start
    uint64_t written = 0; // bytes written so far
    Status failure;       // the first failed step
    bool committed = false;
};

namespace {

// Ends a replacement after a failed step: the temporary file goes, the target stays.
Status abandon(FileReplacement::State& state, Status status) {
    os::discardTemporary(state.file, state.temporary);
    state.file = NoFile;
    state.temporary.clear();
    state.failure = status;
    return status;
}

Status notUnderway(const std::unique_ptr<FileReplacement::State>& state) {
    if (!state) {
        return Status::failure(StatusKind::Other, "no replacement begun");
    }
    if (state->committed) {
        return Status::failure(StatusKind::Other, "replacement already committed");
    }
    return state->failure;
}

// Removes the temporary files of `base` that runs which ended while writing left behind. A
// live writer holds its own, which stays.
void removeAbandonedTemporaries(const NativePath& folder, const std::string& base) {
    for (const NativePath& path : os::temporariesOf(folder, base)) {
        os::removeIfAbandoned(path);
    }
}

// Creates a fresh, held temporary file for `base` in `folder`: a name that is taken, or that
// a cleaner removed before it was held, is given up for a new one.
Status createTemporaryIn(Env& env, const NativePath& folder, const std::string& base,
                         NativePath& path, File& file) {
    for (int attempt = 0; attempt < 100; ++attempt) {
        path = os::pathIn(folder, temporaryName(base, uniqueNumber()));
        bool nameTaken = false;
        Status status = os::createTemporary(env, path, file, nameTaken);
        if (!nameTaken) {
            return status;
        }
    }
    return Status::failure(StatusKind::Other, "no free temporary file name");
}

} // namespace

FileReplacement::FileReplacement(Env& env) : env_(env) {}

FileReplacement::~FileReplacement() {
    if (state_ && state_->file != NoFile) {
        os::discardTemporary(state_->file, state_->temporary);
    }
}

Status FileReplacement::begin(const char* target) {
    if (state_) {
        return Status::failure(StatusKind::Other, "replacement already begun");
    }
    state_ = std::make_unique<State>();
    State& state = *state_;
    const os::Place place = os::placeOf(target);
    state.target = place.path;
    // The target itself, not what a link there points to: a link is replaced by the new file,
    // and whatever it pointed to is never written.
    Status status = os::inspectTarget(env_, state.target, state.found);
    if (!status) {
        return abandon(state, status);
    }

    removeAbandonedTemporaries(place.folder, place.base);

    // A fresh name beside the target, so that the rename stays inside one file system. The
    // file stays held until it has been renamed into place.
    status = createTemporaryIn(env_, place.folder, place.base, state.temporary, state.file);
    if (!status) {
        state.file = NoFile;
        state.temporary.clear();
        return abandon(state, status);
    }
    status = state.found.keep ? env_.changeMode(state.file, state.found) : status;
    return status ? status : abandon(state, status);
}

Status FileReplacement::write(const char* data, size_t size) {
    Status status = notUnderway(state_);
    if (!status) {
        return status;
    }
    status = writeAllAt(env_, state_->file, state_->written, reinterpret_cast<const uint8_t*>(data),
                        size);
    state_->written += size;
    return status ? status : abandon(*state_, status);
}

Status FileReplacement::commit() {
    Status status = notUnderway(state_);
    if (!status) {
        return status;
    }
    State& state = *state_;
    status = env_.flush(state.file);
    if (!os::RenamesOpenFiles) {
        // Closed before the rename. Between the two another run's cleaner could delete the
        // finished file; the rename then fails and this run reports it.
        status = firstFailure(status, env_.close(state.file));
        state.file = NoFile;
    }
    status = status ? env_.rename(state.temporary, state.target, state.found) : status;
    if (!status) {
        return abandon(state, status);
    }
    state.committed = true;
    if (state.file != NoFile) {
        status = env_.close(state.file);
        state.file = NoFile;
    }
    return firstFailure(status, os::syncFolderOf(env_, state.target));
}

Status replaceFile(Env& env, const char* target, const char* data, size_t size) {
    FileReplacement replacement(env);
    Status status = replacement.begin(target);
    status = status ? replacement.write(data, size) : status;
    return status ? replacement.commit() : status;
}

struct AppendOnlyFile::State {
    NativePath path;
    File file = NoFile;
    uint64_t end = 0;   // where the next append goes
    bool empty = false; // nothing in it when read: perhaps created by this run
};

AppendOnlyFile::AppendOnlyFile(Env& env) : env_(env) {}

AppendOnlyFile::~AppendOnlyFile() {
    if (state_ && state_->file != NoFile) {
        env_.closeQuietly(state_->file);
    }
}

Status AppendOnlyFile::open(const char* path) {
    if (state_) {
        return Status::failure(StatusKind::Other, "already open");
    }
    // As for reading: nothing that is not a file is opened. A missing file is created.
    const NativePath native = os::nativePath(path);
    File file = NoFile;
    uint64_t size = 0;
    Status status = openHeld(env_, native, Access::AppendOrCreate, 0, file, size);
    if (!status) {
        if (file != NoFile) {
            env_.closeQuietly(file);
        }
        return status;
    }
    state_ = std::make_unique<State>();
    state_->path = native;
    state_->file = file;
    state_->end = size;
    return status;
}

Status AppendOnlyFile::readAll(std::string& content) {
    content.clear();
    if (!state_ || state_->file == NoFile) {
        return Status::failure(StatusKind::Other, "not open");
    }
    uint64_t size = 0;
    Status status = sizeOf(env_, state_->file, size);
    if (!status) {
        return status;
    }
    content.resize(static_cast<size_t>(size));
    size_t delivered = 0;
    status = content.empty()
                 ? status
                 : readUpTo(env_, state_->file, reinterpret_cast<uint8_t*>(content.data()),
                            content.size(), delivered);
    content.resize(delivered);
    state_->end = delivered;
    state_->empty = content.empty();
    return status;
}

Status AppendOnlyFile::append(const char* data, size_t size) {
    if (!state_ || state_->file == NoFile) {
        return Status::failure(StatusKind::Other, "not open");
    }
    // One write, unless the system takes only part of it.
    State& state = *state_;
    const auto* bytes = reinterpret_cast<const uint8_t*>(data);
    Status status = transferAll(size, "nothing written", [&](size_t done, size_t& moved) {
        return env_.append(state.file, state.end + done, bytes + done, size - done, moved);
    });
    if (status) {
        state.end += size;
    }
    status = status ? env_.flush(state.file) : status;
    // A file this run created is only kept after a crash once its folder entry is on disk.
    return status && state.empty ? os::syncFolderOf(env_, state.path) : status;
}

Status AppendOnlyFile::close() {
    if (!state_ || state_->file == NoFile) {
        return Status::failure(StatusKind::Other, "not open");
    }
    File file = state_->file;
    state_->file = NoFile;
    return env_.close(file);
}

} // namespace kvr::platform
