#include "accessible_buttons.hpp"

#include <atspi/atspi.h>

namespace mivo::desktop_test {

namespace {

std::optional<std::pair<int, int>> findButton(AtspiAccessible* node, std::string_view title,
                                              int depth) {
    if (depth > 24)
        return std::nullopt;
    if (atspi_accessible_get_role(node, nullptr) == ATSPI_ROLE_PUSH_BUTTON) {
        gchar* name = atspi_accessible_get_name(node, nullptr);
        const bool match = name != nullptr && std::string_view(name) == title;
        g_free(name);
        AtspiStateSet* states = atspi_accessible_get_state_set(node);
        const bool showing = atspi_state_set_contains(states, ATSPI_STATE_SHOWING);
        g_object_unref(states);
        if (match && showing) {
            AtspiComponent* component = atspi_accessible_get_component_iface(node);
            if (component == nullptr)
                return std::nullopt;
            AtspiRect* r = atspi_component_get_extents(component, ATSPI_COORD_TYPE_SCREEN, nullptr);
            g_object_unref(component);
            if (r == nullptr)
                return std::nullopt;
            std::pair<int, int> c{r->x + r->width / 2, r->y + r->height / 2};
            const bool sized = r->width > 0 && r->height > 0;
            g_free(r);
            return sized ? std::optional(c) : std::nullopt;
        }
    }
    const int count = atspi_accessible_get_child_count(node, nullptr);
    for (int i = 0; i < count; ++i) {
        AtspiAccessible* child = atspi_accessible_get_child_at_index(node, i, nullptr);
        if (child == nullptr)
            continue;
        auto found = findButton(child, title, depth + 1);
        g_object_unref(child);
        if (found)
            return found;
    }
    return std::nullopt;
}

}  // namespace

std::optional<std::pair<int, int>> pushButtonCentre(Pid pid, std::string_view title) {
    std::optional<std::pair<int, int>> centre;
    AtspiAccessible* desktop = atspi_get_desktop(0);
    const int apps = atspi_accessible_get_child_count(desktop, nullptr);
    for (int i = 0; i < apps && !centre; ++i) {
        AtspiAccessible* app = atspi_accessible_get_child_at_index(desktop, i, nullptr);
        if (app == nullptr)
            continue;
        if (static_cast<Pid>(atspi_accessible_get_process_id(app, nullptr)) == pid)
            centre = findButton(app, title, 0);
        g_object_unref(app);
    }
    g_object_unref(desktop);
    return centre;
}

}  // namespace mivo::desktop_test
