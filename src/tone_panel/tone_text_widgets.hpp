#pragma once

// Text pieces of the rewrite panel: plain labels in the panel's fonts and
// colours, and the scrolling boxes that show the user's text and the rewrite.

#include <QColor>
#include <QFont>
#include <QLabel>
#include <QTextEdit>

namespace mivo {

// A label of `text` (shown as plain text, never as markup).
QLabel* toneLabel(const QString& text, const QFont& font, const QColor& colour,
                  const char* objectName = nullptr, QWidget* parent = nullptr);
// A label that wraps within `width` and always shows all of its lines.
QLabel* wrappingLabel(const QString& text, const QFont& font, const QColor& colour, int width,
                      const char* objectName = nullptr, QWidget* parent = nullptr);
// A one-line label cut with an ellipsis to `width`; the whole text is its tooltip.
QLabel* elidedLabel(const QString& text, const QFont& font, const QColor& colour, int width,
                    const char* objectName = nullptr, QWidget* parent = nullptr);

// Read-only text `width` wide, as high as its lines up to `maxHeight`, then
// scrolling with its scroll bar shown.
class ScrollingText : public QTextEdit {
  public:
    ScrollingText(const QString& text, const QFont& font, const QColor& colour, double lineSpacing,
                  int maxHeight, int width, QWidget* parent = nullptr);
    bool scrolls() const { return scrolls_; }

  private:
    bool scrolls_ = false;
};

}  // namespace mivo
