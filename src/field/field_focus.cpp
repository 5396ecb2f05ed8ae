#include "field/field_focus.hpp"

#include "platform/ax_reads.hpp"

namespace mivo::field_focus {

bool applicationIsInFront(const Desktop& desktop, const AXElement& element) {
    const auto pid = desktop.accessibility.pid(element);
    const auto front = desktop.workspace.frontmostApplication();
    return pid && front && front->pid == *pid;
}

bool keyboardFocusIsOn(const Desktop& desktop, const AXElement& element) {
    Accessibility& ax = desktop.accessibility;
    const auto pid = ax.pid(element);
    const auto front = desktop.workspace.frontmostApplication();
    if (!pid || !front || front->pid != *pid)
        return false;
    const auto focused = readElement(ax, ax.applicationElement(*pid), kAXFocusedUIElementAttribute);
    return !focused || *focused == element;
}

void activateApplicationOf(const Desktop& desktop, const AXElement& element) {
    const auto pid = desktop.accessibility.pid(element);
    if (pid && *pid >= 1 && !applicationIsInFront(desktop, element))
        desktop.workspace.activate(*pid);
}

}  // namespace mivo::field_focus
