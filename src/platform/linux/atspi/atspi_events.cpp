#include "platform/linux/atspi/atspi_events.hpp"

#include <atspi/atspi.h>

#include <algorithm>
#include <array>

#include "platform/ax_names.hpp"
#include "platform/linux/atspi/atspi_element.hpp"
#include "platform/linux/atspi/atspi_text.hpp"
#include "shared/text.hpp"

namespace mivo::linux_desktop {
namespace {

// The event kinds listened to; libatspi matches by prefix.
constexpr std::array<const char*, 6> kEventTypes = {
    "object:text-changed",          "object:text-caret-moved", "object:text-selection-changed",
    "object:state-changed:focused", "window:activate",         "object:state-changed:active",
};

constexpr std::array<std::string_view, 4> kNotifications = {
    kAXValueChangedNotification, kAXSelectedTextChangedNotification,
    kAXFocusedUIElementChangedNotification, kAXFocusedWindowChangedNotification};

bool startsWith(std::string_view s, std::string_view prefix) {
    return s.substr(0, prefix.size()) == prefix;
}

void onEvent(AtspiEvent* event, void* hub) {
    static_cast<AtspiEventHub*>(hub)->dispatch(event);
}

class AtspiObserver : public AXObserver {
  public:
    AtspiObserver(std::shared_ptr<AtspiEventHub::ObserverState> state, Accessibility& accessibility)
        : state_(std::move(state)), accessibility_(accessibility) {}
    ~AtspiObserver() override { state_->alive = false; }

    AXError addNotification(const AXElement& element, std::string_view notification) override {
        if (std::find(kNotifications.begin(), kNotifications.end(), notification) ==
            kNotifications.end())
            return AXError::notificationUnsupported;
        const auto role = accessibility_.copyAttributeValue(element, kAXRoleAttribute);
        if (!role && role.error() == AXError::invalidUIElement)
            return AXError::invalidUIElement;
        if (!state_->registrations.emplace(element.identity(), std::string(notification)).second)
            return AXError::notificationAlreadyRegistered;
        return AXError::success;
    }

    AXError removeNotification(const AXElement& element, std::string_view notification) override {
        if (state_->registrations.erase({element.identity(), std::string(notification)}) == 0)
            return AXError::notificationNotRegistered;
        return AXError::success;
    }

    void setTextChangeHandler(AXTextChangeHandler handler) override {
        state_->textChangeHandler = std::move(handler);
    }

  private:
    std::shared_ptr<AtspiEventHub::ObserverState> state_;
    Accessibility& accessibility_;
};

}  // namespace

std::optional<std::string_view> notificationForEvent(std::string_view type, int detail1) {
    if (startsWith(type, "object:text-changed"))
        return kAXValueChangedNotification;
    if (startsWith(type, "object:text-caret-moved") ||
        startsWith(type, "object:text-selection-changed"))
        return kAXSelectedTextChangedNotification;
    // Focus and activation events come in pairs, one for the object that
    // gains and one for the one that loses; only the gain is a change.
    if (startsWith(type, "object:state-changed:focused"))
        return detail1 != 0 ? std::optional(kAXFocusedUIElementChangedNotification) : std::nullopt;
    if (startsWith(type, "window:activate"))
        return kAXFocusedWindowChangedNotification;
    if (startsWith(type, "object:state-changed:active"))
        return detail1 != 0 ? std::optional(kAXFocusedWindowChangedNotification) : std::nullopt;
    return std::nullopt;
}

std::optional<AXTextChange> textChangeForEvent(Toolkit toolkit, std::string_view type, int detail1,
                                               int detail2, std::optional<std::string> text) {
    const bool inserted = startsWith(type, "object:text-changed:insert");
    if (!inserted && !startsWith(type, "object:text-changed:delete"))
        return std::nullopt;
    if (toolkit == Toolkit::gtk4 || detail1 < 0)
        return std::nullopt;
    AXTextChange change;
    change.kind = inserted ? AXTextChange::Kind::inserted : AXTextChange::Kind::removed;
    change.unit = countsUtf16(toolkit) ? AXTextChange::Unit::utf16 : AXTextChange::Unit::codePoint;
    change.offset = detail1;
    if (text && !text->empty()) {
        change.text = textFromToolkit(toolkit, std::move(*text));
        change.length = change.unit == AXTextChange::Unit::utf16
                            ? text::utf16Length(change.text)
                            : text::codePointLength(change.text);
    } else {
        // An insertion is of no use without what went in.
        if (inserted && detail2 != 0)
            return std::nullopt;
        change.length = detail2 < 0 ? -static_cast<int64_t>(detail2) : detail2;
    }
    return change;
}

AtspiEventHub::AtspiEventHub(Scheduler& scheduler) : scheduler_(scheduler) {}

AtspiEventHub::~AtspiEventHub() {
    // Also after a registration that failed half-way: deregistering a kind
    // that was never registered does nothing.
    if (listener_ == nullptr)
        return;
    for (const char* type : kEventTypes) {
        GErrorSlot error;
        atspi_event_listener_deregister(listener_.get(), type, error.out());
    }
}

bool AtspiEventHub::start() {
    if (started_)
        return true;
    if (listener_ == nullptr)
        listener_.reset(atspi_event_listener_new(onEvent, this, nullptr));
    if (listener_ == nullptr)
        return false;
    for (const char* type : kEventTypes) {
        GErrorSlot error;
        const gboolean ok = atspi_event_listener_register(listener_.get(), type, error.out());
        if (error.failed() || !ok)
            return false;
    }
    started_ = true;
    return true;
}

void AtspiEventHub::add(std::shared_ptr<ObserverState> state) {
    std::erase_if(observers_, [](const auto& w) { return w.expired(); });
    observers_.push_back(std::move(state));
}

void AtspiEventHub::followInside(std::string documentIdentity) {
    if (followedDocuments_.size() > 64)
        followedDocuments_.clear();
    followedDocuments_.insert(std::move(documentIdentity));
}

namespace {

// Whether `source` is one of `documents` or lies (a few levels) inside one.
bool liesInside(AtspiAccessible* source, const std::set<std::string>& documents) {
    constexpr int kLevels = 4;
    if (documents.contains(identityOf(source)))
        return true;
    GObjectPtr<AtspiAccessible> current(static_cast<AtspiAccessible*>(g_object_ref(source)));
    for (int level = 0; level < kLevels; ++level) {
        GErrorSlot error;
        GObjectPtr<AtspiAccessible> parent(atspi_accessible_get_parent(current.get(), error.out()));
        if (error.failed() || parent == nullptr)
            return false;
        if (documents.contains(identityOf(parent.get())))
            return true;
        current = std::move(parent);
    }
    return false;
}

}  // namespace

std::optional<Pid> AtspiEventHub::senderProcess(AtspiAccessible* source) {
    const std::string bus = busNameOf(source);
    if (const auto it = senders_.find(bus); it != senders_.end())
        return it->second;
    const auto pid = processIdOf(source);
    if (!pid)
        return std::nullopt;
    if (bus.starts_with(':')) {
        if (senders_.size() > 256)
            senders_.clear();
        senders_.emplace(bus, *pid);
    }
    return *pid;
}

void AtspiEventHub::dispatch(AtspiEvent* event) {
    struct FreeEvent {
        void operator()(AtspiEvent* e) const { g_boxed_free(ATSPI_TYPE_EVENT, e); }
    };
    std::unique_ptr<AtspiEvent, FreeEvent> owned(event);
    if (event == nullptr || event->source == nullptr || event->type == nullptr)
        return;
    auto notification = notificationForEvent(event->type, event->detail1);
    if (!notification)
        return;
    const std::string source = identityOf(event->source);
    if (startsWith(event->type, "object:text-caret-moved"))
        lastCaretSource_ = source;
    // The caret in a paragraph not followed yet, inside a document whose
    // paragraphs are followed, or in that document's own text: the user
    // moved to another paragraph.
    if (*notification == kAXSelectedTextChangedNotification && !followedDocuments_.empty() &&
        startsWith(event->type, "object:text-caret-moved") &&
        std::none_of(
            observers_.begin(), observers_.end(),
            [&](const auto& weak) {
                auto state = weak.lock();
                return state && state->registrations.contains({source, std::string(*notification)});
            }) &&
        liesInside(event->source, followedDocuments_))
        notification = kAXFocusedUIElementChangedNotification;
    const std::string application = applicationIdentityOf(event->source);
    const std::string name(*notification);
    std::optional<Pid> pid;
    // The change's details, worked out once for every observer that wants
    // them.
    std::optional<std::optional<AXTextChange>> change;
    const auto detailsOf = [&]() -> const std::optional<AXTextChange>& {
        if (!change) {
            std::optional<std::string> text;
            if (G_VALUE_HOLDS_STRING(&event->any_data)) {
                if (const char* s = g_value_get_string(&event->any_data))
                    text = s;
            }
            change = textChangeForEvent(toolkitOf(event->source), event->type, event->detail1,
                                        event->detail2, std::move(text));
        }
        return *change;
    };
    for (const auto& weak : observers_) {
        auto state = weak.lock();
        if (!state || !state->alive)
            continue;
        if (!state->registrations.contains({source, name}) &&
            !state->registrations.contains({application, name}))
            continue;
        if (!pid) {
            pid = senderProcess(event->source);
            if (!pid)
                return;
        }
        if (state->pid != *pid)
            continue;
        // Handlers run on a later turn of the loop, never inside libatspi's
        // dispatch, so that they may drop observers freely.
        AXElement element = makeElement(static_cast<AtspiAccessible*>(g_object_ref(event->source)));
        std::optional<AXTextChange> details;
        if (state->textChangeHandler && name == kAXValueChangedNotification &&
            state->registrations.contains({source, name}))
            details = detailsOf();
        scheduler_.after(
            0, [w = std::weak_ptr(state), element, name, details = std::move(details)] {
                if (auto s = w.lock(); s && s->alive && details && s->textChangeHandler)
                    s->textChangeHandler(element, *details);
                if (auto s = w.lock(); s && s->alive)
                    s->handler(element, name);
            });
    }
}

std::unique_ptr<AXObserver> makeAtspiObserver(std::shared_ptr<AtspiEventHub::ObserverState> state,
                                              Accessibility& accessibility) {
    return std::make_unique<AtspiObserver>(std::move(state), accessibility);
}

}  // namespace mivo::linux_desktop
