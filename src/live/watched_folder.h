// The participant folder as a watch knows it: which files settled since the last look, and
// each settled file's record or why it could not be read, kept by name and stamp.
#pragma once

#include "data/participant.h"
#include "model/run_results.h"
#include "platform/folder_watch.h"

#include <chrono>
#include <string>
#include <unordered_map>
#include <vector>

namespace kvr {

// The participant folder as the watch knows it: each file's last stamp and, once it has
// settled, its parsed record (or why it could not be read), kept by name and stamp so that a
// run re-reads only the files that changed.
class WatchedFolder {
  public:
    using Clock = std::chrono::steady_clock;

    // What one look found.
    struct Look {
        std::vector<std::string> toRead;  // settled files that are new or changed, to read now
        std::vector<std::string> waiting; // files seen still being copied, told once each
        std::vector<std::string> removed; // files gone that had counted
        bool pending = false;             // files that may settle at a later look
        Clock::time_point settlesAt;      // the earliest such look
    };

    explicit WatchedFolder(std::chrono::milliseconds settle = std::chrono::seconds(1))
        : settle_(settle) {}

    // What the system told of writers since the last look.
    void heard(const std::vector<platform::FileNews>& news);

    // Takes a look at the folder's entries. With `closesTold` (the system tells a writer's
    // close), a file is read once its writer closed it, never while one writes it; otherwise
    // once two looks at least `settle` apart saw the same size and time. A short file that
    // settled is read too, so that it is told as cut. With `everything` (the first run) every
    // file is read as it is.
    Look look(const std::vector<platform::StampedEntry>& entries, Clock::time_point now,
              bool everything = false, bool closesTold = false);

    // The result of reading a file that `look` gave. A file that another program holds is
    // left to settle again; any other failure is kept until the file changes.
    void read(const std::string& name, const platform::Status& status,
              const ParticipantRecord& record);

    // The files that count, in the order of a normal run's listing.
    ImportedFolder imported() const;
    // A changed file counts as new when nothing of it was read before.
    bool wasRead(const std::string& name) const;

  private:
    struct Known {
        platform::FileStamp seen; // at the last look
        Clock::time_point since;  // the first look that saw `seen`
        bool told = false;        // "waiting for ..." said since it last settled
        bool held = false;        // its stamp is read, its record or failure kept
        platform::FileStamp readStamp;
        bool readOk = false;
        ParticipantRecord record{};
        std::string failure;
    };

    enum class Writer { Unknown, Writing, Done };

    std::chrono::milliseconds settle_;
    std::unordered_map<std::string, Known> files_;
    std::unordered_map<std::string, Writer> writers_; // by the system's news
    std::vector<std::string> order_;                  // files of the last look
    size_t folders_ = 0;
};

} // namespace kvr
