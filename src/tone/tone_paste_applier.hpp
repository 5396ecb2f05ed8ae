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
// reads as the original text. A paste counts as applied only once the field
// reads back with the rewrite in it; when the host does not come to the
// front, a drag selects other text, or the paste never shows, the rewrite
// is left on the clipboard for the user and the outcome says so.
//
// Stateless: the delayed steps of a paste carry what they need. The user's
// clipboard goes through the process's one clipboard guard.

#include <functional>
#include <optional>
#include <string>
#include <string_view>

#include "platform/desktop.hpp"

namespace mivo::TonePasteApplier {

// Why a rewrite was left on the clipboard: nothing could be attempted, or
// a paste was attempted and could not be seen to take.
inline constexpr std::string_view copiedToClipboardReason = "AX write + paste both failed";
inline constexpr std::string_view hostNotInFrontReason =
    "the host did not come to the front for the paste";
inline constexpr std::string_view selectionMovedReason =
    "the original was no longer selected for the paste";
inline constexpr std::string_view dragMissedReason = "the drag did not select the original";
inline constexpr std::string_view pasteNotShownReason = "the paste did not show in the field";
// How long a rewrite left for the user stays on the clipboard.
inline constexpr double clipboardKeepSeconds = 30;

struct ApplyResult {
    enum class Kind {
        appliedNative,        // the whole value was rewritten and read back
        appliedSelectedText,  // the selected original was replaced and read back
        appliedPaste,         // pasted (or typed) over the original and read back
        copiedToClipboard,    // the text waits on the clipboard for the user
    };
    Kind kind = Kind::copiedToClipboard;
    std::string reason;  // copiedToClipboard only

    static ApplyResult copiedToClipboard(std::string reason) {
        return {Kind::copiedToClipboard, std::move(reason)};
    }
    bool operator==(const ApplyResult&) const = default;
};

// Called once with how the rewrite ended: at once for the accessibility
// writes and when nothing could be attempted, about a second later for a
// paste, whose outcome is known only once the field has been read again.
using Done = std::function<void(const ApplyResult&)>;

void apply(Desktop desktop, std::string_view rewrittenText, std::string_view originalText,
           std::optional<AXElement> targetElement, Done done);

}  // namespace mivo::TonePasteApplier
