#pragma once

// What stood around an issue in the text that was checked. A correction is
// written only where the same sentence still stands around its original, and
// a highlight is drawn only while the field still reads so.

#include <optional>
#include <string>
#include <string_view>

#include "shared/character_text.hpp"
#include "shared/records.hpp"

namespace mivo {

// The Characters before and after an issue, as far as its sentence goes.
struct IssueContext {
    std::string before;
    std::string after;
    bool operator==(const IssueContext&) const = default;
};

// Nothing when the checked text does not hold the issue's original at its
// range (the issue comes from another text).
std::optional<IssueContext> issueContext(const CorrectionIssue& issue,
                                         std::string_view checkedText);

namespace text {

// Whether Characters [start, end) of `text` exist and read as `original`.
bool storedRangeHolds(const CharacterText& text, TextRange range, std::string_view original);

}  // namespace text
}  // namespace mivo
