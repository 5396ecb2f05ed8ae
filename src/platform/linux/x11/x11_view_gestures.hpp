#pragma once

// The user's gestures that move what an application shows before the
// application tells of it: a wheel step, a key that scrolls or brings
// another page to the front, and a drag with the primary button (a
// scrollbar dragged). Browsers tell nothing over the accessibility bus when
// they scroll (Chromium not even that its caret moved), and a new tab's
// title or focus comes a frame or many later: the X server hears the
// gesture first.
//
// Heard over a connection of its own that speaks XInput 2.2: raw events
// reach an older client only while no other client grabs the device, and a
// drag is a grab of the pointer by the application under it.

#include <memory>
#include <set>

#include "platform/cancel.hpp"
#include "platform/input_events.hpp"
#include "platform/log.hpp"
#include "platform/scheduler.hpp"

namespace mivo::linux_desktop {

class X11Connection;

// Whether this key, pressed with these modifiers held, scrolls a document
// or brings another page to the front in the usual applications: Page
// Up/Down (with Ctrl another tab), Ctrl+Home/End, Ctrl+T, Ctrl+N, Ctrl+W,
// Ctrl+Tab, Alt+Left/Right (back and forward).
bool keyMovesView(unsigned long keysym, bool control, bool alt);

// How far the pointer must go with the primary button held before the
// press is a drag: a scrollbar's thumb moves the page with its first pixel
// (Firefox scrolls a few pixels for each), so the first pixel counts, as a
// wheel step does.
inline constexpr int kDragThresholdPixels = 1;
// Or this many moves of the pointer while it is held (a pointer that moved
// before the press was heard shows no distance, but goes on moving).
inline constexpr int kDragMotions = 2;

// Whether a press of the primary button is a drag once the pointer went
// `distance` pixels (across and down together) from where it was pressed,
// in `motions` moves.
bool pressIsDrag(int distance, int motions);

class X11ViewGestures {
  public:
    // Nothing (with a log line) where the X server has no XInput 2.2.
    static std::unique_ptr<X11ViewGestures> open(Scheduler& scheduler, Log& log,
                                                 ViewGestureHandler handler);
    ~X11ViewGestures();
    X11ViewGestures(const X11ViewGestures&) = delete;
    X11ViewGestures& operator=(const X11ViewGestures&) = delete;

  private:
    X11ViewGestures(std::unique_ptr<X11Connection> x11, int xiOpcode, Scheduler& scheduler,
                    ViewGestureHandler handler);
    void select(bool motion);
    void heardKey(int keycode, bool down);
    void heardButton(int button, bool down);
    void heardMotion();
    void report(ViewGesture gesture);

    std::unique_ptr<X11Connection> x11_;
    int xiOpcode_;
    Scheduler& scheduler_;
    ViewGestureHandler handler_;
    Cancel listening_;
    // Control and Alt keys held, by key code.
    std::set<int> controls_;
    std::set<int> alts_;
    // The primary button held, where it went down, and whether it dragged.
    bool pressed_ = false;
    int pressX_ = 0;
    int pressY_ = 0;
    int motions_ = 0;
    bool dragging_ = false;
    std::shared_ptr<const bool> life_ = std::make_shared<const bool>(true);
};

}  // namespace mivo::linux_desktop
