#pragma once

// Writing another application's text through the accessibility interface,
// under the guards that keep such a write from losing or misplacing the
// user's text. A correction and a rewrite both write this way; what each
// then checks of the field is its own.

#include <functional>
#include <optional>
#include <string>
#include <string_view>

#include "platform/accessibility.hpp"

namespace mivo::field_writes {

// The element's text is shown by static-text children (an editor that
// exposes its text as many pieces): a value of its own, if it has one, is
// not what the user sees, and a write to it would not land there.
bool isFragmentBacked(Accessibility& ax, const AXElement& element);

struct ValueWrite {
    enum class Outcome {
        written,         // the field took the write; whether it kept it is the caller's to read
        fragmentBacked,  // not attempted: the text lives in static-text children
        noValue,         // not attempted: the value could not be read
        declined,        // not attempted: no new value was made from the value read
        refused,         // the field answered the write with `error`
    };
    Outcome outcome = Outcome::declined;
    AXError error = AXError::success;
    std::string before;  // the value read, once it was read
    std::string after;   // the value written or refused
    bool written() const { return outcome == Outcome::written; }
};

// Makes the new whole value from the value read; nothing when it cannot be
// made from that value. Called at most once, right before the write.
using ValueBuilder = std::function<std::optional<std::string>(const std::string& value)>;

// Writes the element's whole value as `build` makes it from the value read
// now. Nothing is written to a fragment-backed element, nor where the value
// cannot be read or `build` declines.
ValueWrite writeWholeValue(Accessibility& ax, const AXElement& element, const ValueBuilder& build);

// Writes `newValue` only while the value still reads `readValue`, the text
// it was made from: whatever changed since (the user typed on) would be
// lost under it.
ValueWrite replaceWholeValue(Accessibility& ax, const AXElement& element,
                             std::string_view readValue, std::string newValue);

// Replaces what is selected in the element with `text`.
AXError writeSelectedText(Accessibility& ax, const AXElement& element, std::string_view text);

}  // namespace mivo::field_writes
