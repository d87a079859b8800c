// The live board as a destination of a run: it takes the JSON as the files get it, and makes
// the live page and the overlay of the run, then hands them to the server at once.
#pragma once

#include "live/live_server.h"
#include "model/tonight.h"
#include "output/destination.h"
#include "report/output_sink.h"
#include "report/standings_card.h"

#include <cstdint>
#include <memory>
#include <optional>
#include <string>
#include <vector>

namespace kvr {

// What the server hands out before the first run.
std::shared_ptr<const LiveContent> waitingContent(std::string_view language = "en");

class BoardDestination final : public Destination {
  public:
    explicit BoardDestination(LiveServer& server) : server_(server) {}
    ~BoardDestination() override = default;

    // The next run's number, and what the page tells beside the run's own failures (a league
    // file with a mistake).
    void next(uint64_t run, std::vector<std::string> told);

    OutputSink* open(const OutputKind& kind) override;
    platform::Status close(const OutputKind& kind) override;
    std::string shown(const OutputKind& kind) const override;
    void finish(const Publication& run, const std::vector<std::string>& problems) override;

  private:
    LiveServer& server_;
    uint64_t run_ = 0;
    std::vector<std::string> told_;
    std::unique_ptr<StringSink> json_;
    // The board's first run as the page's "Tonight" compares with it, and who arrived since.
    std::optional<BoardStart> start_;
    std::vector<Arrival> arrivals_;
    // The card as last drawn, and what it shows: drawn again only when that changes.
    std::optional<CardContent> cardShows_;
    std::shared_ptr<const std::string> card_;
};

} // namespace kvr
