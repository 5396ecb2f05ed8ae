#pragma once

// What the correction display controller drives and asks, as small
// interfaces: the composition root adapts the highlight windows, the
// correction panel, the accessibility monitor and the correction engine to
// them, and the tests put recording fakes in their place.

#include <cstdint>
#include <optional>
#include <set>
#include <string>
#include <vector>

#include "correction/correction_rule.hpp"
#include "overlay/highlight_annotation.hpp"
#include "platform/geometry.hpp"
#include "platform/scheduler.hpp"
#include "shared/records.hpp"

namespace mivo {

// The highlight windows over the other application's text.
class HighlightDisplay {
  public:
    virtual ~HighlightDisplay() = default;
    // Called again every follow tick: a call that brings nothing new must
    // leave the windows alone.
    virtual void show(const std::vector<HighlightAnnotation>& annotations) = 0;
    virtual void hide() = 0;
    // Removes the highlights of these issues only.
    virtual void hide(const std::set<std::string>& issueIDs) = 0;
};

// The floating correction panel.
class CorrectionPanelDisplay {
  public:
    virtual ~CorrectionPanelDisplay() = default;
    // `near` is the hovered highlight's unpadded rectangle.
    virtual void show(const std::vector<CorrectionIssue>& issues, std::optional<Rect> near) = 0;
    // Also reports the end of a panel hover, as the panel does.
    virtual void hide() = 0;
    // Where the panel stands; nothing while it is closed.
    virtual std::optional<Rect> frame() const = 0;
    // A short message in the panel's place next to `near`, which goes by
    // itself.
    virtual void showNotice(const std::string& message, std::optional<Rect> near) = 0;
};

// The focused field of the other application, as the monitor offers it.
// Each call names the block of a document whose check it is about, as the
// candidate named it (0: the field followed as a whole).
class CorrectionTextField {
  public:
    virtual ~CorrectionTextField() = default;
    // The screen rectangle (global coordinates, y up) of `length`
    // Characters from Character `start` of the text last checked.
    virtual std::optional<Rect> boundsForRange(uint64_t block, int64_t start, int64_t length) = 0;
    // Whether this is still the field `checkedText` was read from and it
    // still reads as that text up to Character `end`.
    virtual bool stillReadsAsChecked(uint64_t block, const std::string& checkedText,
                                     int64_t end) = 0;
    // The part of the field that is on a screen (global coordinates, y up):
    // empty when none is; nothing when the field's frame is not known.
    virtual std::optional<Rect> visibleFrame(uint64_t block) = 0;
    // When the text of the field followed was last seen to change (typing,
    // an edit of any kind); nothing before the first change. Asks nothing
    // of the application.
    virtual std::optional<TimePoint> lastEditSeen() = 0;
    virtual void applyReplacement(uint64_t block, const CorrectionIssue& issue) = 0;
    virtual void applyReplacements(uint64_t block, const std::vector<CorrectionIssue>& issues) = 0;
};

// The on-device check of one sentence.
class CorrectionChecker {
  public:
    virtual ~CorrectionChecker() = default;
    virtual std::vector<CorrectionIssue> analyze(const CompletedSentenceCandidate& sentence,
                                                 const LocalCorrectionOptions& options) = 0;
};

}  // namespace mivo
