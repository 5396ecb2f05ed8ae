#pragma once

// The user's own hands on the keyboard: key presses that come from the X
// server's own keyboard device (under Xvfb, "Xvfb keyboard"), as a real
// keyboard's would, and not from the XTest device that Mivo types through.
// Mivo may hold such keys for a moment; it never holds its own.

#include <memory>
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

// ASCII letters typed through the X server's XTest device from a connection
// of its own, as xdotool, an on-screen keyboard or a remote desktop types
// them: another program's keys, which never queue behind ours.
bool typeByAnotherProgram(std::string_view keys);

}  // namespace mivo::desktop_test
