#include "platform/linux/input_method.hpp"

#include <algorithm>
#include <cctype>
#include <string_view>

namespace mivo::linux_desktop {
namespace {

std::string lowered(std::string_view s) {
    std::string out(s);
    std::transform(out.begin(), out.end(), out.begin(),
                   [](unsigned char c) { return static_cast<char>(std::tolower(c)); });
    return out;
}

std::string entry(const InputMethodSignals& seen, const std::string& name) {
    const auto it = seen.environment.find(name);
    return it == seen.environment.end() ? std::string() : lowered(it->second);
}

// Modules that hand keys to the toolkit itself rather than to a converter.
bool passesKeysThrough(std::string_view module) {
    return module.empty() || module == "simple" || module == "gtk-im-context-simple" ||
           module == "none" || module == "compose" || module == "wayland";
}

// GTK takes a colon-separated list and uses the first module it has.
std::string firstModule(const std::string& list) {
    return list.substr(0, list.find(':'));
}

}  // namespace

std::string convertingInputMethod(const InputMethodSignals& seen) {
    // A running XIM server converts for every client that speaks XIM, and
    // GTK picks IBus by default wherever its daemon runs: so one running
    // server is enough, whatever the environment says.
    if (!seen.runningXimServers.empty())
        return seen.runningXimServers.front();
    for (const char* name : {"GTK_IM_MODULE", "QT_IM_MODULE"}) {
        const std::string module = firstModule(entry(seen, name));
        // "xim" converts only through a running server, and none runs.
        if (!passesKeysThrough(module) && module != "xim")
            return module;
    }
    // A daemon that no environment names may still be the toolkit's choice
    // (desktops name it in their own settings, which the target reads).
    // Letters wrongly held back cost one route; letters typed into a
    // converter become kana in the user's text.
    if (seen.busNames.empty())
        return {};
    return lowered(seen.busNames.front()).find("fcitx") != std::string::npos ? "fcitx" : "ibus";
}

bool inputMethodRunning(const InputMethodSignals& seen) {
    // Only a server or daemon that is up counts: the environment says which
    // module a target loads, not that anything runs behind it.
    return !seen.runningXimServers.empty() || !seen.busNames.empty();
}

bool convertedByInputMethod(char32_t c) {
    // The keysyms of keyboard keys: printable ASCII (romaji, digits and
    // punctuation become kana and full-width forms, a space converts or
    // types a full-width space) and Latin-1 (the yen key of a Japanese
    // keyboard). Return and Tab pass through a converter with no preedit
    // open, and we never open one.
    return (c >= 0x20 && c <= 0x7E) || (c >= 0xA0 && c <= 0xFF);
}

std::string ximServerNamed(std::string_view xmodifiers) {
    constexpr std::string_view key = "@im=";
    const auto at = xmodifiers.find(key);
    if (at == std::string_view::npos)
        return {};
    std::string_view name = xmodifiers.substr(at + key.size());
    // Another modifier may follow, each starting with '@'.
    name = name.substr(0, name.find('@'));
    if (name == "none")
        return {};
    return std::string(name);
}

bool isInputMethodBusName(std::string_view name) {
    for (std::string_view known :
         {"org.freedesktop.IBus", "org.freedesktop.portal.IBus", "org.fcitx.Fcitx5",
          "org.fcitx.Fcitx", "org.freedesktop.portal.Fcitx"}) {
        if (name == known)
            return true;
    }
    return false;
}

}  // namespace mivo::linux_desktop
