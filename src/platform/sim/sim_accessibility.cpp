#include "platform/sim/sim_accessibility.hpp"

#include <algorithm>

#include "platform/sim/sim_desktop.hpp"
#include "shared/text.hpp"

namespace mivo::sim {
namespace {

class SimObserver : public AXObserver {
  public:
    SimObserver(SimDesktop& desktop, std::shared_ptr<SimAccessibility::ObserverState> state)
        : desktop_(desktop), state_(std::move(state)) {}
    ~SimObserver() override { state_->alive = false; }

    AXError addNotification(const AXElement& element, std::string_view notification) override {
        const auto id = desktop_.idOf(element);
        const auto role = desktop_.accessibility().copyAttributeValue(element, kAXRoleAttribute);
        if (!id || (!role && role.error() == AXError::invalidUIElement))
            return AXError::invalidUIElement;
        if (!state_->registrations.emplace(*id, std::string(notification)).second)
            return AXError::notificationAlreadyRegistered;
        return AXError::success;
    }

    AXError removeNotification(const AXElement& element, std::string_view notification) override {
        const auto id = desktop_.idOf(element);
        if (!id || state_->registrations.erase({*id, std::string(notification)}) == 0)
            return AXError::notificationNotRegistered;
        return AXError::success;
    }

    void setTextChangeHandler(AXTextChangeHandler handler) override {
        state_->textChangeHandler = std::move(handler);
    }

  private:
    SimDesktop& desktop_;
    std::shared_ptr<SimAccessibility::ObserverState> state_;
};

bool isApplicationOrSystem(std::string_view role) {
    return role == kAXApplicationRole || role == kAXSystemWideRole;
}

}  // namespace

bool SimAccessibility::isProcessTrusted() {
    return desktop_.trusted_;
}

bool SimAccessibility::isProcessTrustedWithPrompt() {
    return desktop_.trusted_;
}

AXElement SimAccessibility::systemWideElement() {
    return desktop_.element(desktop_.systemWide_);
}

AXElement SimAccessibility::applicationElement(Pid pid) {
    const auto* app = desktop_.app(pid);
    // An element for a process that does not exist answers nothing.
    return desktop_.element(app ? app->element : 0);
}

std::expected<SimId, AXError> SimAccessibility::liveElement(const AXElement& element,
                                                            bool needsTrust) const {
    if (needsTrust && !desktop_.trusted_)
        return std::unexpected(AXError::apiDisabled);
    const auto id = desktop_.idOf(element);
    const auto* node = id ? desktop_.liveNode(*id) : nullptr;
    if (node == nullptr)
        return std::unexpected(AXError::invalidUIElement);
    if (const auto stopped = desktop_.stopped_.find(node->pid);
        needsTrust && stopped != desktop_.stopped_.end()) {
        stopped->second.timedOut = true;
        desktop_.owingAnswer_.insert(node->pid);
        return std::unexpected(AXError::cannotComplete);
    }
    if (needsTrust)
        desktop_.owingAnswer_.erase(node->pid);
    if (const auto waiting = desktop_.waitingForPasteboard_.find(node->pid);
        needsTrust && waiting != desktop_.waitingForPasteboard_.end()) {
        waiting->second = true;
        ++desktop_.callsRefusedWhilePasting_;
        return std::unexpected(AXError::cannotComplete);
    }
    return *id;
}

AXResult SimAccessibility::copyAttributeValue(const AXElement& element,
                                              std::string_view attribute) {
    const auto id = liveElement(element, true);
    if (!id)
        return std::unexpected(id.error());
    const auto* node = desktop_.liveNode(*id);
    if (attribute == kAXValueAttribute)
        ++valueReads_;
    if (auto it = node->scripted.find(attribute); it != node->scripted.end())
        return it->second.result;
    return derivedAttribute(*id, attribute);
}

AXResult SimAccessibility::derivedAttribute(SimId id, std::string_view attribute) {
    const auto& node = *desktop_.liveNode(id);
    const auto* app = desktop_.app(node.pid);
    const auto elementOrNoValue = [&](SimId target) -> AXResult {
        if (target == 0 || desktop_.liveNode(target) == nullptr)
            return std::unexpected(AXError::noValue);
        return AXValue(desktop_.element(target));
    };

    if (attribute == kAXRoleAttribute && !node.role.empty())
        return AXValue(node.role);
    if (id == desktop_.systemWide_) {
        if (attribute == kAXFocusedUIElementAttribute) {
            const auto* front = desktop_.app(desktop_.frontmost_);
            return elementOrNoValue(front ? front->focusedElement : 0);
        }
        return std::unexpected(AXError::attributeUnsupported);
    }
    // A window's parent is its application; the application has none.
    if (attribute == kAXParentAttribute && node.role != kAXApplicationRole)
        return elementOrNoValue(node.parent);
    if (attribute == kAXChildrenAttribute) {
        std::vector<AXElement> children;
        for (SimId c : node.children) {
            if (desktop_.liveNode(c) != nullptr)
                children.push_back(desktop_.element(c));
        }
        return AXValue(std::move(children));
    }
    if (node.role == kAXApplicationRole) {
        if (attribute == kAXFocusedUIElementAttribute)
            return elementOrNoValue(app ? app->focusedElement : 0);
        if (attribute == kAXFocusedWindowAttribute)
            return elementOrNoValue(app ? app->focusedWindow : 0);
        if (attribute == kAXTitleAttribute && app && app->name)
            return AXValue(*app->name);
        return std::unexpected(AXError::attributeUnsupported);
    }
    if (attribute == kAXFocusedAttribute)
        return AXValue(app != nullptr && app->focusedElement == id);

    std::optional<Rect> frame = node.frame;
    if (node.lineOf)
        frame = desktop_.lineLayout(node).frame;
    if (frame && attribute == kAXPositionAttribute)
        return AXValue(Point{frame->x, frame->y});
    if (frame && attribute == kAXSizeAttribute)
        return AXValue(Size{frame->width, frame->height});

    if (node.lineOf) {
        const std::string line = desktop_.lineText(node);
        if (attribute == kAXValueAttribute)
            return AXValue(line);
        if (attribute == kAXNumberOfCharactersAttribute)
            return AXValue(text::utf16Length(line));
    }
    if (node.text) {
        const SimText& t = node.text->text;
        if (attribute == kAXValueAttribute)
            return AXValue(t.value());
        if (attribute == kAXNumberOfCharactersAttribute)
            return AXValue(t.utf16Length());
        if (node.text->editable && attribute == kAXSelectedTextRangeAttribute)
            return AXValue(t.selection());
        if (node.text->editable && attribute == kAXSelectedTextAttribute)
            return AXValue(t.selectedText());
    }
    return std::unexpected(AXError::attributeUnsupported);
}

AXResult SimAccessibility::copyParameterizedAttributeValue(const AXElement& element,
                                                           std::string_view attribute,
                                                           const AXValue& parameter) {
    const auto id = liveElement(element, true);
    if (!id)
        return std::unexpected(id.error());
    const auto* node = desktop_.liveNode(*id);
    if (node->parameterizedHook) {
        if (auto answer = node->parameterizedHook(attribute, parameter))
            return *answer;
    }
    std::string value;
    MonospaceLayout layout;
    if (node->lineOf) {
        value = desktop_.lineText(*node);
        layout = desktop_.lineLayout(*node);
    } else if (node->text) {
        value = node->text->text.value();
        layout = node->text->layout;
    } else {
        return std::unexpected(AXError::parameterizedAttributeUnsupported);
    }
    const auto range = parameter.asRange();
    if (!range)
        return std::unexpected(AXError::illegalArgument);
    if (attribute == kAXStringForRangeParameterizedAttribute) {
        // Like the system's text views, a range running past the end is cut
        // at the end; one starting past it is refused.
        const SimText t(value);
        Utf16Range clamped = *range;
        if (clamped.location >= 0 && clamped.location <= t.utf16Length())
            clamped.length = std::min(clamped.length, t.utf16Length() - clamped.location);
        if (auto s = t.stringForRange(clamped))
            return AXValue(*s);
        return std::unexpected(AXError::illegalArgument);
    }
    if (attribute == kAXBoundsForRangeParameterizedAttribute) {
        if (auto r = boundsForRange(value, *range, layout))
            return AXValue(*r);
        return std::unexpected(AXError::illegalArgument);
    }
    return std::unexpected(AXError::parameterizedAttributeUnsupported);
}

AXError SimAccessibility::setAttributeValue(const AXElement& element, std::string_view attribute,
                                            const AXValue& value) {
    // The first request to a stopped application waits in it, unanswered.
    if (const auto id = desktop_.idOf(element); id && desktop_.liveNode(*id) != nullptr) {
        auto* node = desktop_.liveNode(*id);
        const Pid pid = node->pid;
        if (auto q = node->writeQuirks.find(attribute);
            q != node->writeQuirks.end() && q->second.kind == WriteQuirk::Kind::stops) {
            const double seconds = q->second.lagSeconds;
            node->writeQuirks.erase(q);
            desktop_.stopApplication(pid, seconds);
        }
        if (const auto stopped = desktop_.stopped_.find(pid);
            stopped != desktop_.stopped_.end() && !stopped->second.timedOut)
            stopped->second.queue.push_back([this, element, name = std::string(attribute), value] {
                setAttributeValue(element, name, value);
            });
    }
    const auto id = liveElement(element, true);
    if (!id)
        return id.error();
    auto* node = desktop_.liveNode(*id);
    int64_t keepTail = 0;
    if (auto q = node->writeQuirks.find(attribute); q != node->writeQuirks.end()) {
        const WriteQuirk quirk = q->second;
        switch (quirk.kind) {
            case WriteQuirk::Kind::ignored:
                return AXError::success;
            case WriteQuirk::Kind::failing:
                return quirk.error;
            case WriteQuirk::Kind::lagging:
                desktop_.clock_.after(quirk.lagSeconds,
                                      [this, target = *id, name = std::string(attribute), value] {
                                          applyWrite(target, name, value, 0);
                                      });
                return AXError::success;
            case WriteQuirk::Kind::leavesTail:
                keepTail = quirk.tailCharacters;
                break;
            case WriteQuirk::Kind::stops:
                break;
        }
    }
    if (auto it = node->scripted.find(attribute); it != node->scripted.end()) {
        if (!it->second.settable)
            return AXError::attributeUnsupported;
        it->second.result = value;
        return AXError::success;
    }
    return applyWrite(*id, attribute, value, keepTail);
}

std::optional<SimId> SimAccessibility::blockAtObject(SimId document, Utf16Range range) const {
    constexpr std::string_view kObject = "\xEF\xBF\xBC";
    const auto* node = desktop_.node(document);
    if (range.length != 0 || node == nullptr || !node->text)
        return std::nullopt;
    const std::string text = desktop_.text(document);
    const auto at = text::utf16ToByteOffset(text, range.location);
    if (!at || !std::string_view(text).substr(*at).starts_with(kObject))
        return std::nullopt;
    std::size_t objects = 0;
    for (std::size_t i = text.find(kObject); i < *at; i = text.find(kObject, i + kObject.size()))
        ++objects;
    std::vector<SimId> blocks;
    for (const SimId child : node->children) {
        const auto* c = desktop_.node(child);
        if (c != nullptr && !c->destroyed && c->text)
            blocks.push_back(child);
    }
    if (objects >= blocks.size())
        return std::nullopt;
    return blocks[objects];
}

bool SimAccessibility::owesAnswer(const AXElement& element) {
    const auto id = desktop_.idOf(element);
    const auto* node = id ? desktop_.liveNode(*id) : nullptr;
    return node != nullptr && desktop_.owingAnswer_.contains(node->pid);
}

void SimAccessibility::requestCaret(const AXElement& element, int64_t utf16Offset) {
    const auto id = desktop_.idOf(element);
    const auto* node = id ? desktop_.liveNode(*id) : nullptr;
    if (node == nullptr)
        return;
    const auto stopped = desktop_.stopped_.find(node->pid);
    if (stopped == desktop_.stopped_.end()) {
        applyWrite(*id, kAXSelectedTextRangeAttribute, AXValue(Utf16Range{utf16Offset, 0}), 0);
        return;
    }
    stopped->second.queue.push_back([this, target = *id, utf16Offset] {
        applyWrite(target, kAXSelectedTextRangeAttribute, AXValue(Utf16Range{utf16Offset, 0}), 0);
    });
}

AXError SimAccessibility::applyWrite(SimId id, std::string_view attribute, const AXValue& value,
                                     int64_t keepTail) {
    auto* node = desktop_.liveNode(id);
    if (node == nullptr)
        return AXError::invalidUIElement;
    const bool editable = node->text && node->text->editable && !node->lineOf;
    if (editable && attribute == kAXValueAttribute) {
        auto s = value.asString();
        if (!s)
            return AXError::illegalArgument;
        desktop_.changeText(id, [&](SimText& t) { t.setValue(*s); });
        return AXError::success;
    }
    if (editable && attribute == kAXSelectedTextRangeAttribute) {
        const auto r = value.asRange();
        if (!r || !SimText(node->text->text).setSelection(*r))
            return AXError::illegalArgument;
        desktop_.changeSelection(id, *r);
        // A block of the focused document: the document's caret goes there;
        // the document's own selection takes it out of its blocks.
        if (auto* a = desktop_.app(node->pid); a != nullptr) {
            // A block focused for a write of ours: the caret set into
            // another block of its document goes there, the focus back on
            // the document.
            const auto* focused = desktop_.node(a->focusedElement);
            if (node->parent != 0 && focused != nullptr && focused->id != id &&
                focused->parent == node->parent)
                a->focusedElement = node->parent;
            if (node->parent != 0 && a->focusedElement == node->parent)
                desktop_.moveCaretIntoBlock(node->parent, id, desktop_.tellsCaretSetIntoBlock_);
            else if (a->focusedElement == id &&
                     desktop_.node(a->element)->scripted.contains(kAXFocusedUIElementAttribute))
                desktop_.moveCaretIntoBlock(id, 0);
        }
        if (const auto block = blockAtObject(id, *r); block && desktop_.caretAtObjectEntersBlock_) {
            desktop_.moveCaretIntoBlock(id, *block);
            desktop_.changeSelection(*block, Utf16Range{0, 0});
        }
        return AXError::success;
    }
    if (editable && attribute == kAXSelectedTextAttribute) {
        auto s = value.asString();
        if (!s)
            return AXError::illegalArgument;
        desktop_.changeText(id, [&](SimText& t) { t.replaceSelection(*s, keepTail); });
        return AXError::success;
    }
    if (attribute == kAXFocusedAttribute && !isApplicationOrSystem(node->role)) {
        const auto b = value.asBool();
        if (!b)
            return AXError::illegalArgument;
        if (*b)
            desktop_.focus(id);
        return AXError::success;
    }
    if (node->role == kAXApplicationRole && (attribute == kAXEnhancedUserInterfaceAttribute ||
                                             attribute == kAXManualAccessibilityAttribute)) {
        node->scripted[std::string(attribute)] = SimDesktop::ScriptedAttribute{value, true};
        return AXError::success;
    }
    return AXError::attributeUnsupported;
}

std::expected<bool, AXError> SimAccessibility::isAttributeSettable(const AXElement& element,
                                                                   std::string_view attribute) {
    const auto id = liveElement(element, true);
    if (!id)
        return std::unexpected(id.error());
    const auto* node = desktop_.liveNode(*id);
    if (auto it = node->scripted.find(attribute); it != node->scripted.end())
        return it->second.settable;
    return derivedSettable(*id, attribute);
}

bool SimAccessibility::derivedSettable(SimId id, std::string_view attribute) {
    const auto& node = *desktop_.liveNode(id);
    if (node.role == kAXApplicationRole)
        return attribute == kAXEnhancedUserInterfaceAttribute ||
               attribute == kAXManualAccessibilityAttribute;
    const bool editable = node.text && node.text->editable && !node.lineOf;
    if (attribute == kAXFocusedAttribute)
        return editable;
    return editable &&
           (attribute == kAXValueAttribute || attribute == kAXSelectedTextRangeAttribute ||
            attribute == kAXSelectedTextAttribute);
}

WriteRouteTrust SimAccessibility::writeRouteTrust(const AXElement& element) {
    const auto id = liveElement(element, false);
    const auto* node = id ? desktop_.liveNode(*id) : nullptr;
    return node != nullptr ? node->routeTrust : WriteRouteTrust{};
}

std::optional<std::string> SimAccessibility::textChangeMark(const AXElement& element) {
    // Asks the application, like a read.
    const auto id = liveElement(element, true);
    const auto* node = id ? desktop_.liveNode(*id) : nullptr;
    if (node == nullptr || !node->text || node->text->fragmentBacked)
        return std::nullopt;
    const SimText& t = node->text->text;
    // A scripted value stands for the application's own text.
    int64_t length = t.utf16Length();
    if (auto it = node->scripted.find(kAXValueAttribute); it != node->scripted.end()) {
        const auto s = it->second.result ? it->second.result->asString() : std::nullopt;
        length = s ? text::utf16Length(*s) : -1;
    }
    return std::to_string(length) + ":" + std::to_string(t.selection().location) + "," +
           std::to_string(t.selection().length);
}

std::expected<Pid, AXError> SimAccessibility::pid(const AXElement& element) {
    const auto id = liveElement(element, false);
    if (!id)
        return std::unexpected(id.error());
    const auto* node = desktop_.liveNode(*id);
    if (*id == desktop_.systemWide_)
        return std::unexpected(AXError::illegalArgument);
    return node->pid;
}

std::expected<std::unique_ptr<AXObserver>, AXError> SimAccessibility::createObserver(
    Pid pid, AXNotificationHandler handler) {
    const auto* app = desktop_.app(pid);
    if (app == nullptr || !app->running)
        return std::unexpected(AXError::cannotComplete);
    if (app->observerCreationFails)
        return std::unexpected(AXError::failure);
    auto state = std::make_shared<ObserverState>();
    state->pid = pid;
    state->handler = std::move(handler);
    std::erase_if(observers_, [](const auto& w) { return w.expired(); });
    observers_.push_back(state);
    return std::make_unique<SimObserver>(desktop_, std::move(state));
}

void SimAccessibility::deliver(Pid pid, SimId element, SimId applicationElement,
                               std::string_view notification) {
    for (const auto& weak : observers_) {
        auto state = weak.lock();
        if (!state || !state->alive || state->pid != pid)
            continue;
        const std::string name(notification);
        if (!state->registrations.contains({element, name}) &&
            !state->registrations.contains({applicationElement, name}))
            continue;
        // Notifications arrive on the main loop, never inside the call
        // that caused them.
        const double lag = desktop_.notificationLag_;
        desktop_.clock_.after(lag, [this, w = std::weak_ptr(state), element, name] {
            auto s = w.lock();
            if (s && s->alive)
                s->handler(desktop_.element(element), name);
        });
    }
}

void SimAccessibility::deliverTextChange(Pid pid, SimId element, const AXTextChange& change) {
    for (const auto& weak : observers_) {
        auto state = weak.lock();
        if (!state || !state->alive || state->pid != pid || !state->textChangeHandler ||
            !state->registrations.contains({element, std::string(kAXValueChangedNotification)}))
            continue;
        const double lag = desktop_.notificationLag_;
        desktop_.clock_.after(lag, [this, w = std::weak_ptr(state), element, change] {
            auto s = w.lock();
            if (s && s->alive && s->textChangeHandler)
                s->textChangeHandler(desktop_.element(element), change);
        });
    }
}

std::size_t SimAccessibility::observerCount() const {
    return static_cast<std::size_t>(
        std::count_if(observers_.begin(), observers_.end(), [](auto& w) {
            auto s = w.lock();
            return s && s->alive;
        }));
}

std::size_t SimAccessibility::registrationCount() const {
    std::size_t n = 0;
    for (const auto& w : observers_) {
        if (auto s = w.lock(); s && s->alive)
            n += s->registrations.size();
    }
    return n;
}

}  // namespace mivo::sim
