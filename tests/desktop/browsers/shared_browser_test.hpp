#pragma once

// The base of the browser suites: the browser of the parameter's kind,
// shared by every test of the process, showing its page with the page's
// tree exposed and its window in front.

#include <optional>
#include <string>
#include <string_view>

#include "browsers/browser_launch.hpp"
#include "desktop_test_support.hpp"

namespace mivo::desktop_test {

class SharedBrowserTest : public DesktopTest, public ::testing::WithParamInterface<BrowserKind> {
  protected:
    void SetUp() override {
        DesktopTest::SetUp();
        if (sessionReady())
            setUpWithSession();
    }

    // The suite's own set-up, once the session is up.
    virtual void setUpWithSession() = 0;

    // `probe` is a field of the page that holds text once the page shows.
    void openBrowser(const std::string& page, std::string_view probe) {
        browser_ = &sharedBrowser(GetParam(), page);
        ASSERT_TRUE(browser_->failure.empty()) << browser_->failure;
        // The page's tree and its text, once the browser exposes them (a
        // slow start on a loaded machine).
        ASSERT_TRUE(waitUntil(
            [&] {
                const auto shown = field(probe);
                return shown && value(*shown).value_or("") != "";
            },
            90))
            << browserName(GetParam()) << " exposed no page tree";
        // Both browsers run side by side: the one under test comes to the
        // front.
        ASSERT_TRUE(bringToFront(browser_->pid(), 20));
    }

    // The page's field labelled `label`.
    std::optional<AXElement> field(std::string_view label) {
        return pageField(ax(), browser_->pid(), label);
    }

    Browser* browser_ = nullptr;
};

}  // namespace mivo::desktop_test
