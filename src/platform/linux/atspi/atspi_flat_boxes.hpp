#pragma once

// KTextEditor (Kate, KWrite) answers character and range boxes of no
// height, at the line's top, with x moved right by the width of its
// border. A box like that is mended from what else the editor answers: the
// caret's box or the distance between lines for the height, the line's
// first character against the field's left edge for x.

#include <optional>
#include <string>

#include "platform/geometry.hpp"
#include "platform/linux/atspi/atspi_text.hpp"

namespace mivo::linux_desktop {

// Nothing when the box cannot be mended (no field frame, no width).
std::optional<Rect> mendFlatBox(const ToolkitText& text, const std::string& value,
                                ToolkitRange range, const Rect& box);

}  // namespace mivo::linux_desktop
