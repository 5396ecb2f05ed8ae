#include "tone_panel/tone_text_widgets.hpp"

#include <QAbstractTextDocumentLayout>
#include <QFontMetrics>
#include <QScrollBar>
#include <QTextBlock>
#include <QTextCursor>
#include <cmath>

namespace mivo {

namespace {

void colourText(QWidget* w, const QColor& colour) {
    QPalette palette = w->palette();
    palette.setColor(QPalette::WindowText, colour);
    palette.setColor(QPalette::Text, colour);
    w->setPalette(palette);
}

}  // namespace

QLabel* toneLabel(const QString& text, const QFont& font, const QColor& colour,
                  const char* objectName, QWidget* parent) {
    auto* label = new QLabel(parent);
    label->setTextFormat(Qt::PlainText);
    label->setText(text);
    label->setFont(font);
    colourText(label, colour);
    if (objectName != nullptr) {
        label->setObjectName(QString::fromLatin1(objectName));
    }
    return label;
}

QLabel* wrappingLabel(const QString& text, const QFont& font, const QColor& colour, int width,
                      const char* objectName, QWidget* parent) {
    QLabel* label = toneLabel(text, font, colour, objectName, parent);
    label->setWordWrap(true);
    // A fixed width gives every line a known height, so nothing is cut.
    const int natural = QFontMetrics(font).horizontalAdvance(text) + 2;
    const int shown = std::min(natural, width);
    label->setFixedWidth(shown);
    label->setFixedHeight(label->heightForWidth(shown));
    return label;
}

QLabel* elidedLabel(const QString& text, const QFont& font, const QColor& colour, int width,
                    const char* objectName, QWidget* parent) {
    const QString shown = QFontMetrics(font).elidedText(text, Qt::ElideRight, width);
    QLabel* label = toneLabel(shown, font, colour, objectName, parent);
    label->setToolTip(text);
    label->setMaximumWidth(width);
    return label;
}

ScrollingText::ScrollingText(const QString& text, const QFont& font, const QColor& colour,
                             double lineSpacing, int maxHeight, int width, QWidget* parent)
    : QTextEdit(parent) {
    setReadOnly(true);
    setFrameShape(QFrame::NoFrame);
    setFocusPolicy(Qt::NoFocus);
    setTextInteractionFlags(Qt::TextSelectableByMouse);
    setHorizontalScrollBarPolicy(Qt::ScrollBarAlwaysOff);
    viewport()->setAutoFillBackground(false);
    setAutoFillBackground(false);
    setStyleSheet(QStringLiteral("QTextEdit { background: transparent; }"));
    colourText(this, colour);
    document()->setDocumentMargin(0);
    setFont(font);
    document()->setDefaultFont(font);
    setPlainText(text);

    QTextCursor cursor(document());
    cursor.select(QTextCursor::Document);
    QTextBlockFormat format;
    format.setLineHeight(lineSpacing, QTextBlockFormat::LineDistanceHeight);
    cursor.mergeBlockFormat(format);

    // Wrap at the box's own width, not at whatever width the widget has
    // before the layout sizes it.
    setLineWrapMode(QTextEdit::FixedPixelWidth);
    setLineWrapColumnOrWidth(width);
    document()->setTextWidth(width);
    int height = static_cast<int>(std::ceil(document()->size().height()));
    if (height > maxHeight) {
        scrolls_ = true;
        setVerticalScrollBarPolicy(Qt::ScrollBarAlwaysOn);
        setLineWrapColumnOrWidth(width - verticalScrollBar()->sizeHint().width());
        height = maxHeight;
    } else {
        setVerticalScrollBarPolicy(Qt::ScrollBarAlwaysOff);
    }
    setFixedSize(width, std::max(height, 1));
}

}  // namespace mivo
