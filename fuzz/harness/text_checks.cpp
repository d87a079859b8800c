#include "harness/text_checks.h"

#include <nlohmann/json.hpp>

#include <cstdint>

namespace kvrfuzz {

bool isUtf8(std::string_view text) {
    size_t at = 0;
    while (at < text.size()) {
        const auto lead = static_cast<unsigned char>(text[at]);
        if (lead < 0x80) {
            ++at;
            continue;
        }
        size_t length = 0;
        uint32_t point = 0;
        uint32_t least = 0; // the smallest code point of this length: less is overlong
        if ((lead & 0xE0) == 0xC0) {
            length = 2, point = lead & 0x1Fu, least = 0x80;
        } else if ((lead & 0xF0) == 0xE0) {
            length = 3, point = lead & 0x0Fu, least = 0x800;
        } else if ((lead & 0xF8) == 0xF0) {
            length = 4, point = lead & 0x07u, least = 0x10000;
        } else {
            return false;
        }
        if (text.size() - at < length) {
            return false;
        }
        for (size_t i = 1; i < length; ++i) {
            const auto next = static_cast<unsigned char>(text[at + i]);
            if ((next & 0xC0) != 0x80) {
                return false;
            }
            point = (point << 6u) | (next & 0x3Fu);
        }
        if (point < least || point > 0x10FFFF || (point >= 0xD800 && point <= 0xDFFF)) {
            return false;
        }
        at += length;
    }
    return true;
}

namespace {

// Takes in any JSON and keeps the keys of the outermost object.
class TopLevelKeys final : public nlohmann::json_sax<nlohmann::json> {
  public:
    bool null() override { return top(); }
    bool boolean(bool) override { return top(); }
    bool number_integer(number_integer_t) override { return top(); }
    bool number_unsigned(number_unsigned_t) override { return top(); }
    bool number_float(number_float_t, const string_t&) override { return top(); }
    bool string(string_t&) override { return top(); }
    bool binary(binary_t&) override { return top(); }
    bool start_object(std::size_t) override {
        isObject_ = isObject_ || depth_ == 0;
        ++depth_;
        return true;
    }
    bool key(string_t& key) override {
        if (depth_ == 1) {
            keys_.push_back(key);
        }
        return true;
    }
    bool end_object() override {
        --depth_;
        return true;
    }
    bool start_array(std::size_t) override {
        ++depth_;
        return true;
    }
    bool end_array() override {
        --depth_;
        return true;
    }
    bool parse_error(std::size_t, const std::string&, const nlohmann::detail::exception&) override {
        return false;
    }

    bool isObject() const { return isObject_; }
    std::vector<std::string>& keys() { return keys_; }

  private:
    // False for a value outside any object or array: the text holds no object.
    bool top() const { return depth_ > 0; }

    int depth_ = 0;
    bool isObject_ = false;
    std::vector<std::string> keys_;
};

} // namespace

std::optional<std::vector<std::string>> jsonObjectKeys(std::string_view text) {
    TopLevelKeys keys;
    if (!nlohmann::json::sax_parse(text, &keys) || !keys.isObject()) {
        return std::nullopt;
    }
    return std::move(keys.keys());
}

bool postMessagesFit(std::string_view post, size_t limit) {
    if (post.empty() || post.back() != '\n') {
        return false;
    }
    constexpr std::string_view Separator = "\n\n---\n\n";
    for (size_t from = 0;;) {
        const size_t end = post.find(Separator, from);
        const std::string_view message =
            post.substr(from, end == std::string_view::npos ? post.size() - 1 - from : end - from);
        size_t characters = 0;
        for (char c : message) {
            characters += (static_cast<unsigned char>(c) & 0xC0) != 0x80 ? 1 : 0;
        }
        if (characters > limit) {
            return false;
        }
        if (end == std::string_view::npos) {
            return true;
        }
        from = end + Separator.size();
    }
}

} // namespace kvrfuzz
