#include "data/text.h"

namespace kvr {

std::string safeText(const char* text, size_t length) {
    std::string safe(text, length);
    for (char& c : safe) {
        if (isControlByte(static_cast<unsigned char>(c))) {
            c = '?';
        }
    }
    return safe;
}

} // namespace kvr
