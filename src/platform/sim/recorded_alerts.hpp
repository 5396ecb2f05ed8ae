#pragma once

// Alerts for tests: each request is kept, open until the test answers it.

#include <cstddef>
#include <functional>
#include <vector>

#include "platform/alerts.hpp"

namespace mivo::sim {

class RecordedAlerts : public Alerts {
  public:
    struct Shown {
        AlertRequest request;
        std::function<void(int)> done;
        bool answered = false;
    };

    void show(const AlertRequest& request, std::function<void(int)> done) override {
        shown.push_back({request, std::move(done), false});
    }

    // Chooses `button` on the oldest open alert; false when none is open.
    bool answer(int button = 0) {
        for (std::size_t i = 0; i < shown.size(); ++i) {
            if (!shown[i].answered) {
                shown[i].answered = true;
                if (auto done = shown[i].done) {
                    done(button);
                }
                return true;
            }
        }
        return false;
    }

    void beep() override { ++beeps; }

    std::vector<Shown> shown;
    int beeps = 0;
};

}  // namespace mivo::sim
