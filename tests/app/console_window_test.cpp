#include "app/console_window.h"

#include "support/temp_folder.h"

#include <gtest/gtest.h>

namespace {

using kvr::keepsWindowOpen;
using kvr::platform::ConsoleStart;

TEST(ConsoleWindow, WaitsOnlyInAConsoleOfItsOwn) {
    struct Case {
        const char* start;
        ConsoleStart console;
        bool onlyInformation;
        bool waits;
    };
    const Case cases[] = {
        {"double-click or drag-and-drop", {true, true, 1}, false, true},
        {"double-click, help shown", {true, true, 1}, true, false},
        {"from cmd or PowerShell", {true, true, 2}, false, false},
        {"from a script of several programs", {true, true, 3}, false, false},
        {"output redirected", {true, false, 1}, false, false},
        {"input redirected", {false, true, 1}, false, false},
        {"no console (POSIX terminal, service)", {true, true, 0}, false, false},
        {"fully redirected", {false, false, 0}, false, false},
    };
    for (const Case& c : cases) {
        EXPECT_EQ(keepsWindowOpen(c.console, c.onlyInformation), c.waits) << c.start;
    }
}

TEST(ConsoleWindow, WaitForEnterPromptsAndReadsOneLine) {
    struct Case {
        const char* input;
        const char* left; // what the wait leaves unread
    };
    const Case cases[] = {{"\n", ""}, {"some words\nnext", "next"}, {"", ""}, {"no end", ""}};
    for (const Case& c : cases) {
        std::FILE* input = std::tmpfile();
        ASSERT_NE(input, nullptr);
        std::fputs(c.input, input);
        std::rewind(input);
        kvrtest::ConsoleRun run = kvrtest::captureConsole([input](std::FILE* console, std::FILE*) {
            kvr::waitForEnter(input, console);
            return 0;
        });
        std::string left;
        for (int ch = std::fgetc(input); ch != EOF; ch = std::fgetc(input)) {
            left += static_cast<char>(ch);
        }
        std::fclose(input);
        EXPECT_EQ(run.console, "\nPress Enter to close this window.\n") << c.input;
        EXPECT_EQ(left, c.left) << c.input;
    }
}

} // namespace
