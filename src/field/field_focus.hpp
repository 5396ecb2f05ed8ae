#pragma once

// Whether keystrokes and clicks would reach an element of another
// application, and bringing that application to the front. Everything that
// posts synthetic input into a field asks these first: input posted while
// another application, or another element, has the focus lands there.

#include "platform/desktop.hpp"

namespace mivo::field_focus {

// The element's application is the frontmost one.
bool applicationIsInFront(const Desktop& desktop, const AXElement& element);

// Keystrokes would reach the element: its application is in front and,
// when the application says which element has the focus, it is this one.
bool keyboardFocusIsOn(const Desktop& desktop, const AXElement& element);

// Asks for the element's application to come to the front, unless it is
// there already or has no process to name.
void activateApplicationOf(const Desktop& desktop, const AXElement& element);

}  // namespace mivo::field_focus
