// The standings card as a chat and its readers meet it: a PNG that another reader takes, the
// drivers' names read back by OCR, the same bytes for the same folder, and the page and the post
// that point a chat at it.
#include "support/game_folder.h"

#include <gtest/gtest.h>
#include <nlohmann/json.hpp>

#include <random>

namespace {

using kvrtest::GameFolder;
using kvrtest::ParticipantFileBuilder;
namespace fs = std::filesystem;

kvrtest::ProcessResult run(const fs::path& folder, const std::vector<std::string>& arguments) {
    return kvrtest::runProgram(KVRRANK_BINARY, folder, arguments);
}

#ifndef _WIN32
// tools/card-check.py: the PNG read by Python's zlib, and with `names` by tesseract.
kvrtest::ProcessResult checkCard(const fs::path& card, const fs::path& names = fs::path()) {
    std::vector<std::string> arguments{KVR_CARD_CHECK, card.string()};
    if (!names.empty()) {
        arguments.insert(arguments.end(), {"--ocr", names.string()});
    }
    return kvrtest::runProgram("/usr/bin/python3", card.parent_path(), arguments);
}

TEST(Card, OcrReadsTheFirstFiveDriversInOrderAndTheLeadersPoints) {
    kvrtest::TempFolder game;
    ASSERT_EQ(kvrtest::runProgram(KVRSAMPLE_BINARY, game.path(),
                                  {game.path().string(), "--participants", "30", "--seed", "11"})
                  .exitStatus,
              0);
    ASSERT_EQ(
        run(game.path(), {"--no-records", "--card", "card.png", "--json", "r.json"}).exitStatus, 0);
    const nlohmann::json ranking = nlohmann::json::parse(kvrtest::readText(game / "r.json"));
    nlohmann::json expected{{"names", nlohmann::json::array()},
                            {"points", ranking["standings"][0]["points"]}};
    for (size_t i = 0; i < 5; ++i) {
        expected["names"].push_back(ranking["standings"][i]["name"]);
    }
    kvrtest::writeText(game / "names.json", expected.dump());
    const kvrtest::ProcessResult check = checkCard(game / "card.png", game / "names.json");
    EXPECT_EQ(check.exitStatus, 0)
        << check.output << check.errors << "(the check needs Debian's tesseract-ocr)";

    // The same folder gives the same bytes.
    const auto first = kvrtest::readBytes(game / "card.png");
    ASSERT_EQ(run(game.path(), {"--no-records", "--card", "again.png"}).exitStatus, 0);
    EXPECT_EQ(kvrtest::readBytes(game / "again.png"), first);
}

TEST(Card, StrangersFilesGiveAValidCard) {
    GameFolder game;
    std::mt19937 random(7);
    for (int i = 0; i < 6; ++i) {
        std::string bytes(1616, '\0');
        for (char& c : bytes) {
            c = static_cast<char>(random());
        }
        fs::create_directories(game / "kvr");
        kvrtest::writeText(game / "kvr" / ("random" + std::to_string(i) + ".kvr"), bytes);
    }
    const std::string names[] = {std::string("\x01\x1b[2J\x7f", 5), "\x80\x81\x8d\xfe\xff",
                                 "\"quoted\" 'name' <b>", std::string(43, '\xc9')};
    for (size_t i = 0; i < 4; ++i) {
        ParticipantFileBuilder image;
        image.code("H" + std::to_string(i)).name(names[i]).stage(0, int(i), 1, 20001);
        game.addParticipant("hostile" + std::to_string(i) + ".kvr", image);
    }
    ASSERT_EQ(run(game.path(), {"--no-records", "--card", "card.png"}).exitStatus, 0);
    const kvrtest::ProcessResult check = checkCard(game / "card.png");
    EXPECT_EQ(check.exitStatus, 0) << check.output << check.errors;
}
#endif

// With page_url, the page's preview shows the card from the page's folder, and the post ends
// with its address; without page_url neither names it.
TEST(Card, ThePageAndThePostPointAChatAtTheCard) {
    GameFolder game;
    ParticipantFileBuilder anna;
    anna.code("ABE").name("Anna Berg").stage(0, 0, 1, 30001);
    game.addParticipant("anna.kvr", anna);
    fs::create_directories(game / "web");
    const std::string outputs = "[outputs]\nhtml = \"web/index.html\"\npost = \"week.md\"\n"
                                "card = \"web/Week 1.png\"\n";
    struct Case {
        std::string pageUrl;
        std::string cardUrl; // empty: none
    };
    const Case cases[] = {
        {"https://example.org/league/index.html?x=1", "https://example.org/league/Week%201.png"},
        {"https://example.org", "https://example.org/Week%201.png"},
        {"http://example.org/league/", "http://example.org/league/Week%201.png"},
        {"", ""},
    };
    for (const Case& c : cases) {
        SCOPED_TRACE(c.pageUrl);
        kvrtest::writeText(game / "kvrrank.toml",
                           outputs +
                               (c.pageUrl.empty() ? "" : "page_url = \"" + c.pageUrl + "\"\n") +
                               "[card]\ntitle = \"Tuesday League\"\ntheme = \"light\"\n");
        const kvrtest::ProcessResult result = run(game.path(), {"--no-records"});
        ASSERT_EQ(result.exitStatus, 0) << result.errors;
        EXPECT_TRUE(fs::exists(game / "web" / "Week 1.png"));
        const std::string page = kvrtest::readText(game / "web" / "index.html");
        const std::string post = kvrtest::readText(game / "week.md");
        if (c.cardUrl.empty()) {
            EXPECT_EQ(page.find("og:image"), std::string::npos);
            EXPECT_EQ(post.find(".png"), std::string::npos);
            continue;
        }
        EXPECT_NE(page.find("<meta property=\"og:image\" content=\"" + c.cardUrl + "\">"),
                  std::string::npos);
        EXPECT_NE(page.find("<meta property=\"og:title\" content=\"Dustline Rally 2.0"),
                  std::string::npos);
        EXPECT_EQ(post.substr(post.size() - c.cardUrl.size() - 2), "\n" + c.cardUrl + "\n");
    }
}

} // namespace
