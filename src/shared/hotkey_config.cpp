#include "shared/hotkey_config.hpp"

namespace mivo {

HotKeyConfig HotKeyConfig::defaultConfig() {
    // ⌘⇧J: Command sign U+2318, Shift sign U+21E7, capital J.
    return HotKeyConfig{38, commandMask | shiftMask, "\u2318\u21E7J"};
}

}  // namespace mivo
