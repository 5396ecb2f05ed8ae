#pragma once

// What writing a correction back needs of the monitor that follows the
// field, and nothing more: the ports, the followed element and how its text
// is read, the few pieces of the monitor's state a write changes (the last
// polled and checked texts, the window in which a write is not analysed
// again, the tails already mended), delayed steps that end with the monitor,
// and the log. The replacement ladder sees the monitor only through this.

#include <cstdint>
#include <functional>
#include <memory>
#include <optional>
#include <set>
#include <string>
#include <string_view>
#include <utility>

#include "field/ax_text_extractor.hpp"
#include "monitor/replacement_outcome.hpp"
#include "platform/ax_names.hpp"
#include "platform/cancel.hpp"
#include "platform/desktop.hpp"

namespace mivo {

// A text read from the observed field, with where it came from: the whole
// value, the units before the caret (from `utf16Start` of the value on), or
// the static-text children joined with line feeds.
using FieldText = AXTextExtractor::ExtractedText;

// Tells a delayed step whether the monitor that scheduled it still exists
// and has not been stopped since. Cheap to copy and to ask.
class MonitorRunToken {
  public:
    MonitorRunToken() = default;
    // Watches `run`, the host's run counter, at its value `generation`.
    MonitorRunToken(std::weak_ptr<const uint64_t> run, uint64_t generation)
        : run_(std::move(run)), generation_(generation) {}
    bool monitorExists() const { return !run_.expired(); }
    bool isCurrent() const {
        const auto run = run_.lock();
        return run != nullptr && *run == generation_;
    }

  private:
    std::weak_ptr<const uint64_t> run_;
    uint64_t generation_ = 0;
};

// The user's caret in another block of the document than the one written.
struct CaretElsewhere {
    AXElement element;
    Utf16Range range;
};

class ReplacementHost {
  public:
    virtual Desktop& desktop() = 0;
    virtual const std::optional<AXElement>& observedElement() const = 0;
    virtual Pid observedPid() const = 0;
    virtual Pid observedFocusPid() const = 0;
    virtual std::optional<FieldText> extractTextForAnalysis(const AXElement& element) = 0;

    virtual void setLastPolledValue(FieldText text) = 0;
    virtual const std::optional<FieldText>& lastAnalyzedText() const = 0;
    virtual void setLastAnalyzedText(FieldText text) = 0;
    virtual void suppressAnalysisLoop(const std::string& text, double seconds) = 0;
    virtual void closeAnalysisSuppression() = 0;
    virtual std::set<std::string>& attemptedPartialRepairKeys() = 0;
    // The corrected text, handed on to be checked again.
    virtual void replacementCompleted(const std::string& text) = 0;
    // Nothing of the correction went in; `field` tells what the field holds.
    virtual void replacementFailed(UnwrittenField field) = 0;
    // Puts the caret at `caret` in `element` where the user would see it
    // there: in a document, at the end of a line right before a block, not
    // at that block's start.
    virtual AXError placeCaret(const AXElement& element, Utf16Range caret) {
        return desktop().accessibility.setAttributeValue(element, kAXSelectedTextRangeAttribute,
                                                         AXValue(caret));
    }
    // Where the user's caret is when the write goes into a block of a
    // document the caret is not in; nothing otherwise.
    virtual std::optional<CaretElsewhere> userCaretElsewhere() { return std::nullopt; }

    // For steps that must know whether the monitor is still there (a
    // pasteboard restore runs even when it is not).
    virtual MonitorRunToken runToken() const = 0;
    // Runs `step` on the main loop `seconds` from now unless the monitor is
    // stopped or gone by then; cancelling the handle drops it too. When
    // stop() or the monitor's end drops the step, `onDropped` runs at once
    // instead (a paste that will not happen gives the pasteboard back).
    virtual Cancel scheduleStep(double seconds, std::function<void()> step,
                                std::function<void()> onDropped = {}) = 0;
    // One line of the system log.
    virtual void log(std::string_view message) = 0;
    // A line that quotes the field's text: standard error only.
    virtual void logUserText(std::string_view message) = 0;

  protected:
    ~ReplacementHost() = default;
};

}  // namespace mivo
