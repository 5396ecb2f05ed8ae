#pragma once

// The field that shows the rewrite shortcut and records a new one: a click
// starts recording ("Press shortcut…"), the next key press with Command
// (Super), Control or Option becomes the shortcut, Esc cancels, any other
// key beeps. While recording it takes every key, also those the window
// would treat as shortcuts (Ctrl+W) or as focus moves (Tab).

#include <QWidget>
#include <functional>

#include "platform/alerts.hpp"
#include "shared/hotkey_config.hpp"

namespace mivo {

class ShortcutRecorder : public QWidget {
    Q_OBJECT

  public:
    // `alerts` must outlive the recorder.
    explicit ShortcutRecorder(Alerts& alerts, QWidget* parent = nullptr);

    const HotKeyConfig& config() const { return config_; }
    // Shows a shortcut that changed elsewhere; reports nothing.
    void setConfig(const HotKeyConfig& config);

    bool isRecording() const { return recording_; }
    void setRecording(bool recording);
    // What the field shows: the shortcut, or "Press shortcut…".
    QString displayText() const;

    // The binding's write: a recorded shortcut.
    std::function<void(const HotKeyConfig&)> onConfigChanged;
    // A refused key press (after the beep).
    std::function<void()> onInvalid;

    QSize sizeHint() const override;
    QSize minimumSizeHint() const override;

  protected:
    bool event(QEvent* event) override;
    void keyPressEvent(QKeyEvent* event) override;
    void mouseReleaseEvent(QMouseEvent* event) override;
    void mousePressEvent(QMouseEvent* event) override;
    void focusOutEvent(QFocusEvent* event) override;
    void hideEvent(QHideEvent* event) override;
    void paintEvent(QPaintEvent* event) override;

  private:
    void handleRecordingKey(QKeyEvent* event);

    Alerts& alerts_;
    HotKeyConfig config_;
    bool recording_ = false;
};

}  // namespace mivo
