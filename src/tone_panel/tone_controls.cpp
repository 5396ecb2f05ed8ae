#include "tone_panel/tone_controls.hpp"

#include <QApplication>
#include <QEnterEvent>
#include <QFontMetricsF>
#include <QPainter>
#include <QPainterPath>
#include <algorithm>

#include "tone_panel/svg_path_parser.hpp"
#include "tone_panel/tone_symbols.hpp"
#include "tone_panel/tone_theme.hpp"

namespace mivo {

using namespace ToneTheme;

QFont toneFont(double pixelSize, QFont::Weight weight, double tracking) {
    QFont font = QApplication::font();
    font.setPixelSize(static_cast<int>(std::lround(pixelSize)));
    font.setWeight(weight);
    if (tracking != 0) {
        font.setLetterSpacing(QFont::AbsoluteSpacing, tracking);
    }
    return font;
}

double fittedTextScale(const QString& text, const QFont& font, double width, double minScale) {
    const double natural = QFontMetricsF(font).horizontalAdvance(text);
    if (natural <= width || natural <= 0) {
        return 1;
    }
    return std::max(minScale, width / natural);
}

double drawFittedText(QPainter& painter, const QRectF& rect, const QString& text, const QFont& font,
                      double minScale, Qt::Alignment alignment) {
    const double scale = fittedTextScale(text, font, rect.width(), minScale);
    const double width = rect.width() / scale;
    const QString shown = QFontMetricsF(font).elidedText(text, Qt::ElideRight, width);
    painter.save();
    painter.setFont(font);
    painter.translate(rect.topLeft());
    painter.scale(scale, scale);
    painter.drawText(QRectF(0, 0, width, rect.height() / scale), alignment | Qt::AlignVCenter,
                     shown);
    painter.restore();
    return scale;
}

namespace {

void strokeInside(QPainter& p, const QRectF& r, double radius, const QColor& colour) {
    p.setBrush(Qt::NoBrush);
    p.setPen(QPen(colour, 1));
    p.drawRoundedRect(r.adjusted(0.5, 0.5, -0.5, -0.5), radius - 0.5, radius - 0.5);
}

void fillRounded(QPainter& p, const QRectF& r, double radius, const QColor& colour) {
    p.setPen(Qt::NoPen);
    p.setBrush(colour);
    p.drawRoundedRect(r, radius, radius);
}

}  // namespace

HoverButton::HoverButton(QWidget* parent) : QAbstractButton(parent) {
    setCursor(Qt::ArrowCursor);
    setFocusPolicy(Qt::NoFocus);
}

void HoverButton::setHovered(bool hover) {
    if (hover_ != hover) {
        hover_ = hover;
        update();
    }
}

void HoverButton::enterEvent(QEnterEvent* event) {
    setHovered(true);
    QAbstractButton::enterEvent(event);
}

void HoverButton::leaveEvent(QEvent* event) {
    setHovered(false);
    QAbstractButton::leaveEvent(event);
}

// ---- PillBadge

PillBadge::PillBadge(QString text, QColor foreground, QColor background, QWidget* parent)
    : QWidget(parent), text_(std::move(text)), foreground_(foreground), background_(background) {
    setObjectName(QStringLiteral("badge"));
    setFixedSize(sizeHint());
}

QSize PillBadge::sizeHint() const {
    const QFontMetricsF m(toneFont(9, QFont::DemiBold, 0.4));
    return QSize(static_cast<int>(std::ceil(m.horizontalAdvance(text_) + 12)),
                 static_cast<int>(std::ceil(m.height() + 4)));
}

void PillBadge::paintEvent(QPaintEvent*) {
    QPainter p(this);
    p.setRenderHint(QPainter::Antialiasing);
    fillRounded(p, rect(), height() / 2.0, background_);
    p.setPen(foreground_);
    p.setFont(toneFont(9, QFont::DemiBold, 0.4));
    p.drawText(rect(), Qt::AlignCenter, text_);
}

// ---- Google mark

namespace {

struct Segment {
    const char* d;
    QColor colour;
};

const std::vector<Segment>& googleSegments() {
    static const std::vector<Segment> segments{
        {"M45.12 24.5c0-1.56-.14-3.06-.4-4.5H24v8.51h11.84c-.51 2.75-2.06 5.08-4.39 "
         "6.64v5.52h7.11c4.16-3.83 6.56-9.47 6.56-16.17z",
         QColor::fromRgbF(0.259f, 0.522f, 0.957f)},
        {"M24 46c5.94 0 10.92-1.97 14.56-5.33l-7.11-5.52c-1.97 1.32-4.49 2.1-7.45 2.1-5.73 "
         "0-10.58-3.87-12.31-9.07H4.34v5.7C7.96 41.07 15.4 46 24 46z",
         QColor::fromRgbF(0.204f, 0.659f, 0.325f)},
        {"M11.69 28.18C11.25 26.86 11 25.45 11 24s.25-2.86.69-4.18v-5.7H4.34C2.85 17.09 2 "
         "20.45 2 24s.85 6.91 2.34 9.88l7.35-5.7z",
         QColor::fromRgbF(0.984f, 0.737f, 0.02f)},
        {"M24 10.75c3.23 0 6.13 1.11 8.41 3.29l6.31-6.31C34.91 4.18 29.93 2 24 2 15.4 2 7.96 "
         "6.93 4.34 14.12l7.35 5.7c1.73-5.2 6.58-9.07 12.31-9.07z",
         QColor::fromRgbF(0.918f, 0.263f, 0.208f)},
    };
    return segments;
}

QPainterPath painterPath(std::string_view d) {
    QPainterPath path;
    path.setFillRule(Qt::WindingFill);
    using Kind = SVGPathParser::PathElement::Kind;
    for (const auto& e : SVGPathParser::path(d)) {
        switch (e.kind) {
            case Kind::move:
                path.moveTo(e.to.x, e.to.y);
                break;
            case Kind::line:
                path.lineTo(e.to.x, e.to.y);
                break;
            case Kind::cubic:
                path.cubicTo(e.control1.x, e.control1.y, e.control2.x, e.control2.y, e.to.x,
                             e.to.y);
                break;
            case Kind::close:
                path.closeSubpath();
                break;
        }
    }
    return path;
}

}  // namespace

GoogleGLogo::GoogleGLogo(QWidget* parent) : QWidget(parent) {
    setObjectName(QStringLiteral("googleMark"));
    setAttribute(Qt::WA_TransparentForMouseEvents);
}

void GoogleGLogo::paintEvent(QPaintEvent*) {
    QPainter p(this);
    p.setRenderHint(QPainter::Antialiasing);
    p.setPen(Qt::NoPen);
    const double s = std::min(width(), height()) / 48.0;
    p.scale(s, s);  // from the top-left corner, never centred
    for (const Segment& segment : googleSegments()) {
        p.setBrush(segment.colour);
        p.drawPath(painterPath(segment.d));
    }
}

GoogleSignInButton::GoogleSignInButton(QWidget* parent)
    : HoverButton(parent), logo_(new GoogleGLogo(this)) {
    setObjectName(QStringLiteral("googleSignIn"));
    setText(QObject::tr("Sign in with Google"));
    setToolTip(QObject::tr("Sign in with Google"));
    setMinimumHeight(44);
    setSizePolicy(QSizePolicy::Expanding, QSizePolicy::Fixed);
}

QSize GoogleSignInButton::sizeHint() const {
    return QSize(200, 44);
}

void GoogleSignInButton::paintEvent(QPaintEvent*) {
    QPainter p(this);
    p.setRenderHint(QPainter::Antialiasing);
    const QRectF r = rect();
    fillRounded(p, r, 8, isHovered() ? withOpacity(primarySurface(), 0.6) : panelBackground());
    strokeInside(p, r, 8, borderDefault());
    logo_->setGeometry(12, (height() - 18) / 2, 18, 18);
    const double arrow = symbolSide(11);
    p.setPen(textPrimary());
    p.setFont(toneFont(13, QFont::DemiBold));
    const double textX = 12 + 18 + 10;
    p.drawText(QRectF(textX, 0, width() - textX - 12 - arrow - 10, height()),
               Qt::AlignLeft | Qt::AlignVCenter, text());
    paintSymbol(p, QRectF(width() - 12 - arrow, (height() - arrow) / 2, arrow, arrow),
                QStringLiteral("arrow.right"), primaryDeep());
}

// ---- RewriteCommandButton

RewriteCommandButton::RewriteCommandButton(QString title, QString iconName, bool isDisabled,
                                           QWidget* parent)
    : HoverButton(parent), iconName_(std::move(iconName)) {
    setText(title);
    setToolTip(title);
    setEnabled(!isDisabled);
    setMinimumHeight(54);
    setSizePolicy(QSizePolicy::Expanding, QSizePolicy::Fixed);
}

QSize RewriteCommandButton::sizeHint() const {
    return QSize(300, 54);
}

QRectF RewriteCommandButton::titleRect() const {
    // 10 padding, 34 icon well, 10 spacing; then 8 at least before the
    // 26-point arrow well and 10 padding.
    const double left = 10 + 34 + 10;
    const double right = width() - 10 - 26 - 8;
    return QRectF(left, 0, std::max(0.0, right - left), height());
}

double RewriteCommandButton::titleScale() const {
    return fittedTextScale(text(), toneFont(13, QFont::DemiBold), titleRect().width(), 0.82);
}

void RewriteCommandButton::paintEvent(QPaintEvent*) {
    QPainter p(this);
    p.setRenderHint(QPainter::Antialiasing);
    const bool disabled = !isEnabled();
    const bool hover = isHovered() && !disabled;
    const QRectF r = rect();
    const QColor surface = disabled ? withOpacity(primarySurface(), 0.22)
                           : hover  ? withOpacity(primarySurface(), 0.75)
                                    : panelBackground();
    const QColor trailing = disabled ? withOpacity(primarySurface(), 0.7)
                            : hover  ? primaryHover()
                                     : primary();
    fillRounded(p, r, 8, surface);
    strokeInside(p, r, 8, disabled ? withOpacity(borderDefault(), 0.55) : borderDefault());

    const QRectF well(10, (height() - 34) / 2.0, 34, 34);
    fillRounded(p, well, 6, disabled ? withOpacity(primarySurface(), 0.45) : primarySurface());
    const double icon = symbolSide(14);
    paintSymbol(p, QRectF(well.center().x() - icon / 2, well.center().y() - icon / 2, icon, icon),
                iconName_, disabled ? textMuted() : primaryDeep());

    p.setPen(disabled ? textMuted() : textPrimary());
    drawFittedText(p, titleRect(), text(), toneFont(13, QFont::DemiBold), 0.82, Qt::AlignLeft);

    const QRectF arrowWell(width() - 10 - 26, (height() - 26) / 2.0, 26, 26);
    fillRounded(p, arrowWell, 6, trailing);
    const double arrow = symbolSide(11);
    paintSymbol(p,
                QRectF(arrowWell.center().x() - arrow / 2, arrowWell.center().y() - arrow / 2,
                       arrow, arrow),
                QStringLiteral("arrow.right"), disabled ? textMuted() : QColor(Qt::white));
}

// ---- RewriteActionTab

RewriteActionTab::RewriteActionTab(RewriteAction action, bool isActive, QWidget* parent)
    : HoverButton(parent), action_(action), active_(isActive) {
    setObjectName(QStringLiteral("tab.") + QString::fromUtf8(rawValue(action)));
    const QString title = QString::fromUtf8(label(action));
    setText(title);
    setToolTip(title);
    setMinimumHeight(38);
    setSizePolicy(QSizePolicy::Expanding, QSizePolicy::Expanding);
}

QSize RewriteActionTab::sizeHint() const {
    return QSize(100, 38);
}

void RewriteActionTab::paintEvent(QPaintEvent*) {
    QPainter p(this);
    p.setRenderHint(QPainter::Antialiasing);
    const bool hover = isHovered() && isEnabled();
    const QColor fg =
        active_ ? (hover ? primaryDeep() : primary()) : (hover ? textSecondary() : textMuted());
    const QFont font = toneFont(12, QFont::DemiBold);
    const double textHeight = QFontMetricsF(font).height();
    const double stack = textHeight + 5 + 2;
    const double top = (height() - stack) / 2;
    p.setPen(fg);
    drawFittedText(p, QRectF(4, top, width() - 8, textHeight), text(), font, 0.72,
                   Qt::AlignHCenter);
    // The indicator keeps its space when inactive.
    if (active_) {
        fillRounded(p, QRectF((width() - 22) / 2.0, top + textHeight + 5, 22, 2), 1, primary());
    }
}

// ---- RegisterChip

RegisterChip::RegisterChip(Register value, bool isActive, QWidget* parent)
    : HoverButton(parent), value_(value), active_(isActive) {
    setObjectName(QStringLiteral("chip.") + QString::fromUtf8(rawValue(value)));
    setText(QString::fromUtf8(label(value)));
}

void RegisterChip::paintEvent(QPaintEvent*) {
    QPainter p(this);
    p.setRenderHint(QPainter::Antialiasing);
    const bool hover = isHovered() && isEnabled();
    const QColor background = active_ ? (hover ? primaryHover() : primary())
                                      : withOpacity(primary(), hover ? 0.14 : 0.08);
    const QRectF r = rect();
    fillRounded(p, r, 6, background);
    if (!active_) {
        strokeInside(p, r, 6, borderDefault());
    }
    p.setPen(active_ ? QColor(Qt::white) : textSecondary());
    drawFittedText(p, r.adjusted(10, 0, -10, 0), text(), toneFont(13, QFont::DemiBold), 0.78,
                   Qt::AlignHCenter);
}

}  // namespace mivo
