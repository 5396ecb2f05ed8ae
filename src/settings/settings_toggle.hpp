#pragma once

// The settings window's own switch: a 48 × 28 capsule whose white knob
// slides with an 0.18 s ease-out whenever the value changes, whoever
// changed it. A keyboard-focus ring surrounds the track 1 pixel out.

#include <QAbstractButton>
#include <QVariantAnimation>

namespace mivo {

class MivoSettingsToggle : public QAbstractButton {
    Q_OBJECT

  public:
    // `label` is what assistive technology reads (the row's title).
    explicit MivoSettingsToggle(const QString& label, QWidget* parent = nullptr);

    bool isOn() const { return on_; }
    // A value that changed elsewhere: the knob slides, nothing is reported.
    void setOn(bool on);
    // 0 when off, 1 when on; in between while the knob slides.
    double knobProgress() const { return progress_; }
    // The track's rectangle inside the widget (the ring needs 3 around it).
    QRect trackRect() const;

    QSize sizeHint() const override;
    QSize minimumSizeHint() const override { return sizeHint(); }

  signals:
    // The user flipped the switch (click or Space).
    void toggledByUser(bool on);

  protected:
    void paintEvent(QPaintEvent* event) override;
    void nextCheckState() override;
    void focusInEvent(QFocusEvent* event) override;

  private:
    void animateTo(bool on);

    bool on_ = false;
    bool keyboardFocus_ = false;
    double progress_ = 0.0;
    QVariantAnimation animation_;
};

}  // namespace mivo
