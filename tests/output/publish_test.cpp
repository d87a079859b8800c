// Publishing: each format rendered once however many destinations take it, the same bytes to
// each, and the table's rules on what stops a run and what waits for what.
#include "output/destination.h"

#include "model/ranking_model.h"

#include <gtest/gtest.h>

#include <utility>

#include <map>
#include <set>

namespace {

using namespace kvr;

PerOutput<int> renders{};

template <size_t I> void counting(const Publication&, OutputSink& out) {
    ++renders[I];
    // Longer than a sink's buffer, so that a tee hands it on in pieces.
    out.put("format " + std::to_string(I) + ":" + std::string(100000 + I, 'x'));
}

template <size_t... I> OutputTable countingTable(std::index_sequence<I...>) {
    OutputTable table = outputTable();
    ((table[I].render = counting<I>), ...);
    return table;
}
OutputTable countingTable() {
    return countingTable(std::make_index_sequence<OutputCount>());
}

// Takes the outputs it is given, fails those it is told to, and keeps what it received.
class Recorder final : public Destination {
  public:
    Recorder(std::set<Output> takes, std::set<Output> fails = {})
        : takes_(std::move(takes)), fails_(std::move(fails)) {}

    OutputSink* open(const OutputKind& kind) override {
        if (takes_.count(kind.output) == 0) {
            return nullptr;
        }
        sink_ = std::make_unique<StringSink>(1000);
        return sink_.get();
    }
    platform::Status close(const OutputKind& kind) override {
        received[kind.output] = sink_->take();
        return fails_.count(kind.output) != 0
                   ? platform::Status::failure(platform::StatusKind::IoError, "disk on fire")
                   : platform::Status();
    }
    std::string shown(const OutputKind& kind) const override {
        return "out" + std::to_string(indexOf(kind.output));
    }
    void finish(const Publication&, const std::vector<std::string>& problems) override {
        finished = problems;
    }

    std::map<Output, std::string> received;
    std::vector<std::string> finished;

  private:
    std::set<Output> takes_;
    std::set<Output> fails_;
    std::unique_ptr<StringSink> sink_;
};

const std::set<Output> Every = {Output::Records, Output::Report, Output::Html, Output::Json,
                                Output::Csv,     Output::Post,   Output::Card, Output::History};

TEST(Publish, EachFormatIsRenderedOnceAndEveryTakerGetsTheSameBytes) {
    const RankingModel model = computeRankingModel(nullptr, 0, {}, ReportTime{});
    const RunResults results(model);
    const Publication run(results);
    const OutputTable table = countingTable();
    const struct {
        const char* name;
        std::vector<std::set<Output>> takers;
    } cases[] = {
        {"no destination", {}},
        {"one destination of everything", {Every}},
        {"three destinations of everything", {Every, Every, Every}},
        {"the JSON to two, the page to one, the CSV to none",
         {{Output::Json}, {Output::Html, Output::Json}}},
    };
    for (const auto& c : cases) {
        SCOPED_TRACE(c.name);
        renders = {};
        std::vector<std::unique_ptr<Recorder>> recorders;
        std::vector<Destination*> destinations;
        for (const std::set<Output>& takes : c.takers) {
            recorders.push_back(std::make_unique<Recorder>(takes));
            destinations.push_back(recorders.back().get());
        }
        const PublishOutcome outcome = publishRun(run, destinations, nullptr, nullptr, {}, table);
        EXPECT_TRUE(outcome.ok);
        for (const OutputKind& kind : table) {
            size_t takers = 0;
            for (const auto& recorder : recorders) {
                auto got = recorder->received.find(kind.output);
                if (got == recorder->received.end()) {
                    continue;
                }
                ++takers;
                const size_t i = indexOf(kind.output);
                EXPECT_EQ(got->second,
                          "format " + std::to_string(i) + ":" + std::string(100000 + i, 'x'));
            }
            EXPECT_EQ(renders[indexOf(kind.output)], takers > 0 ? 1 : 0)
                << "output " << indexOf(kind.output) << " with " << takers << " takers";
        }
    }
}

TEST(Publish, AFailureStopsTheRunOnlyWhereTheTableSaysAndTheSeasonWaitsForTheReport) {
    const RankingModel model = computeRankingModel(nullptr, 0, {}, ReportTime{});
    const RunResults results(model);
    const Publication run(results);
    const OutputTable table = countingTable();
    const struct {
        const char* name;
        std::set<Output> fails;
        std::set<Output> renderedAfter; // of the outputs after Records
        bool stopped;
    } cases[] = {
        {"the records file fails: nothing after it", {Output::Records}, {}, true},
        {"the report fails: the exports go on, the season's line waits",
         {Output::Report},
         {Output::Report, Output::Html, Output::Json, Output::Csv, Output::Post, Output::Card},
         false},
        {"an export fails: the others and the season's line go on",
         {Output::Html},
         {Output::Report, Output::Html, Output::Json, Output::Csv, Output::Post, Output::Card,
          Output::History},
         false},
    };
    for (const auto& c : cases) {
        SCOPED_TRACE(c.name);
        renders = {};
        Recorder failing(Every, c.fails);
        Recorder other(Every);
        int proceeded = 0;
        const PublishOutcome outcome = publishRun(
            run, {&failing, &other}, nullptr, nullptr, [&](PublishOutcome&) { ++proceeded; },
            table);
        EXPECT_FALSE(outcome.ok);
        EXPECT_EQ(outcome.stopped, c.stopped);
        EXPECT_EQ(proceeded, c.stopped ? 0 : 1);
        ASSERT_EQ(outcome.problems.size(), 1u);
        EXPECT_EQ(outcome.problems[0],
                  "out" + std::to_string(indexOf(*c.fails.begin())) + ": disk on fire");
        for (const Output output : Every) {
            if (output == Output::Records) {
                continue;
            }
            EXPECT_EQ(renders[indexOf(output)], c.renderedAfter.count(output) != 0 ? 1 : 0)
                << "output " << indexOf(output);
            EXPECT_EQ(outcome.written[indexOf(output)],
                      c.renderedAfter.count(output) != 0 && c.fails.count(output) == 0)
                << "output " << indexOf(output);
        }
    }
}

} // namespace
