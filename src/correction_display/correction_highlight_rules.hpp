#pragma once

// When two issues are the same highlight, and which issue rectangles are too
// implausible to draw.

#include <compare>
#include <cstdint>
#include <string>

#include "platform/geometry.hpp"
#include "shared/records.hpp"

namespace mivo {

// The identity of an issue for deciding whether highlights must be redrawn:
// two issues with the same key are the same highlight even when their ids
// differ. Compared field by field, so that an original or suggestion
// containing a separator never makes two keys collide.
struct CorrectionKey {
    std::string original;
    std::string suggestion;
    CorrectionIssue::Category category = CorrectionIssue::Category::grammar;
    int64_t start = 0;
    int64_t end = 0;

    auto operator<=>(const CorrectionKey&) const = default;
};

CorrectionKey correctionKey(const CorrectionIssue& issue);

// Whether the issue's range may be drawn in a text of `textLength`
// Characters: not empty or reversed; an issue that changes nothing only
// when it is short; never a large share of the text.
bool isPlausibleHighlightRange(const CorrectionIssue& issue, int64_t textLength);
// Whether its rectangle is narrow enough for the Characters of `original`;
// a wider one measured something else (a whole line, a whole field).
bool isPlausibleHighlightRect(const CorrectionIssue& issue, const Rect& rect);

}  // namespace mivo
