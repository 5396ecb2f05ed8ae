#include "app/single_instance.hpp"

#include <QDBusConnection>
#include <QDBusConnectionInterface>
#include <QDBusMessage>

namespace mivo {

namespace {

// A running Mivo answers at once; one that does not within this time is
// stuck, and the new launch says so instead of hanging.
constexpr int kCallTimeoutMs = 5000;

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
    const auto reply =
        bus.interface()->registerService(serviceName, QDBusConnectionInterface::DontQueueService,
                                         QDBusConnectionInterface::DontAllowReplacement);
    if (reply.isValid() && reply.value() == QDBusConnectionInterface::ServiceRegistered) {
        detail = std::string("owns ") + serviceName + " on the session bus";
        return Claim::first;
    }
    bus.unregisterObject(objectPath);

    QDBusMessage call =
        QDBusMessage::createMethodCall(serviceName, objectPath, serviceName, "OpenSettings");
    const QDBusMessage answer = bus.call(call, QDBus::Block, kCallTimeoutMs);
    if (answer.type() == QDBusMessage::ErrorMessage) {
        detail = std::string("another Mivo owns ") + serviceName +
                 " but did not answer OpenSettings: " + answer.errorName().toStdString();
        return Claim::ownerSilent;
    }
    detail = "Mivo is already running; asked it to open its settings window";
    return Claim::handedOver;
}

void SingleInstance::OpenSettings() {
    if (onOpenSettings) {
        onOpenSettings();
    }
}

}  // namespace mivo
