#pragma once

// How the tone coordinator, which knows no toolkit, opens and closes the
// rewrite panel's window. The real presenter (QtTonePanelPresenter) makes a
// new TonePanelWindow for every opening and drops it on closing; tests use a
// recording one.

#include <optional>
#include <string>

#include "platform/geometry.hpp"
#include "tone/tone_panel_callbacks.hpp"
#include "tone/tone_state_box.hpp"

namespace mivo {

struct TonePanelOpening {
    // The text the panel works on, fixed for this opening.
    std::string originalText;
    // The coordinator's box; it must outlive the opened window.
    ToneStateBox* box = nullptr;
    TonePanelCallbacks callbacks;
    // First handler of every key press while the window has the keyboard.
    PanelKeyHandler onKeyDown;
    // The text's rectangle in global coordinates (y up); none centres the
    // panel on the main screen.
    std::optional<Rect> anchor;
};

class TonePanelPresenter {
  public:
    virtual ~TonePanelPresenter() = default;

    // Makes the window, places it, makes it key and brings it to the front.
    // With a window already open it does nothing: the box carries the change.
    virtual void open(TonePanelOpening opening) = 0;
    // Orders the window out, forgets its key handler and drops it; nothing
    // when none is open.
    virtual void close() = 0;
    virtual bool isOpen() const = 0;
};

}  // namespace mivo
