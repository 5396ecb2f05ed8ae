#pragma once

// The rungs of the replacement ladder and the order in which the first try
// and each retry climb them: the rules of which method follows which are
// stated here once.

#include <array>
#include <span>
#include <string_view>
#include <vector>

#include "monitor/replacement_rung.hpp"
#include "platform/accessibility.hpp"

namespace mivo::replacement_routes {

// Each rung's delay before its check, what that check tries next, and, for
// a write that is in at once, when the caret goes back. A whole value
// written leaves the caret wherever the editor puts it.
inline constexpr Rung kWritableValue{WriteMethod::wholeValue, 0.2, std::nullopt, Written::atOnce,
                                     CaretRestore::always};
inline constexpr Rung kSelectedTextAttribute{WriteMethod::selectedText, 0.35,
                                             ReplacementRetry::selectionTyping, Written::atOnce};
inline constexpr Rung kSelectionPaste{WriteMethod::selectionPaste, 0.95,
                                      ReplacementRetry::selectionTyping};
inline constexpr Rung kSelectionTyping{WriteMethod::selectionTyping, 1.05,
                                       ReplacementRetry::mouseSelectionPaste};
inline constexpr Rung kMouseSelectionPaste{WriteMethod::mouseSelectionPaste, 1.25,
                                           ReplacementRetry::mouseSelectionTyping};
inline constexpr Rung kMouseSelectionTyping{WriteMethod::mouseSelectionTyping, 1.25, std::nullopt};

// The first try, in the order the field is trusted with.
std::vector<RungTry> firstTry(const WriteRouteTrust& trust, bool wholeValue);

// What a check that found the text wrong tries, by the stage it was handed.
struct RetryStage {
    ReplacementRetry stage;
    std::string_view line;  // logged before the first try
    std::span<const RungTry> tries;
};

inline constexpr RungTry kAfterSelectionTyping[] = {
    {kSelectionTyping,
     "applyReplacement: AX selection unicode typing could not start, retrying mouse-selection "
     "paste"},
    {kMouseSelectionPaste, "applyReplacement: mouse-selection paste retry could not start"},
};
inline constexpr RungTry kAfterMouseSelectionPaste[] = {
    {kMouseSelectionPaste,
     "applyReplacement: mouse-selection paste could not start, retrying unicode typing"},
    {kMouseSelectionTyping, "applyReplacement: unicode typing retry could not start"},
};
inline constexpr RungTry kAfterMouseSelectionTyping[] = {
    {kMouseSelectionTyping, "applyReplacement: mouse-selection unicode typing could not start"},
};

inline constexpr std::array<RetryStage, 3> kRetries{{
    {ReplacementRetry::selectionTyping,
     "applyReplacement: verification failed, retrying with AX selection unicode typing",
     kAfterSelectionTyping},
    {ReplacementRetry::mouseSelectionPaste,
     "applyReplacement: verification failed, retrying with mouse-selection paste",
     kAfterMouseSelectionPaste},
    {ReplacementRetry::mouseSelectionTyping,
     "applyReplacement: verification failed, retrying with mouse-selection unicode typing",
     kAfterMouseSelectionTyping},
}};

}  // namespace mivo::replacement_routes
