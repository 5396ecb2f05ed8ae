#pragma once

// What a field holds after a correction that did not go in: the user is
// told the truth about it, and a field that other typing changed meanwhile
// is not called unchanged.

namespace mivo {

enum class UnwrittenField {
    // Reads as it did at Apply.
    asItWas,
    // Changed meanwhile, the corrected words still in their place.
    changedElsewhere,
    // Typing that was not ours replaced words of the corrected sentence.
    sentenceReplaced,
};

}  // namespace mivo
