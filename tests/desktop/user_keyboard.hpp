#pragma once

// The user's own hands on the keyboard: key presses that come from the X
// server's own keyboard device (under Xvfb, "Xvfb keyboard"), as a real
// keyboard's would, and not from the XTest device that Mivo types through.
// Mivo may hold such keys for a moment; it never holds its own.

#include <memory>
#include <optional>
#include <string>
#include <string_view>

typedef struct _XDisplay Display;

namespace mivo::desktop_test {

class UserKeyboard {
  public:
    // Nothing, with the reason in `why`, when the server has no keyboard
    // device besides its XTest ones.
    static std::unique_ptr<UserKeyboard> open(std::string& why);
    ~UserKeyboard();
    UserKeyboard(const UserKeyboard&) = delete;
    UserKeyboard& operator=(const UserKeyboard&) = delete;

    // A press and release of each ASCII letter or digit, in order.
    bool type(std::string_view keys);
    // One key, by its keysym's name ("Shift_L", "Control_L", "a"), pressed
    // or released: a key held down across other steps.
    bool key(const char* keysym, bool down);

  private:
    UserKeyboard(Display* display, void* device);
    Display* display_;
    void* device_;  // XDevice of the keyboard
};

// The user's own hand on the mouse: moves and clicks that come from the X
// server's own pointer device (under Xvfb, "Xvfb mouse"), not from the
// XTest device that other programs click through.
class UserPointer {
  public:
    static std::unique_ptr<UserPointer> open(std::string& why);
    ~UserPointer();
    UserPointer(const UserPointer&) = delete;
    UserPointer& operator=(const UserPointer&) = delete;

    // To (x, y) of the root window, then the left button down or up.
    bool button(int x, int y, bool down);
    bool click(int x, int y) { return button(x, y, true) && button(x, y, false); }
    bool move(int x, int y);

  private:
    UserPointer(Display* display, void* device);
    Display* display_;
    void* device_;  // XDevice of the pointer
};

// The user's keyboard and mouse, for rows that use both hands.
struct UserHands {
    std::unique_ptr<UserKeyboard> keyboard;
    std::unique_ptr<UserPointer> pointer;
    // Both, or nothing with the reason in `why`.
    static std::optional<UserHands> open(std::string& why);
};

// A window where the click on Apply lands, as on the correction panel: it
// lies above the others (override-redirect), and a click on it takes the
// focus from no application. Shown from creation to destruction.
class StandInPanel {
  public:
    StandInPanel(int x, int y, int width, int height);
    ~StandInPanel();
    StandInPanel(const StandInPanel&) = delete;
    StandInPanel& operator=(const StandInPanel&) = delete;

  private:
    Display* display_;
    unsigned long window_ = 0;
};

// ASCII letters typed through the X server's XTest device from a connection
// of its own, as xdotool, an on-screen keyboard or a remote desktop types
// them: another program's keys, which never queue behind ours.
bool typeByAnotherProgram(std::string_view keys);
// A left click at (x, y) of the root window the same way: another
// program's click. (xdotool's `mousemove --sync` would wait for a pointer
// that a hold keeps where it is.)
bool clickByAnotherProgram(int x, int y);

}  // namespace mivo::desktop_test
