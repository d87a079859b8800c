#include "report/output_sink.h"

#include "model/time_text.h"

#include <algorithm>
#include <charconv>

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
    const char* end = std::to_chars(digits, digits + sizeof digits, value).ptr;
    put(std::string_view(digits, static_cast<size_t>(end - digits)));
}

void OutputSink::putTime(uint64_t hundredths, char decimal) {
    char text[TimeTextCapacity];
    put(std::string_view(text, writeTime(text, hundredths, decimal)));
}

bool OutputSink::flush() {
    drainBuffer();
    return !failed_;
}

} // namespace kvr
