// Streamed exports: the bytes that reach the file do not depend on the sink's buffer, a
// failure at any file operation keeps the earlier file, and CSV cells cannot be formulas.
#include "report/output_sink.h"

#include "output/outputs.h"
#include "platform/fs.h"
#include "report/ranking_csv.h"
#include "report/ranking_html.h"
#include "report/ranking_json.h"
#include "support/faulty_env.h"
#include "support/participant_builder.h"
#include "support/random_folder.h"
#include "support/temp_folder.h"

#include <gtest/gtest.h>
#include <nlohmann/json.hpp>

#include <climits>
#include <set>

namespace {

using namespace kvr;
using kvrtest::ParticipantFileBuilder;
namespace fs = std::filesystem;

const ReportTime Noon{2026, 12, 7, 12, 5, 9};

using Render = void (*)(const RunResults&, OutputSink&);
const struct {
    const char* name;
    Render render;
} Formats[] = {{"html", renderHtml}, {"json", renderJson}, {"csv", renderCsv}};

std::string rendered(Render render, const RankingModel& model, size_t capacity) {
    StringSink sink(capacity);
    render(model, sink);
    return sink.take();
}

// A folder whose every export is several times the sink's default buffer.
struct LargeFolder {
    std::vector<ParticipantRecord> participants;
    std::vector<std::string> files;
    RankingModel model;
    LargeFolder() {
        kvrtest::RandomFolderShape shape;
        shape.participants = 400;
        shape.distinctTimes = 50;
        participants = kvrtest::randomParticipants(7, shape);
        for (size_t i = 0; i < participants.size(); ++i) {
            files.push_back("driver-" + std::to_string(i) + ".kvr");
        }
        model = computeRankingModel(participants.data(), static_cast<int32_t>(participants.size()),
                                    files, Noon);
    }
};

TEST(OutputSink, NumbersAndTextCrossTheBufferIntact) {
    const struct {
        long long value;
        const char* text;
    } numbers[] = {{0, "0"},
                   {7, "7"},
                   {-1, "-1"},
                   {1104, "1104"},
                   {LLONG_MAX, "9223372036854775807"},
                   {LLONG_MIN, "-9223372036854775808"}};
    for (size_t capacity : {1u, 3u, 64u}) {
        StringSink sink(capacity);
        std::string expected;
        for (const auto& n : numbers) {
            sink.putNumber(n.value);
            sink.put(',');
            sink.put(std::string(capacity + 1, 'x'));
            expected += n.text + std::string(",") + std::string(capacity + 1, 'x');
        }
        EXPECT_EQ(sink.take(), expected) << "capacity " << capacity;
    }
}

TEST(OutputSink, ExportLargerThanTheBufferIsTheSameWhateverTheBuffer) {
    LargeFolder folder;
    kvrtest::TempFolder temp;
    for (const auto& format : Formats) {
        SCOPED_TRACE(format.name);
        const std::string whole = rendered(format.render, folder.model, 64u << 20);
        ASSERT_GT(whole.size(), 2 * OutputSink::DefaultCapacity);
        for (size_t capacity : {1u, 7u, 4096u}) {
            EXPECT_TRUE(rendered(format.render, folder.model, capacity) == whole)
                << "capacity " << capacity;
        }
        // Through the file replacement, with the default buffer.
        const fs::path target = temp / (std::string("export.") + format.name);
        platform::Status written =
            writeRendering(platform::Env::system(), target.string().c_str(),
                           [&](OutputSink& out) { format.render(folder.model, out); });
        ASSERT_TRUE(written.ok()) << written.reason();
        EXPECT_TRUE(kvrtest::readText(target) == whole);
    }
}

TEST(OutputSink, StreamedJsonHasTheLayoutOfAWholeDocument) {
    LargeFolder folder;
    const std::string streamed = rendered(renderJson, folder.model, 4096);
    const nlohmann::ordered_json document = nlohmann::ordered_json::parse(streamed);
    EXPECT_TRUE(document.dump(2) + "\n" == streamed);
    RankingModel empty = computeRankingModel(nullptr, 0, {}, Noon);
    const std::string none = rendered(renderJson, empty, 16);
    EXPECT_EQ(nlohmann::ordered_json::parse(none).dump(2) + "\n", none);
}

std::set<std::string> namesIn(const fs::path& folder) {
    std::set<std::string> names;
    for (const auto& entry : fs::directory_iterator(folder)) {
        names.insert(entry.path().filename().string());
    }
    return names;
}

struct StreamedRun {
    platform::Status status;
    long beforeRendering; // operations before the first byte was rendered
    long afterRendering;  // operations when the last byte was rendered, before the last flush
    long operations;      // all of them
};

StreamedRun writeCsvWithFaultAt(const fs::path& target, const RankingModel& model, long k) {
    StreamedRun run{};
    kvrtest::FaultyEnv env;
    env.failAt(k);
    run.status = writeRendering(env, target.string().c_str(), [&](OutputSink& out) {
        run.beforeRendering = env.operations();
        renderCsv(model, out);
        run.afterRendering = env.operations();
    });
    run.operations = env.operations();
    return run;
}

// Every file operation of a streamed export fails in turn, the writes in the middle among
// them: the export is the earlier one or the complete new one, and no temporary file is left
// beside it.
TEST(OutputSink, AFailureAtAnyOperationKeepsTheEarlierExport) {
    LargeFolder folder;
    const std::string earlier = "an earlier export\n";
    const std::string whole = rendered(renderCsv, folder.model, 1u << 26);
    kvrtest::TempFolder clean;
    kvrtest::writeText(clean / "grid.csv", earlier);
    const StreamedRun reference = writeCsvWithFaultAt(clean / "grid.csv", folder.model, 0);
    ASSERT_TRUE(reference.status.ok());
    // Several writes while rendering: the buffer is handed on as it fills.
    ASSERT_GE(reference.afterRendering - reference.beforeRendering, 3);

    long failedMidway = 0;
    for (long k = 1; k <= reference.operations; ++k) {
        SCOPED_TRACE("fault at operation " + std::to_string(k));
        kvrtest::TempFolder temp;
        const fs::path target = temp / "grid.csv";
        kvrtest::writeText(target, earlier);
        const StreamedRun run = writeCsvWithFaultAt(target, folder.model, k);
        EXPECT_EQ(namesIn(temp.path()), std::set<std::string>{"grid.csv"});
        EXPECT_FALSE(run.status.ok());
        const std::string now = kvrtest::readText(target);
        EXPECT_TRUE(now == earlier || now == whole);
        bool midway = k > reference.beforeRendering && k <= reference.afterRendering;
        if (midway) {
            EXPECT_EQ(now, earlier);
            ++failedMidway;
        }
    }
    EXPECT_GE(failedMidway, 3);
}

std::vector<std::string> splitCsvRow(const std::string& text); // below

TEST(RankingCsv, CellsThatASpreadsheetWouldRunStartWithAnApostrophe) {
    const struct {
        std::string file, code, name;     // as given
        std::string shownFile, shownName; // the cells, unquoted
        std::string shownCode;
    } cases[] = {
        {"=1+2.kvr", "=A", "=HYPERLINK(\"http://x.test\",\"click\")", "'=1+2.kvr",
         "'=HYPERLINK(\"http://x.test\",\"click\")", "'=A"},
        {"+1.kvr", "+1", "+SUM(A1:A9)", "'+1.kvr", "'+SUM(A1:A9)", "'+1"},
        {"-2.kvr", "-X", "-,x", "'-2.kvr", "'-,x", "'-X"},
        {"@a.kvr", "@", "@SUM(A1)", "'@a.kvr", "'@SUM(A1)", "'@"},
        {"\tt.kvr", "T", "\tTab", "'\tt.kvr", "?Tab", "T"}, // a name's TAB shows as '?'
        {"\rr.kvr", "R", "\rCr", "'\rr.kvr", "?Cr", "R"},
        // Only inside a cell, or after its first character: written as they are.
        {"a=b.kvr", "A-B", "Ann-Marie @home +1 =2", "a=b.kvr", "Ann-Marie @home +1 =2", "A-B"},
        {" =x.kvr", "'=", "'=quoted", " =x.kvr", "'=quoted", "'="},
    };
    std::vector<ParticipantRecord> participants;
    std::vector<std::string> files;
    for (const auto& c : cases) {
        participants.push_back(
            ParticipantFileBuilder().code(c.code).name(c.name).stage(0, 0, 1, 4000).record());
        files.push_back(c.file);
    }
    const RankingModel model = computeRankingModel(
        participants.data(), static_cast<int32_t>(participants.size()), files, Noon);
    const std::string csv = renderCsv(model);
    // Each row parsed strictly; the reader of the exports test is the reference.
    std::vector<std::vector<std::string>> rows;
    size_t at = 0;
    while (at < csv.size()) {
        size_t end = at;
        bool quoted = false;
        for (; end < csv.size(); ++end) {
            quoted = csv[end] == '"' ? !quoted : quoted;
            if (!quoted && csv.compare(end, 2, "\r\n") == 0) {
                break;
            }
        }
        ASSERT_LT(end, csv.size()) << "a row without CR LF";
        rows.push_back(splitCsvRow(csv.substr(at, end - at)));
        at = end + 2;
    }
    ASSERT_EQ(rows.size(), std::size(cases) + 1);
    for (size_t i = 0; i < std::size(cases); ++i) {
        SCOPED_TRACE("case " + std::to_string(i));
        const std::vector<std::string>& row = rows[i + 1];
        ASSERT_GT(row.size(), 8u);
        EXPECT_EQ(row[1], cases[i].shownFile);
        EXPECT_EQ(row[2], cases[i].shownCode);
        EXPECT_EQ(row[3], cases[i].shownName);
        // Numbers, the date and times stay as they are.
        EXPECT_EQ(row[0], std::to_string(i + 1));
        EXPECT_EQ(row[4], "1850-00-00");
        EXPECT_EQ(row[7], "00:39.99");
    }
    // The JSON keeps every name exact.
    const nlohmann::json json = nlohmann::json::parse(renderJson(model));
    EXPECT_EQ(json["participants"][0]["name"], "=HYPERLINK(\"http://x.test\",\"click\")");
    EXPECT_EQ(json["participants"][2]["code"], "-X");
}

// One CSV row (without its CR LF) split strictly by RFC 4180; a stray quote fails the test.
std::vector<std::string> splitCsvRow(const std::string& text) {
    std::vector<std::string> fields(1);
    size_t at = 0;
    bool fieldStart = true;
    while (at < text.size()) {
        char c = text[at];
        if (fieldStart && c == '"') {
            for (++at; at < text.size(); ++at) {
                if (text[at] == '"') {
                    if (at + 1 < text.size() && text[at + 1] == '"') {
                        fields.back() += '"';
                        ++at;
                        continue;
                    }
                    break;
                }
                fields.back() += text[at];
            }
            EXPECT_LT(at, text.size()) << "unterminated quote in " << text;
            ++at;
            EXPECT_TRUE(at == text.size() || text[at] == ',') << "text after a quote: " << text;
            fieldStart = false;
            continue;
        }
        if (c == ',') {
            fields.emplace_back();
            fieldStart = true;
        } else {
            EXPECT_TRUE(c != '"' && c != '\r' && c != '\n') << "bare quote or line end: " << text;
            fields.back() += c;
            fieldStart = false;
        }
        ++at;
    }
    return fields;
}

} // namespace
