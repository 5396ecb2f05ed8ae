// The window manager's view of the applications, the screens, and the
// scheduler on the real loop.

#include <algorithm>
#include <chrono>
#include <vector>

#include <QFile>
#include <QTemporaryDir>

#include "desktop_test_support.hpp"
#include "platform/linux/qt/qt_scheduler.hpp"

namespace mivo::desktop_test {
namespace {

using WorkspaceDesktopTest = DesktopTest;

TEST_F(WorkspaceDesktopTest, ActivationBringsAnApplicationForwardAndIsHeard) {
    auto first = startEditor({.title = "First"});
    ASSERT_NE(first, nullptr);
    auto second = startEditor({.title = "Second"});
    ASSERT_NE(second, nullptr);
    const auto front = workspace().frontmostApplication();
    ASSERT_TRUE(front.has_value());
    EXPECT_EQ(front->pid, second->pid());
    // GTK names the window class after the program.
    EXPECT_EQ(front->bundleIdentifier, "Mivo-test-editor");
    EXPECT_EQ(workspace().runningApplication(second->pid()), front);
    // Both editors are listed once, under their window class, the one in
    // front first.
    const auto running = workspace().runningApplications();
    const auto at = [&](Pid pid) {
        return std::ranges::find_if(running, [&](const auto& app) { return app.pid == pid; });
    };
    ASSERT_NE(at(first->pid()), running.end());
    ASSERT_NE(at(second->pid()), running.end());
    EXPECT_LT(at(second->pid()), at(first->pid()));
    EXPECT_EQ(at(first->pid())->bundleIdentifier, "Mivo-test-editor");
    EXPECT_EQ(
        std::ranges::count_if(running, [&](const auto& app) { return app.pid == first->pid(); }),
        1);
    const auto frontIs = [&](Pid pid) {
        const auto app = workspace().frontmostApplication();
        return app && app->pid == pid;
    };
    std::vector<std::optional<RunningApplication>> heard;
    Cancel observing = workspace().observeActivation(
        [&](const std::optional<RunningApplication>& app) { heard.push_back(app); });

    ASSERT_TRUE(workspace().activate(first->pid()));
    EXPECT_TRUE(waitUntil([&] { return frontIs(first->pid()); }));
    ASSERT_TRUE(waitUntil([&] { return !heard.empty(); }));
    ASSERT_TRUE(heard.back().has_value());
    EXPECT_EQ(heard.back()->pid, first->pid());
    // Its text view has the keyboard again, as AT-SPI sees it.
    EXPECT_TRUE(waitUntil([&] {
        const auto focused = session_->focusedElement(first->pid());
        return focused && readBool(ax(), *focused, kAXFocusedAttribute) == true;
    }));

    observing.cancel();
    heard.clear();
    ASSERT_TRUE(workspace().activate(second->pid()));
    EXPECT_TRUE(waitUntil([&] { return frontIs(second->pid()); }));
    spinFor(0.2);
    EXPECT_TRUE(heard.empty());
    EXPECT_FALSE(workspace().activate(999999));
}

TEST_F(WorkspaceDesktopTest, OpensLinksThroughTheDesktopsOpener) {
    // A stand-in xdg-open first on the path records what it was asked to open.
    QTemporaryDir dir;
    ASSERT_TRUE(dir.isValid());
    const QString opener = dir.filePath("xdg-open");
    const QString record = dir.filePath("opened");
    {
        QFile script(opener);
        ASSERT_TRUE(script.open(QIODevice::WriteOnly));
        script.write(("#!/bin/sh\nprintf '%s' \"$1\" > '" + record + "'\n").toUtf8());
    }
    QFile::setPermissions(opener,
                          QFileDevice::ReadOwner | QFileDevice::WriteOwner | QFileDevice::ExeOwner);
    const QByteArray path = qgetenv("PATH");
    qputenv("PATH", dir.path().toUtf8() + ":" + path);
    const bool started = workspace().openURL("https://example.com/mivo?q=日本語");
    qputenv("PATH", path);
    ASSERT_TRUE(started);
    ASSERT_TRUE(waitUntil([&] { return QFile(record).size() > 0; }));
    QFile opened(record);
    ASSERT_TRUE(opened.open(QIODevice::ReadOnly));
    EXPECT_EQ(opened.readAll().toStdString(), "https://example.com/mivo?q=日本語");
}

TEST_F(WorkspaceDesktopTest, ScreensAreInBottomLeftGlobalCoordinates) {
    const auto screens = session_->desktop().screens().screens();
    ASSERT_EQ(screens.size(), 1u);
    // xvfb-run -s "-screen 0 1280x1024x24"
    EXPECT_EQ(screens[0].frame, (Rect{0, 0, 1280, 1024}));
    EXPECT_EQ(screens[0].visibleFrame.x, 0);
    EXPECT_LE(screens[0].visibleFrame.maxY(), 1024);
}

TEST_F(WorkspaceDesktopTest, SchedulerRunsWorkInOrderOnTheLoopAndHonoursCancel) {
    linux_desktop::QtScheduler& s = session_->desktop().scheduler();
    std::vector<std::string> ran;
    s.after(0.05, [&] { ran.push_back("late"); });
    s.after(0, [&] { ran.push_back("first"); });
    s.after(0, [&] { ran.push_back("second"); });
    Cancel dropped = s.after(0.01, [&] { ran.push_back("cancelled"); });
    EXPECT_TRUE(ran.empty()) << "work never runs inside the call that scheduled it";
    dropped.cancel();
    const TimePoint start = s.now();
    ASSERT_TRUE(waitUntil([&] { return ran.size() == 3; }, 2));
    EXPECT_EQ(ran, (std::vector<std::string>{"first", "second", "late"}));
    EXPECT_GE(s.now() - start, std::chrono::milliseconds(40));

    int ticks = 0;
    Cancel repeating;
    repeating = s.repeating(0.02, [&] {
        if (++ticks == 3)
            repeating.cancel();
    });
    ASSERT_TRUE(waitUntil([&] { return ticks == 3; }, 2));
    spinFor(0.1);
    EXPECT_EQ(ticks, 3);
    EXPECT_EQ(s.pendingCount(), 0u);
}

}  // namespace
}  // namespace mivo::desktop_test
