#pragma once

// Whether an input method sits between our synthetic keys and the target.
// An input method (IBus, Fcitx, any XIM server) reads the keys a field gets
// and, in a Japanese or Chinese mode, turns letters, digits, punctuation and
// spaces into its own preedit text: "ame" typed into Mozc arrives as "あめ"
// or an open conversion. Such characters are not typed while one is in use;
// the replacement goes on by another route. Code points with no key of any
// layout (kana, kanji, emoji) go through unconverted as keysyms the
// converters do not know.
//
// The same signals tell whether one runs at all: a burst of changes in a
// field is an input method composing only where one runs.

#include <map>
#include <string>
#include <string_view>
#include <vector>

namespace mivo::linux_desktop {

// What can be seen of input methods from outside the target.
struct InputMethodSignals {
    // The target's environment, else our own (the session's): the
    // GTK_IM_MODULE, QT_IM_MODULE and XMODIFIERS entries.
    std::map<std::string, std::string> environment;
    // XIM servers that are running now (their "@server=" selection has an
    // owner), by name: "ibus", "fcitx".
    std::vector<std::string> runningXimServers;
    // Names of input method daemons taken on the session bus
    // ("org.freedesktop.IBus", "org.fcitx.Fcitx5").
    std::vector<std::string> busNames{};
};

// The input method that would convert typed keys; empty for none.
std::string convertingInputMethod(const InputMethodSignals& seen);

// Whether an input method runs in the session.
bool inputMethodRunning(const InputMethodSignals& seen);

// Whether an input method in a converting mode would take the code point
// as input of its own rather than pass it through.
bool convertedByInputMethod(char32_t c);

// The XIM server that an XMODIFIERS value asks for ("@im=NAME"); empty for
// none.
std::string ximServerNamed(std::string_view xmodifiers);

// Whether a session bus name is one that an input method daemon takes.
bool isInputMethodBusName(std::string_view name);

}  // namespace mivo::linux_desktop
