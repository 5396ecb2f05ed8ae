#pragma once

// What the correction panel coordinator needs of a window system: one
// floating panel that takes clicks without activating Mivo, hosting a new
// panel view at every show. Frames are global (origin at the bottom left of
// the primary screen, y up). The real one is QtCorrectionPanelWindow; tests
// use a recording fake.

#include <functional>
#include <memory>
#include <optional>

#include "overlay/correction_panel_model.hpp"
#include "platform/geometry.hpp"

namespace mivo {

class CorrectionPanelWindow {
  public:
    virtual ~CorrectionPanelWindow() = default;

    // Replaces the panel's content with a new view of `model` laid out at
    // `width` of the toolkit's own pixels (the window is made on first use),
    // and answers the size the window then takes in global coordinates: on
    // a scaled screen more pixels than it was laid out in.
    virtual Size setContent(std::shared_ptr<CorrectionPanelModel> model, double width) = 0;
    virtual void setFrame(const Rect& frame) = 0;
    // Nothing before the window exists.
    virtual std::optional<Rect> frame() const = 0;
    // Shows the panel without activating Mivo or taking the keyboard.
    virtual void orderFront() = 0;
    virtual void orderOut() = 0;
    // Called after the content changed the window's height (the top edge
    // stays where it was), with the new frame.
    virtual void setOnResize(std::function<void(const Rect&)> handler) = 0;
};

}  // namespace mivo
