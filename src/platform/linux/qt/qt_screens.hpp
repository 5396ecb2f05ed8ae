#pragma once

// Screens from Qt, converted once here to Mivo's unit and coordinates: X
// pixels (the unit of accessibility extents and XTest, whatever Qt's scale),
// origin at the bottom-left corner of the primary screen, y up.

#include <vector>

#include "platform/linux/screen_scale.hpp"
#include "platform/screens.hpp"

namespace mivo::linux_desktop {

class QtScreens : public Screens {
  public:
    std::vector<Screen> screens() override;
};

// Qt's screens with their device pixel ratios, the primary one first; empty
// without a screen.
std::vector<ScaledScreen> scaledScreens();

// The primary screen's top-left/y-down frame in X pixels; the zero
// rectangle without one.
Rect primaryScreenFrame();

// A global rectangle (X pixels, y up) in Qt's device-independent
// top-left/y-down coordinates, through the screen holding its top-left
// corner; and back.
Rect toQtCoordinates(const Rect& global);
Rect fromQtCoordinates(const Rect& qt);

}  // namespace mivo::linux_desktop
