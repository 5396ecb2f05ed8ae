#pragma once

// What the follow of a document's blocks needs of whoever follows the
// field: the field followed, the ways to read and check a block, to follow
// another one, and the main loop. The monitor is this host; tests stand in
// for it on the simulated desktop.

#include <cstdint>
#include <functional>
#include <optional>
#include <string_view>

#include "field/ax_text_extractor.hpp"
#include "platform/accessibility.hpp"
#include "platform/cancel.hpp"

namespace mivo {

using FieldText = AXTextExtractor::ExtractedText;

class DocumentFollowHost {
  public:
    virtual ~DocumentFollowHost() = default;

    virtual Accessibility& accessibility() = 0;
    virtual bool isMonitoring() const = 0;
    // The field or block followed, and whether it held the focus itself
    // when it was attached (a browser's block never does).
    virtual const std::optional<AXElement>& followedField() const = 0;
    virtual bool followedFieldHeldFocus() const = 0;
    // The walk for the focused text element (it may read a document whole).
    virtual std::optional<AXElement> searchFocusedField() = 0;
    // The field's text as the monitor reads any field.
    virtual std::optional<FieldText> readFieldText(const AXElement& element) = 0;

    // Checks `text`, read from `element` now (a block the caret is not in).
    virtual void checkBlock(const AXElement& element, const FieldText& text) = 0;
    // The notifications of the field followed not read yet are read now:
    // the change they tell of is the field's, before another is followed.
    virtual void settleNotifications() = 0;
    // The check waiting for the user's pause in the field followed, taken
    // away from it (an empty handle when none waits).
    virtual Cancel takeWaitingCheck() = 0;
    // Follows `element` as the field from now on.
    virtual void attach(const AXElement& element) = 0;
    // Looks where the focus is now, as a focus notification does.
    virtual void lookAtFocus() = 0;
    // Where the field's text shows may have changed; nothing shown goes.
    virtual void fieldMayHaveMoved() = 0;
    // The text that ranges of the next write count in.
    virtual const std::optional<FieldText>& checkedText() const = 0;
    virtual void setCheckedText(FieldText text) = 0;

    // Runs `step` `seconds` from now on the main loop, unless the follow
    // stopped or the handle was cancelled.
    virtual Cancel scheduleStep(double seconds, std::function<void()> step) = 0;
    virtual void log(std::string_view message) = 0;
    // The caret one Character on, as the Right arrow moves it; false when
    // no key can be sent.
    virtual bool stepCaretRight() { return false; }
    // Key events sent on at the end of the keyboard's holds so far.
    virtual uint64_t keysTypedOn() { return 0; }
};

}  // namespace mivo
