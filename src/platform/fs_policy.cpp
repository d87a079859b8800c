// The file-system layer's policies, written once over the per-OS primitives of os_file.h:
// reading under a shared lock, updating blocks in place, replacing a file through a temporary
// file beside it, and appending to a log held exclusively.
#include "platform/fs.h"
#include "platform/fs_detail.h"
#include "platform/os_file.h"

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
Status readUpTo(os::File file, uint8_t* buffer, size_t capacity, size_t& delivered) {
    delivered = 0;
    while (delivered < capacity) {
        size_t moved = 0;
        Status status = os::read(file, buffer + delivered, capacity - delivered, moved);
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
// that moves nothing fails with `stalled`.
template <typename Step> Status transferAll(size_t size, const char* stalled, Step step) {
    size_t done = 0;
    while (done < size) {
        size_t moved = 0;
        Status status = step(done, moved);
        if (!status) {
            return status;
        }
        if (moved == 0) {
            return Status::failure(stalled);
        }
        done += moved;
    }
    return Status();
}

constexpr const char* EndOfFile = "unexpected end of file";

Status readAllAt(os::File file, uint64_t offset, uint8_t* buffer, size_t size) {
    return transferAll(size, EndOfFile, [&](size_t done, size_t& moved) {
        return os::readAt(file, offset + done, buffer + done, size - done, moved);
    });
}

Status writeAllAt(os::File file, uint64_t offset, const uint8_t* data, size_t size) {
    return transferAll(size, EndOfFile, [&](size_t done, size_t& moved) {
        return os::writeAt(file, offset + done, data + done, size - done, moved);
    });
}

// Opens the file at `path` for `access` and holds it, after refusing what must not be opened
// (a missing file is no failure for AppendOrCreate, which creates it). The file must be on
// disk, and at least `minimumSize` bytes long, before it is locked. `file` is NoFile when
// nothing was opened; a failure with the file open leaves it to the caller to close.
Status openHeld(const os::NativePath& path, os::Access access, uint64_t minimumSize, os::File& file,
                uint64_t& size) {
    file = os::NoFile;
    Status status = access == os::Access::UpdateInPlace ? os::checkInPlaceTarget(path)
                                                        : os::checkBeforeOpen(path);
    if (!status && !(access == os::Access::AppendOrCreate && os::isMissing(status))) {
        return status;
    }
    status = os::open(path, access, file);
    if (!status) {
        file = os::NoFile;
        return status;
    }
    status = os::sizeOf(file, size);
    if (status && size < minimumSize) {
        status = Status::failure(tooShort(size, minimumSize));
    }
    return status ? os::lock(file, access != os::Access::ReadShared) : status;
}

// Reads the bytes each block replaces, then writes the blocks in order. When a write fails,
// the blocks already begun get their earlier bytes back: the file then holds either all new
// blocks or none.
Status writeAllOrNone(os::File file, const WriteBlock* blocks, size_t count) {
    std::vector<std::vector<uint8_t>> earlier(count);
    for (size_t i = 0; i < count; ++i) {
        earlier[i].resize(blocks[i].size);
        Status status = readAllAt(file, blocks[i].offset, earlier[i].data(), blocks[i].size);
        if (!status) {
            return status;
        }
    }
    size_t begun = 0; // blocks whose write was started
    Status status;
    while (status && begun < count) {
        status = writeAllAt(file, blocks[begun].offset, blocks[begun].data, blocks[begun].size);
        ++begun;
    }
    if (!status) {
        // The write has failed either way; a restore that fails too cannot be reported
        // beyond that.
        for (size_t i = 0; i < begun; ++i) {
            writeAllAt(file, blocks[i].offset, earlier[i].data(), earlier[i].size());
        }
    }
    return status;
}

} // namespace

Status readShared(const char* path, uint8_t* buffer, size_t capacity, size_t& delivered) {
    delivered = 0;
    os::File file = os::NoFile;
    uint64_t size = 0;
    Status status = openHeld(os::nativePath(path), os::Access::ReadShared, 0, file, size);
    status = status ? readUpTo(file, buffer, capacity, delivered) : status;
    return file == os::NoFile ? status : firstFailure(status, os::close(file));
}

Status readWholeShared(const char* path, size_t limit, std::string& content) {
    content.clear();
    os::File file = os::NoFile;
    uint64_t size = 0;
    Status status = openHeld(os::nativePath(path), os::Access::ReadShared, 0, file, size);
    if (status && size > limit) {
        status = Status::failure("too long: " + std::to_string(size) + " bytes, at most " +
                                 std::to_string(limit));
    }
    if (status) {
        content.resize(static_cast<size_t>(size));
        size_t delivered = 0;
        status =
            readUpTo(file, reinterpret_cast<uint8_t*>(content.data()), content.size(), delivered);
        content.resize(delivered);
    }
    return file == os::NoFile ? status : firstFailure(status, os::close(file));
}

bool isMissingFile(const Status& status) {
    return os::isMissing(status);
}

Status createNewFile(const char* path, const char* data, size_t size) {
    const os::NativePath native = os::nativePath(path);
    os::File file = os::NoFile;
    bool nameTaken = false;
    Status status = os::createTemporary(native, file, nameTaken);
    if (!status) {
        return nameTaken ? Status::failure(AlreadyExists) : status;
    }
    status = writeAllAt(file, 0, reinterpret_cast<const uint8_t*>(data), size);
    status = status ? os::flush(file) : status;
    if (status) {
        status = os::close(file);
        file = os::NoFile;
    }
    if (!status) {
        os::discardTemporary(file, native); // what was created goes again
        return status;
    }
    return os::syncFolderOf(native);
}

Status writeBlocksInPlace(const char* path, const WriteBlock* blocks, size_t count,
                          uint64_t minimumSize) {
    os::File file = os::NoFile;
    uint64_t size = 0;
    Status status =
        openHeld(os::nativePath(path), os::Access::UpdateInPlace, minimumSize, file, size);
    status = status ? writeAllOrNone(file, blocks, count) : status;
    status = status ? os::flush(file) : status;
    return file == os::NoFile ? status : firstFailure(status, os::close(file));
}

struct FileReplacement::State {
    os::NativePath target;
    os::NativePath temporary;
    os::File file = os::NoFile; // the held temporary file while it is written
    os::TargetState found;      // the target as it was at the start
    uint64_t written = 0;       // bytes written so far
    Status failure;             // the first failed step
    bool committed = false;
};

namespace {

// Ends a replacement after a failed step: the temporary file goes, the target stays.
Status abandon(FileReplacement::State& state, Status status) {
    os::discardTemporary(state.file, state.temporary);
    state.file = os::NoFile;
    state.temporary.clear();
    state.failure = status;
    return status;
}

Status notUnderway(const std::unique_ptr<FileReplacement::State>& state) {
    if (!state) {
        return Status::failure("no replacement begun");
    }
    if (state->committed) {
        return Status::failure("replacement already committed");
    }
    return state->failure;
}

// Removes the temporary files of `base` that runs which ended while writing left behind. A
// live writer holds its own, which stays.
void removeAbandonedTemporaries(const os::NativePath& folder, const std::string& base) {
    for (const os::NativePath& path : os::temporariesOf(folder, base)) {
        os::removeIfAbandoned(path);
    }
}

// Creates a fresh, held temporary file for `base` in `folder`: a name that is taken, or that
// a cleaner removed before it was held, is given up for a new one.
Status createTemporaryIn(const os::NativePath& folder, const std::string& base,
                         os::NativePath& path, os::File& file) {
    for (int attempt = 0; attempt < 100; ++attempt) {
        path = os::pathIn(folder, temporaryName(base, uniqueNumber()));
        bool nameTaken = false;
        Status status = os::createTemporary(path, file, nameTaken);
        if (!nameTaken) {
            return status;
        }
    }
    return Status::failure("no free temporary file name");
}

} // namespace

FileReplacement::FileReplacement() = default;

FileReplacement::~FileReplacement() {
    if (state_ && state_->file != os::NoFile) {
        os::discardTemporary(state_->file, state_->temporary);
    }
}

Status FileReplacement::begin(const char* target) {
    if (state_) {
        return Status::failure("replacement already begun");
    }
    state_ = std::make_unique<State>();
    State& state = *state_;
    const os::Place place = os::placeOf(target);
    state.target = place.path;
    // The target itself, not what a link there points to: a link is replaced by the new file,
    // and whatever it pointed to is never written.
    Status status = os::inspectTarget(state.target, state.found);
    if (!status) {
        return abandon(state, status);
    }

    removeAbandonedTemporaries(place.folder, place.base);

    // A fresh name beside the target, so that the rename stays inside one file system. The
    // file stays held until it has been renamed into place.
    status = createTemporaryIn(place.folder, place.base, state.temporary, state.file);
    if (!status) {
        state.file = os::NoFile;
        state.temporary.clear();
        return abandon(state, status);
    }
    status = state.found.keep ? os::keepBits(state.file, state.found) : status;
    return status ? status : abandon(state, status);
}

Status FileReplacement::write(const char* data, size_t size) {
    Status status = notUnderway(state_);
    if (!status) {
        return status;
    }
    status =
        writeAllAt(state_->file, state_->written, reinterpret_cast<const uint8_t*>(data), size);
    state_->written += size;
    return status ? status : abandon(*state_, status);
}

Status FileReplacement::commit() {
    Status status = notUnderway(state_);
    if (!status) {
        return status;
    }
    State& state = *state_;
    status = os::flush(state.file);
    if (!os::RenamesOpenFiles) {
        // Closed before the rename. Between the two another run's cleaner could delete the
        // finished file; the rename then fails and this run reports it.
        status = firstFailure(status, os::close(state.file));
        state.file = os::NoFile;
    }
    status = status ? os::moveIntoPlace(state.temporary, state.target, state.found) : status;
    if (!status) {
        return abandon(state, status);
    }
    state.committed = true;
    if (state.file != os::NoFile) {
        status = os::close(state.file);
        state.file = os::NoFile;
    }
    return firstFailure(status, os::syncFolderOf(state.target));
}

Status replaceFile(const char* target, const char* data, size_t size) {
    FileReplacement replacement;
    Status status = replacement.begin(target);
    status = status ? replacement.write(data, size) : status;
    return status ? replacement.commit() : status;
}

struct AppendOnlyFile::State {
    os::NativePath path;
    os::File file = os::NoFile;
    uint64_t end = 0;   // where the next append goes
    bool empty = false; // nothing in it when read: perhaps created by this run
};

AppendOnlyFile::AppendOnlyFile() = default;

AppendOnlyFile::~AppendOnlyFile() {
    if (state_ && state_->file != os::NoFile) {
        os::closeQuietly(state_->file);
    }
}

Status AppendOnlyFile::open(const char* path) {
    if (state_) {
        return Status::failure("already open");
    }
    // As for reading: nothing that is not a file is opened. A missing file is created.
    const os::NativePath native = os::nativePath(path);
    os::File file = os::NoFile;
    uint64_t size = 0;
    Status status = openHeld(native, os::Access::AppendOrCreate, 0, file, size);
    if (!status) {
        if (file != os::NoFile) {
            os::closeQuietly(file);
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
    if (!state_ || state_->file == os::NoFile) {
        return Status::failure("not open");
    }
    uint64_t size = 0;
    Status status = os::sizeOf(state_->file, size);
    if (!status) {
        return status;
    }
    content.resize(static_cast<size_t>(size));
    size_t delivered = 0;
    status = content.empty() ? status
                             : readUpTo(state_->file, reinterpret_cast<uint8_t*>(content.data()),
                                        content.size(), delivered);
    content.resize(delivered);
    state_->end = delivered;
    state_->empty = content.empty();
    return status;
}

Status AppendOnlyFile::append(const char* data, size_t size) {
    if (!state_ || state_->file == os::NoFile) {
        return Status::failure("not open");
    }
    // One write, unless the system takes only part of it.
    State& state = *state_;
    const auto* bytes = reinterpret_cast<const uint8_t*>(data);
    Status status = transferAll(size, "nothing written", [&](size_t done, size_t& moved) {
        return os::append(state.file, state.end + done, bytes + done, size - done, moved);
    });
    if (status) {
        state.end += size;
    }
    status = status ? os::flush(state.file) : status;
    // A file this run created is only kept after a crash once its folder entry is on disk.
    return status && state.empty ? os::syncFolderOf(state.path) : status;
}

Status AppendOnlyFile::close() {
    if (!state_ || state_->file == os::NoFile) {
        return Status::failure("not open");
    }
    os::File file = state_->file;
    state_->file = os::NoFile;
    return os::close(file);
}

} // namespace kvr::platform
