// The production scheduler's two clocks, and which lines the production log
// keeps out of the system log and, unless asked, out of standard error.

#include <gtest/gtest.h>

#include <chrono>
#include <cstdio>
#include <optional>
#include <string>
#include <string_view>
#include <vector>

#include "platform/linux/qt/qt_scheduler.hpp"
#include "platform/linux/system_log.hpp"

namespace mivo::linux_desktop {
namespace {

TEST(QtSchedulerClocks, DelaysRunOnAMonotonicClockDatesOnTheCalendar) {
    const QtScheduler scheduler;
    // Setting the system clock must not move a suppression window or a
    // debounce: their clock never goes back.
    EXPECT_TRUE(decltype(scheduler.now())::clock::is_steady);
    const auto before = std::chrono::system_clock::now();
    const Date date = scheduler.wallClockNow();
    const auto after = std::chrono::system_clock::now();
    EXPECT_LE(before, date);
    EXPECT_LE(date, after);
}

std::string contents(std::FILE* file) {
    std::rewind(file);
    std::string written;
    for (int c; (c = std::fgetc(file)) != EOF;)
        written.push_back(static_cast<char>(c));
    return written;
}

// Typed text goes nowhere unless a developer asked for it, and then only to
// standard error; other lines go to both.
TEST(SystemLogTest, TypedTextIsWrittenOnlyWhenAskedForAndNeverToTheSystemLog) {
    constexpr std::string_view kPlain = "[Mivo] observe: ATTACHED to role=AXTextField pid=100";
    constexpr std::string_view kTyped =
        "[Mivo] analyze: 10 chars, text=\"ひみつのあいことばです。\"";
    struct Row {
        bool writesTypedText;
        std::string standardError;
    };
    const Row rows[] = {
        {false, std::string(kPlain) + "\n"},
        {true, std::string(kPlain) + "\n" + std::string(kTyped) + "\n"},
    };
    for (const auto& row : rows) {
        SCOPED_TRACE(row.writesTypedText);
        std::FILE* standardError = std::tmpfile();
        ASSERT_NE(standardError, nullptr);
        std::vector<std::string> systemLog;
        {
            SystemLog log(
                standardError, [&](std::string_view line) { systemLog.emplace_back(line); },
                row.writesTypedText);
            log.write(kPlain);
            log.writeUserText(kTyped);
        }
        EXPECT_EQ(systemLog, std::vector<std::string>{std::string(kPlain)});
        EXPECT_EQ(contents(standardError), row.standardError);
        std::fclose(standardError);
    }
}

TEST(SystemLogTest, OnlyAPlainYesTurnsTypedTextOn) {
    for (const char* on : {"1", "true", "yes", "on"})
        EXPECT_TRUE(typedTextLoggingRequested(on)) << on;
    EXPECT_FALSE(typedTextLoggingRequested(std::nullopt));
    for (const char* off : {"", "0", "false", "no", "off", "TRUE", " 1"})
        EXPECT_FALSE(typedTextLoggingRequested(off)) << off;
}

}  // namespace
}  // namespace mivo::linux_desktop
