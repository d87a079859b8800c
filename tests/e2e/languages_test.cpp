// The players' language on the built binary: every heading of the page, the post's headings
// and the listing's times in each language, while ranking.txt, the records file, the JSON and
// the CSV stay the English run's; a language that is not there is refused before any file.
#include "support/game_folder.h"

#include "data/championship_tables.h"

#include <gtest/gtest.h>

#include <algorithm>
#include <map>
#include <regex>
#include <set>
#include <string>
#include <vector>

namespace {

using kvrtest::GameFolder;
using kvrtest::ParticipantFileBuilder;
namespace fs = std::filesystem;

// `from` copied into the folder `to`, file by file: the Windows runtime's std::filesystem::copy
// refuses to copy a folder onto one that exists.
void copyFolder(const fs::path& from, const fs::path& to) {
    fs::create_directories(to);
    for (const fs::directory_entry& entry : fs::recursive_directory_iterator(from)) {
        const fs::path target = to / entry.path().lexically_relative(from);
        if (entry.is_directory()) {
            fs::create_directories(target);
        } else {
            fs::copy_file(entry.path(), target, fs::copy_options::overwrite_existing);
        }
    }
}

void addDriver(GameFolder& game, const std::string& code, uint32_t first, uint32_t second) {
    ParticipantFileBuilder image;
    image.code(code).name("Driver " + code);
    image.stage(0, 0, 1, first).stage(0, 1, 1, second).arcade(0, 1, 9000u + first % 100);
    game.addParticipant(code + ".kvr", image);
}

// The texts of the page's section headings, column heads, captions and navigation, in page
// order, without inner tags. A row's own heading (an event, a driver) is data, not a word.
std::vector<std::string> headings(const std::string& page) {
    static const std::regex element("<(h2|h3|caption|th(?= class=\"[^\"]*\">|>))[^>]*>"
                                    "([\\s\\S]*?)</(?:h2|h3|caption|th)>");
    static const std::regex link("<a href=\"#[^\"]*\">([^<]*)</a>");
    static const std::regex tag("<[^>]*>");
    std::vector<std::string> found;
    for (auto it = std::sregex_iterator(page.begin(), page.end(), element);
         it != std::sregex_iterator(); ++it) {
        found.push_back(std::regex_replace((*it)[2].str(), tag, ""));
    }
    const size_t navStart = page.find("<nav>"), navEnd = page.find("</nav>");
    const std::string nav = page.substr(navStart, navEnd - navStart);
    for (auto it = std::sregex_iterator(nav.begin(), nav.end(), link); it != std::sregex_iterator();
         ++it) {
        found.push_back((*it)[1].str());
    }
    return found;
}

std::vector<std::string> boldLines(const std::string& post) {
    static const std::regex bold("\\*\\*([^*]+)\\*\\*");
    std::vector<std::string> found;
    for (auto it = std::sregex_iterator(post.begin(), post.end(), bold);
         it != std::sregex_iterator(); ++it) {
        found.push_back((*it)[1].str());
    }
    return found;
}

// The run's time, which differs between two runs, as one mark.
std::string withoutRunTime(const std::string& text) {
    static const std::regex time("\\d{4}[-.]\\d{2}[-.]\\d{2}[T ]\\d{2}:\\d{2}:\\d{2}");
    return std::regex_replace(text, time, "TIME");
}

// Two runs of a season: the second, in a copy of the folder per language, adds a driver with
// an outlying time, so that the page has its season sections and the post its parts.
class Languages : public ::testing::Test {
  protected:
    void SetUp() override {
        for (int i = 0; i < 5; ++i) {
            addDriver(game_, "D" + std::to_string(i), 30001u + 997u * static_cast<uint32_t>(i),
                      40001u - 613u * static_cast<uint32_t>(i));
        }
        const kvrtest::ProcessResult first =
            kvrtest::runProgram(KVRRANK_BINARY, game_.path(), {"--history", "season.jsonl"});
        ASSERT_EQ(first.exitStatus, 0) << first.errors;
        addDriver(game_, "NEW", 6001, 39001);
    }

    struct Outputs {
        std::string page, post, json, csv, ranking;
        std::vector<uint8_t> records;
    };

    Outputs secondRun(const std::vector<std::string>& language) {
        kvrtest::TempFolder copy;
        copyFolder(game_.path(), copy.path());
        std::vector<std::string> arguments = {"--history", "season.jsonl", "--html", "r.html",
                                              "--post",    "r.md",         "--json", "r.json",
                                              "--csv",     "r.csv"};
        arguments.insert(arguments.end(), language.begin(), language.end());
        const kvrtest::ProcessResult run =
            kvrtest::runProgram(KVRRANK_BINARY, copy.path(), arguments);
        EXPECT_EQ(run.exitStatus, 0) << run.errors;
        return {kvrtest::readText(copy / "r.html"),
                kvrtest::readText(copy / "r.md"),
                withoutRunTime(kvrtest::readText(copy / "r.json")),
                kvrtest::readText(copy / "r.csv"),
                withoutRunTime(kvrtest::readText(copy / "ranking.txt")),
                kvrtest::readBytes(copy / "Configuration" / "gameinfo.rcf")};
    }

    GameFolder game_;
};

TEST_F(Languages, EveryHeadingIsTranslatedAndTheMachineFormatsStay) {
    const Outputs english = secondRun({});
    const std::vector<std::string> englishHeadings = headings(english.page);
    const std::vector<std::string> englishBold = boldLines(english.post);
    ASSERT_GT(englishHeadings.size(), 40u);
    ASSERT_GE(englishBold.size(), 4u) << english.post;
    EXPECT_NE(english.page.find("<html lang=\"en\">"), std::string::npos);
    // The rally countries keep their names; a few words are the same in English.
    std::set<std::string> kept(std::begin(kvr::rallyNames), std::end(kvr::rallyNames));
    kept.insert({"#", "Arcade"});
    const struct {
        const char* code;
        std::set<std::string> same;
    } languages[] = {
        {"de", {"Name", "Team"}},
        {"fr", {"Code", "Place", "Points", "Total", "Records", "Date"}},
        {"es", {"Total"}},
        {"it", {"File"}},
        {"pl", {}},
        {"fi", {}},
        {"sv", {}},
    };
    const std::regex dotTime("\\d{2}:\\d{2}\\.\\d{2}"), commaTime("\\d{2}:\\d{2},\\d{2}");
    for (const auto& language : languages) {
        SCOPED_TRACE(language.code);
        const Outputs run = secondRun({"--language", language.code});
        EXPECT_NE(run.page.find(std::string("<html lang=\"") + language.code + "\">"),
                  std::string::npos);
        const std::vector<std::string> translated = headings(run.page);
        ASSERT_EQ(translated.size(), englishHeadings.size());
        for (size_t i = 0; i < translated.size(); ++i) {
            if (translated[i] == englishHeadings[i]) {
                EXPECT_TRUE(kept.count(translated[i]) + language.same.count(translated[i]) > 0)
                    << "left in English: " << translated[i];
            }
        }
        const std::vector<std::string> bold = boldLines(run.post);
        ASSERT_EQ(bold.size(), englishBold.size()) << run.post;
        for (const std::string& heading : bold) {
            EXPECT_EQ(std::count(englishBold.begin(), englishBold.end(), heading), 0)
                << heading << " in\n"
                << run.post;
        }
        // The times with a decimal comma, in the page and the post alike, the reasons of the
        // decisions ready to paste included.
        const std::string& page = run.page;
        EXPECT_NE(page.find("<pre>[[decision]]"), std::string::npos);
        std::smatch dot;
        EXPECT_FALSE(std::regex_search(page, dot, dotTime))
            << page.substr(static_cast<size_t>(std::max<long>(0, dot.position() - 200)), 300);
        EXPECT_TRUE(std::regex_search(page, commaTime));
        EXPECT_FALSE(std::regex_search(run.post, dotTime)) << run.post;
        EXPECT_EQ(run.ranking, english.ranking);
        EXPECT_EQ(run.records, english.records);
        EXPECT_EQ(run.json, english.json);
        EXPECT_EQ(run.csv, english.csv);
    }
}

TEST_F(Languages, TheLeagueFileSetsItAndTheCommandLineWins) {
    kvrtest::writeText(game_ / "kvrrank.toml", "[page]\nlanguage = \"fi\"\n");
    EXPECT_NE(secondRun({}).page.find("<html lang=\"fi\">"), std::string::npos);
    EXPECT_NE(secondRun({"--language", "sv"}).page.find("<html lang=\"sv\">"), std::string::npos);
}

TEST_F(Languages, AnUnknownLanguageIsRefusedBeforeAnyFile) {
    const std::string languages = "en, de, fr, es, it, pl, fi, sv";
    const struct {
        const char* what;
        const char* league; // nullptr: none
        std::vector<std::string> arguments;
    } cases[] = {
        {"on the command line", nullptr, {"--language", "de-DE"}},
        {"in the league file", "[page]\nlanguage = \"klingon\"\n", {}},
        {"not a text", "[page]\nlanguage = 1\n", {}},
    };
    for (const auto& c : cases) {
        SCOPED_TRACE(c.what);
        kvrtest::TempFolder copy;
        copyFolder(game_.path(), copy.path());
        if (c.league != nullptr) {
            kvrtest::writeText(copy / "kvrrank.toml", c.league);
        }
        const std::map<std::string, std::string> before = kvrtest::snapshot(copy.path());
        std::vector<std::string> arguments = {"--html", "r.html", "--post", "r.md"};
        arguments.insert(arguments.end(), c.arguments.begin(), c.arguments.end());
        const kvrtest::ProcessResult run =
            kvrtest::runProgram(KVRRANK_BINARY, copy.path(), arguments);
        EXPECT_EQ(run.exitStatus, 2);
        EXPECT_NE(run.errors.find(languages), std::string::npos) << run.errors;
        EXPECT_EQ(kvrtest::snapshot(copy.path()), before);
    }
}

} // namespace
