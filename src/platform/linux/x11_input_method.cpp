#include "platform/linux/x11_input_method.hpp"

// Qt before Xlib: Xlib's macros (None, Bool, Status) break Qt's headers.
#include "platform/linux/x11_connection.hpp"
#include "platform/linux/x11_properties.hpp"

#include <X11/Xatom.h>
#include <X11/Xlib.h>

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

std::vector<std::string> runningXimServers(Display* d, Window root) {
    // The servers list themselves as atoms "@server=<name>" on the root
    // window; a listed server is running while its selection has an owner.
    std::vector<std::string> out;
    const auto atoms = cardinalProperty(d, root, XInternAtom(d, "XIM_SERVERS", False), XA_ATOM);
    if (!atoms)
        return out;
    for (const unsigned long atom : *atoms) {
        if (XGetSelectionOwner(d, atom) == None)
            continue;
        std::unique_ptr<char, XFreeDeleter> name(XGetAtomName(d, atom));
        std::string server = name != nullptr ? name.get() : "";
        constexpr std::string_view prefix = "@server=";
        if (server.starts_with(prefix))
            server.erase(0, prefix.size());
        out.push_back(server.empty() ? "xim" : server);
    }
    return out;
}

}  // namespace

InputMethodSignals readInputMethodSignals(X11Connection& x11) {
    Display* d = x11.display();
    const Window root = x11.rootWindow();
    InputMethodSignals seen;
    seen.runningXimServers = runningXimServers(d, root);
    std::optional<std::map<std::string, std::string>> environment;
    if (const auto window = firstItem(d, root, x11.atom("_NET_ACTIVE_WINDOW"), XA_WINDOW);
        window && *window != None) {
        if (const auto pid = firstItem(d, *window, x11.atom("_NET_WM_PID"), XA_CARDINAL);
            pid && *pid != 0)
            environment = processEnvironment(*pid);
    }
    seen.environment = environment ? std::move(*environment) : ownEnvironment();
    return seen;
}

}  // namespace mivo::linux_desktop
