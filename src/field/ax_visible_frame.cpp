#include "field/ax_visible_frame.hpp"

#include <algorithm>
#include <string>

#include "field/ax_geometry.hpp"
#include "platform/ax_reads.hpp"

namespace mivo::AXTextExtractor {
namespace {

// Deeper than any page or widget tree seen; a parent chain that loops is
// cut here too.
constexpr int kMaxAncestorDepth = 64;

bool cutsWhatItShows(std::string_view role) {
    return role == kAXScrollAreaRole || role == kAXWebAreaRole || role == kAXWindowRole;
}

std::optional<Rect> intersection(const Rect& a, const Rect& b) {
    const double x0 = std::max(a.minX(), b.minX());
    const double y0 = std::max(a.minY(), b.minY());
    const double x1 = std::min(a.maxX(), b.maxX());
    const double y1 = std::min(a.maxY(), b.maxY());
    if (x1 <= x0 || y1 <= y0)
        return std::nullopt;
    return Rect{x0, y0, x1 - x0, y1 - y0};
}

}  // namespace

std::vector<AXElement> clippingAncestors(Accessibility& ax, const AXElement& element) {
    std::vector<AXElement> found;
    auto current = readElement(ax, element, kAXParentAttribute);
    for (int depth = 0; current && depth < kMaxAncestorDepth; ++depth) {
        const std::string role = readString(ax, *current, kAXRoleAttribute).value_or("");
        if (role == kAXApplicationRole)
            break;
        if (cutsWhatItShows(role))
            found.push_back(*current);
        current = readElement(ax, *current, kAXParentAttribute);
    }
    return found;
}

std::optional<Rect> visibleFrame(Accessibility& ax, Screens& screens, const AXElement& element,
                                 const std::vector<AXElement>& clippers) {
    auto frame = elementFrame(ax, screens, element);
    if (!frame)
        return std::nullopt;
    for (const AXElement& clipper : clippers) {
        const auto cut = elementFrame(ax, screens, clipper);
        if (!cut || cut->width <= 0 || cut->height <= 0)
            continue;
        frame = intersection(*frame, *cut);
        if (!frame)
            return Rect{};
    }
    std::optional<Rect> best;
    for (const Screen& screen : screens.screens()) {
        const auto cut = intersection(*frame, screen.frame);
        if (cut && (!best || cut->width * cut->height > best->width * best->height))
            best = cut;
    }
    // A field on no screen shows nothing.
    return best.value_or(Rect{});
}

}  // namespace mivo::AXTextExtractor
