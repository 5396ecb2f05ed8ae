#pragma once

// A browser beside the editor of the monitor's scene: a page with an input
// and a contenteditable, whose application may join the accessibility bus
// after its window showed. Each test opens it and closes it again.

#include "monitor_scene.hpp"

namespace mivo {

class BrowserScene : public MonitorScene {
  protected:
    BrowserScene() { monitor.start(); }

    // A browser showing a page with an input and a contenteditable comes to
    // the front; its application joins the bus `lateBy` seconds after its
    // window showed. Then the user clicks into the input.
    void openBrowser(double lateBy) {
        browser = desk.addApplication(browserPid, "Chromium");
        const auto page = desk.addWindow(browserPid, "Mivo view page");
        single = desk.addTextField(page, "一行の欄です。", {.frame = Rect{100, 100, 560, 30}});
        rich = desk.addTextField(page, "編集できる段落です。", {.frame = Rect{100, 140, 560, 30}});
        if (lateBy > 0)
            desk.setAttributeError(browser, std::string(kAXRoleAttribute),
                                   AXError::invalidUIElement);
        desk.activateApplication(browserPid);
        advance(lateBy);
        desk.removeScriptedAttribute(browser, kAXRoleAttribute);
        desk.focus(single);
        // Past the next focus poll.
        advance(1.1);
    }

    // The browser in front, the caret in its contenteditable, as each case
    // of a document of blocks begins.
    void openRichText() {
        desk.activateApplication(pid);
        advance(1.1);
        openBrowser(0);
        desk.focus(rich);
    }

    void closeBrowser() {
        desk.removeScriptedAttribute(browser, "AXFocusedUIElement");
        desk.quitApplication(browserPid);
        advance(1.1);
    }

    bool clickFollowed(sim::SimId target) {
        desk.focus(target);
        advance(0.2);
        return monitor.observedElement() == desk.element(target);
    }

    const Pid browserPid = 300;
    sim::SimId browser = 0;
    sim::SimId single = 0;
    sim::SimId rich = 0;
};

}  // namespace mivo
