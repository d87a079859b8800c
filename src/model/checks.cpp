#include "model/model_parts.h"

#include "data/text.h"

#include <algorithm>
#include <utility>

namespace kvr::ranking {

namespace {

// FNV-1a, 64 bits, folded to 32, of the code, a NUL and the name.
uint32_t identityHash(const DriverIdentity& driver) {
    uint64_t hash = 14695981039346656037u;
    auto add = [&hash](char c) { hash = (hash ^ static_cast<unsigned char>(c)) * 1099511628211u; };
    for (char c : driver.code) {
        add(c);
    }
    add('\0');
    for (char c : driver.name) {
        add(c);
    }
    return static_cast<uint32_t>(hash ^ hash >> 32);
}

// The files of `group` with the first of each driver's files only: files that the roster made
// one driver (`driverFile`, empty when none) are that driver's, not copies.
std::vector<int32_t> oneFilePerDriver(const std::vector<int32_t>& group,
                                      const std::vector<int32_t>& driverFile) {
    if (driverFile.empty()) {
        return group;
    }
    std::vector<int32_t> kept;
    std::vector<int32_t> drivers;
    for (int32_t member : group) {
        const int32_t driver = driverFile[static_cast<size_t>(member)];
        if (std::find(drivers.begin(), drivers.end(), driver) == drivers.end()) {
            drivers.push_back(driver);
            kept.push_back(member);
        }
    }
    return kept;
}

// Groups the participants of byName[run, end), whose hashes are equal, by the identity itself:
// almost always one group.
void duplicateGroups(RankingModel& model, const std::vector<uint64_t>& byName, size_t run,
                     size_t end, const std::vector<int32_t>& driverFile) {
    std::vector<std::pair<const DriverIdentity*, int32_t>> same;
    for (size_t k = run; k < end; ++k) {
        const auto participant = static_cast<uint32_t>(byName[k]);
        same.emplace_back(&model.participants[participant], static_cast<int32_t>(participant));
    }
    std::stable_sort(same.begin(), same.end(),
                     [](const auto& a, const auto& b) { return *a.first < *b.first; });
    for (size_t k = 0; k < same.size();) {
        size_t last = k + 1;
        while (last < same.size() && *same[last].first == *same[k].first) {
            ++last;
        }
        if (last - k > 1) {
            std::vector<int32_t> group;
            for (size_t m = k; m < last; ++m) {
                group.push_back(same[m].second);
            }
            group = oneFilePerDriver(group, driverFile);
            if (group.size() > 1) {
                model.checks.duplicates.push_back(std::move(group));
            }
        }
        k = last;
    }
}

// Participants with the same identity, and the decision that excluded a file of each group.
void duplicates(RankingModel& model, const DecidedField* decided,
                const std::vector<int32_t>& driverFile) {
    // A 32-bit hash of the identity above the participant's index, 8 bytes a participant:
    // sorted, equal hashes stand together in participant order.
    std::vector<uint64_t> byName(model.participants.size());
    for (size_t i = 0; i < byName.size(); ++i) {
        byName[i] = uint64_t{identityHash(model.participants[i])} << 32 | i;
    }
    std::sort(byName.begin(), byName.end());
    for (size_t run = 0; run < byName.size();) {
        size_t end = run + 1;
        while (end < byName.size() && byName[end] >> 32 == byName[run] >> 32) {
            ++end;
        }
        if (end - run > 1) {
            duplicateGroups(model, byName, run, end, driverFile);
        }
        run = end;
    }
    std::vector<std::vector<int32_t>>& groups = model.checks.duplicates;
    std::sort(groups.begin(), groups.end(),
              [](const auto& a, const auto& b) { return a.front() < b.front(); });

    for (const std::vector<int32_t>& group : groups) {
        int decision = 0;
        for (int32_t member : group) {
            const int by = decisionOn(decided, member, nullptr);
            decision = decision == 0 || (by != 0 && by < decision) ? by : decision;
        }
        model.checks.duplicateDecisions.push_back(decision);
    }
}

// The place 1 and 2 of each event, from the records as imported.
std::vector<EventListing> importedLeaders(const ParticipantRecord* imported,
                                          const RankingModel& model) {
    const std::array<Event, EventCount>& events = allEvents();
    std::vector<LeadingItems> leading(events.size(), LeadingItems(2));
    for (size_t i = 0; i < model.participants.size(); ++i) {
        for (const Event& event : events) {
            const ResultEntry& result = event.resultOf(imported[i]);
            if (result.time != 0) {
                leading[static_cast<size_t>(event.number)].offer(
                    {result.time - 1u, static_cast<int32_t>(i), result.vehicle});
            }
        }
    }
    std::vector<EventListing> leaders;
    for (const Event& event : events) {
        addListing(leaders, event, leading[static_cast<size_t>(event.number)].items(),
                   model.league.places);
    }
    return leaders;
}

// Outliers among the times as imported: one that a decision excluded is still shown.
void outliers(RankingModel& model, const DecidedField* decided, const ParticipantRecord* imported) {
    std::vector<EventListing> leaders;
    if (imported != nullptr) {
        leaders = importedLeaders(imported, model);
    }
    const std::vector<const std::vector<EventListing>*> sources =
        imported != nullptr
            ? std::vector<const std::vector<EventListing>*>{&leaders}
            : std::vector<const std::vector<EventListing>*>{&model.stages, &model.arcade};
    for (const std::vector<EventListing>* listings : sources) {
        for (const EventListing& listed : *listings) {
            if (listed.results.size() < 2) {
                continue;
            }
            const ListedResult& first = listed.results[0];
            const ListedResult& second = listed.results[1];
            if (isOutlier(first.time, second.time)) {
                model.checks.outliers.push_back(
                    {listed.event, first.participantIndex, first.time, second.time,
                     decisionOn(decided, first.participantIndex, listed.event)});
            }
        }
    }
}

// Implausible files, as found before a driver's files were merged when the options have them.
void implausible(RankingModel& model, const DecidedField* decided,
                 const ParticipantRecord* participants, const RankingOptions& options) {
    const auto count = static_cast<int32_t>(model.participants.size());
    std::vector<Implausible>& found = model.checks.implausible;
    found = options.implausible           ? *options.implausible
            : options.imported != nullptr ? implausibleFiles(options.imported, count)
                                          : implausibleFiles(participants, count);
    for (Implausible& file : found) {
        file.decision = decisionOn(decided, file.participantIndex, nullptr);
    }
}

} // namespace

void buildChecks(RankingModel& model, const ParticipantRecord* participants,
                 const RankingOptions& options) {
    const DecidedField* decided = options.decided;
    // A list of another size is no roster's.
    const std::vector<int32_t> oneEach;
    duplicates(model, decided,
               options.driverFile.size() == model.participants.size() ? options.driverFile
                                                                      : oneEach);
    outliers(model, decided, decided != nullptr ? options.imported : nullptr);
    implausible(model, decided, participants, options);
    buildReview(model);
}

} // namespace kvr::ranking

namespace kvr {

std::optional<Implausible> implausibleFile(const ParticipantRecord& record, int32_t index) {
    Implausible found;
    found.participantIndex = index;
    auto control = [](const char* text, size_t length) {
        return std::any_of(text, text + length,
                           [](char c) { return isControlByte(static_cast<unsigned char>(c)); });
    };
    found.controlBytes = control(record.code, codeLength(record.code)) ||
                         control(record.name, nameLength(record.name));
    for (const Event& event : allEvents()) {
        const uint32_t stored = event.resultOf(record).time;
        if (stored != 0 && stored - 1u >= ImplausibleTime) {
            found.event = &event;
            found.time = stored - 1u;
            break;
        }
    }
    if (!found.controlBytes && found.event == nullptr) {
        return std::nullopt;
    }
    return found;
}

std::vector<Implausible> implausibleFiles(const ParticipantRecord* records, int32_t count) {
    std::vector<Implausible> found;
    for (int32_t i = 0; i < count; ++i) {
        if (std::optional<Implausible> file = implausibleFile(records[i], i)) {
            found.push_back(*file);
        }
    }
    return found;
}

} // namespace kvr
