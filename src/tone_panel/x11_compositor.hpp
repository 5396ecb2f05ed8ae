#pragma once

namespace mivo {

// Whether a compositing manager runs on the X display (translucent windows
// then show what lies beneath); false off X11.
bool x11HasCompositor();

}  // namespace mivo
