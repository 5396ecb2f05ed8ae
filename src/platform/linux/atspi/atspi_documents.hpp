#pragma once

// Editable documents whose own text is embedded objects. Thunderbird's HTML
// compose is a document with one U+FFFC per paragraph, and a browser's
// rich-text field one per line once Return made a block of each: the words
// live in the child paragraphs (and sections), or, typed after everything
// was deleted (or before the first Return), in the document itself beside
// them. The field the user writes in is then
// the one that holds the caret, followed the way Writer's focus follows its
// paragraphs.

#include <atspi/atspi.h>

#include <string_view>

#include "platform/linux/atspi/gobject_ptr.hpp"

namespace mivo::linux_desktop {

// Whether a text is nothing but embedded objects (U+FFFC), at least one.
bool holdsOnlyEmbeddedObjects(std::string_view text);

struct FieldInside {
    // The object whose own text is only embedded objects.
    bool objectsOnly = false;
    // The object whose own text holds text and blocks (paragraphs,
    // sections) beside each other.
    bool textBesideBlocks = false;
    // The paragraph or section inside that holds the caret, when there is
    // one with text of its own; null otherwise (for text beside blocks:
    // the caret is in the object's own text).
    GObjectPtr<AtspiAccessible> field;
};

// For a focused object: where its text lives, if not in itself.
FieldInside fieldInside(AtspiAccessible* focused);

// The object whose text `accessible` continues (the relation "flows
// from"): Writer's paragraph running onto the next page is an object per
// page. Null when there is none.
GObjectPtr<AtspiAccessible> flowsFrom(AtspiAccessible* accessible);

}  // namespace mivo::linux_desktop
