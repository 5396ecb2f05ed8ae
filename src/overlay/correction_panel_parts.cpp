#include "overlay/correction_panel_parts.hpp"

#include <QPainter>
#include <QPainterPath>
#include <QVBoxLayout>

#include "overlay/correction_panel_model.hpp"
#include "overlay/overlay_palette.hpp"
#include "overlay/qt_style.hpp"
#include "ui/fonts.hpp"

namespace mivo {
namespace {

using overlay_qt::systemFont;
using overlay_qt::toColor;

QString qs(std::string_view text) {
    return QString::fromUtf8(text.data(), static_cast<qsizetype>(text.size()));
}

// Held, the primary and ghost buttons shrink to 0.97 about the centre, at
// once; the link keeps still.
ui::ButtonStyle lookOf(PanelButton::Style style) {
    ui::ButtonStyle look;
    look.padding = QSizeF(12, 6);
    look.pressedScale = 0.97;
    switch (style) {
        case PanelButton::Style::primary:
            look.font = systemFont(12, QFont::Medium);
            look.cornerRadius = 6;
            look.normal = {
                .fill = toColor(overlay_palette::primary), .ink = Qt::white, .outline = {}};
            break;
        case PanelButton::Style::ghost:
            look.font = systemFont(12);
            look.normal.ink = secondaryLabelColor();
            break;
        case PanelButton::Style::link:
            look.font = systemFont(10);
            look.padding = QSizeF(0, 0);
            look.pressedScale = 1;
            look.normal.ink = toColor(overlay_palette::primary);
            break;
    }
    look.pressed = look.normal;
    return look;
}

}  // namespace

// Half black gives 3.98:1 on the white card; 55 % reads at 4.76:1.
QColor secondaryLabelColor() {
    return QColor(0, 0, 0, 140);
}

SeverityBadgeView::SeverityBadgeView(QWidget* parent) : QWidget(parent) {
    setObjectName("severityBadge");
    setSizePolicy(QSizePolicy::Fixed, QSizePolicy::Fixed);
}

void SeverityBadgeView::setIssue(const CorrectionIssue& issue) {
    severity_ = issue.severity;
    text_ = qs(categoryLabel(issue.category));
    updateGeometry();
    update();
}

QSize SeverityBadgeView::sizeHint() const {
    const QFontMetrics metrics(systemFont(10, QFont::Medium));
    // dot 6, spacing 4, label; padding 6 on the sides and 2 above and below
    const int width = 6 + 4 + metrics.horizontalAdvance(text_) + 2 * 6;
    const int height = std::max(6, metrics.height()) + 2 * 2;
    return QSize(width, height);
}

void SeverityBadgeView::paintEvent(QPaintEvent*) {
    const QColor c = toColor(overlay_palette::severityColor(severity_));
    QPainter painter(this);
    painter.setRenderHint(QPainter::Antialiasing);
    const QRectF bounds = rect();
    QPainterPath capsule;
    capsule.addRoundedRect(bounds, bounds.height() / 2, bounds.height() / 2);
    QColor fill = c;
    fill.setAlphaF(0.1f);
    painter.fillPath(capsule, fill);
    painter.setPen(Qt::NoPen);
    painter.setBrush(c);
    painter.drawEllipse(QRectF(6, bounds.height() / 2 - 3, 6, 6));
    painter.setPen(c);
    painter.setFont(systemFont(10, QFont::Medium));
    painter.drawText(QRectF(6 + 6 + 4, 0, bounds.width() - 16, bounds.height()),
                     Qt::AlignLeft | Qt::AlignVCenter, text_);
}

PanelDivider::PanelDivider(QWidget* parent) : QWidget(parent) {
    setObjectName("divider");
    setFixedHeight(1);
    setSizePolicy(QSizePolicy::Expanding, QSizePolicy::Fixed);
}

void PanelDivider::paintEvent(QPaintEvent*) {
    QPainter painter(this);
    // The standard separator grey with the accent at 0.12 laid over it.
    painter.fillRect(rect(), QColor(0, 0, 0, 26));
    painter.fillRect(rect(), toColor(overlay_palette::primary, 0.12));
}

PanelButton::PanelButton(const QString& text, Style style, QWidget* parent)
    : ui::PaintedButton(
          text, [style] { return lookOf(style); }, parent),
      style_(style) {
    setCursor(Qt::PointingHandCursor);
    setFocusPolicy(Qt::NoFocus);
}

CloseButton::CloseButton(QWidget* parent) : QAbstractButton(parent) {
    setObjectName("closeButton");
    setCursor(Qt::PointingHandCursor);
    setFocusPolicy(Qt::NoFocus);
    setSizePolicy(QSizePolicy::Fixed, QSizePolicy::Fixed);
}

QSize CloseButton::sizeHint() const {
    return QSize(14, 14);
}

void CloseButton::paintEvent(QPaintEvent*) {
    QPainter painter(this);
    painter.setRenderHint(QPainter::Antialiasing);
    QPen pen(secondaryLabelColor(), 1.4);
    pen.setCapStyle(Qt::RoundCap);
    painter.setPen(pen);
    // The cross of a size-11 symbol: about 8 pixels, centred.
    const QPointF c = QRectF(rect()).center();
    constexpr double half = 4;
    painter.drawLine(c + QPointF(-half, -half), c + QPointF(half, half));
    painter.drawLine(c + QPointF(-half, half), c + QPointF(half, -half));
}

IssueRowButton::IssueRowButton(int number, const CorrectionIssue& issue, QWidget* parent)
    : QAbstractButton(parent), number_(number), issue_(issue) {
    setObjectName(QString("issueRow%1").arg(number));
    setText(QString::fromStdString(issue.original));
    setCursor(Qt::PointingHandCursor);
    setFocusPolicy(Qt::NoFocus);
    setSizePolicy(QSizePolicy::Expanding, QSizePolicy::Fixed);
}

void IssueRowButton::setSelectedRow(bool selected) {
    if (selected_ == selected)
        return;
    selected_ = selected;
    update();
}

QSize IssueRowButton::sizeHint() const {
    const QFontMetrics first(ui::japaneseFont(12, QFont::Medium));
    const QFontMetrics second(ui::japaneseFont(11));
    const int lines = first.height() + 1 + second.height();
    return QSize(120, std::max(18, lines) + 2 * 6);
}

void IssueRowButton::paintEvent(QPaintEvent*) {
    QPainter painter(this);
    painter.setRenderHint(QPainter::Antialiasing);
    const QRectF bounds = rect();
    QPainterPath shape;
    shape.addRoundedRect(bounds, 6, 6);
    painter.fillPath(shape, selected_ ? toColor(overlay_palette::selectedRowFill) : Qt::white);
    // The border lies inside the edge.
    painter.setPen(
        QPen(selected_ ? toColor(overlay_palette::primary, 0.22) : QColor(0, 0, 0, 15), 1));
    painter.setBrush(Qt::NoBrush);
    painter.drawRoundedRect(bounds.adjusted(0.5, 0.5, -0.5, -0.5), 5.5, 5.5);

    // Number bubble in this row's own severity colour.
    const QRectF bubble(7, bounds.height() / 2 - 9, 18, 18);
    painter.setPen(Qt::NoPen);
    painter.setBrush(toColor(overlay_palette::severityColor(issue_.severity)));
    painter.drawEllipse(bubble);
    painter.setPen(Qt::white);
    painter.setFont(systemFont(10, QFont::DemiBold));
    painter.drawText(bubble, Qt::AlignCenter, QString::number(number_));

    const QFont firstFont = ui::japaneseFont(12, QFont::Medium);
    const QFont secondFont = ui::japaneseFont(11);
    const QFontMetrics first(firstFont);
    const QFontMetrics second(secondFont);
    const double left = bubble.right() + 8;
    const int available = static_cast<int>(bounds.width() - left - 7);
    const double top = (bounds.height() - (first.height() + 1 + second.height())) / 2;
    painter.setFont(firstFont);
    painter.setPen(toColor(overlay_palette::panelInk, 0.9));
    painter.drawText(
        QRectF(left, top, available, first.height()), Qt::AlignLeft | Qt::AlignVCenter,
        first.elidedText(QString::fromStdString(issue_.original), Qt::ElideRight, available));
    painter.setFont(secondFont);
    painter.setPen(toColor(overlay_palette::panelGrey));
    painter.drawText(
        QRectF(left, top + first.height() + 1, available, second.height()),
        Qt::AlignLeft | Qt::AlignVCenter,
        second.elidedText(QString::fromStdString(issue_.suggestion), Qt::ElideRight, available));
}

IssuePickerView::IssuePickerView(const std::vector<CorrectionIssue>& issues,
                                 std::function<void(int)> onSelect, QWidget* parent)
    : QWidget(parent) {
    setObjectName("issuePicker");
    auto* layout = new QVBoxLayout(this);
    layout->setContentsMargins(0, 0, 0, 0);
    layout->setSpacing(4);
    for (std::size_t i = 0; i < issues.size(); ++i) {
        auto* row = new IssueRowButton(static_cast<int>(i) + 1, issues[i], this);
        const int index = static_cast<int>(i);
        connect(row, &QAbstractButton::clicked, this, [onSelect, index] { onSelect(index); });
        layout->addWidget(row);
        rows_.push_back(row);
    }
    setSelectedIndex(0);
}

void IssuePickerView::setSelectedIndex(int index) {
    for (std::size_t i = 0; i < rows_.size(); ++i)
        rows_[i]->setSelectedRow(static_cast<int>(i) == index);
}

}  // namespace mivo
