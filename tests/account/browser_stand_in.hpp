#pragma once

// The browser for sign-in tests: "opening" a page fetches it with a plain
// HTTP GET and follows its redirect to the loopback callback, the way a
// browser signed in at the stand-in service would.

#include <string>
#include <string_view>
#include <vector>

#include "platform/http_transport.hpp"
#include "platform/workspace.hpp"

namespace mivo::testing {

class BrowserStandIn : public Workspace {
  public:
    explicit BrowserStandIn(HttpTransport& transport) : transport_(transport) {}

    std::optional<RunningApplication> frontmostApplication() override { return std::nullopt; }
    std::optional<RunningApplication> runningApplication(Pid) override { return std::nullopt; }
    std::vector<RunningApplication> runningApplications() override { return {}; }
    bool activate(Pid) override { return false; }
    Cancel observeActivation(ActivationHandler) override { return {}; }
    bool openURL(std::string_view url) override;

    // Fetches the page and follows where it sends the browser.
    void visit(const std::string& url);

    // Whether opened pages are visited at once; off, a test visits by itself.
    bool follows = true;
    std::vector<std::string> opened;
    // The status of the last sign-in page visited (0: nothing yet or failed).
    int pageStatus = 0;
    // What the loopback callback answered (status 0: nothing yet or failed).
    HttpResponse callbackReply;
    int callbackAttempts = 0;

  private:
    HttpTransport& transport_;
};

}  // namespace mivo::testing
