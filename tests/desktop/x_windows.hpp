#pragma once

// What a desktop test asks the X server about windows, as the window
// manager and the user see them, and the picture of the whole screen it
// keeps for a reviewer.

#include <QRect>

#include <initializer_list>
#include <memory>
#include <optional>
#include <string>
#include <string_view>

typedef struct _XDisplay Display;

namespace mivo::desktop_test {

// A connection of the test's own to the X server, apart from the one the
// backend under test reads: what it sends comes from another client, as
// from the user's tools.
class XConnection {
  public:
    XConnection();
    Display* display() const { return display_; }

  private:
    struct Closer {
        void operator()(Display* display) const;
    };
    std::unique_ptr<Display, Closer> connection_;

  protected:
    Display* const display_;
};

// The window's rectangle on the root window (y down), as the X server has
// it, without the window manager's frame.
QRect rootGeometry(Display* display, unsigned long window);

// The same with the frame the window manager draws around it.
QRect framedGeometry(Display* display, unsigned long window);

// Mapped, and every ancestor too.
bool isViewable(Display* display, unsigned long window);

// The title the window manager shows (_NET_WM_NAME, UTF-8); empty when
// there is none.
std::string shownTitle(Display* display, unsigned long window);

// Asks the window manager to do `message` (an atom's name) to the window,
// with its first two arguments, as a pager or task bar asks it.
void askWindowManager(Display* display, unsigned long window, const char* message, long first,
                      long second);

// The process (_NET_WM_PID) whose window has the X keyboard focus, which
// may sit on a child of the application's window; nothing when the focus
// is None, PointerRoot or a window no process claims (openbox's own).
std::optional<long> keyboardOwner(Display* display);

// The user's pointer moved to (x, y) on the root window.
void movePointer(Display* display, int x, int y);
// A click of the first button there, `settle` seconds after the pointer
// came, as a hand lets the pointer rest first.
void clickAt(Display* display, int x, int y, double settle);

// The user presses the modifiers, then the key, and lets go in reverse, on
// the XTest keyboard of `display` (keysyms).
void pressCombination(Display* display, std::initializer_list<unsigned long> modifiers,
                      unsigned long key);

// Alt+Tab as a hand presses it, the key events a moment apart: sent in
// one burst they leave openbox's cycling without effect.
void altTab(Display* display);

// A top-level window of this process, which runs the monitor under test:
// to it, a window of Mivo's own, as its Settings are. Shown while it lives.
class OwnWindow : public XConnection {
  public:
    OwnWindow();
    ~OwnWindow();
    OwnWindow(const OwnWindow&) = delete;
    OwnWindow& operator=(const OwnWindow&) = delete;
    unsigned long window() const { return window_; }

  private:
    unsigned long window_ = 0;
};

// The whole screen as a PNG named `name` among the desktop tests' pictures.
void screenshot(std::string_view name);

}  // namespace mivo::desktop_test
