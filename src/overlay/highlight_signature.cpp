#include "overlay/highlight_signature.hpp"

#include <cmath>

namespace mivo {
namespace {

constexpr double kPadding = 2;
constexpr double kTolerance = 0.5;

bool close(double a, double b) {
    return std::fabs(a - b) < kTolerance;
}

// A rectangle with its size made non-negative, keeping the area it covers.
Rect standardized(const Rect& r) {
    Rect s = r;
    if (s.width < 0) {
        s.x += s.width;
        s.width = -s.width;
    }
    if (s.height < 0) {
        s.y += s.height;
        s.height = -s.height;
    }
    return s;
}

}  // namespace

Rect paddedFrame(const Rect& rect) {
    const Rect r = standardized(rect);
    return Rect{r.x - kPadding, r.y - kPadding, r.width + 2 * kPadding, r.height + 2 * kPadding};
}

HighlightSignature::Key HighlightSignature::keyFor(const HighlightAnnotation& annotation) {
    if (!annotation.issue)
        return annotation.rect;
    const CorrectionIssue& issue = *annotation.issue;
    return IssueKey{issue.original, issue.suggestion, issue.category, issue.range};
}

HighlightSignature HighlightSignature::of(const HighlightAnnotation& annotation) {
    return HighlightSignature{keyFor(annotation), annotation.severity,
                              paddedFrame(annotation.rect)};
}

bool HighlightSignature::operator==(const HighlightSignature& other) const {
    return key == other.key && severity == other.severity && close(frame.x, other.frame.x) &&
           close(frame.y, other.frame.y) && close(frame.width, other.frame.width) &&
           close(frame.height, other.frame.height);
}

bool sameSignatures(const std::vector<HighlightSignature>& a,
                    const std::vector<HighlightSignature>& b) {
    if (a.size() != b.size())
        return false;
    for (std::size_t i = 0; i < a.size(); ++i) {
        if (!(a[i] == b[i]))
            return false;
    }
    return true;
}

}  // namespace mivo
