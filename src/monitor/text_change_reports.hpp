#pragma once

// A field's text kept up to date from its own change reports (offset,
// length and text of each insertion or removal), so that a keystroke costs
// no read of the whole text.

#include <cstddef>
#include <cstdint>
#include <optional>
#include <string>
#include <string_view>
#include <vector>

#include "platform/accessibility.hpp"

namespace mivo {

// The byte offset of `offset` counted in `unit` into `text`, whose length
// in that unit is `total`; walked from the nearer end, as a typist's
// changes are near the caret and the caret is mostly near the end. Nothing
// past the end or inside a surrogate pair.
std::optional<std::size_t> byteOffsetOf(std::string_view text, AXTextChange::Unit unit,
                                        int64_t offset, int64_t total);

// The length of `text` in `unit`.
int64_t textLength(std::string_view text, AXTextChange::Unit unit);

// Applies the changes to `text` in order, keeping `units` (its length in
// the changes' unit) and `utf16Units` up to date; false when one does not
// fit it (an offset past the end or inside a character, a removal whose
// text differs from what stands there), which leaves `text` part-changed.
bool applyTextChanges(std::string& text, const std::vector<AXTextChange>& changes, int64_t& units,
                      int64_t& utf16Units);

}  // namespace mivo
