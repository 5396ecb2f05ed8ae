#include "platform/linux/atspi/atspi_windows.hpp"

#include <cmath>
#include <map>
#include <memory>
#include <set>
#include <utility>

#include "platform/linux/atspi/atspi_element.hpp"
#include "platform/linux/atspi/atspi_text.hpp"

namespace mivo::linux_desktop {

namespace {

template <typename T>
struct GFreeDeleter {
    void operator()(T* p) const { g_free(p); }
};

// Bounds of the walk for the focused object when the application offers no
// Collection interface to ask it in one request.
constexpr int kFocusWalkMaxDepth = 40;
constexpr int kFocusWalkMaxNodes = 4000;
// Bounds of the walk inside a focused container for the field it holds.
constexpr int kContainerWalkMaxNodes = 600;
// Focused objects asked of a window at once.
constexpr gint kFocusedMatches = 8;
// How deep below a top-level frame the widget hosting LibreOffice's
// content is looked for (frame, layout grid, host), and how many children
// of each object on the way are looked at.
constexpr int kHostWalkMaxDepth = 3;
constexpr std::size_t kHostWalkMaxChildren = 16;

std::optional<Rect> screenExtents(AtspiAccessible* accessible) {
    GObjectPtr<AtspiComponent> component(atspi_accessible_get_component_iface(accessible));
    if (component == nullptr)
        return std::nullopt;
    GErrorSlot error;
    std::unique_ptr<AtspiRect, GFreeDeleter<AtspiRect>> r(
        atspi_component_get_extents(component.get(), ATSPI_COORD_TYPE_SCREEN, error.out()));
    if (error.failed() || r == nullptr || r->width <= 0 || r->height <= 0)
        return std::nullopt;
    return Rect{static_cast<double>(r->x), static_cast<double>(r->y), static_cast<double>(r->width),
                static_cast<double>(r->height)};
}

// The nearest ancestor of `accessible` (or itself) with `role`, referenced.
GObjectPtr<AtspiAccessible> ancestorWithRole(AtspiAccessible* accessible, AtspiRole role) {
    GObjectPtr<AtspiAccessible> current(static_cast<AtspiAccessible*>(g_object_ref(accessible)));
    for (int depth = 0; depth < kFocusWalkMaxDepth && current != nullptr; ++depth) {
        GErrorSlot roleError;
        const AtspiRole found = atspi_accessible_get_role(current.get(), roleError.out());
        if (roleError.failed() || found == ATSPI_ROLE_APPLICATION)
            return nullptr;
        if (found == role)
            return current;
        GErrorSlot error;
        current.reset(atspi_accessible_get_parent(current.get(), error.out()));
        if (error.failed())
            return nullptr;
    }
    return nullptr;
}

// The object below `from` that lists the object of `identity` as a child.
GObjectPtr<AtspiAccessible> parentListing(AtspiAccessible* from, const std::string& identity,
                                          int depth) {
    if (depth > kHostWalkMaxDepth)
        return nullptr;
    auto children = childrenOf(from);
    if (children.size() > kHostWalkMaxChildren)
        return nullptr;
    for (auto& child : children) {
        if (identityOf(child.get()) == identity)
            return GObjectPtr<AtspiAccessible>(static_cast<AtspiAccessible*>(g_object_ref(from)));
    }
    for (auto& child : children) {
        if (auto found = parentListing(child.get(), identity, depth + 1))
            return found;
    }
    return nullptr;
}

}  // namespace

std::vector<GObjectPtr<AtspiAccessible>> childrenOf(AtspiAccessible* accessible, AXError* failure) {
    std::vector<GObjectPtr<AtspiAccessible>> out;
    GErrorSlot countError;
    const gint count = atspi_accessible_get_child_count(accessible, countError.out());
    if (countError.failed()) {
        if (failure != nullptr)
            *failure = errorForFailure(countError.message());
        return out;
    }
    for (gint i = 0; i < count; ++i) {
        GErrorSlot error;
        GObjectPtr<AtspiAccessible> child(
            atspi_accessible_get_child_at_index(accessible, i, error.out()));
        // A child that went away between the count and the request is
        // simply not listed.
        if (!error.failed() && child != nullptr)
            out.push_back(std::move(child));
    }
    return out;
}

// Chromium (and Electron) show a null child under each top-level frame until
// someone asks for the frame's relations once; only then does it build the
// page's tree. Asked once per frame.
void wakeChromiumFrames(AtspiAccessible* application,
                        const std::vector<GObjectPtr<AtspiAccessible>>& frames) {
    static std::set<std::string> woken;
    if (frames.empty() || toolkitOf(application) != Toolkit::chromium)
        return;
    if (woken.size() > 4096)
        woken.clear();
    for (const auto& frame : frames) {
        if (!woken.insert(identityOf(frame.get())).second)
            continue;
        GErrorSlot error;
        GArrayPtr relations(atspi_accessible_get_relation_set(frame.get(), error.out()));
        if (relations != nullptr) {
            for (guint i = 0; i < relations->len; ++i)
                g_object_unref(g_array_index(relations.get(), AtspiRelation*, i));
        }
    }
}

namespace {

bool isOfInterest(const LiveObject& object) {
    if (object.has(ATSPI_STATE_MANAGES_DESCENDANTS))
        return false;
    // GTK 4 says "showing" of hardly anything (its containers are only
    // "visible"), so either will do.
    return object.has(ATSPI_STATE_SHOWING) || object.has(ATSPI_STATE_VISIBLE);
}

bool isEditable(AtspiAccessible* accessible) {
    const auto live = inspect(accessible);
    return live && live->has(ATSPI_STATE_EDITABLE);
}

// An editable focused object inside a focused container, with one
// reference; null when there is none within the budget.
AtspiAccessible* editableFocusedInside(AtspiAccessible* container, int depth, int& budget) {
    if (depth > kFocusWalkMaxDepth)
        return nullptr;
    for (auto& child : childrenOf(container)) {
        if (--budget < 0)
            return nullptr;
        const auto live = inspect(child.get());
        if (!live)
            continue;
        if (live->has(ATSPI_STATE_FOCUSED) && live->has(ATSPI_STATE_EDITABLE))
            return child.release();
        if (!isOfInterest(*live))
            continue;
        if (AtspiAccessible* found = editableFocusedInside(child.get(), depth + 1, budget))
            return found;
    }
    return nullptr;
}

// Qt 5 says "focused" of the focus widget's containers (and of the tab
// that shows it) as well: a focused container that holds an editable
// focused object stands for that object. Takes over `found` and gives one
// reference.
AtspiAccessible* deepestFocused(AtspiAccessible* found) {
    if (isEditable(found))
        return found;
    int budget = kContainerWalkMaxNodes;
    if (AtspiAccessible* inside = editableFocusedInside(found, 0, budget)) {
        g_object_unref(found);
        return inside;
    }
    return found;
}

AtspiAccessible* findFocusedByWalk(AtspiAccessible* root, int depth, int& budget) {
    if (depth > kFocusWalkMaxDepth)
        return nullptr;
    for (auto& child : childrenOf(root)) {
        if (--budget < 0)
            return nullptr;
        const auto live = inspect(child.get());
        if (!live)
            continue;
        if (live->has(ATSPI_STATE_FOCUSED))
            return deepestFocused(child.release());
        if (!isOfInterest(*live))
            continue;
        if (AtspiAccessible* found = findFocusedByWalk(child.get(), depth + 1, budget))
            return found;
    }
    return nullptr;
}

}  // namespace

// The focused object below `window`, with one reference for the caller.
AtspiAccessible* findFocused(AtspiAccessible* window) {
    GObjectPtr<AtspiCollection> collection(atspi_accessible_get_collection_iface(window));
    if (collection != nullptr) {
        GObjectPtr<AtspiStateSet> states(atspi_state_set_new(nullptr));
        atspi_state_set_add(states.get(), ATSPI_STATE_FOCUSED);
        GObjectPtr<AtspiMatchRule> rule(atspi_match_rule_new(
            states.get(), ATSPI_Collection_MATCH_ALL, nullptr, ATSPI_Collection_MATCH_ALL, nullptr,
            ATSPI_Collection_MATCH_ALL, nullptr, ATSPI_Collection_MATCH_ALL, FALSE));
        GErrorSlot error;
        GArrayPtr matches(atspi_collection_get_matches(collection.get(), rule.get(),
                                                       ATSPI_Collection_SORT_ORDER_CANONICAL,
                                                       kFocusedMatches, TRUE, error.out()));
        if (!error.failed() && matches != nullptr) {
            // An editable one is the field; else the first, or the
            // editable focused object inside it.
            AtspiAccessible* found = nullptr;
            bool foundEditable = false;
            for (guint i = 0; i < matches->len; ++i) {
                auto* m = g_array_index(matches.get(), AtspiAccessible*, i);
                if (found == nullptr) {
                    found = m;
                    foundEditable = isEditable(m);
                } else if (!foundEditable && isEditable(m)) {
                    g_object_unref(found);
                    found = m;
                    foundEditable = true;
                } else {
                    g_object_unref(m);
                }
            }
            // GTK 4 answers an empty list while a widget has the focus: an
            // empty answer is no proof, the walk decides.
            if (found != nullptr)
                return deepestFocused(found);
        }
    }
    int budget = kFocusWalkMaxNodes;
    return findFocusedByWalk(window, 0, budget);
}

namespace {

// GTK 4 sends no event when a window becomes active or a widget takes the
// focus, so libatspi's cache keeps the states it first saw: its states are
// read afresh for the focus search.
void refreshStatesOfGtk4(AtspiAccessible* application) {
    if (toolkitOf(application) == Toolkit::gtk4)
        atspi_accessible_clear_cache(application);
}

}  // namespace

// The application's window that has the keyboard, with one reference.
// GTK 4 marks only the first window it opened active: a window opened later
// (Ctrl+N) is never marked, and the first loses the mark. Then the window
// that holds a focused element is the one; where several do, the one the
// X server gives the input focus (`activeTitle`, its title).
AtspiAccessible* activeWindowOf(AtspiAccessible* application,
                                const ActiveWindowTitle& activeTitle) {
    refreshStatesOfGtk4(application);
    auto windows = childrenOf(application);
    wakeChromiumFrames(application, windows);
    for (auto& child : windows) {
        const auto live = inspect(child.get());
        if (live && live->has(ATSPI_STATE_ACTIVE))
            return child.release();
    }
    if (toolkitOf(application) != Toolkit::gtk4)
        return nullptr;
    std::vector<AtspiAccessible*> holding;
    for (auto& child : windows) {
        if (GObjectPtr<AtspiAccessible> focused(findFocused(child.get())); focused != nullptr)
            holding.push_back(child.get());
    }
    if (holding.size() == 1)
        return static_cast<AtspiAccessible*>(g_object_ref(holding.front()));
    const auto pid = processIdOf(application);
    const auto title = pid && activeTitle ? activeTitle(*pid) : std::nullopt;
    if (!title)
        return nullptr;
    for (AtspiAccessible* window : holding) {
        GErrorSlot error;
        if (takeString(atspi_accessible_get_name(window, error.out())) == *title)
            return static_cast<AtspiAccessible*>(g_object_ref(window));
    }
    return nullptr;
}

// The size the toolkit gives the top-level window that holds `accessible`.
std::optional<Size> windowSizeOf(AtspiAccessible* accessible) {
    GObjectPtr<AtspiAccessible> current(static_cast<AtspiAccessible*>(g_object_ref(accessible)));
    for (int depth = 0; depth < kFocusWalkMaxDepth; ++depth) {
        GErrorSlot error;
        GObjectPtr<AtspiAccessible> parent(atspi_accessible_get_parent(current.get(), error.out()));
        if (error.failed() || parent == nullptr)
            return std::nullopt;
        GErrorSlot roleError;
        if (atspi_accessible_get_role(parent.get(), roleError.out()) == ATSPI_ROLE_APPLICATION) {
            GObjectPtr<AtspiComponent> component(
                atspi_accessible_get_component_iface(current.get()));
            if (component == nullptr)
                return std::nullopt;
            GErrorSlot extentsError;
            std::unique_ptr<AtspiRect, GFreeDeleter<AtspiRect>> r(atspi_component_get_extents(
                component.get(), ATSPI_COORD_TYPE_WINDOW, extentsError.out()));
            if (extentsError.failed() || r == nullptr || r->width <= 0 || r->height <= 0)
                return std::nullopt;
            return Size{static_cast<double>(r->width), static_cast<double>(r->height)};
        }
        current = std::move(parent);
    }
    return std::nullopt;
}

std::optional<Point> hostedContentShift(AtspiAccessible* accessible) {
    // Each root pane's host, found once: LibreOffice's own tree leads from
    // the root pane to its own frame, never to GTK's widgets.
    static std::map<std::string, GObjectPtr<AtspiAccessible>, std::less<>> hosts;
    const GObjectPtr<AtspiAccessible> root = ancestorWithRole(accessible, ATSPI_ROLE_ROOT_PANE);
    if (root == nullptr)
        return std::nullopt;
    const std::string identity = identityOf(root.get());
    auto known = hosts.find(identity);
    if (known == hosts.end()) {
        GErrorSlot appError;
        GObjectPtr<AtspiAccessible> application(
            atspi_accessible_get_application(root.get(), appError.out()));
        GObjectPtr<AtspiAccessible> host;
        if (application != nullptr) {
            for (auto& frame : childrenOf(application.get())) {
                if ((host = parentListing(frame.get(), identity, 1)) != nullptr)
                    break;
            }
        }
        if (hosts.size() > 256)
            hosts.clear();
        known = hosts.emplace(identity, std::move(host)).first;
    }
    if (known->second == nullptr)
        return std::nullopt;
    const auto placed = screenExtents(known->second.get());
    const auto answered = screenExtents(root.get());
    // The host is the root pane's place: another size is another layout.
    if (!placed || !answered || std::abs(placed->width - answered->width) > 1 ||
        std::abs(placed->height - answered->height) > 1)
        return std::nullopt;
    return Point{placed->x - answered->x, placed->y - answered->y};
}

}  // namespace mivo::linux_desktop
