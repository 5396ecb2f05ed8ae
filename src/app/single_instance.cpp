#include "app/single_instance.hpp"

#include <QDBusConnection>
#include <QDBusConnectionInterface>
#include <QDBusMessage>

namespace mivo {

namespace {

// A running Mivo answers as soon as its start-up is through; one that does
// not within this time is stuck, and the new launch says so instead of
// hanging.
constexpr int kCallTimeoutMs = 10000;

}  // namespace

SingleInstance::Claim SingleInstance::claim(std::string& detail) {
    QDBusConnection bus = QDBusConnection::sessionBus();
    if (!bus.isConnected() || bus.interface() == nullptr) {
        detail = "no session bus (" + bus.lastError().message().toStdString() +
                 "); not checking for another Mivo";
        return Claim::noBus;
    }
    // The object first: a launch that sees the name must find it answering.
    bus.registerObject(objectPath, this, QDBusConnection::ExportScriptableSlots);
    // Twice at most: an owner that was just quitting may have released the
    // name between our request and our call.
    QDBusMessage answer;
    for (int attempt = 0; attempt < 2; ++attempt) {
        const auto reply = bus.interface()->registerService(
            serviceName, QDBusConnectionInterface::DontQueueService,
            QDBusConnectionInterface::DontAllowReplacement);
        if (reply.isValid() && reply.value() == QDBusConnectionInterface::ServiceRegistered) {
            detail = std::string("owns ") + serviceName + " on the session bus";
            return Claim::first;
        }
        const QDBusMessage call =
            QDBusMessage::createMethodCall(serviceName, objectPath, serviceName, "OpenSettings");
        answer = bus.call(call, QDBus::Block, kCallTimeoutMs);
        if (answer.type() != QDBusMessage::ErrorMessage) {
            bus.unregisterObject(objectPath);
            detail = "Mivo is already running; asked it to open its settings window";
            return Claim::handedOver;
        }
        if (answer.errorName() != QStringLiteral("org.freedesktop.DBus.Error.ServiceUnknown") &&
            answer.errorName() != QStringLiteral("org.freedesktop.DBus.Error.NameHasNoOwner")) {
            break;
        }
    }
    bus.unregisterObject(objectPath);
    detail = std::string("another Mivo owns ") + serviceName +
             " but did not answer OpenSettings: " + answer.errorName().toStdString();
    return Claim::ownerSilent;
}

void SingleInstance::OpenSettings() {
    if (onOpenSettings) {
        onOpenSettings();
    }
}

}  // namespace mivo
