// Several corrections accepted together: one range edit from the first to
// the last where range writes are trusted, else one whole-value write of
// a text that still reads as checked, else the first correction alone.

#include "monitor/replacement_ladder.hpp"

#include <algorithm>
#include <string>

#include "field/field_writes.hpp"
#include "monitor/replacement_range.hpp"
#include "shared/text.hpp"

namespace mivo {
namespace {

using Source = FieldText::Source;

// Not analysed again while a whole-value write of several issues is on its
// way, and read back this much later.
constexpr double kBatchSuppressionSeconds = 1.0;
constexpr double kBatchReadBackSeconds = 0.15;

// The issues as one: the stretch of `text` from the first issue's start to
// the last one's end, and that stretch with every suggestion in it.
std::optional<CorrectionIssue> spanningIssue(const std::vector<CorrectionIssue>& issues,
                                             std::string_view text) {
    int64_t start = issues.front().range.start;
    int64_t end = issues.front().range.end;
    for (const auto& issue : issues) {
        start = std::min(start, issue.range.start);
        end = std::max(end, issue.range.end);
    }
    const text::CharacterText t{std::string(text)};
    if (start < 0 || end > t.count() || start >= end)
        return std::nullopt;
    std::vector<CorrectionIssue> within = issues;
    for (auto& issue : within)
        issue.range = TextRange{issue.range.start - start, issue.range.end - start};
    CorrectionIssue span = issues.front();
    span.original = t.slice(start, end);
    const auto suggestion = replacingAll(within, span.original);
    if (!suggestion)
        return std::nullopt;
    span.suggestion = *suggestion;
    span.range = TextRange{start, end};
    return span;
}

}  // namespace

void ReplacementLadder::applyReplacements(const std::vector<CorrectionIssue>& issues) {
    const auto observed = host_.observedElement();
    if (!observed)
        return;
    const AXElement element = *observed;
    std::vector<CorrectionIssue> kept;
    for (const auto& issue : issues) {
        if (!text::canonicallyEqual(issue.suggestion, issue.original))
            kept.push_back(issue);
    }
    if (kept.empty())
        return;

    // A text read around the caret is only part of the field: written back
    // as the whole value it would cut off the rest.
    Accessibility& ax = host_.desktop().accessibility;
    const FieldText read = readField(element).value_or(FieldText{});
    const bool asChecked =
        !read.text.empty() && read.source == Source::value && readsAsChecked(read, kept);
    const WriteRouteTrust trust = ax.writeRouteTrust(element);
    // Where the editor's range writes are trusted, the stretch from the
    // first issue to the last goes in as one range edit: one step in its
    // undo history, where a whole-value write would first empty the field.
    // Not over formatted text, which would come back plain.
    if (asChecked && trust.range && !trust.formatting) {
        if (const auto span = spanningIssue(kept, read.text)) {
            host_.log("applyReplacements: " + std::to_string(kept.size()) +
                      " replacements as one range edit");
            return applyReplacement(*span);
        }
    }
    const auto newText =
        asChecked && trust.wholeValue ? replacingAll(kept, read.text) : std::nullopt;
    if (!newText)
        return applyReplacement(kept.front());
    const auto write = field_writes::writeWholeValue(
        ax, element, [&](const std::string& value) -> std::optional<std::string> {
            if (value != read.text)
                return std::nullopt;
            // Not analysed again while the write is on its way.
            host_.suppressAnalysisLoop(read.text, kBatchSuppressionSeconds);
            return newText;
        });
    if (write.outcome == field_writes::ValueWrite::Outcome::refused) {
        host_.log("applyReplacements: set_text_contents failed err=" +
                  std::to_string(code(write.error)) + ", applying first issue only");
        return applyReplacement(kept.front());
    }
    if (!write.written())
        return applyReplacement(kept.front());
    host_.setLastPolledValue(FieldText{*newText, FieldText::Source::value, 0});
    host_.closeAnalysisSuppression();
    host_.log("applyReplacements: wrote " + std::to_string(kept.size()) +
              " replacements using set_text_contents");
    host_.scheduleStep(kBatchReadBackSeconds, [this, element, written = *newText] {
        // Reported for checking again only when the field shows what was
        // written; a field that ignored or changed the write is not.
        const auto now = host_.observedElement() == element ? readField(element) : std::nullopt;
        if (!now || now->text != written) {
            host_.log("applyReplacements: field does not read as written; not reported");
            return;
        }
        host_.setLastAnalyzedText(*now);
        host_.replacementCompleted(now->text);
    });
}

bool ReplacementLadder::readsAsChecked(const FieldText& read,
                                       const std::vector<CorrectionIssue>& issues) {
    const auto& checked = host_.lastAnalyzedText();
    if (!checked || checked->source != Source::value)
        return false;
    int64_t end = 0;
    for (const auto& issue : issues)
        end = std::max(end, issue.range.end);
    const text::CharacterText t{checked->text};
    return end <= t.count() && std::string_view(read.text).starts_with(t.sliceView(0, end));
}

}  // namespace mivo
