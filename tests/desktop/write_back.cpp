#include "write_back.hpp"

#include <gtest/gtest.h>

#include <chrono>
#include <cstdlib>
#include <iostream>

#include "desktop_session.hpp"
#include "monitor_test_access.hpp"
#include "platform/ax_reads.hpp"

namespace mivo::desktop_test {

bool startFollowing(AccessibilityMonitor& monitor, const std::optional<AXElement>& field,
                    double seconds) {
    monitor.start();
    return waitUntil(
        [&] {
            const auto& observed = monitor.observedElement();
            return observed.has_value() && (!field || *observed == *field);
        },
        seconds);
}

bool followAsChecked(AccessibilityMonitor& monitor, const std::optional<AXElement>& field,
                     double seconds, const std::string& checked) {
    const bool follows = startFollowing(monitor, field, seconds);
    MonitorTestAccess::host(monitor).setLastAnalyzedText(
        FieldText{checked, FieldText::Source::value, 0});
    return follows;
}

void expectCtrlZSoonAfterApplyKeepsTheOriginal(Accessibility& ax, const AXElement& field,
                                               const sim::CapturedLog& log) {
    const auto value = [&] { return readString(ax, field, kAXValueAttribute); };
    const auto applied = std::chrono::steady_clock::now();
    spinFor(0.3);
    waitUntil([&] { return value() == kRained; }, 2);
    const double undoAt =
        std::chrono::duration<double>(std::chrono::steady_clock::now() - applied).count();
    const std::string beforeUndo = value().value_or("<nothing>");
    ASSERT_EQ(std::system("xdotool key --clearmodifiers ctrl+z"), 0);
    spinFor(3);
    EXPECT_EQ(value(), kText) << "read before Ctrl+Z at " << undoAt << " s: " << beforeUndo;
    EXPECT_FALSE(log.contains("retrying with"));
}

void pasteRainedOverTheUsersCopy(SyntheticInput& input, Pasteboard& pasteboard,
                                 const AXElement& field) {
    pasteboard.clearContents();
    ASSERT_TRUE(pasteboard.writeItems({stringItem(kUsersCopy)}));
    ASSERT_TRUE(input.selectReplacementRange(kSunny, "晴れ", field, "test"));
    ASSERT_TRUE(input.pasteTextIntoFocusedElement("雨", SelectedTarget{field, kSunny, "晴れ"}));
}

void printWriteBackLog(const sim::CapturedLog& log) {
    for (const auto& line : log.lines()) {
        if (line.find("input:") != std::string::npos ||
            line.find("applyReplacement") != std::string::npos)
            std::cout << "    " << line << "\n";
    }
}

}  // namespace mivo::desktop_test
