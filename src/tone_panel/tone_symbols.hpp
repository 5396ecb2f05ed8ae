#pragma once

// The panel's glyphs: our own small SVG drawings (resources/Mivo_Tone.bundle/
// symbols), compiled into the program and tinted when painted. Names follow
// the glyphs they stand for ("xmark", "sparkles", "hand.thumbsup.fill", ...).

#include <QColor>
#include <QRectF>
#include <QString>
#include <QWidget>

class QPainter;

namespace mivo {

// The side of a glyph drawn for a text size of `pixelSize`.
double symbolSide(double pixelSize);

// Paints the glyph `name` centred in `rect`, filled with `colour`; an
// unknown name paints nothing.
void paintSymbol(QPainter& painter, const QRectF& rect, const QString& name, const QColor& colour);

// A glyph on its own, centred in a fixed box.
class SymbolView : public QWidget {
  public:
    SymbolView(QString name, double pixelSize, QColor colour, QWidget* parent = nullptr);
    // The box around the glyph (default: the glyph's own side).
    void setBox(QSize box);
    const QString& name() const { return name_; }

  protected:
    void paintEvent(QPaintEvent* event) override;

  private:
    QString name_;
    double side_;
    QColor colour_;
};

}  // namespace mivo
