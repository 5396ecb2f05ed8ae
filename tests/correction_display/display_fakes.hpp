#pragma once

// Recording stand-ins for what the correction display controller drives,
// each noting the virtual time of every call.

#include <functional>
#include <map>
#include <optional>
#include <set>
#include <string>
#include <vector>

#include "correction_display/correction_display_ports.hpp"
#include "platform/sim/virtual_clock.hpp"
#include "shared/text.hpp"

namespace mivo::testing {

class RecordingHighlight : public HighlightDisplay {
  public:
    explicit RecordingHighlight(const sim::VirtualClock& clock) : clock_(clock) {}

    void show(const std::vector<HighlightAnnotation>& annotations) override {
        shown = annotations;
        showTimes.push_back(clock_.elapsed());
    }
    void hide() override { shown.clear(); }
    void hide(const std::set<std::string>& issueIDs) override {
        hiddenIDs.push_back(issueIDs);
        std::erase_if(shown, [&](const HighlightAnnotation& a) {
            return a.issue && issueIDs.contains(a.issue->id);
        });
    }

    // Ids of the issues on screen, in order.
    std::vector<std::string> shownIDs() const {
        std::vector<std::string> ids;
        for (const auto& a : shown)
            ids.push_back(a.issue ? a.issue->id : "");
        return ids;
    }

    std::vector<HighlightAnnotation> shown;
    std::vector<double> showTimes;
    std::vector<std::set<std::string>> hiddenIDs;

  private:
    const sim::VirtualClock& clock_;
};

class RecordingPanel : public CorrectionPanelDisplay {
  public:
    explicit RecordingPanel(const sim::VirtualClock& clock) : clock_(clock) {}

    void show(const std::vector<CorrectionIssue>& issues, std::optional<Rect> near) override {
        visible = true;
        shownIssues = issues;
        anchor = near;
    }
    // Like the real panel: hiding ends a hover of the panel.
    void hide() override {
        if (visible)
            hiddenAt = clock_.elapsed();
        visible = false;
        if (onHoverChanged)
            onHoverChanged(false);
    }

    // Where a test placed the panel, while it shows.
    std::optional<Rect> frame() const override { return visible ? placed : std::nullopt; }

    void showNotice(const std::string& message, std::optional<Rect> near) override {
        notices.push_back(message);
        noticeAnchor = near;
    }

    std::function<void(bool)> onHoverChanged;
    bool visible = false;
    std::vector<CorrectionIssue> shownIssues;
    std::vector<std::string> notices;
    std::optional<Rect> noticeAnchor;
    std::optional<Rect> anchor;
    std::optional<Rect> placed;
    std::optional<double> hiddenAt;

  private:
    const sim::VirtualClock& clock_;
};

// A field whose Character ranges have rectangles from given moments on.
class ScriptedField : public CorrectionTextField {
  public:
    explicit ScriptedField(const sim::VirtualClock& clock) : clock_(clock) {}

    std::optional<Rect> boundsForRange(uint64_t block, int64_t start, int64_t /*length*/) override {
        queries[start].push_back(clock_.elapsed());
        const auto found = rects.find(start);
        if (found == rects.end() || clock_.elapsed() + 1e-9 < availableFrom[start])
            return std::nullopt;
        if (missingOnce.erase(start) > 0)
            return std::nullopt;
        Rect r = found->second;
        r.y -= blockStep * static_cast<double>(block);
        return r;
    }
    // Without a live text the field still reads as checked.
    bool stillReadsAsChecked(uint64_t block, const std::string& checkedText, int64_t end) override {
        if (const auto of = liveTextOf.find(block); of != liveTextOf.end()) {
            const text::CharacterText checked{checkedText};
            return end <= checked.count() && of->second.starts_with(checked.sliceView(0, end));
        }
        if (!liveText)
            return true;
        const text::CharacterText checked{checkedText};
        return end <= checked.count() && liveText->starts_with(checked.sliceView(0, end));
    }
    std::optional<Rect> visibleFrame(uint64_t /*block*/) override { return frame; }
    std::optional<TimePoint> lastEditSeen() override { return editSeen; }
    void applyReplacement(uint64_t block, const CorrectionIssue& issue) override {
        single.push_back(issue);
        blocksWritten.push_back(block);
    }
    void applyReplacements(uint64_t block, const std::vector<CorrectionIssue>& issues) override {
        multiple.push_back(issues);
        blocksWritten.push_back(block);
    }

    std::size_t queryCount() const {
        std::size_t n = 0;
        for (const auto& [start, times] : queries)
            n += times.size();
        return n;
    }

    std::optional<std::string> liveText;                 // what the field reads now
    std::optional<TimePoint> editSeen;                   // the field's last edit
    std::map<uint64_t, std::string> liveTextOf;          // what a block reads now
    std::optional<Rect> frame = Rect{0, 0, 1280, 1024};  // its visible part
    std::map<int64_t, Rect> rects;                       // by range start
    double blockStep = 0;                     // how far below block 0's each block's lines lie
    std::map<int64_t, double> availableFrom;  // elapsed seconds; 0 when absent
    std::set<int64_t> missingOnce;            // the next query of these finds nothing
    std::map<int64_t, std::vector<double>> queries;
    std::vector<CorrectionIssue> single;
    std::vector<std::vector<CorrectionIssue>> multiple;
    std::vector<uint64_t> blocksWritten;  // the block of each write

  private:
    const sim::VirtualClock& clock_;
};

class ScriptedChecker : public CorrectionChecker {
  public:
    std::vector<CorrectionIssue> analyze(const CompletedSentenceCandidate& sentence,
                                         const LocalCorrectionOptions& options) override {
        sentences.push_back(sentence);
        optionsSeen.push_back(options);
        return next;
    }

    std::vector<CorrectionIssue> next;
    std::vector<CompletedSentenceCandidate> sentences;
    std::vector<LocalCorrectionOptions> optionsSeen;
};

}  // namespace mivo::testing
