// The frontmost application, its focused window and element: what the user
// brings forward and focuses, and where keyboard input goes.

#include "platform/sim/sim_desktop.hpp"
#include "platform/sim/sim_workspace.hpp"

namespace mivo::sim {

void SimDesktop::activateApplication(Pid pid) {
    const App* a = app(pid);
    if (a == nullptr || !a->running || frontmost_ == pid)
        return;
    frontmost_ = pid;
    postActivationNotification(runningApplication(pid));
}

void SimDesktop::postActivationNotification(std::optional<RunningApplication> running) {
    workspace_->deliverActivation(running);
}

void SimDesktop::focus(SimId id) {
    Node* n = liveNode(id);
    App* a = n ? app(n->pid) : nullptr;
    if (a == nullptr)
        return;
    const SimId window = windowOf(id);
    if (window != 0 && window != a->focusedWindow) {
        a->focusedWindow = window;
        notify(window, kAXFocusedWindowChangedNotification);
    }
    if (a->focusedElement != id) {
        a->focusedElement = id;
        notify(id, kAXFocusedUIElementChangedNotification);
    }
}

void SimDesktop::focusUnannounced(SimId id) {
    Node* n = liveNode(id);
    if (App* a = n ? app(n->pid) : nullptr; a != nullptr)
        a->focusedElement = id;
}

void SimDesktop::clearFocus(Pid pid) {
    if (App* a = app(pid); a != nullptr && a->focusedElement != 0) {
        a->focusedElement = 0;
        notify(a->element, kAXFocusedUIElementChangedNotification);
    }
}

void SimDesktop::moveCaretIntoBlock(SimId document, SimId block, bool announced) {
    Node* n = liveNode(document);
    App* a = n ? app(n->pid) : nullptr;
    if (a == nullptr)
        return;
    const Node* named = node(a->element);
    if (const auto it = named->scripted.find(kAXFocusedUIElementAttribute);
        block != 0 && it != named->scripted.end() && it->second.result &&
        it->second.result->asElement() == element(block))
        return;
    if (block == 0)
        removeScriptedAttribute(a->element, kAXFocusedUIElementAttribute);
    else
        setAttribute(a->element, std::string(kAXFocusedUIElementAttribute),
                     AXValue(element(block)));
    if (announced)
        notify(document, kAXFocusedUIElementChangedNotification);
}

void SimDesktop::setWindowTitle(SimId window, std::string title) {
    setAttribute(window, "AXTitle", AXValue(std::move(title)));
}

std::optional<Pid> SimDesktop::frontmostPid() const {
    return frontmost_ != 0 ? std::optional<Pid>(frontmost_) : std::nullopt;
}

std::optional<SimId> SimDesktop::focusedElement(Pid pid) const {
    const App* a = app(pid);
    if (a == nullptr || a->focusedElement == 0)
        return std::nullopt;
    return a->focusedElement;
}

SimId SimDesktop::windowOf(SimId id) const {
    for (const Node* n = node(id); n != nullptr; n = node(n->parent)) {
        if (n->role == kAXWindowRole)
            return n->id;
    }
    return 0;
}

std::optional<SimId> SimDesktop::focusedEditableField() const {
    const App* a = app(frontmost_);
    if (a == nullptr || a->focusedElement == 0)
        return std::nullopt;
    const Node* n = node(a->focusedElement);
    if (n == nullptr || n->destroyed || !n->text || !n->text->editable)
        return std::nullopt;
    // A document whose caret is in one of its blocks: the keys go there.
    const Node* named = node(a->element);
    if (const auto it = named->scripted.find(kAXFocusedUIElementAttribute);
        it != named->scripted.end() && it->second.result && it->second.result->asElement()) {
        const auto block = idOf(*it->second.result->asElement());
        const Node* b = block ? node(*block) : nullptr;
        if (b != nullptr && !b->destroyed && b->parent == n->id && b->text && b->text->editable)
            return b->id;
    }
    return n->id;
}

std::optional<SimId> SimDesktop::editableFieldAt(Point point) const {
    for (const auto& [id, n] : nodes_) {
        if (!n.destroyed && n.pid == frontmost_ && n.text && n.text->editable &&
            n.text->layout.frame.contains(point))
            return id;
    }
    return std::nullopt;
}

}  // namespace mivo::sim
