#pragma once

#include <cstdint>
#include <string>

namespace mivo {

// The system-wide shortcut that opens the rewrite panel. Key codes are the
// virtual key numbers of the ANSI layout (38 is J); modifiers are a mask.
struct HotKeyConfig {
    static constexpr uint32_t commandMask = 0x100;
    static constexpr uint32_t shiftMask = 0x200;
    static constexpr uint32_t optionMask = 0x800;
    static constexpr uint32_t controlMask = 0x1000;

    uint32_t keyCode = 0;
    uint32_t carbonModifiers = 0;
    std::string display;

    // `default` is a keyword in C++: the nearest clear name.
    static HotKeyConfig defaultConfig();

    bool operator==(const HotKeyConfig&) const = default;
};

}  // namespace mivo
