#pragma once

// Screens as the test lays them out; one 1440 x 900 screen by default.

#include <utility>
#include <vector>

#include "platform/screens.hpp"

namespace mivo::sim {

class SimScreens : public Screens {
  public:
    SimScreens();
    std::vector<Screen> screens() override { return screens_; }
    void setScreens(std::vector<Screen> screens) { screens_ = std::move(screens); }

  private:
    std::vector<Screen> screens_;
};

}  // namespace mivo::sim
