#pragma once

// What the rewrite panel shows: one of seven cases, compared exactly. Two
// loading states begun at different instants differ, so storing a later one
// is a change that observers see.

#include <cstdint>
#include <optional>
#include <string>
#include <variant>

#include "platform/scheduler.hpp"
#include "tone/tone_types.hpp"

namespace mivo {

struct TonePanelState {
    // A request is running. `toneRegister` is present only for the tone
    // action; `started` is when the request began.
    struct Loading {
        RewriteAction action = RewriteAction::improve;
        std::optional<Register> toneRegister;
        TimePoint started{};
        bool operator==(const Loading&) const = default;
    };
    // The server's rewrite, ready to apply.
    struct Preview {
        std::string rewritten;
        RewriteAction action = RewriteAction::improve;
        std::optional<Register> toneRegister;
        int64_t latencyMs = 0;
        bool unchanged = false;
        bool operator==(const Preview&) const = default;
    };
    // A failed request; the message is shown as given.
    struct Error {
        std::string message;
        bool retryable = false;
        bool operator==(const Error&) const = default;
    };
    // The result was written back; `tier` names how.
    struct Applied {
        std::string tier;
        bool operator==(const Applied&) const = default;
    };
    struct Picking {
        bool operator==(const Picking&) const = default;
    };
    struct Offline {
        bool operator==(const Offline&) const = default;
    };
    // Nobody is signed in. `reason`, when not empty: why the service could
    // not be reached, which a sign-in would meet too.
    struct SignedOut {
        std::string reason;
        bool operator==(const SignedOut&) const = default;
    };

    using Value = std::variant<Loading, Preview, Error, Applied, Picking, Offline, SignedOut>;
    Value value = Picking{};

    static TonePanelState loading(RewriteAction action, std::optional<Register> toneRegister,
                                  TimePoint started);
    static TonePanelState preview(std::string rewritten, RewriteAction action,
                                  std::optional<Register> toneRegister, int64_t latencyMs,
                                  bool unchanged);
    static TonePanelState error(std::string message, bool retryable);
    static TonePanelState applied(std::string tier);
    static TonePanelState picking();
    static TonePanelState offline();
    static TonePanelState signedOut(std::string reason = {});

    template <typename Case>
    bool is() const {
        return std::holds_alternative<Case>(value);
    }
    template <typename Case>
    const Case* get() const {
        return std::get_if<Case>(&value);
    }

    bool operator==(const TonePanelState&) const = default;
};

// The case's name, for logs and test output ("loading", "preview", ...).
const char* caseName(const TonePanelState& state);

}  // namespace mivo
