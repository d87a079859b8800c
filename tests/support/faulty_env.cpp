#include "support/faulty_env.h"

#include <cstdlib>

namespace kvrtest {

using namespace kvr::platform;

void FaultyEnv::arm(long k, bool crash) {
    at_ = k;
    crash_ = crash;
    operations_ = 0;
}

bool FaultyEnv::stepFails() {
    ++operations_;
    if (at_ <= 0 || operations_ != at_) {
        return false;
    }
    if (crash_) {
        std::_Exit(CrashExitStatus);
    }
    return true;
}

Status FaultyEnv::fault() {
    return systemError(deviceErrorCode());
}

Status FaultyEnv::stat(const NativePath& path, bool followLinks, PathInfo& info) {
    return stepFails() ? fault() : EnvWrapper::stat(path, followLinks, info);
}

Status FaultyEnv::open(const NativePath& path, Access access, File& file) {
    if (stepFails()) {
        file = NoFile;
        return fault();
    }
    return EnvWrapper::open(path, access, file);
}

Status FaultyEnv::statOpen(File file, OpenInfo& info) {
    return stepFails() ? fault() : EnvWrapper::statOpen(file, info);
}

Status FaultyEnv::lock(File file, bool exclusive) {
    return stepFails() ? fault() : EnvWrapper::lock(file, exclusive);
}

Status FaultyEnv::read(File file, uint8_t* buffer, size_t size, size_t& moved) {
    moved = 0;
    return stepFails() ? fault() : EnvWrapper::read(file, buffer, size, moved);
}

Status FaultyEnv::readAt(File file, uint64_t offset, uint8_t* buffer, size_t size, size_t& moved) {
    moved = 0;
    return stepFails() ? fault() : EnvWrapper::readAt(file, offset, buffer, size, moved);
}

Status FaultyEnv::writeAt(File file, uint64_t offset, const uint8_t* data, size_t size,
                          size_t& moved) {
    moved = 0;
    return stepFails() ? fault() : EnvWrapper::writeAt(file, offset, data, size, moved);
}

Status FaultyEnv::append(File file, uint64_t end, const uint8_t* data, size_t size, size_t& moved) {
    moved = 0;
    return stepFails() ? fault() : EnvWrapper::append(file, end, data, size, moved);
}

Status FaultyEnv::flush(File file) {
    return stepFails() ? fault() : EnvWrapper::flush(file);
}

Status FaultyEnv::close(File file) {
    if (stepFails()) {
        // A close that fails has still closed the file.
        EnvWrapper::closeQuietly(file);
        return fault();
    }
    return EnvWrapper::close(file);
}

Status FaultyEnv::changeMode(File file, const TargetState& state) {
    return stepFails() ? fault() : EnvWrapper::changeMode(file, state);
}

Status FaultyEnv::rename(const NativePath& temporary, const NativePath& target,
                         const TargetState& state) {
    return stepFails() ? fault() : EnvWrapper::rename(temporary, target, state);
}

Status FaultyEnv::openListing(const NativePath& folder, const char* extension, Listing& listing) {
    if (stepFails()) {
        listing = nullptr;
        return fault();
    }
    return EnvWrapper::openListing(folder, extension, listing);
}

Status FaultyEnv::readListing(Listing listing, std::string& name, bool& isFolder, bool& known,
                              bool& end) {
    return stepFails() ? fault() : EnvWrapper::readListing(listing, name, isFolder, known, end);
}

} // namespace kvrtest
