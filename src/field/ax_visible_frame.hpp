#pragma once

// The part of a field that is really on screen. An application reports a
// field's frame, and the boxes of its text, where they would lie even when
// a scrolled page has moved them under the browser's toolbar or above its
// window: only the frames of the field's scrolling ancestors, of the
// document showing it and of its window say what is cut away.

#include <optional>
#include <vector>

#include "platform/accessibility.hpp"
#include "platform/screens.hpp"

namespace mivo::AXTextExtractor {

// The ancestors that cut what `element` shows (scroll areas, web documents,
// windows), nearest first, up to its application.
std::vector<AXElement> clippingAncestors(Accessibility& ax, const AXElement& element);

// The element's frame cut to each clipping ancestor's frame and to the
// screen that holds most of it (global coordinates): the zero rectangle
// when nothing of it is on screen; nothing when its own frame is not known.
// An ancestor without a frame, or with an empty one, is taken not to cut.
std::optional<Rect> visibleFrame(Accessibility& ax, Screens& screens, const AXElement& element,
                                 const std::vector<AXElement>& clippers);

}  // namespace mivo::AXTextExtractor
