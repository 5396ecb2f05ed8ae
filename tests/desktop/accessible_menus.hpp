#pragma once

// Another process's menu bar the way a screen reader reaches it: found by
// its role over the accessibility bus, menus opened and items chosen with
// their accessible actions.

#include <optional>
#include <string>
#include <string_view>
#include <vector>

#include "platform/accessibility.hpp"

namespace mivo::desktop_test {

struct AccessibleMenu {
    std::string name;
    std::vector<std::string> items;  // separators left out
    bool operator==(const AccessibleMenu&) const = default;
};

// The menus of the first menu bar of the application of `pid`, in order,
// with the names of their items; nothing while it has none.
std::optional<std::vector<AccessibleMenu>> accessibleMenuBar(Pid pid);

// Opens `menu` of the bar with its action, as a screen reader does, then
// runs the action of its `item`. Answers whether both actions were taken.
bool chooseMenuItem(Pid pid, std::string_view menu, std::string_view item);

// Whether the application of `pid` shows an element named `name` (a label,
// a window title).
bool showsAccessibleName(Pid pid, std::string_view name);

}  // namespace mivo::desktop_test
