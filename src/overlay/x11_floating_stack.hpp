#pragma once

// Keeps the highlights' windows in their place in the X stacking order.
// They bypass the window manager, so they lie above every window it
// manages, Mivo's own included: the correction panel, the settings window.
// A highlight must never cover those (the user reaches for the panel's
// Apply across the other boxes, and reads Settings over a boxed field), so
// every window registered here is kept right below the lowest of Mivo's own
// managed windows that stand above every other application's; with none
// of them there, at the top. The order is mended whenever the window
// manager reports a new one (_NET_CLIENT_LIST_STACKING) and when a window
// is registered. The title of the window they lie over is heard too: a
// browser that opens a new tab changes it before it tells anything over
// the accessibility bus. Nothing off X11.

#include <cstdint>
#include <functional>
#include <vector>

namespace mivo::overlay_qt {

// The X stacking order, bottom to top, as this module reads it.
struct StackedWindow {
    uint32_t id = 0;
    // One of Mivo's own windows that the window manager manages.
    bool ownManaged = false;
    // Another application's window that the window manager manages and
    // stacks among the ordinary ones: not a panel, a desktop window, a
    // notification or one kept always above or below, which it keeps in
    // layers of their own.
    bool otherManaged = false;
};

// The window the floating ones go right below: of the run of Mivo's own
// managed windows at the top of the managed order, the lowest; 0 when the
// topmost managed window is another application's (or none is managed).
uint32_t floorAboveOthers(const std::vector<StackedWindow>& bottomToTop);

class FloatingStack {
  public:
    static FloatingStack& shared();

    // Registers windows (a highlight and its input window, lowest first)
    // and puts them in place at once.
    void add(const std::vector<uint32_t>& windows);
    void remove(const std::vector<uint32_t>& windows);
    // Puts every registered window in place; called when the stacking of
    // managed windows changed, and when one of our own was raised.
    void restack();

    // Called when the topmost window of another application (the one the
    // highlights lie over) takes another title.
    std::function<void()> onTitleChanged;
    void titleChanged(uint32_t window);

  private:
    FloatingStack();
    void place(const std::vector<uint32_t>& windows);

    // Listens to the properties of another application's window.
    void watch(uint32_t window);

    // Lowest first, in the order they were added.
    std::vector<uint32_t> windows_;
    // The topmost window of another application, whose title is heard.
    uint32_t watched_ = 0;
};

}  // namespace mivo::overlay_qt
