#pragma once

// What the tray shows of Mivo's monitoring, as plain values.

#include <string>

namespace mivo {

struct ShellState {
    enum class Kind { error, idle, monitoring, processing, cloudActive, paused, permissionNeeded };
    Kind kind = Kind::idle;
    std::string message;  // error only

    bool operator==(const ShellState&) const = default;
};

// "Mivo — Idle", "Mivo — Error: <message>", … (em dash, middle dot).
std::string tooltipText(const ShellState& state);

// "Rewrite (Shift+Super+J)"; "Rewrite" without a shortcut.
std::string rewriteItemTitle(const std::string& shortcutDisplay);

}  // namespace mivo
