#pragma once

// The one way the settings window makes itself heard: the recorder's beep
// for a refused key. Tests install a sink that counts.

namespace mivo {

class AlertSink {
  public:
    virtual ~AlertSink() = default;
    virtual void beep() = 0;
};

}  // namespace mivo
