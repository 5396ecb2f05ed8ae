#pragma once

// The how-it-works demonstration: one painted card that plays a correction
// (typed sentence, wavy underline, suggestion bubble, applied fix) and then
// a tone change, looping while it is on screen. Its player steps on the
// Scheduler; phase fades and the caret's blink are computed from the same
// clock, so a virtual clock decides every frame in tests.

#include <QWidget>
#include <optional>

#include "onboarding/demo_player.hpp"
#include "onboarding/demo_scene.hpp"

namespace mivo {

class AnimatedDemo : public QWidget {
    Q_OBJECT

  public:
    static constexpr int cardWidth = 440;
    static constexpr int cardHeight = 198;
    static constexpr int stageHeight = 132;

    explicit AnimatedDemo(Scheduler& scheduler, QWidget* parent = nullptr);
    ~AnimatedDemo() override;

    DemoPlayer& player() { return player_; }
    const DemoPlayer& player() const { return player_; }

    // 0 just after an animated phase change, 1 once it has settled.
    double transitionProgress() const;
    // The blinking caret's opacity now, times its phase's visibility.
    double caretOpacity() const;
    // The card inside the widget (the rest is room for its shadow).
    QRect cardRect() const;
    // Where the wavy underline runs under the word being corrected.
    QRectF squiggleRect() const;

    QSize sizeHint() const override;

  protected:
    void paintEvent(QPaintEvent* event) override;
    void showEvent(QShowEvent* event) override;
    void hideEvent(QHideEvent* event) override;

  private:
    void phaseChanged(DemoPlayer::Phase phase, bool animated);
    void updateTicking();
    bool needsFrames() const;
    double blink() const;

    void paintCard(QPainter& painter, const DemoScene& scene, double caret) const;
    void paintHeader(QPainter& painter, const QRectF& row, const DemoScene& scene) const;
    void paintCorrectionStage(QPainter& painter, const DemoScene& scene, double caret) const;
    void paintToneStage(QPainter& painter, const QRectF& stage, const DemoScene& scene) const;
    void paintBubble(QPainter& painter, double appearance) const;
    QRectF stageRect() const;

    Scheduler& scheduler_;
    DemoPlayer player_;
    std::optional<DemoPlayer::Phase> previous_;  // the phase fading out
    TimePoint transitionStart_{};
    TimePoint caretStart_{};
    Cancel ticker_;
};

}  // namespace mivo
