// The run's output files: ranking.txt and the exports, each written aside and put in place of
// the earlier file only when complete, and the run's local time.
#pragma once

#include "data/participant.h"
#include "model/ranking_model.h"
#include "platform/env.h"
#include "platform/fs.h"
#include "report/output_sink.h"

#include <cstdint>

namespace kvr {

constexpr const char* RankingReportPath = "ranking.txt";

// Writes the report of `model` to `path` with the platform's line ends, replacing any earlier
// report only once the new one is complete. On any failure the earlier report is left as it
// was.
platform::Status writeRankingReport(platform::Env& env, const RankingModel& model,
                                    const char* path);

// Streams a rendering into a file replacement; `status()` tells why a hand-on failed.
class ReplacementSink final : public OutputSink {
  public:
    explicit ReplacementSink(platform::FileReplacement& file, size_t capacity = DefaultCapacity)
        : OutputSink(capacity), file_(file) {}
    ~ReplacementSink() override = default;
    const platform::Status& status() const { return status_; }

  private:
    bool drain(const char* data, size_t size) override {
        status_ = file_.write(data, size);
        return status_.ok();
    }
    platform::FileReplacement& file_;
    platform::Status status_;
};

// Renders into a new file at `path` through a bounded buffer and puts it in place of any
// earlier one only when the whole rendering was written; otherwise the earlier file stays.
template <typename Render>
platform::Status writeRendering(platform::Env& env, const char* path, Render render) {
    platform::FileReplacement file(env);
    platform::Status status = file.begin(path);
    if (!status) {
        return status;
    }
    ReplacementSink sink(file);
    render(static_cast<OutputSink&>(sink));
    if (!sink.flush()) {
        return sink.status();
    }
    return file.commit();
}

} // namespace kvr
