#pragma once

// Waiting for an answer that arrives on the Qt event loop, bounded so that a
// missing answer fails the test instead of hanging it.

#include <functional>
#include <optional>
#include <utility>

namespace mivo::testing {

// Runs the event loop until `done()` holds or `seconds` pass; whether it held.
bool runEventLoopUntil(const std::function<bool()>& done, double seconds = 20);
// Runs the event loop for `seconds`, to show that nothing more arrives.
void runEventLoopFor(double seconds);

// Catches the one answer of an asynchronous call and counts the answers.
template <typename T>
struct Answer {
    std::optional<T> value;
    int calls = 0;

    auto callback() {
        return [this](T v) {
            value = std::move(v);
            ++calls;
        };
    }
    // Waits for the answer; whether it came.
    bool wait(double seconds = 20) {
        return runEventLoopUntil([this] { return calls > 0; }, seconds);
    }
};

}  // namespace mivo::testing
