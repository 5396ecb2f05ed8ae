#include "overlay/overlay_palette.hpp"

namespace mivo::overlay_palette {

Rgb severityColor(CorrectionIssue::Severity severity) {
    switch (severity) {
        case CorrectionIssue::Severity::critical:
            return {0.918, 0.263, 0.208};
        case CorrectionIssue::Severity::unnatural:
            return {0.984, 0.737, 0.016};
        case CorrectionIssue::Severity::style:
            return {0.204, 0.659, 0.325};
    }
    return {0.918, 0.263, 0.208};
}

}  // namespace mivo::overlay_palette
