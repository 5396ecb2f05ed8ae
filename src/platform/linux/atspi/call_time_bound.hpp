#pragma once

// How long one accessibility call may wait for its answer. Every call is a
// synchronous request on the main loop, and a hold of the input devices
// ends on that loop: while a bound is set, calls give up by then.

#include <optional>

#include "platform/scheduler.hpp"

namespace mivo::linux_desktop {

// A call gets at least this long: less would give up on an application
// that answers at once but is slow to be scheduled.
inline constexpr int kShortestCallMs = 100;

// The time-out for a call made at `now`, given by `usualMs` without a
// bound. Past the bound, its owner is late to lift it (the loop was busy
// in an earlier call): calls keep the shortest time, or the one late end
// of the hold would be followed by a full time-out, until `usualMs` after
// it, when an owner that never lifted it is taken as gone.
// `owesAnswer`: the call goes to an application that let one time out
// and answered none since; while a bound holds, it is a probe for its
// answer and gets the shortest time, so that probing a stopped
// application costs the loop little and its answer is seen at once.
int callTimeoutMs(std::optional<TimePoint> callsBy, TimePoint now, int usualMs,
                  bool owesAnswer = false);

}  // namespace mivo::linux_desktop
