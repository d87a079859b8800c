#include "output/outputs.h"

#include "output/output_table.h"

namespace kvr {

platform::Status writeRankingReport(platform::Env& env, const RankingModel& model,
                                    const char* path) {
    const RunResults results(model);
    const Publication run(results);
    return writeRendering(env, path,
                          [&](OutputSink& out) { outputKind(Output::Report).render(run, out); });
}

} // namespace kvr
