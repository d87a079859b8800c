// What the live board hands out for one run: made by the watch, read by the server's threads.
#pragma once

#include <cstdint>
#include <memory>
#include <string>
#include <vector>

namespace kvr {

// Everything the server hands out for one run.
struct LiveContent {
    uint64_t run = 0;
    std::string page; // the page with its live parts
    std::string json; // the --json document
    std::string overlayHead;
    std::vector<std::string> overlayRows; // one standing each
    std::string overlayTail;
    std::shared_ptr<const std::string> card; // the standings card (PNG); nullptr before a run
    std::string language = "en";             // of the page, which chooses its policy
};

} // namespace kvr
