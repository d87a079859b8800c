#include "live/board_destination.h"

#include "live/live_routes.h"
#include "model/time_text.h"
#include "report/live_board.h"
#include "report/ranking_html.h"

namespace kvr {

std::shared_ptr<const LiveContent> waitingContent(std::string_view language) {
    auto content = std::make_shared<LiveContent>();
    {
        StringSink page;
        LivePageParts parts;
        parts.language = std::string(language);
        renderWaitingHtml(parts, page);
        content->page = page.take();
    }
    content->json = "{}\n";
    content->language = std::string(language);
    OverlayParts overlay = renderWaitingOverlay(language);
    content->overlayHead = std::move(overlay.head);
    content->overlayTail = std::move(overlay.tail);
    return content;
}

void BoardDestination::next(uint64_t run, std::vector<std::string> told) {
    run_ = run;
    told_ = std::move(told);
}

OutputSink* BoardDestination::open(const OutputKind& kind) {
    if (kind.output != Output::Json) {
        return nullptr;
    }
    json_ = std::make_unique<StringSink>();
    return json_.get();
}

platform::Status BoardDestination::close(const OutputKind&) {
    return platform::Status();
}

std::string BoardDestination::shown(const OutputKind&) const {
    return "the live board";
}

void BoardDestination::finish(const Publication& run, const std::vector<std::string>& problems) {
    auto content = std::make_shared<LiveContent>();
    content->run = run_;
    content->language = run.results.ranking.league.language;
    LivePageParts parts;
    parts.run = run_;
    parts.changedAt = formatTimeOfDay(run.results.ranking.time);
    parts.problems = problems;
    parts.problems.insert(parts.problems.end(), told_.begin(), told_.end());
    const RankingModel& model = run.results.ranking;
    if (!start_) {
        start_ = summarizeBoardStart(model);
    } else {
        for (DriverIdentity& driver : newDrivers(*start_, arrivals_, model)) {
            arrivals_.push_back({std::move(driver), parts.changedAt});
        }
        parts.tonight = compareTonight(*start_, model, arrivals_);
    }
    {
        StringSink page;
        renderHtml(run.results, page, &parts);
        content->page = page.take();
    }
    if (!json_) {
        // The files' publishing stopped before the JSON (the game holds its records file): the
        // board still shows the run.
        json_ = std::make_unique<StringSink>();
        outputKind(Output::Json).render(run, *json_);
    }
    content->json = json_->take();
    json_.reset();
    OverlayParts overlay = renderOverlay(run.results, run_, MostOverlayRows);
    content->overlayHead = std::move(overlay.head);
    content->overlayRows = std::move(overlay.rows);
    content->overlayTail = std::move(overlay.tail);
    static const CardSettings defaults;
    CardContent shows = cardContent(run.results, run.card != nullptr ? *run.card : defaults,
                                    std::string(run.pageUrl));
    if (!cardShows_ || !(*cardShows_ == shows)) {
        if (run.cardPng != nullptr) {
            // The run drew the same card for its file: of the same settings, the same bytes.
            card_ = std::make_shared<const std::string>(run.cardPng->get());
        } else {
            StringSink card;
            renderCard(shows, card);
            card_ = std::make_shared<const std::string>(card.take());
        }
        cardShows_ = std::move(shows);
    }
    content->card = card_;
    server_.publish(std::move(content));
}

} // namespace kvr
