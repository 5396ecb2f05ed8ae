#include "platform/linux/x11/x11_input_method.hpp"

// Qt before Xlib: Xlib's macros (None, Bool, Status) break Qt's headers.
#include <QDBusConnection>
#include <QDBusConnectionInterface>
#include <QDBusReply>
#include <QString>
#include <QStringList>

#include "platform/linux/x11/x11_connection.hpp"
#include "platform/linux/x11/x11_properties.hpp"

#include <X11/Xatom.h>
#include <X11/Xlib.h>

#include <algorithm>
#include <cstdlib>
#include <fstream>
#include <iterator>
#include <memory>
#include <optional>
#include <string>

namespace mivo::linux_desktop {
namespace {

constexpr const char* kVariables[] = {"GTK_IM_MODULE", "QT_IM_MODULE", "XMODIFIERS"};

std::optional<unsigned long> firstItem(Display* d, Window w, Atom property, Atom type) {
    const auto items = cardinalProperty(d, w, property, type);
    if (!items || items->empty())
        return std::nullopt;
    return items->front();
}

// The variables of a process's environment that name input methods; nothing
// when it cannot be read (another user's process, one gone meanwhile).
std::optional<std::map<std::string, std::string>> processEnvironment(unsigned long pid) {
    std::ifstream in("/proc/" + std::to_string(pid) + "/environ", std::ios::binary);
    if (!in)
        return std::nullopt;
    const std::string all{std::istreambuf_iterator<char>(in), std::istreambuf_iterator<char>()};
    std::map<std::string, std::string> out;
    std::size_t at = 0;
    while (at < all.size()) {
        const std::size_t end = std::min(all.find('\0', at), all.size());
        const std::string item = all.substr(at, end - at);
        at = end + 1;
        const std::size_t eq = item.find('=');
        if (eq == std::string::npos)
            continue;
        for (const char* name : kVariables) {
            if (item.compare(0, eq, name) == 0)
                out[name] = item.substr(eq + 1);
        }
    }
    return out;
}

std::map<std::string, std::string> ownEnvironment() {
    std::map<std::string, std::string> out;
    for (const char* name : kVariables) {
        if (const char* value = std::getenv(name))
            out[name] = value;
    }
    return out;
}

std::string atomName(Display* d, Atom atom) {
    std::unique_ptr<char, XFreeDeleter> name(XGetAtomName(d, atom));
    return name != nullptr ? name.get() : "";
}

std::vector<std::string> runningXimServers(Display* d, Window root,
                                           const std::vector<std::string>& asked) {
    // The servers list themselves as atoms "@server=<name>" on the root
    // window; a listed server is running while its selection has an owner.
    // A server that XMODIFIERS asks for counts by its selection alone.
    std::vector<Atom> selections;
    if (const auto listed =
            cardinalProperty(d, root, XInternAtom(d, "XIM_SERVERS", False), XA_ATOM))
        selections.assign(listed->begin(), listed->end());
    for (const std::string& name : asked) {
        // An atom nobody interned has no owner: asking does not create it.
        const std::string selection = "@server=" + name;
        if (const Atom atom = XInternAtom(d, selection.c_str(), True); atom != None)
            selections.push_back(atom);
    }
    std::vector<std::string> out;
    for (const Atom atom : selections) {
        if (XGetSelectionOwner(d, atom) == None)
            continue;
        std::string server = atomName(d, atom);
        constexpr std::string_view prefix = "@server=";
        if (server.starts_with(prefix))
            server.erase(0, prefix.size());
        if (server.empty())
            server = "xim";
        if (std::ranges::find(out, server) == out.end())
            out.push_back(server);
    }
    return out;
}

std::vector<std::string> inputMethodBusNames() {
    // One call for the bus's whole list rather than one per known name.
    std::vector<std::string> out;
    QDBusConnectionInterface* bus = QDBusConnection::sessionBus().interface();
    if (bus == nullptr)
        return out;
    const QDBusReply<QStringList> names = bus->registeredServiceNames();
    if (!names.isValid())
        return out;
    for (const QString& name : names.value()) {
        const std::string text = name.toStdString();
        if (isInputMethodBusName(text))
            out.push_back(text);
    }
    return out;
}

std::optional<std::map<std::string, std::string>> activeWindowEnvironment(X11Connection& x11) {
    Display* d = x11.display();
    // The active window can be gone by the time we ask for its process.
    const XErrorTrap trap(d);
    const auto window = firstItem(d, x11.rootWindow(), x11.atom("_NET_ACTIVE_WINDOW"), XA_WINDOW);
    if (!window || *window == None)
        return std::nullopt;
    const auto pid = firstItem(d, *window, x11.atom("_NET_WM_PID"), XA_CARDINAL);
    if (!pid || *pid == 0)
        return std::nullopt;
    return processEnvironment(*pid);
}

}  // namespace

InputMethodSignals readInputMethodSignals(X11Connection& x11) {
    InputMethodSignals seen;
    const auto own = ownEnvironment();
    const auto target = activeWindowEnvironment(x11);
    seen.environment = target ? *target : own;
    // The servers that our own XMODIFIERS and the target's ask for.
    std::vector<std::string> asked;
    const auto ask = [&asked](const std::map<std::string, std::string>& environment) {
        const auto modifiers = environment.find("XMODIFIERS");
        if (modifiers == environment.end())
            return;
        if (std::string name = ximServerNamed(modifiers->second); !name.empty())
            asked.push_back(std::move(name));
    };
    ask(own);
    ask(seen.environment);
    seen.runningXimServers = runningXimServers(x11.display(), x11.rootWindow(), asked);
    seen.busNames = inputMethodBusNames();
    return seen;
}

}  // namespace mivo::linux_desktop
