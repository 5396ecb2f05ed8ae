#pragma once

// AT-SPI events as the interface's notifications. One listener per event
// kind serves every observer; each observer hears the events of its own
// process for the elements (or the application) it registered.

#include <map>
#include <memory>
#include <optional>
#include <set>
#include <string>
#include <string_view>
#include <utility>
#include <vector>

#include <atspi/atspi.h>

#include "platform/accessibility.hpp"
#include "platform/linux/atspi/atspi_toolkit.hpp"
#include "platform/linux/atspi/gobject_ptr.hpp"
#include "platform/scheduler.hpp"

namespace mivo::linux_desktop {

// The notification an AT-SPI event stands for, or nothing for events that
// stand for none (a focus loss, say).
std::optional<std::string_view> notificationForEvent(std::string_view type, int detail1);

// The details of an object:text-changed:insert or :delete event (offset
// `detail1`, length `detail2`, the text that went in or out) in the
// toolkit's own unit; nothing for other events and where the toolkit's
// details cannot be trusted (GTK 4 reports an insertion's start minus its
// length). The length is taken from the text where there is one (Chromium
// reports a deletion's length negative).
std::optional<AXTextChange> textChangeForEvent(Toolkit toolkit, std::string_view type, int detail1,
                                               int detail2, std::optional<std::string> text);

class AtspiEventHub {
  public:
    explicit AtspiEventHub(Scheduler& scheduler);
    ~AtspiEventHub();
    AtspiEventHub(const AtspiEventHub&) = delete;
    AtspiEventHub& operator=(const AtspiEventHub&) = delete;

    struct ObserverState {
        Pid pid = 0;
        AXNotificationHandler handler;
        AXTextChangeHandler textChangeHandler;
        // (element identity, notification)
        std::set<std::pair<std::string, std::string>> registrations;
        bool alive = true;
    };

    // Registers the listeners on first use; false when libatspi refused.
    bool start();
    void add(std::shared_ptr<ObserverState> state);
    // Called by libatspi for every event; takes over the event.
    void dispatch(AtspiEvent* event);
    // A document whose paragraphs are followed one at a time: the caret
    // moving into another of them is heard as a focus change of its
    // application.
    void followInside(std::string documentIdentity);
    // The object the caret last moved in, as its application told: which
    // of a document's own text and the block right after it holds a caret
    // that both name by the same offset.
    const std::string& lastCaretSource() const { return lastCaretSource_; }

  private:
    std::optional<Pid> senderProcess(AtspiAccessible* source);
    Scheduler& scheduler_;
    GObjectPtr<AtspiEventListener> listener_;
    bool started_ = false;
    std::vector<std::weak_ptr<ObserverState>> observers_;
    std::set<std::string> followedDocuments_;
    std::string lastCaretSource_;
    // The process behind each unique bus name that sent events: an event
    // is routed by it, and a unique name is never given to another
    // connection.
    std::map<std::string, Pid, std::less<>> senders_;
};

std::unique_ptr<AXObserver> makeAtspiObserver(std::shared_ptr<AtspiEventHub::ObserverState> state,
                                              Accessibility& accessibility);

}  // namespace mivo::linux_desktop
