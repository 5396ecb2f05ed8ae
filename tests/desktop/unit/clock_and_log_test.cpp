// The production scheduler's two clocks, and which lines the production log
// keeps out of the system log.

#include <gtest/gtest.h>

#include <chrono>
#include <cstdio>
#include <string>
#include <vector>

#include "platform/linux/qt_scheduler.hpp"
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

TEST(SystemLogTest, LinesQuotingTheUserGoToStandardErrorOnly) {
    std::FILE* standardError = std::tmpfile();
    ASSERT_NE(standardError, nullptr);
    std::vector<std::string> systemLog;
    {
        SystemLog log(standardError, [&](std::string_view line) { systemLog.emplace_back(line); });
        log.write("[Mivo] observe: ATTACHED to role=AXTextField pid=100");
        log.writeUserText("[Mivo] analyze: 10 chars, text=\"ひみつのあいことばです。\"");
    }
    EXPECT_EQ(systemLog,
              std::vector<std::string>{"[Mivo] observe: ATTACHED to role=AXTextField pid=100"});
    std::rewind(standardError);
    std::string written;
    for (int c; (c = std::fgetc(standardError)) != EOF;)
        written.push_back(static_cast<char>(c));
    std::fclose(standardError);
    EXPECT_EQ(written,
              "[Mivo] observe: ATTACHED to role=AXTextField pid=100\n"
              "[Mivo] analyze: 10 chars, text=\"ひみつのあいことばです。\"\n");
}

}  // namespace
}  // namespace mivo::linux_desktop
