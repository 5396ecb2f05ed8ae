#include "tone/tone_panel_state.hpp"

#include <utility>

namespace mivo {

TonePanelState TonePanelState::loading(RewriteAction action, std::optional<Register> toneRegister,
                                       TimePoint started) {
    return {Loading{action, toneRegister, started}};
}

TonePanelState TonePanelState::preview(std::string rewritten, RewriteAction action,
                                       std::optional<Register> toneRegister, int64_t latencyMs,
                                       bool unchanged) {
    return {Preview{std::move(rewritten), action, toneRegister, latencyMs, unchanged}};
}

TonePanelState TonePanelState::error(std::string message, bool retryable) {
    return {Error{std::move(message), retryable}};
}

TonePanelState TonePanelState::applied(std::string tier) {
    return {Applied{std::move(tier)}};
}

TonePanelState TonePanelState::picking() {
    return {Picking{}};
}

TonePanelState TonePanelState::offline() {
    return {Offline{}};
}

TonePanelState TonePanelState::signedOut(std::string reason) {
    return {SignedOut{std::move(reason)}};
}

const char* caseName(const TonePanelState& state) {
    static constexpr const char* names[] = {"loading", "preview", "error",    "applied",
                                            "picking", "offline", "signedOut"};
    return names[state.value.index()];
}

}  // namespace mivo
