#pragma once

// A simulated desktop with one editor in front, its text field focused, and
// a monitor over it whose callbacks are recorded.

#include <gtest/gtest.h>

#include <string>
#include <string_view>
#include <vector>

#include "monitor/accessibility_monitor.hpp"
#include "platform/sim/sim_accessibility.hpp"
#include "platform/sim/sim_desktop.hpp"
#include "platform/sim/sim_input.hpp"
#include "platform/sim/sim_workspace.hpp"
#include "shared/text.hpp"

namespace mivo {

class MonitorScene : public ::testing::Test {
  protected:
    MonitorScene() {
        app = desk.addApplication(pid, "Editor", "com.example.editor");
        window = desk.addWindow(pid, "Untitled");
        field = desk.addTextField(window, "", {.frame = Rect{100, 200, 600, 40}});
        desk.activateApplication(pid);
        desk.focus(field);
        advance(0);
        connect(monitor);
    }

    void connect(AccessibilityMonitor& m) {
        m.onSentenceCompleted = [this](const CompletedSentenceCandidate& c) {
            candidates.push_back(c);
            candidateTimes.push_back(desk.clock().elapsed());
        };
        m.onCorrectionContextChanged = [this] { ++contextChanges; };
    }

    void advance(double seconds) { desk.clock().advance(seconds); }

    // Types one Character at a time, `gap` seconds apart.
    void typeSlowly(std::string_view text, double gap) {
        for (const auto& c : text::characters(text)) {
            desk.typeText(c);
            advance(gap);
        }
    }

    // Log lines, without the monitor's tag, that contain `fragment`.
    std::size_t logged(std::string_view fragment) { return desk.log().count(fragment); }

    sim::SimDesktop desk;
    const Pid pid = 100;
    sim::SimId app = 0;
    sim::SimId window = 0;
    sim::SimId field = 0;
    AccessibilityMonitor monitor{desk.ports()};

    std::vector<CompletedSentenceCandidate> candidates;
    std::vector<double> candidateTimes;  // elapsed seconds of the clock
    int contextChanges = 0;
};

}  // namespace mivo
