#include "platform/sim/sim_screens.hpp"

namespace mivo::sim {

SimScreens::SimScreens() {
    screens_.push_back(Screen{Rect{0, 0, 1440, 900}, Rect{0, 0, 1440, 875}});
}

}  // namespace mivo::sim
