#pragma once

// The first-run onboarding window: 720 × 560 (less on a screen too small
// for it), fixed, titled "Welcome to Mivo", closable but neither resizable nor minimisable, movable
// by its background. It is made once and hidden, never shown by itself: the composition root shows
// it. Its first closing, by whatever means ("Done", the close button, the application's Close
// Window), records completion and runs onFinish once.

#include <QWidget>
#include <functional>
#include <memory>

#include "onboarding/onboarding_view_model.hpp"
#include "platform/scheduler.hpp"

namespace mivo {

struct OnboardingStore;
class OnboardingCarousel;

// The top-level window; it reports every close to the controller.
class OnboardingWindow : public QWidget {
    Q_OBJECT

  public:
    explicit OnboardingWindow(QWidget* parent = nullptr);
    std::function<void()> onClose;

    // 720 × 560, or less where the screen's available area less the window
    // manager's frame is smaller (a scaled or small screen: the slides then
    // scroll, the buttons stay in view); centred in that area.
    void fitTo(const QRect& available, const QMargins& frame);

  protected:
    void closeEvent(QCloseEvent* event) override;
    void mousePressEvent(QMouseEvent* event) override;
    void changeEvent(QEvent* event) override;
};

class OnboardingWindowController {
  public:
    // Builds the model, the carousel and the window, hidden. `store` and
    // `scheduler` (the demonstration's clock) must outlive the controller.
    OnboardingWindowController(OnboardingStore& store, Scheduler& scheduler);
    ~OnboardingWindowController();
    OnboardingWindowController(const OnboardingWindowController&) = delete;
    OnboardingWindowController& operator=(const OnboardingWindowController&) = delete;

    OnboardingViewModel& model() { return *model_; }
    OnboardingWindow& window() { return *window_; }
    OnboardingCarousel& carousel() { return *carousel_; }

    // Set by the root; run once, when the onboarding completes.
    std::function<void()> onFinish;
    bool hasFired() const { return completion_.hasFired(); }

    // Fits and centres the window on the screen with the pointer (else the
    // primary one), shows it, raises it and makes it active.
    void showCentered();

  private:
    std::unique_ptr<OnboardingViewModel> model_;
    OnboardingCompletion completion_;
    std::unique_ptr<OnboardingWindow> window_;
    OnboardingCarousel* carousel_ = nullptr;
};

}  // namespace mivo
