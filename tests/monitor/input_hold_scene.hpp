#pragma once

// The field and routes the tests of the input held during a write share:
// 東京で住んでいます。 with the user's caret at its end, corrected to 東京に
// by each way the field may take it, the user's clipboard to be given back.

#include <string>

#include "field/pasteboard_guard.hpp"
#include "monitor/replacement_ladder.hpp"
#include "monitor_scene.hpp"
#include "monitor_test_access.hpp"
#include "platform/sim/sim_input_hold.hpp"
#include "platform/sim/sim_pasteboard.hpp"

namespace mivo {
namespace {

using sim::WriteQuirk;

// で → に in 東京で住んでいます。, the user's caret at the end.
CorrectionIssue de() {
    CorrectionIssue i;
    i.id = "issue-de";
    i.original = "で";
    i.suggestion = "に";
    i.range = TextRange{2, 3};
    return i;
}
const std::string kTyped = "東京で住んでいます。";
const std::string kCorrected = "東京に住んでいます。";
constexpr Utf16Range kAtTheEnd{10, 0};

// How the field takes the correction.
struct Route {
    const char* name;
    bool wholeValueFails;
    bool selectedTextFails;
    double pasteLateSeconds;
};

const Route kRoutes[] = {
    {"whole value", false, false, 0},
    {"selected text", true, false, 0},
    {"select and paste", true, true, 0},
    {"select and paste, fetched late", true, true, 0.3},
    // Later than the clipboard's own bound (1.5 s): a target busy that
    // long still pastes the correction, once.
    {"select and paste, fetched 1.8 s late", true, true, 1.8},
};

class InputHoldScene : public MonitorScene {
  protected:
    InputHoldScene() {
        desk.pasteboard().userCopies({stringItem("ユーザーの内容")});
        // As on X11: the target's fetch of our text is seen.
        desk.pasteboard().setCountsFetches(true);
    }

    void follow(const Route& route) {
        desk.setText(field, kTyped);
        desk.focus(field);
        monitor.start();
        advance(0);
        MonitorTestAccess::host(monitor).setLastAnalyzedText(
            FieldText{kTyped, FieldText::Source::value, 0});
        if (route.wholeValueFails)
            desk.setWriteQuirk(field, "AXValue", WriteQuirk::fail(AXError::cannotComplete));
        if (route.selectedTextFails)
            desk.setWriteQuirk(field, "AXSelectedText", WriteQuirk::fail(AXError::cannotComplete));
        desk.setInputQuirk(field, sim::InputQuirk{.pasteDelaySeconds = route.pasteLateSeconds});
        desk.select(field, kAtTheEnd);
    }

    // Applies, and has the user type `keys` `after` seconds later.
    void applyAndType(double after, const std::string& keys) {
        monitor.applyReplacement(de());
        desk.clock().after(after, [this, keys] { desk.typeText(keys); });
        advance(3.0);
    }

    sim::SimInputHold& keyboard() { return desk.input().inputHold(); }
};

}  // namespace
}  // namespace mivo
