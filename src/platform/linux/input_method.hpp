#pragma once

// Whether an input method sits between our synthetic keys and the target.
// An input method (IBus, Fcitx, any XIM server) reads the keys a field gets
// and, in a Japanese or Chinese mode, turns letters, digits, punctuation and
// spaces into its own preedit text: "ame" typed into Mozc arrives as "あめ"
// or an open conversion. Such characters are not typed while one is in use;
// the replacement goes on by another route. Code points with no key of any
// layout (kana, kanji, emoji) go through unconverted as keysyms the
// converters do not know.

#include <map>
#include <string>
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
};

// The input method that would convert typed keys; empty for none.
std::string convertingInputMethod(const InputMethodSignals& seen);

// Whether an input method in a converting mode would take the code point
// as input of its own rather than pass it through.
bool convertedByInputMethod(char32_t c);

}  // namespace mivo::linux_desktop
