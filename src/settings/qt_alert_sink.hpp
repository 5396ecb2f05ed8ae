#pragma once

// The desktop's own bell, for the running program.

#include "settings/alert_sink.hpp"

namespace mivo {

class QtAlertSink : public AlertSink {
  public:
    void beep() override;
};

}  // namespace mivo
