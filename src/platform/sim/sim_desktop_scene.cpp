// Building the scene: applications, windows, elements and fields, the
// attributes and quirks a test scripts on them, and their end.

#include <algorithm>

#include "platform/sim/sim_desktop.hpp"

namespace mivo::sim {

SimId SimDesktop::newNode(Pid pid, SimId parent, std::string role, std::optional<Rect> frame) {
    const SimId id = nextId_++;
    Node n;
    n.id = id;
    n.pid = pid;
    n.parent = parent;
    n.role = std::move(role);
    n.frame = frame;
    nodes_.emplace(id, std::move(n));
    if (Node* p = node(parent))
        p->children.push_back(id);
    return id;
}

SimId SimDesktop::addApplication(Pid pid, std::optional<std::string> name,
                                 std::optional<std::string> bundleIdentifier) {
    App a;
    a.pid = pid;
    a.name = std::move(name);
    a.bundleIdentifier = std::move(bundleIdentifier);
    a.element = newNode(pid, 0, std::string(kAXApplicationRole), std::nullopt);
    apps_[pid] = a;
    // A process id used again is a new launch.
    std::erase(launchOrder_, pid);
    launchOrder_.push_back(pid);
    return a.element;
}

SimId SimDesktop::addWindow(Pid pid, std::string title, std::optional<Rect> frame) {
    if (app(pid) == nullptr)
        addApplication(pid);
    App* a = app(pid);
    const SimId id =
        newNode(pid, a->element, std::string(kAXWindowRole), frame.value_or(Rect{0, 0, 1200, 800}));
    nodes_[id].scripted["AXTitle"] = ScriptedAttribute{AXValue(std::move(title)), false};
    if (a->focusedWindow == 0)
        a->focusedWindow = id;
    return id;
}

SimId SimDesktop::addElement(SimId parent, std::string role, std::optional<Rect> frame) {
    const Node* p = node(parent);
    return newNode(p ? p->pid : 0, parent, std::move(role), frame);
}

SimId SimDesktop::addTextField(SimId parent, std::string text, TextFieldOptions options) {
    // Fields without a frame of their own are stacked down the screen.
    const Rect frame = options.frame.value_or(
        Rect{100, 100 + 60.0 * textFieldsLaidOut_++, 600, options.lineHeight * 2});
    const SimId id = addElement(parent, options.role, frame);
    TextModel m;
    m.text = SimText(std::move(text));
    m.layout = MonospaceLayout{frame, options.characterWidth, options.lineHeight};
    m.editable = options.editable;
    m.fragmentBacked = options.fragmentBacked;
    nodes_[id].text = std::move(m);
    syncLineNodes(id);
    return id;
}

SimId SimDesktop::addStaticText(SimId parent, std::string text, std::optional<Rect> frame) {
    TextFieldOptions options;
    options.role = std::string(kAXStaticTextRole);
    options.editable = false;
    options.frame = frame;
    return addTextField(parent, std::move(text), options);
}

void SimDesktop::setFrame(SimId id, Rect frame) {
    if (Node* n = node(id)) {
        n->frame = frame;
        if (n->text)
            n->text->layout.frame = frame;
    }
}

void SimDesktop::setAttribute(SimId id, std::string attribute, AXValue value, bool settable) {
    if (Node* n = node(id))
        n->scripted[std::move(attribute)] = ScriptedAttribute{std::move(value), settable};
}

void SimDesktop::setAttributeAbsent(SimId id, std::string attribute) {
    setAttribute(id, std::move(attribute), AXValue{});
}

void SimDesktop::setAttributeError(SimId id, std::string attribute, AXError error) {
    if (Node* n = node(id))
        n->scripted[std::move(attribute)] = ScriptedAttribute{std::unexpected(error), false};
}

void SimDesktop::removeScriptedAttribute(SimId id, std::string_view attribute) {
    if (Node* n = node(id)) {
        if (auto it = n->scripted.find(attribute); it != n->scripted.end())
            n->scripted.erase(it);
    }
}

void SimDesktop::setWriteQuirk(SimId id, std::string attribute, WriteQuirk quirk) {
    if (Node* n = node(id))
        n->writeQuirks[std::move(attribute)] = quirk;
}

void SimDesktop::removeWriteQuirk(SimId id, std::string_view attribute) {
    if (Node* n = node(id)) {
        if (auto it = n->writeQuirks.find(attribute); it != n->writeQuirks.end())
            n->writeQuirks.erase(it);
    }
}

void SimDesktop::setWriteRouteTrust(SimId id, WriteRouteTrust trust) {
    if (Node* n = node(id))
        n->routeTrust = trust;
}

void SimDesktop::setInputQuirk(SimId id, InputQuirk quirk) {
    if (TextModel* m = textModel(id))
        m->inputQuirk = quirk;
}

void SimDesktop::setParameterizedHook(SimId id, ParameterizedHook hook) {
    if (Node* n = node(id))
        n->parameterizedHook = std::move(hook);
}

void SimDesktop::setObserverCreationFails(Pid pid, bool fails) {
    if (App* a = app(pid))
        a->observerCreationFails = fails;
}

void SimDesktop::destroy(SimId id) {
    Node* n = node(id);
    if (n == nullptr || n->destroyed)
        return;
    n->destroyed = true;
    for (SimId child : std::vector<SimId>(n->children))
        destroy(child);
    if (Node* p = node(n->parent))
        std::erase(p->children, id);
}

void SimDesktop::stopApplication(Pid pid, double seconds) {
    stopped_[pid] = Stopped{};
    clock_.after(seconds, [this, pid] {
        const auto it = stopped_.find(pid);
        if (it == stopped_.end())
            return;
        auto queue = std::move(it->second.queue);
        stopped_.erase(it);
        for (const auto& handle : queue)
            handle();
    });
}

void SimDesktop::quitApplication(Pid pid) {
    App* a = app(pid);
    if (a == nullptr)
        return;
    a->running = false;
    destroy(a->element);
    if (frontmost_ == pid)
        frontmost_ = 0;
}

}  // namespace mivo::sim
