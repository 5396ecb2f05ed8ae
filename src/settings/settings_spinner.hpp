#pragma once

// A small indeterminate progress indicator: a turning arc, 16 across.

#include <QVariantAnimation>
#include <QWidget>

namespace mivo {

class SettingsSpinner : public QWidget {
    Q_OBJECT

  public:
    explicit SettingsSpinner(QWidget* parent = nullptr);
    QSize sizeHint() const override { return {16, 16}; }
    bool isSpinning() const { return animation_.state() == QAbstractAnimation::Running; }

  protected:
    void paintEvent(QPaintEvent* event) override;
    void showEvent(QShowEvent* event) override;
    void hideEvent(QHideEvent* event) override;

  private:
    QVariantAnimation animation_;
    double angle_ = 0.0;
};

}  // namespace mivo
