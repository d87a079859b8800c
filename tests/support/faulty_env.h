// An Env that fails, or ends the process, at a chosen step: for the tests and the fuzzers that
// check what a failing disk or a crash leaves behind.
#pragma once

#include "platform/env.h"

namespace kvrtest {

// The exit status of a process that crashAt ended.
constexpr int CrashExitStatus = 99;

class FaultyEnv final : public kvr::platform::EnvWrapper {
  public:
    explicit FaultyEnv(kvr::platform::Env& target = kvr::platform::Env::system())
        : EnvWrapper(target) {}

    // The k-th step from now fails (k >= 1) as on a failing disk, before it touches anything;
    // 0 fails none.
    void failAt(long k) { arm(k, false); }
    // The process ends at once with CrashExitStatus before the k-th step from now: nothing is
    // flushed or cleaned up, as after a power cut or a kill. 0 ends it at none.
    void crashAt(long k) { arm(k, true); }
    // Steps taken since the last failAt or crashAt.
    long operations() const { return operations_; }

    using Status = kvr::platform::Status;
    using NativePath = kvr::platform::NativePath;
    using File = kvr::platform::File;

    Status stat(const NativePath& path, bool followLinks, kvr::platform::PathInfo& info) override;
    Status open(const NativePath& path, kvr::platform::Access access, File& file) override;
    Status statOpen(File file, kvr::platform::OpenInfo& info) override;
    Status lock(File file, bool exclusive) override;
    Status read(File file, uint8_t* buffer, size_t size, size_t& moved) override;
    Status readAt(File file, uint64_t offset, uint8_t* buffer, size_t size, size_t& moved) override;
    Status writeAt(File file, uint64_t offset, const uint8_t* data, size_t size,
                   size_t& moved) override;
    Status append(File file, uint64_t end, const uint8_t* data, size_t size,
                  size_t& moved) override;
    Status flush(File file) override;
    Status close(File file) override;
    Status changeMode(File file, const kvr::platform::TargetState& state) override;
    Status rename(const NativePath& temporary, const NativePath& target,
                  const kvr::platform::TargetState& state) override;
    Status openListing(const NativePath& folder, const char* extension,
                       kvr::platform::Listing& listing) override;
    Status readListing(kvr::platform::Listing listing, std::string& name, bool& isFolder,
                       bool& known, bool& end) override;

  private:
    void arm(long k, bool crash);
    // Counts a step; true when it is the one that fails. Ends the process at a crash.
    bool stepFails();
    static Status fault();

    long at_ = 0;
    bool crash_ = false;
    long operations_ = 0;
};

} // namespace kvrtest
