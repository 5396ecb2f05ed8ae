#pragma once

// Finds another process's push button the way a screen reader does: by its
// accessible name, over the accessibility bus.

#include <optional>
#include <string_view>
#include <utility>

#include "platform/accessibility.hpp"

namespace mivo::desktop_test {

// The centre (screen, y down) of the showing push button named `title` in
// the application of `pid`; nothing while there is none.
std::optional<std::pair<int, int>> pushButtonCentre(Pid pid, std::string_view title);

}  // namespace mivo::desktop_test
