#include "live/watched_folder.h"

#include "data/text.h"
#include "platform/fs.h"

#include <algorithm>
#include <unordered_set>

namespace kvr {

void WatchedFolder::heard(const std::vector<platform::FileNews>& news) {
    for (const platform::FileNews& each : news) {
        writers_[each.name] = each.done ? Writer::Done : Writer::Writing;
    }
}

WatchedFolder::Look WatchedFolder::look(const std::vector<platform::StampedEntry>& entries,
                                        Clock::time_point now, bool everything, bool closesTold) {
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
        // Where the system tells a writer's close, a file is settled at its close and never
        // while a writer holds it, whatever its size; elsewhere, once two looks a second apart
        // saw it the same. A settled file is read even when short: a cut file is told.
        const auto writer = closesTold ? writers_.find(entry.name) : writers_.end();
        const Writer state = writer != writers_.end() ? writer->second : Writer::Unknown;
        const bool settled =
            state == Writer::Done || (state == Writer::Unknown && now - known.since >= settle_);
        if (everything || settled) {
            found.toRead.push_back(entry.name);
            continue;
        }
        if ((restless || state == Writer::Writing) && !known.told) {
            found.waiting.push_back(entry.name);
            known.told = true;
        }
        if (state == Writer::Writing) {
            continue; // its close wakes the watch
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
                if (it->second.held) {
                    found.removed.push_back(it->first);
                }
                writers_.erase(it->first);
                it = files_.erase(it);
            } else {
                ++it;
            }
        }
    }
    order_ = std::move(order);
    folders_ = folders;
    // Read and told in the order a normal run imports them.
    std::sort(found.toRead.begin(), found.toRead.end(), platform::folderNameLess);
    std::sort(found.removed.begin(), found.removed.end(), platform::folderNameLess);
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
