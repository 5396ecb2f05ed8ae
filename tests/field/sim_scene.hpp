#pragma once

// A simulated desktop with one frontmost application and one window, for
// tests of the accessibility operations.

#include <gtest/gtest.h>

#include <string>
#include <vector>

#include "platform/sim/sim_accessibility.hpp"
#include "platform/sim/sim_desktop.hpp"

namespace mivo {

class SimScene : public ::testing::Test {
  protected:
    SimScene() {
        app = desk.addApplication(pid, "Editor", "com.example.editor");
        window = desk.addWindow(pid, "Untitled");
        desk.activateApplication(pid);
    }

    AXElement el(sim::SimId id) const { return desk.element(id); }

    // A chain of `levels` plain groups below `parent`; answers the deepest.
    sim::SimId nest(sim::SimId parent, int levels) {
        for (int i = 0; i < levels; ++i)
            parent = desk.addElement(parent, "AXGroup");
        return parent;
    }

    // Records every parameterised request of the element and lets the
    // simulated field answer it.
    void recordRequests(sim::SimId id) {
        desk.setParameterizedHook(id, [this](std::string_view attribute, const AXValue& p) {
            requests.emplace_back(std::string(attribute), p.asRange().value_or(Utf16Range{-1, -1}));
            return std::optional<AXResult>();
        });
    }

    sim::SimDesktop desk;
    Accessibility& ax = desk.accessibility();
    Screens& screens = desk.screens();
    const Pid pid = 100;
    sim::SimId app = 0;
    sim::SimId window = 0;
    std::vector<std::pair<std::string, Utf16Range>> requests;
};

}  // namespace mivo
