#pragma once

// The identity of one shown highlight. Showing the same highlights again
// (about eight times a second while they follow the text) must leave the
// windows alone; the signature decides what counts as the same.

#include <string>
#include <variant>
#include <vector>

#include "overlay/highlight_annotation.hpp"

namespace mivo {

struct HighlightSignature {
    // What an issue's highlight stands for: the fields themselves, never
    // a joined string, so an original or suggestion holding a separator
    // cannot pass for another. The issue's id is not part of it: a sentence
    // checked again with the same findings keeps its windows.
    struct IssueKey {
        std::string original;
        std::string suggestion;
        CorrectionIssue::Category category = CorrectionIssue::Category::grammar;
        TextRange range;
        bool operator==(const IssueKey&) const = default;
    };
    // An anonymous highlight is known by its exact unpadded rectangle.
    using Key = std::variant<IssueKey, Rect>;

    Key key;
    CorrectionIssue::Severity severity = CorrectionIssue::Severity::critical;
    Rect frame;  // the padded frame of the window

    static Key keyFor(const HighlightAnnotation& annotation);
    static HighlightSignature of(const HighlightAnnotation& annotation);

    // Same key and severity, and every edge of the frames within half a
    // point (strictly): re-measured rectangles jitter by less.
    bool operator==(const HighlightSignature& other) const;
};

// The window's frame: the text rectangle grown by 2 on every side.
Rect paddedFrame(const Rect& rect);

// Equal length and equal pairwise in order.
bool sameSignatures(const std::vector<HighlightSignature>& a,
                    const std::vector<HighlightSignature>& b);

}  // namespace mivo
