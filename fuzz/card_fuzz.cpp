// Fuzz target: the standings card's layout and drawing on any standings and names. Input: a
// byte of flags (bit 0 the light theme, bit 1 a team column, bit 2 a movement column), then
// the title, the subtitle, the "more" line and the footer, then rows of six fields (place,
// name, code, team, points, movement), all separated by line feeds; at most twelve rows, as a
// card shows. Every card keeps its texts inside their boxes and draws nothing outside them.
#include "fuzz_check.h"
#include "harness/card_checks.h"

#include <cstdint>
#include <string>
#include <string_view>

using namespace kvr;

namespace {

std::string field(std::string_view& input) {
    const size_t end = input.find('\n');
    const std::string taken(input.substr(0, end));
    input = end == std::string_view::npos ? std::string_view() : input.substr(end + 1);
    return taken;
}

} // namespace

extern "C" int LLVMFuzzerTestOneInput(const uint8_t* data, size_t size) {
    if (size < 1) {
        return 0;
    }
    std::string_view input(reinterpret_cast<const char*>(data + 1), size - 1);
    CardContent content;
    content.theme = (data[0] & 1) != 0 ? CardTheme::Light : CardTheme::Dark;
    content.teams = (data[0] & 2) != 0;
    content.moves = (data[0] & 4) != 0;
    content.title = field(input);
    content.subtitle = field(input);
    content.more = field(input);
    content.footer = field(input);
    while (!input.empty() && content.rows.size() < CardRowCount) {
        CardRow row;
        row.place = field(input);
        row.name = field(input);
        row.code = field(input);
        row.team = field(input);
        row.points = field(input);
        row.movement = field(input);
        row.move = static_cast<CardMove>(row.movement.size() % 5);
        content.rows.push_back(std::move(row));
    }
    const char* fault = kvrfuzz::cardLayoutFault(layoutCard(content));
    kvrfuzz::require(fault == nullptr, fault != nullptr ? fault : "");
    return 0;
}
