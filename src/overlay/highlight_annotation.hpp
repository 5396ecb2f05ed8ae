#pragma once

// One highlight to draw: the issue's unpadded text rectangle in global
// coordinates (origin bottom-left of the primary screen, y up), its severity,
// and the issue behind it (none for an anonymous highlight, which reports no
// hover and has no id).

#include <optional>

#include "platform/geometry.hpp"
#include "shared/records.hpp"

namespace mivo {

struct HighlightAnnotation {
    Rect rect;
    CorrectionIssue::Severity severity = CorrectionIssue::Severity::critical;
    std::optional<CorrectionIssue> issue;
};

}  // namespace mivo
