#pragma once

// Small modal messages to the user ("Sign In Failed", "Mivo Rewrite",
// "Shortcut Unavailable"). One seam, so that tests answer them and services
// never block on a dialog: `done` runs with the index of the chosen button
// after the alert has closed.

#include <functional>
#include <string>
#include <vector>

namespace mivo {

struct AlertRequest {
    enum class Style { informational, warning };
    std::string title;
    std::string message;
    Style style = Style::informational;
    std::vector<std::string> buttons{"OK"};
};

class Alerts {
  public:
    virtual ~Alerts() = default;
    virtual void show(const AlertRequest& request, std::function<void(int button)> done = {}) = 0;
    // The desktop's bell (a refused key in the shortcut recorder). Silent
    // unless the backend rings it.
    virtual void beep() {}
};

}  // namespace mivo
