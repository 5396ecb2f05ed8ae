#pragma once

// Holding every input device on X11. Every slave keyboard and pointer of
// the master pair that we type through is grabbed through XInput 2, the
// master's XTest devices among them (other programs type and click
// through those: on-screen keyboards, dictation tools, remote desktops). A
// grabbed slave floats off its master for the grab, so its events come to
// us alone and no application sees a focus change or a pointer crossing. A
// pointer whose button is down (the press of Apply) is grabbed once the
// button comes up, so that the button's release still reaches the window
// it was pressed in.
//
// Our own keys and clicks go out inside a server grab held for just those
// requests: our XTest devices are let go, our events sent and the devices
// grabbed again before any other client is heard, so nothing comes between
// the keys of our chord. When the hold ends the held events are sent on
// with XTest, in order: keys where the caret is then, clicks where they
// were made. A click's press may go to the window manager first, which
// freezes the pointer until it lets the press on to the application, while
// keys are not held back: so what follows a click waits until the server
// has taken its release (the button is up again), and the devices stay
// ours until everything is out, so that nothing comes between. Should we go
// away meanwhile, the X server ends the grabs itself. A modifier the user
// still holds then stays down on the XTest device until the user lets it
// go; the keyboard it is held on stays grabbed until then, its keys typed
// on with XTest as they come, so that the applications never see the core
// keyboard switch over to it with a modifier they did not see go down.

#include <functional>
#include <map>
#include <optional>
#include <set>
#include <span>
#include <string>
#include <vector>

#include "platform/cancel.hpp"
#include "platform/input_hold.hpp"
#include "platform/linux/held_key_replay.hpp"
#include "platform/log.hpp"
#include "platform/paced_replay.hpp"
#include "platform/scheduler.hpp"

typedef union _XEvent XEvent;

namespace mivo::linux_desktop {

class X11Connection;

class X11InputHold : public InputHold {
  public:
    X11InputHold(X11Connection& x11, Scheduler& scheduler, Log& log);
    ~X11InputHold() override;
    X11InputHold(const X11InputHold&) = delete;
    X11InputHold& operator=(const X11InputHold&) = delete;

    bool hold(double limitSeconds) override;
    void release() override;
    int releaseKeepingKeysOut() override;
    bool holding() const override { return holding_; }
    bool keyIsDown() override { return available_ && anyKeyDown(); }
    bool modifierIsDown() override;
    uint64_t keysTypedOn() const override { return keysTypedOn_; }

    // Runs `post`, which sends our own XTest events, with no other client
    // heard meanwhile and our XTest devices let go for it. `pointer`: the
    // events move the pointer, which is put back where the user left it
    // when the hold ends.
    void postOwn(const std::function<void()>& post, bool pointer = false);

    // A key code was given another keysym: floating keyboards miss the
    // change, so it is made again for them when they come back.
    void keymapChanged(unsigned char keycode);

  private:
    struct Devices {
        // The slaves of our master pair but its XTest ones.
        std::vector<int> keyboards;
        std::vector<int> pointers;
        // That pair's XTest devices, which our input goes through.
        int typing = -1;
        int clicking = -1;
    };
    Devices devices();
    bool anyKeyDown();
    // Where the pointer is on the root window, and its buttons and
    // modifiers; nothing when it is on another screen.
    struct PointerNow {
        int x = 0;
        int y = 0;
        unsigned int mask = 0;
    };
    std::optional<PointerNow> pointerNow();
    bool anyButtonDown();
    bool buttonDown(int button);
    KeyBits modifierKeys();
    // Down on any of these devices, whatever the master says.
    KeyBits keysDownOn(const std::vector<int>& devices);
    bool listen();
    // An event of a device we hold (or are letting go of): held, or typed
    // on for a keyboard kept past the hold.
    void takeEvent(const XEvent& event);
    // `detail` is the key code or the button; (x, y) on the root window.
    void take(int type, int device, int detail, double x, double y);
    // Takes the input of our grabs that reached us so far, leaving every
    // other event to the loop (safe while the server is grabbed).
    void takeQueuedInput();
    bool grab(int device, bool pointer);
    // Ends the hold; `typeKeys`: the held keys are typed on, else only the
    // modifiers among them. Answers the key presses kept out.
    int end(bool typeKeys);
    // Grabs the pointers once no button is down.
    void holdPointersOnceButtonsAreUp();
    void grabPointers();
    // The next part of what was held, up to the release of a click.
    std::optional<PacedReplay::Step> nextStep();
    void sendOn(std::span<const HeldEvent> held);
    // Sends on what came last and gives every device back.
    void letGo();
    // Counts what is sent on, for the log and keysTypedOn().
    void note(std::span<const HeldEvent> held);
    void post(const std::vector<HeldEvent>& events);
    // What the typing device and the applications have down now (the
    // typing device must not be held: asking closes it, ending its grab).
    KeysDownNow keysDownNow();
    // A key of a keyboard kept past the hold, typed on at once.
    void forward(unsigned char keycode, bool down);
    // Gives the kept keyboards back once the user holds nothing on them.
    void endForwardingOnceLetGo();
    // Lets each modifier left down for the user up on the XTest device once
    // none of the user's keyboards has it down any more.
    void watchStandIns();
    void remapAgain();

    X11Connection& x11_;
    Scheduler& scheduler_;
    Log& log_;
    int xiOpcode_ = -1;
    bool available_ = false;
    Cancel listening_;
    Cancel limit_;
    TimePoint until_{};
    bool holding_ = false;
    // Sending on what was held, a click at a time.
    PacedReplay replay_;
    std::optional<HeldReplayPlan> plan_;
    TimePoint sendingSince_{};
    std::size_t sentOn_ = 0;
    int steps_ = 0;
    bool pointerSentOn_ = false;
    std::string lastClick_;
    Cancel buttonsUp_;
    // Every device grabbed, keyboards and pointers.
    std::vector<int> grabbed_;
    std::vector<int> pointers_;
    // Our XTest devices, when they are among them.
    int typingGrabbed_ = -1;
    int clickingGrabbed_ = -1;
    // Where the pointer was when it was grabbed, and whether our own
    // events moved it since.
    std::optional<std::pair<int, int>> pointerAtGrab_;
    bool ownPointerMoved_ = false;
    // The user's keyboards kept past the end of a hold while a modifier is
    // down on them.
    std::vector<int> forwarding_;
    // What each keyboard we hold has down, from its events since the hold
    // began (no key was down then).
    std::map<int, KeyBits> downOn_;
    // The devices whose grab is ending: their events read meanwhile are
    // held events still.
    std::vector<int> ending_;
    std::vector<HeldEvent> held_;
    std::set<unsigned char> remapped_;
    std::vector<unsigned char> standIns_;
    Cancel standInWatch_;
    TimePoint since_{};
    uint64_t keysTypedOn_ = 0;
};

}  // namespace mivo::linux_desktop
