#pragma once

// The onboarding window's content: the slide for the model's index and,
// below every slide but the first, the footer with "Back", the page dots and
// the forward button. A change of slide cross-fades over 0.22 s.

#include <QWidget>

#include "onboarding/onboarding_view_model.hpp"
#include "platform/scheduler.hpp"

class QStackedLayout;
class QVBoxLayout;
class QVariantAnimation;

namespace mivo {

class OnboardingButton;
class PageDots;
class HowItWorksSlide;

class OnboardingCarousel : public QWidget {
    Q_OBJECT

  public:
    OnboardingCarousel(OnboardingViewModel& model, Scheduler& scheduler, QWidget* parent = nullptr);
    ~OnboardingCarousel() override;

    // The slide shown now (one of welcomeSlide, howItWorksSlide,
    // signInSlide, readySlide).
    QWidget* currentSlide() const;
    HowItWorksSlide& howItWorksSlide() { return *howItWorks_; }
    QWidget* footer() const { return footer_; }
    // The cross-fade between two slides; stopped when none runs.
    QVariantAnimation* transition() const { return transition_; }

  protected:
    void paintEvent(QPaintEvent* event) override;
    void resizeEvent(QResizeEvent* event) override;

  private:
    void showIndex(bool animated);
    void refreshFooter();

    OnboardingViewModel& model_;
    QVBoxLayout* slideArea_ = nullptr;
    QStackedLayout* slides_ = nullptr;
    HowItWorksSlide* howItWorks_ = nullptr;
    QWidget* footer_ = nullptr;
    OnboardingButton* backButton_ = nullptr;
    OnboardingButton* forwardButton_ = nullptr;
    PageDots* dots_ = nullptr;
    QWidget* fadeOverlay_ = nullptr;
    QVariantAnimation* transition_ = nullptr;
    Cancel observer_;
};

}  // namespace mivo
