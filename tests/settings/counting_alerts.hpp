#pragma once

#include "settings/alert_sink.hpp"

namespace mivo::testing {

// Answers the settings window's alerts by counting them.
class CountingAlerts : public AlertSink {
  public:
    void beep() override { ++beeps; }
    int beeps = 0;
};

}  // namespace mivo::testing
