#include "platform/linux/atspi/atspi_bus.hpp"

#include <QDBusConnection>
#include <QDBusInterface>
#include <QDBusReply>
#include <QDBusVariant>
#include <QVariant>

#include <atspi/atspi.h>
#include <unistd.h>

#include "platform/linux/atspi/own_bus_signals.hpp"

namespace mivo::linux_desktop {
namespace {

constexpr auto kBusService = "org.a11y.Bus";
constexpr auto kBusPath = "/org/a11y/bus";
constexpr auto kStatusInterface = "org.a11y.Status";

std::optional<bool> readIsEnabled(const QDBusConnection& session) {
    QDBusInterface properties(kBusService, kBusPath, "org.freedesktop.DBus.Properties", session);
    QDBusReply<QDBusVariant> reply =
        properties.call("Get", QString(kStatusInterface), QString("IsEnabled"));
    if (!reply.isValid())
        return std::nullopt;
    return reply.value().variant().toBool();
}

std::optional<std::string> readAddress(const QDBusConnection& session) {
    QDBusInterface bus(kBusService, kBusPath, kBusService, session);
    QDBusReply<QString> reply = bus.call("GetAddress");
    if (!reply.isValid() || reply.value().isEmpty())
        return std::nullopt;
    return reply.value().toStdString();
}

}  // namespace

bool AccessibilityBus::isUsable() {
    const QDBusConnection session = QDBusConnection::sessionBus();
    if (!session.isConnected()) {
        refuse("no session bus (DBUS_SESSION_BUS_ADDRESS)");
        return false;
    }
    const auto enabled = readIsEnabled(session);
    if (!enabled) {
        refuse("the accessibility bus launcher (org.a11y.Bus) does not answer");
        return false;
    }
    if (!*enabled) {
        refuse("the accessibility bus is switched off (org.a11y.Status IsEnabled is false)");
        return false;
    }
    if (!readAddress(session)) {
        refuse("the accessibility bus has no address");
        return false;
    }
    return connect();
}

bool AccessibilityBus::enable() {
    const QDBusConnection session = QDBusConnection::sessionBus();
    if (session.isConnected()) {
        QDBusInterface properties(kBusService, kBusPath, "org.freedesktop.DBus.Properties",
                                  session);
        properties.call("Set", QString(kStatusInterface), QString("IsEnabled"),
                        QVariant::fromValue(QDBusVariant(true)));
    }
    return isUsable();
}

bool AccessibilityBus::connect() {
    if (connected_)
        return true;
    // Our filter goes on libatspi's connection before libatspi's own, so
    // that our widgets' signals are gone before libatspi sees them.
    dropOwnSignals(atspi_get_a11y_bus(), static_cast<Pid>(getpid()));
    // atspi_init answers 0 when it connected, 1 when it already was.
    if (atspi_init() > 1) {
        refuse("libatspi could not connect to the accessibility bus");
        return false;
    }
    // Text, selection and extents are never cached by libatspi: every read
    // of them asks the application. Its cache of roles, states, names and
    // children stays on (ATSPI_CACHE_DEFAULT), kept current by the events
    // libatspi follows itself. Switching it off (ATSPI_CACHE_NONE) is not
    // an option with libatspi 2.46: its handler of state-changed events then
    // re-reads the states over the bus from inside its own dispatch and
    // deadlocks on the connection.
    // Every call is a synchronous request on the main loop: bounded, also
    // for an application that has only just started (libatspi would give
    // it far longer).
    atspi_set_timeout(kCallTimeoutMs, kStartupCallTimeoutMs);
    connected_ = true;
    lastRefusal_.clear();
    log_.write("[Mivo] accessibility: connected to the accessibility bus");
    return true;
}

void AccessibilityBus::refuse(const std::string& reason) {
    if (reason == lastRefusal_)
        return;
    lastRefusal_ = reason;
    log_.write("[Mivo] accessibility: not available: " + reason +
               "; Mivo needs an X11 session with the accessibility bus (at-spi2-core)");
}

}  // namespace mivo::linux_desktop
