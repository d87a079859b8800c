// Where a rendering goes. Renderers push text into a bounded buffer that is handed on to its
// destination whenever it fills, so that no rendering is ever held whole in memory.
#pragma once

#include <cstddef>
#include <cstdint>
#include <string>
#include <string_view>

namespace kvr {

class OutputSink {
  public:
    static constexpr size_t DefaultCapacity = 64 * 1024;

    explicit OutputSink(size_t capacity = DefaultCapacity);
    virtual ~OutputSink() = default;
    OutputSink(const OutputSink&) = delete;
    OutputSink& operator=(const OutputSink&) = delete;

    void put(std::string_view text);
    void put(char c) {
        if (used_ == buffer_.size()) {
            drainBuffer();
        }
        buffer_[used_++] = c;
    }
    void putNumber(long long value);
    void putTime(uint64_t hundredths, char decimal = '.'); // "mm:ss.hh"

    // Hands on everything buffered. False once a hand-on has failed: after the first failure
    // everything put is dropped.
    bool flush();
    bool failed() const { return failed_; }

  protected:
    // Takes `size` bytes; false when they could not be taken.
    virtual bool drain(const char* data, size_t size) = 0;

  private:
    void drainBuffer();

    std::string buffer_;
    size_t used_ = 0;
    bool failed_ = false;
};

// Collects the whole rendering in a string: for small outputs and for tests.
class StringSink final : public OutputSink {
  public:
    explicit StringSink(size_t capacity = DefaultCapacity) : OutputSink(capacity) {}
    ~StringSink() override = default;
    // Everything put so far.
    std::string take() {
        flush();
        return std::move(text_);
    }

  private:
    bool drain(const char* data, size_t size) override {
        text_.append(data, size);
        return true;
    }
    std::string text_;
};

} // namespace kvr
