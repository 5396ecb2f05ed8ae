#include "shell/shell_state.hpp"

namespace mivo {

std::string tooltipText(const ShellState& state) {
    switch (state.kind) {
        case ShellState::Kind::error:
            return "Mivo — Error: " + state.message;
        case ShellState::Kind::idle:
            return "Mivo — Idle";
        case ShellState::Kind::monitoring:
            return "Mivo — Monitoring";
        case ShellState::Kind::processing:
            return "Mivo — Processing";
        case ShellState::Kind::cloudActive:
            return "Mivo — AI Active · Selection only";
        case ShellState::Kind::paused:
            return "Mivo — Paused";
        case ShellState::Kind::permissionNeeded:
            return "Mivo — Permission needed";
    }
    return {};
}

std::string rewriteItemTitle(const std::string& shortcutDisplay) {
    return shortcutDisplay.empty() ? "Rewrite" : "Rewrite (" + shortcutDisplay + ")";
}

}  // namespace mivo
