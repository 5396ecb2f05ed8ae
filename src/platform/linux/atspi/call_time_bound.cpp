#include "platform/linux/atspi/call_time_bound.hpp"

#include <algorithm>
#include <chrono>
#include <cstdint>

namespace mivo::linux_desktop {

int callTimeoutMs(std::optional<TimePoint> callsBy, TimePoint now, int usualMs, bool owesAnswer) {
    if (!callsBy)
        return usualMs;
    const int64_t left =
        std::chrono::duration_cast<std::chrono::milliseconds>(*callsBy - now).count();
    if (left <= -usualMs)
        return usualMs;
    if (owesAnswer)
        return kShortestCallMs;
    return static_cast<int>(std::clamp<int64_t>(left, kShortestCallMs, usualMs));
}

}  // namespace mivo::linux_desktop
