// A JSON document written element by element to an output sink, in the layout of nlohmann's
// dump with an indent of 2, so that only one element is ever held in memory.
#pragma once

#include "report/output_sink.h"

#include <nlohmann/json.hpp>

#include <cstddef>
#include <string_view>
#include <vector>

namespace kvr {

// Keys in the order they are set.
using Json = nlohmann::ordered_json;

class JsonWriter {
  public:
    explicit JsonWriter(OutputSink& out) : out_(out) {}

    // An object or an array, closed by end(): an array element, or an object member when
    // `key` is given. The document's outermost end() writes the closing line end.
    void beginObject(const char* key = nullptr) { open(key, '{'); }
    void beginArray(const char* key = nullptr) { open(key, '['); }
    void end();
    // A whole value, as dump writes it at this depth.
    void value(const Json& element, const char* key = nullptr);

    // Scalars written straight, in the layout dump gives them: for the long lists, where
    // building a document per element would cost more than the whole rest of the export.
    // `text` must be UTF-8.
    void string(const char* key, std::string_view text);
    void number(const char* key, long long value) {
        next(key);
        out_.putNumber(value);
    }
    void null(const char* key) {
        next(key);
        out_.put("null");
    }

  private:
    struct Level {
        char closing;
        size_t count;
    };

    void indent();
    // Keys are the format's own names: nothing in them needs escaping.
    void next(const char* key);
    void open(const char* key, char opening);

    OutputSink& out_;
    std::vector<Level> levels_;
};

} // namespace kvr
