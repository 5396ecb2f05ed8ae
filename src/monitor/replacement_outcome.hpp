#pragma once

// What a field holds after a correction that did not go in: the user is
// told the truth about it, and a field that other typing changed meanwhile
// is not called unchanged.

#include "field/ax_text_extractor.hpp"

namespace mivo {

enum class UnwrittenField {
    // Reads as it did at Apply.
    asItWas,
    // Changed meanwhile, the corrected words still in their place.
    changedElsewhere,
    // Typing that was not ours replaced words of the corrected sentence.
    sentenceReplaced,
    // Reads as it did at Apply; nothing was sent while a modifier key
    // (Shift, Ctrl, Alt, Super, AltGr) was down, which would have turned
    // the paste into another shortcut.
    keyHeld,
    // The target pasted our text, but not over the corrected words: the
    // selection made for it had not taken yet.
    pastedElsewhere,
    // Not about the correction: the application did not answer for the
    // whole of the long wait (10 s) while a selection of ours may still be
    // made in it when it runs again, and the keys typed meanwhile were not
    // sent to it, where they would have replaced that selection.
    keysKeptOut,
};

// What a field that took none of a correction holds now against what it
// held at Apply: the same text, text only added to it, or text of it gone
// (typing that replaced a selection of it, a deletion).
UnwrittenField unwrittenField(const AXTextExtractor::ExtractedText& atApply,
                              const AXTextExtractor::ExtractedText& now);

}  // namespace mivo
