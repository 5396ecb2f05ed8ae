#include <algorithm>
#include <array>

#include "field/ax_text_extractor.hpp"
#include "platform/ax_reads.hpp"

namespace mivo::AXTextExtractor {
namespace {

// Never taken as text fields unless they say they are editable.
constexpr std::array<std::string_view, 5> kContainerRoles{
    kAXApplicationRole, kAXWindowRole, kAXWebAreaRole, kAXScrollAreaRole, kAXSplitterGroupRole};
constexpr std::array<std::string_view, 4> kTextRoles{kAXTextFieldRole, kAXTextAreaRole,
                                                     kAXComboBoxRole, kAXSearchFieldRole};

// How far below a focused child, a web area or a scroll area the search may
// still go: editors nest their field deep inside these.
constexpr int kExtendedSearchDepth = 14;
constexpr int kSearchDepthFromFocus = 12;
constexpr int kSearchDepthFromWindow = 14;

bool isOneOf(std::string_view role, auto const& roles) {
    return std::find(roles.begin(), roles.end(), role) != roles.end();
}

}  // namespace

std::optional<AXElement> focusedTextElement(Accessibility& ax, Workspace& workspace) {
    if (const auto front = workspace.frontmostApplication()) {
        const AXElement app = ax.applicationElement(front->pid);
        enableEnhancedAX(ax, app);
        if (auto found = textElement(ax, app))
            return found;
    }
    const auto focused = readElement(ax, ax.systemWideElement(), kAXFocusedUIElementAttribute);
    if (!focused)
        return std::nullopt;
    if (elementSupportsTextEditing(ax, *focused))
        return focused;
    return findTextDescendant(ax, *focused, 0, kSearchDepthFromFocus);
}

void enableEnhancedAX(Accessibility& ax, const AXElement& application) {
    ax.setAttributeValue(application, kAXEnhancedUserInterfaceAttribute, AXValue(true));
    ax.setAttributeValue(application, kAXManualAccessibilityAttribute, AXValue(true));
}

std::optional<AXElement> textElement(Accessibility& ax, const AXElement& application) {
    if (const auto focused = readElement(ax, application, kAXFocusedUIElementAttribute)) {
        if (elementSupportsTextEditing(ax, *focused))
            return focused;
        if (auto found = findTextDescendant(ax, *focused, 0, kSearchDepthFromFocus))
            return found;
    }
    if (const auto window = readElement(ax, application, kAXFocusedWindowAttribute))
        return findTextDescendant(ax, *window, 0, kSearchDepthFromWindow);
    return std::nullopt;
}

std::optional<AXElement> findTextDescendant(Accessibility& ax, const AXElement& element, int depth,
                                            int maxDepth) {
    if (depth > maxDepth)
        return std::nullopt;
    const auto children = readElements(ax, element, kAXChildrenAttribute);
    if (!children)
        return std::nullopt;
    const int extendedDepth = std::max(depth + kExtendedSearchDepth, maxDepth);

    std::vector<AXElement> candidates;
    std::vector<bool> editable(children->size());
    for (std::size_t i = 0; i < children->size(); ++i) {
        const AXElement& child = (*children)[i];
        const bool focused = readBool(ax, child, kAXFocusedAttribute).value_or(false);
        editable[i] = elementSupportsTextEditing(ax, child);
        if (editable[i] && focused)
            return child;
        if (editable[i]) {
            candidates.push_back(child);
        } else if (focused) {
            if (auto found = findTextDescendant(ax, child, depth + 1, extendedDepth))
                return found;
        }
    }
    for (std::size_t i = 0; i < children->size(); ++i) {
        if (editable[i])
            continue;
        const AXElement& child = (*children)[i];
        const std::string role = readString(ax, child, kAXRoleAttribute).value_or("");
        const bool deep = role == kAXWebAreaRole || role == kAXScrollAreaRole;
        if (auto found = findTextDescendant(ax, child, depth + 1, deep ? extendedDepth : maxDepth))
            candidates.push_back(*found);
    }
    if (candidates.size() == 1)
        return candidates.front();
    return std::nullopt;
}

bool isExplicitlyEditable(Accessibility& ax, const AXElement& element) {
    return readBool(ax, element, kAXEditableAttribute).value_or(false);
}

bool elementSupportsTextEditing(Accessibility& ax, const AXElement& element) {
    const std::string role = readString(ax, element, kAXRoleAttribute).value_or("");
    if (isOneOf(role, kContainerRoles) && !isExplicitlyEditable(ax, element))
        return false;
    const auto hasRangeAndCount = [&] {
        return readsWithoutError(ax, element, kAXSelectedTextRangeAttribute) &&
               readsWithoutError(ax, element, kAXNumberOfCharactersAttribute);
    };
    if (isOneOf(role, kTextRoles))
        return readString(ax, element, kAXValueAttribute).has_value() || hasRangeAndCount();
    // Where the platform says whether an element is editable, it is
    // believed: on the Linux bus nearly every section and panel of a page
    // has a text of its own (a browser's page that has not focused a field
    // yet has the focus on one).
    if (readBool(ax, element, kAXEditableAttribute) == false)
        return false;
    if (readString(ax, element, kAXValueAttribute) &&
        readsWithoutError(ax, element, kAXSelectedTextRangeAttribute))
        return true;
    if (hasRangeAndCount())
        return ax.isAttributeSettable(element, kAXSelectedTextRangeAttribute).value_or(false);
    return false;
}

}  // namespace mivo::AXTextExtractor
