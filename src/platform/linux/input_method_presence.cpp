// Qt before Xlib: Xlib's macros (None, Bool, Status) break Qt's headers.
#include <QDBusConnection>
#include <QDBusConnectionInterface>
#include <QString>

#include "platform/linux/input_method_presence.hpp"

#include <cstdlib>
#include <string>
#include <string_view>

namespace mivo::linux_desktop {
namespace {

bool ximServerRunning(Display* display) {
    const char* modifiers = std::getenv("XMODIFIERS");
    if (modifiers == nullptr || display == nullptr)
        return false;
    const std::string_view value(modifiers);
    const auto at = value.find("@im=");
    if (at == std::string_view::npos)
        return false;
    std::string name(value.substr(at + 4));
    if (const auto end = name.find('@'); end != std::string::npos)
        name.resize(end);
    if (name.empty() || name == "none")
        return false;
    const std::string selection = "@server=" + name;
    const Atom atom = XInternAtom(display, selection.c_str(), True);
    return atom != 0 && XGetSelectionOwner(display, atom) != 0;
}

bool busNameTaken() {
    QDBusConnectionInterface* bus = QDBusConnection::sessionBus().interface();
    if (bus == nullptr)
        return false;
    for (const char* name :
         {"org.freedesktop.IBus", "org.freedesktop.portal.IBus", "org.fcitx.Fcitx5",
          "org.fcitx.Fcitx", "org.freedesktop.portal.Fcitx"}) {
        if (bus->isServiceRegistered(QString::fromLatin1(name)).value())
            return true;
    }
    return false;
}

}  // namespace

bool inputMethodRunning(Display* display) {
    return ximServerRunning(display) || busNameTaken();
}

}  // namespace mivo::linux_desktop
