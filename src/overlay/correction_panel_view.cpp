#include "overlay/correction_panel_view.hpp"

#include <QCoreApplication>
#include <QEasingCurve>
#include <QGraphicsOpacityEffect>
#include <QHBoxLayout>
#include <QLabel>
#include <QPainter>
#include <QPainterPath>
#include <QVBoxLayout>
#include <QVariantAnimation>

#include "overlay/correction_panel_parts.hpp"
#include "overlay/overlay_palette.hpp"
#include "overlay/qt_style.hpp"
#include "ui/fonts.hpp"
#include "ui/qt_edge.hpp"

namespace mivo {
namespace {

using overlay_qt::toColor;

constexpr int kPadding = 12;
constexpr double kCornerRadius = 10;
constexpr int kFadeMilliseconds = 150;

QLabel* textLabel(const char* name, const QFont& font, const QColor& color, QWidget* parent) {
    auto* label = new QLabel(parent);
    label->setObjectName(name);
    label->setTextFormat(Qt::PlainText);
    label->setWordWrap(true);
    label->setFont(font);
    QPalette palette = label->palette();
    palette.setColor(QPalette::WindowText, color);
    label->setPalette(palette);
    label->setSizePolicy(QSizePolicy::Preferred, QSizePolicy::Minimum);
    return label;
}

QEasingCurve easeInOut() {
    QEasingCurve curve(QEasingCurve::BezierSpline);
    curve.addCubicBezierSegment(QPointF(0.42, 0), QPointF(0.58, 1), QPointF(1, 1));
    return curve;
}

}  // namespace

CorrectionPanelView::CorrectionPanelView(std::shared_ptr<CorrectionPanelModel> model,
                                         QWidget* parent)
    : QWidget(parent), model_(std::move(model)) {
    setObjectName("correctionPanel");
    setAttribute(Qt::WA_TranslucentBackground);
    setFixedWidth(fixedWidth);
    QPalette palette = this->palette();
    palette.setColor(QPalette::Window, Qt::white);
    setPalette(palette);

    auto* outer = new QVBoxLayout(this);
    outer->setContentsMargins(shadowMargin + kPadding, shadowMargin + kPadding,
                              shadowMargin + kPadding, shadowMargin + kPadding);
    outer->setSpacing(8);
    // The height is set from fittingHeight(); the layout must not raise it.
    outer->setSizeConstraint(QLayout::SetNoConstraint);

    if (model_->isNotice()) {
        auto* notice = textLabel("noticeLabel", overlay_qt::systemFont(13),
                                 toColor(overlay_palette::panelInk, 0.92), this);
        notice->setText(QString::fromStdString(model_->noticeMessage()));
        outer->addWidget(notice);
        return;
    }

    addHeader(*outer);

    if (model_->showsPicker()) {
        picker_ = new IssuePickerView(
            model_->issues(),
            [this](int index) {
                model_->select(static_cast<std::size_t>(index));
                refresh();
            },
            this);
        outer->addWidget(picker_);
    }

    addTexts(*outer);

    toggle_ = new PanelButton("Why?", PanelButton::Style::link, this);
    toggle_->setObjectName("explanationToggle");
    outer->addWidget(toggle_, 0, Qt::AlignLeft);

    addActions(*outer);

    setUpFade();

    // The handlers may close the panel; the model outlives the call.
    connect(apply_, &QAbstractButton::clicked, this, [model = model_] { model->apply(); });
    // The press, not the click: an accessibility action animates the click
    // and reports it a tenth of a second later. A release that brings no
    // click (the pointer left the button) is known only after the click
    // would have come.
    connect(apply_, &QAbstractButton::pressed, this, [model = model_] { model->applyPressed(); });
    connect(apply_, &QAbstractButton::released, this, [model = model_] {
        QMetaObject::invokeMethod(
            QCoreApplication::instance(), [model] { model->applyPressEnded(); },
            Qt::QueuedConnection);
    });
    connect(dismiss_, &QAbstractButton::clicked, this, [model = model_] { model->dismiss(); });
    connect(close_, &QAbstractButton::clicked, this, [model = model_] { model->dismiss(); });
    connect(toggle_, &QAbstractButton::clicked, this, &CorrectionPanelView::toggleExplanation);

    refresh();
}

void CorrectionPanelView::addHeader(QVBoxLayout& outer) {
    auto* header = new QHBoxLayout;
    header->setSpacing(6);
    badge_ = new SeverityBadgeView(this);
    close_ = new CloseButton(this);
    header->addWidget(badge_, 0, Qt::AlignVCenter);
    header->addStretch(1);
    header->addWidget(close_, 0, Qt::AlignVCenter);
    outer.addLayout(header);
    outer.addWidget(new PanelDivider(this));
}

void CorrectionPanelView::addTexts(QVBoxLayout& outer) {
    auto* texts = new QVBoxLayout;
    texts->setSpacing(3);
    suggestion_ = textLabel("suggestionLabel", ui::japaneseFont(15, QFont::Medium),
                            toColor(overlay_palette::panelInk, 0.92), this);
    QFont struck = ui::japaneseFont(12);
    struck.setStrikeOut(true);
    original_ = textLabel("originalLabel", struck, toColor(overlay_palette::panelGrey), this);
    texts->addWidget(suggestion_);
    texts->addWidget(original_);
    outer.addLayout(texts);

    explanation_ = textLabel("explanationLabel", overlay_qt::systemFont(11),
                             toColor(overlay_palette::panelGrey), this);
    explanationOpacity_ = new QGraphicsOpacityEffect(explanation_);
    explanationOpacity_->setOpacity(1);
    explanation_->setGraphicsEffect(explanationOpacity_);
    explanation_->setVisible(false);
    outer.addWidget(explanation_);
}

void CorrectionPanelView::addActions(QVBoxLayout& outer) {
    auto* actions = new QHBoxLayout;
    actions->setSpacing(8);
    apply_ = new PanelButton("Apply", PanelButton::Style::primary, this);
    apply_->setObjectName("applyButton");
    dismiss_ = new PanelButton("Dismiss", PanelButton::Style::ghost, this);
    dismiss_->setObjectName("dismissButton");
    actions->addWidget(apply_);
    actions->addWidget(dismiss_);
    actions->addStretch(1);
    outer.addLayout(actions);
}

void CorrectionPanelView::setUpFade() {
    fade_ = new QVariantAnimation(this);
    fade_->setDuration(kFadeMilliseconds);
    fade_->setEasingCurve(easeInOut());
    connect(fade_, &QVariantAnimation::valueChanged, this,
            [this](const QVariant& value) { explanationOpacity_->setOpacity(value.toDouble()); });
    // A folding explanation leaves once it has faded out.
    connect(fade_, &QVariantAnimation::finished, this, [this] {
        if (fadingOut_) {
            fadingOut_ = false;
            refresh();
        }
    });
}

CorrectionPanelView::~CorrectionPanelView() = default;

void CorrectionPanelView::refresh() {
    if (model_->isNotice())
        return;
    const CorrectionIssue& issue = model_->selectedIssue();
    badge_->setIssue(issue);
    if (picker_ != nullptr)
        picker_->setSelectedIndex(static_cast<int>(model_->selectedIndex()));
    suggestion_->setText(QString::fromStdString(issue.suggestion));
    original_->setText(QString::fromStdString(issue.original));
    explanation_->setText(QString::fromStdString(issue.explanationEn));
    explanation_->setVisible(model_->showExplanation() || fadingOut_);
    const auto label = model_->explanationToggleLabel();
    toggle_->setText(QString::fromUtf8(label.data(), static_cast<qsizetype>(label.size())));
    toggle_->updateGeometry();
    emit fittingHeightChanged(fittingHeight());
}

void CorrectionPanelView::toggleExplanation() {
    model_->toggleExplanation();
    fade_->stop();
    // The text fades in or out over 0.15 s, easing in and out.
    const bool unfolding = model_->showExplanation();
    fadingOut_ = !unfolding;
    const double from = unfolding ? 0.0 : explanationOpacity_->opacity();
    explanationOpacity_->setOpacity(from);
    fade_->setStartValue(from);
    fade_->setEndValue(unfolding ? 1.0 : 0.0);
    fade_->start();
    refresh();
}

void CorrectionPanelView::finishAnimations() {
    if (fade_ == nullptr)
        return;
    if (fade_->state() == QAbstractAnimation::Running)
        fade_->setCurrentTime(fade_->duration());
    fade_->stop();
    explanationOpacity_->setOpacity(1);
    if (fadingOut_) {
        fadingOut_ = false;
        refresh();
    }
}

int CorrectionPanelView::fittingHeight() {
    QLayout* outer = layout();
    outer->invalidate();
    outer->activate();
    if (outer->hasHeightForWidth())
        return outer->totalHeightForWidth(fixedWidth);
    return outer->totalSizeHint().height();
}

void CorrectionPanelView::paintShadows(QPainter& painter, const QRectF& card) {
    // Two soft shadows below the card, widened step by step: the accent's at
    // 0.12 (radius 8, 4 down) and a black one at 0.06 (radius 2, 1 down).
    const auto shadow = [&](const QColor& color, double radius, double dy) {
        const int steps = std::max(2, static_cast<int>(radius));
        for (int i = steps; i >= 1; --i) {
            const double grow = radius * i / steps;
            QColor c = color;
            c.setAlphaF(static_cast<float>(color.alphaF() / steps));
            QPainterPath path;
            path.addRoundedRect(card.adjusted(-grow, -grow, grow, grow).translated(0, dy),
                                kCornerRadius + grow, kCornerRadius + grow);
            painter.fillPath(path, c);
        }
    };
    shadow(toColor(overlay_palette::primary, 0.12), 8, 4);
    shadow(QColor::fromRgbF(0, 0, 0, 0.06f), 2, 1);
}

void CorrectionPanelView::paintEvent(QPaintEvent*) {
    QPainter painter(this);
    painter.setRenderHint(QPainter::Antialiasing);
    const QRectF card =
        QRectF(rect()).adjusted(shadowMargin, shadowMargin, -shadowMargin, -shadowMargin);

    // Without a compositor the window is masked to the card and what it
    // paints is not blended with the desktop: a shadow or a softened corner
    // would show as dark pixels at the card's rounded edge.
    if (qt_edge::hasCompositor())
        paintShadows(painter, card);
    else
        painter.fillRect(rect(), Qt::white);

    QPainterPath shape;
    shape.addRoundedRect(card, kCornerRadius, kCornerRadius);
    painter.fillPath(shape, Qt::white);
    painter.setPen(QPen(toColor(overlay_palette::primary, 0.2), 1));
    painter.setBrush(Qt::NoBrush);
    painter.drawRoundedRect(card.adjusted(0.5, 0.5, -0.5, -0.5), kCornerRadius - 0.5,
                            kCornerRadius - 0.5);
}

void CorrectionPanelView::enterEvent(QEnterEvent* event) {
    QWidget::enterEvent(event);
    if (!hovered_) {
        hovered_ = true;
        model_->hoverChanged(true);
    }
}

void CorrectionPanelView::leaveEvent(QEvent* event) {
    QWidget::leaveEvent(event);
    if (hovered_) {
        hovered_ = false;
        model_->hoverChanged(false);
    }
}

}  // namespace mivo
