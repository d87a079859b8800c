// Invariant checks inside fuzz targets: a broken invariant aborts, which libFuzzer reports
// as a crash with the input that caused it, and which fails a replay run.
#pragma once

#include <cstdio>
#include <cstdlib>

namespace kvrfuzz {

inline void require(bool holds, const char* invariant) {
    if (!holds) {
        std::fprintf(stderr, "invariant broken: %s\n", invariant);
        std::abort();
    }
}

} // namespace kvrfuzz
