#pragma once

// Writes an accepted rewrite back into the other application in place of the
// original text, by the cleanest method that works: the field's whole value,
// then its selected text, then a paste over the original selected through
// the accessibility interface, then a paste over the original selected by a
// mouse drag. When none can be attempted, the rewrite is left on the
// clipboard for 30 seconds.
//
// A paste or typed text only ever lands on the original: each is posted
// after checking that the host's field has the focus and its selection
// reads as the original text. When that check fails after the ladder has
// answered, the rewrite is left on the clipboard for the user instead.
//
// Stateless: the delayed steps of a paste carry what they need. The user's
// clipboard goes through the process's one clipboard guard.

#include <optional>
#include <string>
#include <string_view>

#include "platform/desktop.hpp"

namespace mivo::TonePasteApplier {

inline constexpr std::string_view copiedToClipboardReason = "AX write + paste both failed";
// How long a rewrite left for the user stays on the clipboard.
inline constexpr double clipboardKeepSeconds = 30;

struct ApplyResult {
    enum class Kind {
        appliedNative,        // the whole value was rewritten and read back
        appliedSelectedText,  // the selected original was replaced and read back
        appliedPaste,         // a paste is under way; its outcome comes later
        copiedToClipboard,    // nothing could be attempted; the text is on the clipboard
    };
    Kind kind = Kind::copiedToClipboard;
    std::string reason;  // copiedToClipboard only

    static ApplyResult copiedToClipboard(std::string reason) {
        return {Kind::copiedToClipboard, std::move(reason)};
    }
    bool operator==(const ApplyResult&) const = default;
};

ApplyResult apply(Desktop desktop, std::string_view rewrittenText, std::string_view originalText,
                  std::optional<AXElement> targetElement);

}  // namespace mivo::TonePasteApplier
