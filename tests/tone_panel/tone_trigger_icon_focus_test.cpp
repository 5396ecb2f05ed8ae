// The icon fed by a running warm buffer on the simulated desktop: what it
// shows follows the kind of application in front.

#include <gtest/gtest.h>

#include <memory>

#include "platform/sim/sim_desktop.hpp"
#include "tone/tone_warm_buffer.hpp"
#include "tone_panel/tone_trigger_icon.hpp"

namespace mivo {
namespace {

class VisibleWindow : public TriggerIconWindow {
  public:
    explicit VisibleWindow(bool& visible) : visible_(visible) {}
    void setFrameOrigin(Point) override {}
    bool isVisible() const override { return visible_; }
    void orderFront() override { visible_ = true; }
    void orderOut() override { visible_ = false; }
    double alpha() const override { return alpha_; }
    void setAlpha(double a) override { alpha_ = a; }

  private:
    bool& visible_;
    double alpha_ = 1;
};

TEST(TriggerIconOnFocusReports, ShowsOnlyInApplicationsOfAKnownRewritableKind) {
    sim::SimDesktop desk;
    ToneWarmBuffer buffer(desk.ports(), [] { return int64_t{1000}; });
    bool visible = false;
    ToneTriggerIcon icon(desk.clock(), [&](std::function<void()>) {
        return std::make_unique<VisibleWindow>(visible);
    });
    buffer.onFocusChanged = [&](const ToneWarmBuffer::FocusState& s) { icon.apply(s); };

    const struct {
        const char* bundle;
        bool shows;
    } apps[] = {
        {"com.apple.Notes", true},
        // A text field in an application nobody classified: the icon would
        // only promise a rewrite whose surface the service cannot tell.
        {"com.example.editor", false},
        {"org.mozilla.thunderbird", true},
        {"com.apple.Terminal", false},
    };
    Pid pid = 100;
    for (const auto& app : apps) {
        desk.addApplication(pid, app.bundle, app.bundle);
        desk.focus(desk.addTextField(desk.addWindow(pid, "Window"), "今日は晴れ。"));
        desk.activateApplication(pid++);
        buffer.start();  // the first time; later activations are observed
        desk.clock().advance(1);
        EXPECT_EQ(visible, app.shows) << app.bundle;
    }
}

}  // namespace
}  // namespace mivo
