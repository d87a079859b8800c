// A temporary game folder with a records file and participant files.
#pragma once

#include "support/participant_builder.h"
#include "support/temp_folder.h"

namespace kvrtest {

class GameFolder {
  public:
    // With a synthetic records file of `recordsSize` bytes (none when 0).
    explicit GameFolder(size_t recordsSize = 5000);

    const fs::path& path() const { return folder_.path(); }
    fs::path operator/(const std::string& relative) const { return folder_ / relative; }
    fs::path recordsPath() const { return folder_ / "Configuration" / "gameinfo.rcf"; }

    void addParticipant(const std::string& fileName, const ParticipantFileBuilder& builder);
    std::vector<uint8_t> records() const { return readBytes(recordsPath()); }

  private:
    TempFolder folder_;
};

} // namespace kvrtest
