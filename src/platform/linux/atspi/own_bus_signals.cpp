#include "platform/linux/atspi/own_bus_signals.hpp"

#include <dbus/dbus.h>

#include <memory>
#include <utility>

namespace mivo::linux_desktop {

bool OwnBusSignals::drops(bool isSignal, std::string_view interface, std::string_view sender) {
    // The interfaces whose signals libatspi turns into objects it keeps:
    // events (their source, and the child of a children-changed) and the
    // cache's additions.
    if (!isSignal || sender.empty() ||
        !(interface.starts_with("org.a11y.atspi.Event.") || interface == "org.a11y.atspi.Cache"))
        return false;
    if (const auto it = senders_.find(sender); it != senders_.end())
        return it->second == Sender::ours;
    if (senders_.size() >= kMostSenders)
        senders_.clear();
    senders_.emplace(std::string(sender), Sender::asked);
    questions_.emplace_back(sender);
    return false;
}

std::vector<std::string> OwnBusSignals::takeQuestions() {
    return std::exchange(questions_, {});
}

void OwnBusSignals::noteProcess(const std::string& sender, std::optional<Pid> pid) {
    // Only a question still open: the sender may have been forgotten since.
    const auto it = senders_.find(sender);
    if (it == senders_.end() || it->second != Sender::asked)
        return;
    it->second = pid && *pid == ownPid_ ? Sender::ours : Sender::other;
}

namespace {

struct Question {
    std::weak_ptr<OwnBusSignals> signals;
    std::string sender;
};

void onProcessAnswer(DBusPendingCall* pending, void* data) {
    const auto* question = static_cast<Question*>(data);
    DBusMessage* reply = dbus_pending_call_steal_reply(pending);
    std::optional<Pid> pid;
    dbus_uint32_t answer = 0;
    if (reply != nullptr && dbus_message_get_type(reply) == DBUS_MESSAGE_TYPE_METHOD_RETURN &&
        dbus_message_get_args(reply, nullptr, DBUS_TYPE_UINT32, &answer, DBUS_TYPE_INVALID))
        pid = static_cast<Pid>(answer);
    if (reply != nullptr)
        dbus_message_unref(reply);
    if (auto signals = question->signals.lock())
        signals->noteProcess(question->sender, pid);
}

// Without waiting: the filter runs inside the connection's dispatch.
void askProcess(DBusConnection* bus, const std::shared_ptr<OwnBusSignals>& signals,
                const std::string& sender) {
    constexpr int kTimeoutMs = 1500;
    DBusMessage* call =
        dbus_message_new_method_call("org.freedesktop.DBus", "/org/freedesktop/DBus",
                                     "org.freedesktop.DBus", "GetConnectionUnixProcessID");
    if (call == nullptr)
        return;
    const char* name = sender.c_str();
    DBusPendingCall* pending = nullptr;
    if (dbus_message_append_args(call, DBUS_TYPE_STRING, &name, DBUS_TYPE_INVALID) &&
        dbus_connection_send_with_reply(bus, call, &pending, kTimeoutMs) && pending != nullptr) {
        dbus_pending_call_set_notify(pending, onProcessAnswer, new Question{signals, sender},
                                     [](void* data) { delete static_cast<Question*>(data); });
        // The connection keeps the call until it is answered or timed out.
        dbus_pending_call_unref(pending);
    }
    dbus_message_unref(call);
}

DBusHandlerResult filterOwnSignals(DBusConnection* bus, DBusMessage* message, void* data) {
    const auto& signals = *static_cast<std::shared_ptr<OwnBusSignals>*>(data);
    const char* interface = dbus_message_get_interface(message);
    const char* sender = dbus_message_get_sender(message);
    const bool drop =
        signals->drops(dbus_message_get_type(message) == DBUS_MESSAGE_TYPE_SIGNAL,
                       interface != nullptr ? interface : "", sender != nullptr ? sender : "");
    for (const std::string& asked : signals->takeQuestions())
        askProcess(bus, signals, asked);
    return drop ? DBUS_HANDLER_RESULT_HANDLED : DBUS_HANDLER_RESULT_NOT_YET_HANDLED;
}

}  // namespace

void dropOwnSignals(DBusConnection* bus, Pid ownPid) {
    static bool installed = false;
    if (bus == nullptr || installed)
        return;
    auto* signals = new std::shared_ptr<OwnBusSignals>(std::make_shared<OwnBusSignals>(ownPid));
    installed = dbus_connection_add_filter(bus, filterOwnSignals, signals, [](void* data) {
        delete static_cast<std::shared_ptr<OwnBusSignals>*>(data);
    });
    if (!installed)
        delete signals;
}

}  // namespace mivo::linux_desktop
