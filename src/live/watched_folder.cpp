#include "live/watched_folder.h"

#include "data/text.h"
#include "platform/fs.h"

#include <algorithm>
#include <unordered_set>

namespace kvr {

WatchedFolder::Look WatchedFolder::look(const std::vector<platform::StampedEntry>& entries,
                                        Clock::time_point now, bool everything) {
    Look found;
    std::vector<std::string> order;
    order.reserve(entries.size());
    size_t folders = 0;
    for (const platform::StampedEntry& entry : entries) {
        if (entry.isFolder) {
            ++folders;
            continue;
        }
        order.push_back(entry.name);
        auto [at, fresh] = files_.try_emplace(entry.name);
        Known& known = at->second;
        bool restless = false; // changed between two looks: being written now
        if (fresh || known.seen != entry.stamp) {
            restless = !fresh && !everything;
            known.seen = entry.stamp;
            known.since = now;
        }
        if (known.held && known.readStamp == entry.stamp) {
            continue; // read as it is
        }
        const bool complete = entry.stamp.size >= ParticipantFileSize;
        const bool settled = now - known.since >= settle_;
        if (everything || (settled && complete)) {
            found.toRead.push_back(entry.name);
            continue;
        }
        if ((restless || (settled && !complete)) && !known.told) {
            found.waiting.push_back(entry.name);
            known.told = true;
        }
        const Clock::time_point settles = known.since + settle_;
        if (!found.pending || settles < found.settlesAt) {
            found.settlesAt = std::max(settles, now);
        }
        found.pending = true;
    }
    // Files gone since the last look.
    if (files_.size() > order.size()) {
        const std::unordered_set<std::string> present(order.begin(), order.end());
        for (auto it = files_.begin(); it != files_.end();) {
            if (present.count(it->first) == 0) {
                found.removed += it->second.held ? 1 : 0;
                it = files_.erase(it);
            } else {
                ++it;
            }
        }
    }
    order_ = std::move(order);
    folders_ = folders;
    if (everything) {
        // Read and told in the order a normal run imports them.
        std::sort(found.toRead.begin(), found.toRead.end(), platform::folderNameLess);
    }
    return found;
}

void WatchedFolder::read(const std::string& name, const platform::Status& status,
                         const ParticipantRecord& record) {
    auto at = files_.find(name);
    if (at == files_.end()) {
        return;
    }
    Known& known = at->second;
    if (status.kind() == platform::StatusKind::Held) {
        return; // being written: it settles again later
    }
    known.held = true;
    known.told = false;
    known.readStamp = known.seen;
    known.readOk = status.ok();
    known.failure = status ? std::string() : status.reason();
    if (status) {
        known.record = record;
    }
}

bool WatchedFolder::wasRead(const std::string& name) const {
    auto at = files_.find(name);
    return at != files_.end() && at->second.held;
}

ImportedFolder WatchedFolder::imported() const {
    ImportedFolder imported;
    imported.fileEntries = order_.size();
    imported.records.reserve(order_.size());
    imported.files.reserve(order_.size());
    // A participant's place in the list breaks ties, as in a normal run: the folder's sorted
    // order, whatever order the looks list it in.
    std::vector<const std::string*> sorted;
    sorted.reserve(order_.size());
    for (const std::string& name : order_) {
        sorted.push_back(&name);
    }
    std::sort(sorted.begin(), sorted.end(), [](const std::string* a, const std::string* b) {
        return platform::folderNameLess(*a, *b);
    });
    for (const std::string* each : sorted) {
        const std::string& name = *each;
        const Known& known = files_.at(name);
        if (!known.held) {
            continue; // not settled yet
        }
        if (known.readOk) {
            imported.records.push_back(known.record);
            imported.files.push_back(name);
        } else {
            imported.notImported.push_back({validUtf8(name), safeText(known.failure)});
        }
    }
    return imported;
}

} // namespace kvr
