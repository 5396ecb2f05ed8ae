#pragma once

// One Mivo per session. The first process owns the well-known name
// "org.mivo.Mivo" on the session bus; a later launch finds the name taken,
// asks the owner to open its settings window (the one window a user can
// always reach it through) and ends. Without a session bus every launch
// runs on its own, as before.

#include <QObject>
#include <functional>
#include <string>

namespace mivo {

class SingleInstance : public QObject {
    Q_OBJECT
    Q_CLASSINFO("D-Bus Interface", "org.mivo.Mivo")

  public:
    static constexpr const char* serviceName = "org.mivo.Mivo";
    static constexpr const char* objectPath = "/org/mivo/Mivo";

    enum class Claim {
        // This process is the one Mivo of the session.
        first,
        // Another Mivo runs and was asked to open its settings.
        handedOver,
        // Another Mivo holds the name but did not answer.
        ownerSilent,
        // No session bus: nothing to coordinate with.
        noBus,
    };

    // Registers the object, then the name; when the name is taken, calls
    // the owner's OpenSettings. `detail` receives a line for the log.
    Claim claim(std::string& detail);

    // Run for each later launch; set before the event loop runs (calls
    // arrive only from it).
    std::function<void()> onOpenSettings;

  public slots:
    // Called over the bus by a later launch.
    Q_SCRIPTABLE void OpenSettings();
};

}  // namespace mivo
