#include "overlay/overlay_palette.hpp"

namespace mivo::overlay_palette {

Rgb severityColor(CorrectionIssue::Severity severity) {
    switch (severity) {
        case CorrectionIssue::Severity::critical:
            return rgbOf(ui::brand::red);
        case CorrectionIssue::Severity::unnatural:
            return rgbOf(ui::brand::amber);
        case CorrectionIssue::Severity::style:
            return rgbOf(ui::brand::green);
    }
    return rgbOf(ui::brand::red);
}

}  // namespace mivo::overlay_palette
