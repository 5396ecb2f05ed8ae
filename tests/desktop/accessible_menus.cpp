#include "accessible_menus.hpp"

#include <atspi/atspi.h>

#include <functional>

namespace mivo::desktop_test {

namespace {

std::string nameOf(AtspiAccessible* node) {
    gchar* name = atspi_accessible_get_name(node, nullptr);
    std::string out = name != nullptr ? name : "";
    g_free(name);
    return out;
}

// Visits `node` and its descendants to `depth`, until `visit` says stop.
bool walk(AtspiAccessible* node, int depth, const std::function<bool(AtspiAccessible*)>& visit) {
    if (visit(node))
        return true;
    if (depth <= 0)
        return false;
    const int count = atspi_accessible_get_child_count(node, nullptr);
    for (int i = 0; i < count; ++i) {
        AtspiAccessible* child = atspi_accessible_get_child_at_index(node, i, nullptr);
        if (child == nullptr)
            continue;
        const bool stop = walk(child, depth - 1, visit);
        g_object_unref(child);
        if (stop)
            return true;
    }
    return false;
}

// The application of `pid` (a new reference), or null.
AtspiAccessible* applicationOf(Pid pid) {
    AtspiAccessible* found = nullptr;
    AtspiAccessible* desktop = atspi_get_desktop(0);
    const int apps = atspi_accessible_get_child_count(desktop, nullptr);
    for (int i = 0; i < apps && found == nullptr; ++i) {
        AtspiAccessible* app = atspi_accessible_get_child_at_index(desktop, i, nullptr);
        if (app == nullptr)
            continue;
        if (static_cast<Pid>(atspi_accessible_get_process_id(app, nullptr)) == pid)
            found = app;
        else
            g_object_unref(app);
    }
    g_object_unref(desktop);
    return found;
}

// The first menu bar of `pid` (a new reference), or null.
AtspiAccessible* menuBarOf(Pid pid) {
    AtspiAccessible* app = applicationOf(pid);
    if (app == nullptr)
        return nullptr;
    AtspiAccessible* bar = nullptr;
    walk(app, 12, [&](AtspiAccessible* node) {
        if (atspi_accessible_get_role(node, nullptr) != ATSPI_ROLE_MENU_BAR)
            return false;
        bar = static_cast<AtspiAccessible*>(g_object_ref(node));
        return true;
    });
    g_object_unref(app);
    return bar;
}

// The menu items below a menu of the bar (Qt puts them in a popup menu
// under the bar's item), in order.
std::vector<AtspiAccessible*> itemsBelow(AtspiAccessible* menu) {
    std::vector<AtspiAccessible*> items;
    walk(menu, 2, [&](AtspiAccessible* node) {
        if (node != menu && atspi_accessible_get_role(node, nullptr) == ATSPI_ROLE_MENU_ITEM)
            items.push_back(static_cast<AtspiAccessible*>(g_object_ref(node)));
        return false;
    });
    return items;
}

std::vector<AtspiAccessible*> children(AtspiAccessible* node) {
    std::vector<AtspiAccessible*> out;
    const int count = atspi_accessible_get_child_count(node, nullptr);
    for (int i = 0; i < count; ++i) {
        if (AtspiAccessible* child = atspi_accessible_get_child_at_index(node, i, nullptr))
            out.push_back(child);
    }
    return out;
}

void release(std::vector<AtspiAccessible*>& nodes) {
    for (AtspiAccessible* node : nodes)
        g_object_unref(node);
    nodes.clear();
}

bool doFirstAction(AtspiAccessible* node) {
    AtspiAction* action = atspi_accessible_get_action_iface(node);
    if (action == nullptr)
        return false;
    GError* error = nullptr;
    const bool done = atspi_action_get_n_actions(action, nullptr) > 0 &&
                      atspi_action_do_action(action, 0, &error);
    if (error != nullptr)
        g_error_free(error);
    g_object_unref(action);
    return done;
}

}  // namespace

std::optional<std::vector<AccessibleMenu>> accessibleMenuBar(Pid pid) {
    AtspiAccessible* bar = menuBarOf(pid);
    if (bar == nullptr)
        return std::nullopt;
    std::vector<AccessibleMenu> menus;
    auto entries = children(bar);
    for (AtspiAccessible* entry : entries) {
        AccessibleMenu menu{nameOf(entry), {}};
        auto items = itemsBelow(entry);
        for (AtspiAccessible* item : items)
            menu.items.push_back(nameOf(item));
        release(items);
        menus.push_back(std::move(menu));
    }
    release(entries);
    g_object_unref(bar);
    return menus;
}

bool chooseMenuItem(Pid pid, std::string_view menuName, std::string_view itemName) {
    AtspiAccessible* bar = menuBarOf(pid);
    if (bar == nullptr)
        return false;
    bool chosen = false;
    auto entries = children(bar);
    for (AtspiAccessible* entry : entries) {
        if (nameOf(entry) != menuName)
            continue;
        if (!doFirstAction(entry))
            break;
        auto items = itemsBelow(entry);
        for (AtspiAccessible* item : items) {
            if (nameOf(item) == itemName) {
                chosen = doFirstAction(item);
                break;
            }
        }
        release(items);
        break;
    }
    release(entries);
    g_object_unref(bar);
    return chosen;
}

bool showsAccessibleName(Pid pid, std::string_view name) {
    AtspiAccessible* app = applicationOf(pid);
    if (app == nullptr)
        return false;
    const bool found = walk(app, 24, [&](AtspiAccessible* node) {
        if (nameOf(node) != name)
            return false;
        AtspiStateSet* states = atspi_accessible_get_state_set(node);
        const bool showing = atspi_state_set_contains(states, ATSPI_STATE_SHOWING);
        g_object_unref(states);
        return showing;
    });
    g_object_unref(app);
    return found;
}

}  // namespace mivo::desktop_test
