#include "report/output_sink.h"

#include "report/ranking_model.h"

namespace kvr {

OutputSink::OutputSink(size_t capacity) : buffer_(capacity > 0 ? capacity : 1, '\0') {}

void OutputSink::drainBuffer() {
    if (!failed_ && used_ > 0 && !drain(buffer_.data(), used_)) {
        failed_ = true;
    }
    used_ = 0;
}

void OutputSink::put(std::string_view text) {
    while (!text.empty()) {
        if (used_ == buffer_.size()) {
            drainBuffer();
        }
        size_t n = std::min(text.size(), buffer_.size() - used_);
        text.copy(&buffer_[used_], n);
        used_ += n;
        text.remove_prefix(n);
    }
}

void OutputSink::putNumber(long long value) {
    char digits[24];
    size_t n = 0;
    // Negative values are built from the magnitude of value + 1, so the smallest one does
    // not overflow.
    unsigned long long magnitude = value < 0 ? static_cast<unsigned long long>(-(value + 1)) + 1u
                                             : static_cast<unsigned long long>(value);
    do {
        digits[n++] = static_cast<char>('0' + magnitude % 10u);
        magnitude /= 10u;
    } while (magnitude > 0);
    if (value < 0) {
        put('-');
    }
    while (n > 0) {
        put(digits[--n]);
    }
}

void OutputSink::putTime(uint32_t hundredths) {
    char text[TimeTextCapacity];
    put(std::string_view(text, writeTime(text, hundredths)));
}

bool OutputSink::flush() {
    drainBuffer();
    return !failed_;
}

} // namespace kvr
