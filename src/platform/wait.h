// Waiting for a file that another program holds for a moment (a reader, a virus scanner, a
// replacement under way), on the clock and sleeps of an Env.
#pragma once

#include "platform/env.h"
#include "platform/fs.h"

#include <chrono>

namespace kvr::platform {

// Calls `attempt()` (returning a Status) until it gives anything but a Held failure, sleeping
// `every` between tries; after `timeout` from the first try the last Held failure is returned.
template <typename Attempt>
Status retryWhileHeld(Env& env, std::chrono::milliseconds timeout, Attempt attempt,
                      std::chrono::milliseconds every = std::chrono::milliseconds(50)) {
    const auto until = env.steadyNow() + timeout;
    Status status = attempt();
    while (status.kind() == StatusKind::Held && env.steadyNow() < until) {
        env.sleepFor(every);
        status = attempt();
    }
    return status;
}

} // namespace kvr::platform
