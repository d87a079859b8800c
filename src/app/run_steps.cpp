#include "app/run_steps.h"

#include "data/text.h"
#include "platform/console.h"
#include "report/decision_text.h"

#include <future>
#include <system_error>

namespace kvr {

void tellDecisionMisses(const ComputedRun& run, const LeagueRules& league, std::FILE* console) {
    for (size_t d = 0; d < league.decisions.size() && d < run.decided.effects.size(); ++d) {
        if (!run.decided.effects[d].matched) {
            platform::writeConsole(console, safeText(decisionMissText(d + 1, league.decisions[d],
                                                                      run.decided.effects[d])) +
                                                "\n");
        }
    }
}

RunDone runSteps(platform::Env& env, const RunOptions& options, RunRequest request,
                 RunMemory& memory, const std::vector<Destination*>& more, std::FILE* console,
                 std::FILE* errors) {
    RunDone done;
    done.run = computeImported(options, std::move(request.imported), request.now, errors);
    if (!done.run) {
        return done;
    }
    ComputedRun& run = *done.run;
    // The season is held from here until its line is added: a run that cannot have it writes
    // nothing, and two runs publish one after the other, each with its season.
    const std::string& historyPath = options.file(Output::History);
    std::optional<SeasonHold> ownSeason;
    if (memory.season != nullptr) {
        compareWithSeason(memory.season->read(), run, &memory.seasonDigest);
    } else if (!historyPath.empty()) {
        ownSeason.emplace();
        ownSeason->announce(SeasonHolder::Run, request.holderTold ? nullptr : console);
        if (!ownSeason->take(env, historyPath, options.seasonWait)) {
            complain(errors, historyPath, seasonHeldReason(options.seasonWait));
            return done;
        }
        compareWithSeason(ownSeason->read(), run);
        ownSeason->forgetContent();
    }
    // Archived seasons are read again only when the league names others or renames drivers.
    if (!options.archive.empty()) {
        if (!memory.archive || !archiveReadFor(*memory.archive, options, run)) {
            memory.archive = readArchive(env, options, run, errors);
        }
        addAllTime(options, *memory.archive, run);
    }

    const RunResults results = run.results();
    Publication publication(results);
    publication.records = &run.records;
    publication.historyEntry = run.historyEntry;
    publication.pageUrl = options.pageUrl;
    const std::string cardUrl = options.cardUrl();
    publication.cardUrl = cardUrl;
    publication.card = &options.card;
    // The card takes one core while the other outputs are rendered on the other: at 100,000
    // participants they take far longer than the card does.
    std::shared_future<std::string> cardPng;
    if (!options.file(Output::Card).empty()) {
        try {
            cardPng = std::async(std::launch::async, [&results, &options] {
                          StringSink png;
                          renderCard(results, options.card, options.pageUrl, png);
                          return png.take();
                      }).share();
            publication.cardPng = &cardPng;
        } catch (const std::system_error&) {
            // No thread to be had: the card is drawn when its turn comes.
        }
    }
    FileDestination files(env, options, ownSeason ? &*ownSeason : nullptr);
    std::vector<Destination*> destinations{&files};
    destinations.insert(destinations.end(), more.begin(), more.end());
    // A season that could not be used is told once the run goes on to publish.
    auto seasonProblem = [&](PublishOutcome& outcome) {
        if (!historyPath.empty() && !run.seasonProblem.empty()) {
            complain(errors, historyPath, run.seasonProblem);
            outcome.problems.push_back(historyPath + ": " + run.seasonProblem);
            outcome.ok = false;
        }
    };
    done.outcome = publishRun(publication, destinations, request.tellUpdate ? console : nullptr,
                              errors, seasonProblem);
    for (Destination* destination : destinations) {
        destination->finish(publication, done.outcome.problems);
    }
    // After the run's own lines, where the organiser looks last.
    if (request.tellMisses) {
        tellDecisionMisses(run, options.league, console);
    }
    done.status = done.outcome.ok ? ExitSuccess : ExitFailure;
    return done;
}

} // namespace kvr
