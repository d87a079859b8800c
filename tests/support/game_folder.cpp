#include "support/game_folder.h"

namespace kvrtest {

GameFolder::GameFolder(size_t recordsSize) {
    fs::create_directories(folder_ / "kvr");
    fs::create_directories(folder_ / "Configuration");
    if (recordsSize > 0) {
        writeBytes(recordsPath(), syntheticRecordsFile(recordsSize));
    }
}

void GameFolder::addParticipant(const std::string& fileName,
                                const ParticipantFileBuilder& builder) {
    writeBytes(folder_ / "kvr" / fs::u8path(fileName), builder.bytes());
}

} // namespace kvrtest
