#pragma once

// A simulated desktop with one frontmost editor and its window, for tests of
// the rewrite engine's reads and writes.

#include <gtest/gtest.h>

#include <string>
#include <utility>

#include "platform/sim/sim_accessibility.hpp"
#include "platform/sim/sim_desktop.hpp"
#include "platform/sim/sim_input.hpp"
#include "platform/sim/sim_workspace.hpp"

namespace mivo {

class ToneScene : public ::testing::Test {
  protected:
    ToneScene() {
        desk.addApplication(pid, "Editor", "com.example.editor");
        window = desk.addWindow(pid, "Untitled");
        desk.activateApplication(pid);
    }

    // A focused text field holding `text`, with the caret at UTF-16 offset
    // `caret` (its end when negative).
    sim::SimId focusedField(std::string text, int64_t caret = -1,
                            sim::TextFieldOptions options = {}) {
        const auto field = desk.addTextField(window, std::move(text), std::move(options));
        desk.focus(field);
        if (caret >= 0)
            desk.select(field, Utf16Range{caret, 0});
        return field;
    }

    void makeSecure(sim::SimId field) {
        desk.setAttribute(field, std::string(kAXSubroleAttribute),
                          AXValue(std::string(kAXSecureTextFieldSubrole)));
    }

    AXElement el(sim::SimId id) const { return desk.element(id); }

    sim::SimDesktop desk;
    const Pid pid = 100;
    sim::SimId window = 0;
};

}  // namespace mivo
