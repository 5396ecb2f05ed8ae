#include "settings/shortcut_recorder.hpp"

#include <QFocusEvent>
#include <QFontMetrics>
#include <QKeyEvent>
#include <QMouseEvent>
#include <QPainter>
#include <QPainterPath>

#include "settings/qt_key_press.hpp"
#include "settings/settings_symbols.hpp"
#include "settings/settings_theme.hpp"
#include "shared/shortcut_text.hpp"
#include "ui/appearance.hpp"

namespace mivo {

namespace {

// The recorder looks like a system control, not like the settings cards:
// label, secondary label, control background, separator and accent in the
// desktop's usual light and dark values.
struct RecorderColors {
    QColor label;
    QColor secondaryLabel;
    QColor controlBackground;
    QColor separator;
    QColor accent;
};

RecorderColors recorderColors() {
    if (ui::Appearance::shared().isDark()) {
        return {QColor::fromRgbF(1, 1, 1, 0.85f), QColor::fromRgbF(1, 1, 1, 0.55f),
                QColor::fromRgbF(0.118f, 0.118f, 0.118f, 1), QColor::fromRgbF(1, 1, 1, 0.1f),
                QColor::fromRgbF(0.039f, 0.518f, 1, 1)};
    }
    return {QColor::fromRgbF(0, 0, 0, 0.85f), QColor::fromRgbF(0, 0, 0, 0.5f),
            QColor::fromRgbF(1, 1, 1, 1), QColor::fromRgbF(0, 0, 0, 0.1f),
            QColor::fromRgbF(0, 0.478f, 1, 1)};
}

constexpr int kHeight = 32;
constexpr int kMinimumWidth = 120;
constexpr int kPadding = 12;
constexpr int kSymbolSize = 14;
constexpr int kSpacing = 8;
constexpr qreal kRadius = 7;

QFont textFont() {
    return MivoSettingsTheme::font(13, QFont::DemiBold);
}

}  // namespace

ShortcutRecorder::ShortcutRecorder(Alerts& alerts, QWidget* parent)
    : QWidget(parent), alerts_(alerts), config_(HotKeyConfig::defaultConfig()) {
    setFocusPolicy(Qt::StrongFocus);
    setCursor(Qt::PointingHandCursor);
    setSizePolicy(QSizePolicy::Preferred, QSizePolicy::Fixed);
    setToolTip(tr("Click, then press a shortcut (e.g. %1). Esc to cancel.")
                   .arg(QString::fromStdString(shortcutText(HotKeyConfig::defaultConfig()))));
    setAccessibleName(tr("Tone converter shortcut"));
    setFont(textFont());
    connect(&ui::Appearance::shared(), &ui::Appearance::changed, this, [this] { update(); });
}

void ShortcutRecorder::setConfig(const HotKeyConfig& config) {
    if (config == config_) {
        return;
    }
    config_ = config;
    updateGeometry();
    update();
}

void ShortcutRecorder::setRecording(bool recording) {
    if (recording == recording_) {
        return;
    }
    recording_ = recording;
    if (recording_) {
        // The field itself is the capture view: it takes the keyboard.
        setFocus(Qt::OtherFocusReason);
        grabKeyboard();
    } else {
        releaseKeyboard();
    }
    updateGeometry();
    update();
}

QString ShortcutRecorder::displayText() const {
    return recording_ ? tr("Press shortcut…") : QString::fromStdString(shortcutText(config_));
}

QSize ShortcutRecorder::sizeHint() const {
    const QFontMetrics metrics(font());
    const int width =
        kPadding + kSymbolSize + kSpacing + metrics.horizontalAdvance(displayText()) + kPadding;
    return {std::max(kMinimumWidth, width), kHeight};
}

QSize ShortcutRecorder::minimumSizeHint() const {
    return sizeHint();
}

bool ShortcutRecorder::event(QEvent* event) {
    if (recording_) {
        // Every key is ours while recording: no window shortcut fires
        // (Ctrl+W would close the window), and Tab does not move the focus.
        if (event->type() == QEvent::ShortcutOverride) {
            event->accept();
            return true;
        }
        if (event->type() == QEvent::KeyPress) {
            handleRecordingKey(static_cast<QKeyEvent*>(event));
            return true;
        }
    }
    return QWidget::event(event);
}

void ShortcutRecorder::handleRecordingKey(QKeyEvent* event) {
    event->accept();
    const CaptureOutcome outcome = shortcut_capture::handle(capturedKeyPress(*event));
    switch (outcome.kind) {
        case CaptureOutcome::Kind::ignored:
            return;
        case CaptureOutcome::Kind::cancelled:
            setRecording(false);
            return;
        case CaptureOutcome::Kind::refused:
            alerts_.beep();
            setRecording(false);
            if (onInvalid) {
                onInvalid();
            }
            return;
        case CaptureOutcome::Kind::recorded:
            setRecording(false);
            if (outcome.config != config_) {
                config_ = outcome.config;
                updateGeometry();
                update();
            }
            if (onConfigChanged) {
                onConfigChanged(outcome.config);
            }
            return;
    }
}

void ShortcutRecorder::keyPressEvent(QKeyEvent* event) {
    // Not recording: the field acts as a button for the keyboard.
    if (event->key() == Qt::Key_Space || event->key() == Qt::Key_Return ||
        event->key() == Qt::Key_Enter) {
        setRecording(true);
        event->accept();
        return;
    }
    QWidget::keyPressEvent(event);
}

void ShortcutRecorder::mousePressEvent(QMouseEvent* event) {
    event->accept();
}

void ShortcutRecorder::mouseReleaseEvent(QMouseEvent* event) {
    if (event->button() == Qt::LeftButton && rect().contains(event->position().toPoint())) {
        setRecording(!recording_);
    }
    event->accept();
}

void ShortcutRecorder::focusOutEvent(QFocusEvent* event) {
    // Focus taken elsewhere in the window ends recording; the window merely
    // losing activation does not.
    if (recording_ && event->reason() != Qt::ActiveWindowFocusReason &&
        event->reason() != Qt::PopupFocusReason) {
        setRecording(false);
    }
    QWidget::focusOutEvent(event);
}

void ShortcutRecorder::hideEvent(QHideEvent* event) {
    // A hidden field must not keep the keyboard grabbed.
    setRecording(false);
    QWidget::hideEvent(event);
}

void ShortcutRecorder::paintEvent(QPaintEvent*) {
    const RecorderColors colors = recorderColors();
    QPainter painter(this);
    painter.setRenderHint(QPainter::Antialiasing);
    const QRectF field = QRectF(rect()).adjusted(1, 1, -1, -1);
    painter.setPen(Qt::NoPen);
    painter.setBrush(colors.controlBackground);
    painter.drawRoundedRect(field, kRadius, kRadius);
    painter.setBrush(Qt::NoBrush);
    painter.setPen(recording_ ? QPen(colors.accent, 2) : QPen(colors.separator, 1));
    painter.drawRoundedRect(recording_ ? field : field.adjusted(-0.5, -0.5, 0.5, 0.5), kRadius,
                            kRadius);

    const QFontMetrics metrics(font());
    const QString label = displayText();
    const int contentWidth = kSymbolSize + kSpacing + metrics.horizontalAdvance(label);
    const int x = std::max(kPadding, (width() - contentWidth) / 2);
    const QColor symbolColor = recording_ ? colors.accent : colors.secondaryLabel;
    const QPixmap symbol = settingsSymbol(recording_ ? "record.circle" : "keyboard", kSymbolSize,
                                          symbolColor, devicePixelRatioF());
    painter.drawPixmap(x, (height() - kSymbolSize) / 2, symbol);
    painter.setPen(recording_ ? colors.accent : colors.label);
    painter.setFont(font());
    painter.drawText(
        QRect(x + kSymbolSize + kSpacing, 0, width() - x - kSymbolSize - kSpacing, height()),
        Qt::AlignVCenter | Qt::AlignLeft, label);
}

}  // namespace mivo
