#include "platform/sim/sim_desktop.hpp"

#include <algorithm>

#include "platform/sim/sim_accessibility.hpp"
#include "platform/sim/sim_input.hpp"
#include "platform/sim/sim_workspace.hpp"
#include "shared/text.hpp"

namespace mivo::sim {
namespace {

class SimElementRef : public AXElementRef {
  public:
    explicit SimElementRef(SimId id) : AXElementRef("sim:" + std::to_string(id)), id(id) {}
    const SimId id;
};

}  // namespace

SimDesktop::SimDesktop()
    : accessibility_(std::make_unique<SimAccessibility>(*this)),
      workspace_(std::make_unique<SimWorkspace>(*this)),
      input_(std::make_unique<SimInput>(*this)) {
    systemWide_ = newNode(0, 0, std::string(kAXSystemWideRole), std::nullopt);
}

SimDesktop::~SimDesktop() = default;

Desktop SimDesktop::ports() {
    return Desktop{clock_, *accessibility_, *workspace_, screens_, *input_, pasteboard_, log_};
}

// --- The scene -------------------------------------------------------------

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

void SimDesktop::setPidResult(SimId id, std::expected<Pid, AXError> pid) {
    if (Node* n = node(id))
        n->pidResult = pid;
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

void SimDesktop::quitApplication(Pid pid) {
    App* a = app(pid);
    if (a == nullptr)
        return;
    a->running = false;
    destroy(a->element);
    if (frontmost_ == pid)
        frontmost_ = 0;
}

// --- The user --------------------------------------------------------------

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

void SimDesktop::focusWindow(SimId window) {
    Node* n = liveNode(window);
    App* a = n ? app(n->pid) : nullptr;
    if (a == nullptr || a->focusedWindow == window)
        return;
    a->focusedWindow = window;
    // The window's own focused element is not remembered: focus starts over.
    a->focusedElement = 0;
    notify(window, kAXFocusedWindowChangedNotification);
}

void SimDesktop::clearFocus(Pid pid) {
    if (App* a = app(pid); a != nullptr && a->focusedElement != 0) {
        a->focusedElement = 0;
        notify(a->element, kAXFocusedUIElementChangedNotification);
    }
}

void SimDesktop::setWindowTitle(SimId window, std::string title) {
    setAttribute(window, "AXTitle", AXValue(std::move(title)));
}

void SimDesktop::setText(SimId id, std::string value) {
    changeText(id, [&](SimText& t) { t.setValue(std::move(value)); });
}

void SimDesktop::select(SimId id, Utf16Range range) {
    changeSelection(id, range);
}

void SimDesktop::typeText(std::string_view typed) {
    for (const auto& character : text::characters(typed)) {
        KeyEvent down{kKeyCodeUnicodeCarrier, true, 0, text::toUtf16(character)};
        KeyEvent up = down;
        up.keyDown = false;
        input_->postKeyEvent(down);
        input_->postKeyEvent(up);
    }
}

void SimDesktop::pressDelete() {
    input_->postKeyEvent(KeyEvent{kKeyCodeDelete, true, 0, {}});
    input_->postKeyEvent(KeyEvent{kKeyCodeDelete, false, 0, {}});
}

// --- Looking ---------------------------------------------------------------

AXElement SimDesktop::element(SimId id) const {
    return AXElement(std::make_shared<SimElementRef>(id));
}

std::optional<SimId> SimDesktop::idOf(const AXElement& element) const {
    const auto* ref = dynamic_cast<const SimElementRef*>(element.ref());
    if (ref == nullptr)
        return std::nullopt;
    return ref->id;
}

std::string SimDesktop::text(SimId id) const {
    const Node* n = node(id);
    if (n == nullptr)
        return {};
    if (n->lineOf)
        return lineText(*n);
    return n->text ? n->text->text.value() : std::string();
}

Utf16Range SimDesktop::selection(SimId id) const {
    const Node* n = node(id);
    return n && n->text ? n->text->text.selection() : Utf16Range{};
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

// --- Internals -------------------------------------------------------------

SimDesktop::Node* SimDesktop::node(SimId id) {
    auto it = nodes_.find(id);
    return it == nodes_.end() ? nullptr : &it->second;
}

const SimDesktop::Node* SimDesktop::node(SimId id) const {
    auto it = nodes_.find(id);
    return it == nodes_.end() ? nullptr : &it->second;
}

SimDesktop::Node* SimDesktop::liveNode(SimId id) {
    Node* n = node(id);
    return n && !n->destroyed ? n : nullptr;
}

SimDesktop::App* SimDesktop::app(Pid pid) {
    auto it = apps_.find(pid);
    return it == apps_.end() ? nullptr : &it->second;
}

const SimDesktop::App* SimDesktop::app(Pid pid) const {
    auto it = apps_.find(pid);
    return it == apps_.end() ? nullptr : &it->second;
}

std::optional<RunningApplication> SimDesktop::runningApplication(Pid pid) const {
    const App* a = app(pid);
    if (a == nullptr || !a->running)
        return std::nullopt;
    return RunningApplication{a->pid, a->name, a->bundleIdentifier};
}

SimId SimDesktop::windowOf(SimId id) const {
    for (const Node* n = node(id); n != nullptr; n = node(n->parent)) {
        if (n->role == kAXWindowRole)
            return n->id;
    }
    return 0;
}

SimDesktop::TextModel* SimDesktop::textModel(SimId id) {
    Node* n = liveNode(id);
    return n && n->text ? &*n->text : nullptr;
}

std::string SimDesktop::lineText(const Node& line) const {
    const Node* field = node(line.lineOf->first);
    if (field == nullptr || !field->text)
        return {};
    std::size_t k = 0;
    for (auto& l : lines(field->text->text.value())) {
        if (!l.empty() && k++ == line.lineOf->second)
            return l;
    }
    return {};
}

MonospaceLayout SimDesktop::lineLayout(const Node& line) const {
    const Node* field = node(line.lineOf->first);
    MonospaceLayout layout = field->text->layout;
    std::size_t index = 0;
    std::size_t k = 0;
    for (auto& l : lines(field->text->text.value())) {
        if (!l.empty() && k++ == line.lineOf->second)
            break;
        ++index;
    }
    layout.frame.y += static_cast<double>(index) * layout.lineHeight;
    layout.frame.height = layout.lineHeight;
    return layout;
}

std::optional<SimId> SimDesktop::focusedEditableField() const {
    const App* a = app(frontmost_);
    if (a == nullptr || a->focusedElement == 0)
        return std::nullopt;
    const Node* n = node(a->focusedElement);
    if (n == nullptr || n->destroyed || !n->text || !n->text->editable)
        return std::nullopt;
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

void SimDesktop::changeText(SimId id, const std::function<void(SimText&)>& edit) {
    TextModel* m = textModel(id);
    if (m == nullptr)
        return;
    edit(m->text);
    syncLineNodes(id);
    notify(id, kAXValueChangedNotification);
    notify(id, kAXSelectedTextChangedNotification);
}

void SimDesktop::changeSelection(SimId id, Utf16Range range) {
    TextModel* m = textModel(id);
    if (m != nullptr && m->text.setSelection(range))
        notify(id, kAXSelectedTextChangedNotification);
}

void SimDesktop::syncLineNodes(SimId id) {
    TextModel* m = textModel(id);
    if (m == nullptr || !m->fragmentBacked)
        return;
    const auto ls = lines(m->text.value());
    const auto wanted = static_cast<std::size_t>(
        std::count_if(ls.begin(), ls.end(), [](const auto& l) { return !l.empty(); }));
    // Line nodes keep their identity while their line exists.
    while (m->lineNodes.size() < wanted) {
        const SimId line = addElement(id, std::string(kAXStaticTextRole));
        m = textModel(id);
        nodes_[line].lineOf = std::make_pair(id, m->lineNodes.size());
        m->lineNodes.push_back(line);
    }
    while (m->lineNodes.size() > wanted) {
        destroy(m->lineNodes.back());
        m->lineNodes.pop_back();
    }
}

void SimDesktop::notify(SimId element, std::string_view notification) {
    const Node* n = node(element);
    const App* a = n ? app(n->pid) : nullptr;
    if (a == nullptr)
        return;
    accessibility_->deliver(n->pid, element, a->element, notification);
}

}  // namespace mivo::sim
