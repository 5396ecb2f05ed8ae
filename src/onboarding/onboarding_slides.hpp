#pragma once

// The four slides of the onboarding carousel and the blocks they are built
// from. Each reads the model and follows its changes; their buttons call
// the model's actions.

#include <QWidget>

#include "onboarding/onboarding_controls.hpp"
#include "onboarding/onboarding_view_model.hpp"
#include "platform/scheduler.hpp"

namespace mivo {

class AnimatedDemo;

// Icon disc, title, subtitle and the slide's own content, kept at the top.
class SlideScaffold : public QWidget {
    Q_OBJECT

  public:
    SlideScaffold(const std::string& icon, const QString& title, const QString& subtitle,
                  QWidget* content, QWidget* parent = nullptr);
};

// Slide 0: the logo, the headline and "Get Started", centred.
class WelcomeSlide : public QWidget {
    Q_OBJECT

  public:
    WelcomeSlide(OnboardingViewModel& model, QWidget* parent = nullptr);
};

// Slide 1: the animated demonstration.
class HowItWorksSlide : public QWidget {
    Q_OBJECT

  public:
    HowItWorksSlide(Scheduler& scheduler, QWidget* parent = nullptr);
    AnimatedDemo& demo() { return *demo_; }

  private:
    AnimatedDemo* demo_;
};

// A key-cap label such as "Shift+Super+J".
class ShortcutBadge : public QWidget {
    Q_OBJECT

  public:
    explicit ShortcutBadge(const QString& keys, QWidget* parent = nullptr);
    void setKeys(const QString& keys);
    QString keys() const { return keys_; }
    QSize sizeHint() const override;

  protected:
    void paintEvent(QPaintEvent* event) override;

  private:
    QString keys_;
};

// Slide 2: "Continue with Google" or "Signed in", and the tone card.
class SignInSlide : public QWidget {
    Q_OBJECT

  public:
    SignInSlide(OnboardingViewModel& model, QWidget* parent = nullptr);
    ~SignInSlide() override;

  private:
    void refresh();

    OnboardingViewModel& model_;
    OnboardingButton* signInButton_;
    QWidget* signedInLabel_;
    Cancel observer_;
};

// Slide 3: where Mivo lives, the shortcut, and "Try it now".
class ReadySlide : public QWidget {
    Q_OBJECT

  public:
    ReadySlide(OnboardingViewModel& model, QWidget* parent = nullptr);
    ~ReadySlide() override;

  private:
    // Where Mivo is found once the onboarding is over: the tray, or without
    // one its Settings window.
    void showWhereMivoLives(bool hasTray);

    ShortcutBadge* badge_;
    QLabel* whereHint_;
    QWidget* whereArrow_;
    QLabel* whereSubtitle_ = nullptr;
    Cancel observer_;
};

}  // namespace mivo
