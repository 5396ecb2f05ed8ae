#pragma once

// "Hide Others" and "Show All" of the application menu: minimise the
// windows of every other application on the current desktop, and later bring
// back exactly those that are still minimised. Windows the user had
// minimised before stay as they were; a window that the user brought back
// by hand is hidden again by the next "Hide Others".

#include <vector>

#include "platform/top_level_windows.hpp"

namespace mivo {

class OtherApplications {
  public:
    OtherApplications(TopLevelWindows& windows, Pid ownPid);

    void hideOthers();
    void showAll();

  private:
    TopLevelWindows& windows_;
    Pid ownPid_;
    // What "Hide Others" minimised and is still to bring back, bottom of
    // the stack first.
    std::vector<WindowId> hidden_;
};

}  // namespace mivo
