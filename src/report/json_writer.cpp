#include "report/json_writer.h"

#include <string>

namespace kvr {

void JsonWriter::end() {
    Level level = levels_.back();
    levels_.pop_back();
    if (level.count > 0) {
        out_.put('\n');
        indent();
    }
    out_.put(level.closing);
    if (levels_.empty()) {
        out_.put('\n');
    }
}

void JsonWriter::value(const Json& element, const char* key) {
    next(key);
    std::string text = element.dump(2, ' ', false, Json::error_handler_t::replace);
    size_t from = 0;
    for (size_t at = text.find('\n'); at != std::string::npos; at = text.find('\n', from)) {
        out_.put(std::string_view(text).substr(from, at + 1 - from));
        indent();
        from = at + 1;
    }
    out_.put(std::string_view(text).substr(from));
}

void JsonWriter::string(const char* key, std::string_view text) {
    next(key);
    out_.put('"');
    size_t from = 0;
    for (size_t i = 0; i < text.size(); ++i) {
        const auto c = static_cast<unsigned char>(text[i]);
        if (c >= 0x20 && c != '"' && c != '\\') {
            continue;
        }
        out_.put(text.substr(from, i - from));
        from = i + 1;
        out_.put('\\');
        static constexpr std::string_view Escaped = "\"\\\b\f\n\r\t", Letters = "\"\\bfnrt";
        const size_t letter = Escaped.find(static_cast<char>(c));
        if (letter != std::string_view::npos) {
            out_.put(Letters[letter]);
        } else {
            static constexpr char Hex[] = "0123456789abcdef";
            out_.put("u00");
            out_.put(Hex[c >> 4]);
            out_.put(Hex[c & 15]);
        }
    }
    out_.put(text.substr(from));
    out_.put('"');
}

void JsonWriter::indent() {
    for (size_t i = 0; i < levels_.size(); ++i) {
        out_.put("  ");
    }
}

void JsonWriter::next(const char* key) {
    if (levels_.empty()) {
        return;
    }
    out_.put(levels_.back().count++ > 0 ? ",\n" : "\n");
    indent();
    if (key != nullptr) {
        out_.put('"');
        out_.put(key);
        out_.put("\": ");
    }
}

void JsonWriter::open(const char* key, char opening) {
    next(key);
    out_.put(opening);
    levels_.push_back({opening == '{' ? '}' : ']', 0});
}

} // namespace kvr
