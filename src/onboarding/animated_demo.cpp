#include "onboarding/animated_demo.hpp"

#include <QEasingCurve>
#include <QFontMetricsF>
#include <QImage>
#include <QPainter>
#include <QPainterPath>
#include <algorithm>
#include <chrono>
#include <cmath>

#include "onboarding/onboarding_controls.hpp"
#include "onboarding/onboarding_theme.hpp"

namespace mivo {

namespace {

// Room around the card for its shadow (radius 16, 6 down).
constexpr int marginX = 18;
constexpr int marginTop = 10;
constexpr int marginBottom = 24;
constexpr int cardPadding = 16;
constexpr int cardRadius = 14;
constexpr int headerHeight = 22;
constexpr int headerSpacing = 12;
constexpr int bubbleZoneHeight = 46;
constexpr double caretHalfBlinkSeconds = 0.55;
constexpr double frameSeconds = 1.0 / 60.0;

QString q(const std::string& text) {
    return QString::fromStdString(text);
}

double secondsBetween(TimePoint from, TimePoint to) {
    return std::chrono::duration<double>(to - from).count();
}

double eased(double progress) {
    static const QEasingCurve curve = onboardingEaseInOut();
    return curve.valueForProgress(std::clamp(progress, 0.0, 1.0));
}

// A soft shadow: the shape drawn again and again, growing, each time faint.
void paintShadow(QPainter& painter, const QRectF& shape, double radius, const QColor& color,
                 double blur, QPointF offset) {
    painter.save();
    painter.setPen(Qt::NoPen);
    const int steps = std::max(1, static_cast<int>(blur / 2));
    QColor layer = color;
    layer.setAlphaF(static_cast<float>(color.alphaF() / steps));
    painter.setBrush(layer);
    for (int i = 0; i < steps; ++i) {
        const double grow = blur * (i + 1) / steps - blur / 2;
        painter.drawRoundedRect(shape.translated(offset).adjusted(-grow, -grow, grow, grow),
                                radius + grow, radius + grow);
    }
    painter.restore();
}

void fillCapsule(QPainter& painter, const QRectF& rect, const QColor& fill) {
    painter.setPen(Qt::NoPen);
    painter.setBrush(fill);
    painter.drawRoundedRect(rect, rect.height() / 2, rect.height() / 2);
}

QFont sentenceFont() {
    return OnboardingTheme::font(18, QFont::Medium);
}

}  // namespace

AnimatedDemo::AnimatedDemo(Scheduler& scheduler, QWidget* parent)
    : QWidget(parent), scheduler_(scheduler), player_(scheduler) {
    setObjectName(QStringLiteral("animatedDemo"));
    setFixedSize(sizeHint());
    player_.onPhaseChanged = [this](DemoPlayer::Phase phase, bool animated) {
        phaseChanged(phase, animated);
    };
    caretStart_ = scheduler_.now();
}

AnimatedDemo::~AnimatedDemo() {
    ticker_.cancel();
    player_.stop();
}

QSize AnimatedDemo::sizeHint() const {
    return {cardWidth + 2 * marginX, cardHeight + marginTop + marginBottom};
}

QRect AnimatedDemo::cardRect() const {
    return {marginX, marginTop, cardWidth, cardHeight};
}

QRectF AnimatedDemo::stageRect() const {
    const QRectF card = cardRect();
    return {card.left() + cardPadding, card.top() + cardPadding + headerHeight + headerSpacing,
            card.width() - 2.0 * cardPadding, static_cast<double>(stageHeight)};
}

void AnimatedDemo::showEvent(QShowEvent* event) {
    QWidget::showEvent(event);
    // Each time the slide comes back the demonstration starts over.
    player_.start();
}

void AnimatedDemo::hideEvent(QHideEvent* event) {
    QWidget::hideEvent(event);
    player_.stop();
    previous_.reset();
    updateTicking();
}

void AnimatedDemo::phaseChanged(DemoPlayer::Phase phase, bool animated) {
    const TimePoint now = scheduler_.now();
    if (animated) {
        // The phase fading out is the one on screen now: settle any fade
        // still running by taking its target.
        previous_ = DemoPlayer::timeline[(player_.idx() + DemoPlayer::timeline.size() - 1) %
                                         DemoPlayer::timeline.size()]
                        .phase;
        transitionStart_ = now;
    } else {
        previous_.reset();
    }
    if (phase == DemoPlayer::Phase::typing) {
        // The caret is built anew with its stage: its blink starts on.
        caretStart_ = now;
    }
    updateTicking();
    update();
}

double AnimatedDemo::transitionProgress() const {
    if (!previous_) {
        return 1.0;
    }
    const double elapsed = secondsBetween(transitionStart_, scheduler_.now());
    return std::clamp(elapsed / DemoPlayer::phaseAnimationSeconds, 0.0, 1.0);
}

double AnimatedDemo::blink() const {
    // On, fading out over 0.55 s and back in over 0.55 s, for ever.
    const double period = 2 * caretHalfBlinkSeconds;
    const double t =
        std::fmod(std::max(0.0, secondsBetween(caretStart_, scheduler_.now())), period);
    return t < caretHalfBlinkSeconds ? 1.0 - eased(t / caretHalfBlinkSeconds)
                                     : eased((t - caretHalfBlinkSeconds) / caretHalfBlinkSeconds);
}

double AnimatedDemo::caretOpacity() const {
    const bool nowVisible = demoScene(player_.phase()).caretVisible;
    const bool wasVisible = previous_ && demoScene(*previous_).caretVisible;
    const double p = eased(transitionProgress());
    const double visibility =
        previous_ ? (wasVisible ? 1 - p : 0) + (nowVisible ? p : 0) : (nowVisible ? 1.0 : 0.0);
    return visibility * blink();
}

bool AnimatedDemo::needsFrames() const {
    if (!isVisible()) {
        return false;
    }
    return transitionProgress() < 1.0 || demoScene(player_.phase()).caretVisible;
}

void AnimatedDemo::updateTicking() {
    if (needsFrames()) {
        if (!ticker_ || ticker_.isCancelled()) {
            ticker_ = scheduler_.repeating(frameSeconds, [this] {
                update();
                if (transitionProgress() >= 1.0) {
                    previous_.reset();
                }
                if (!needsFrames()) {
                    ticker_.cancel();
                }
            });
        }
    } else {
        ticker_.cancel();
    }
}

void AnimatedDemo::paintEvent(QPaintEvent*) {
    QPainter painter(this);
    painter.setRenderHint(QPainter::Antialiasing);
    painter.setRenderHint(QPainter::TextAntialiasing);
    // The slide's own background under the shadow, so the card looks the
    // same wherever it is drawn.
    painter.fillRect(rect(), OnboardingTheme::background());
    const QRectF card = cardRect();
    paintShadow(painter, card, cardRadius,
                OnboardingTheme::withOpacity(OnboardingTheme::primary(), 0.08), 16, QPointF(0, 6));

    const DemoScene scene = demoScene(player_.phase());
    const double caret = blink();
    paintCard(painter, scene, demoScene(player_.phase()).caretVisible ? caret : 0.0);

    const double p = eased(transitionProgress());
    double bubble = scene.bubbleVisible ? 1.0 : 0.0;
    if (previous_ && p < 1.0) {
        // Cross-fade: the outgoing phase, opaque card and all, over the new
        // one at the complement of the progress.
        const DemoScene before = demoScene(*previous_);
        const qreal ratio = devicePixelRatioF();
        QImage image((size() * ratio), QImage::Format_ARGB32_Premultiplied);
        image.setDevicePixelRatio(ratio);
        image.fill(Qt::transparent);
        {
            QPainter old(&image);
            old.setRenderHint(QPainter::Antialiasing);
            old.setRenderHint(QPainter::TextAntialiasing);
            paintCard(old, before, before.caretVisible ? caret : 0.0);
        }
        painter.save();
        QPainterPath clip;
        clip.addRoundedRect(card, cardRadius, cardRadius);
        painter.setClipPath(clip);
        painter.setOpacity(1.0 - p);
        painter.drawImage(QPointF(0, 0), image);
        painter.restore();
        const double was = before.bubbleVisible ? 1.0 : 0.0;
        bubble = was + (bubble - was) * p;
    }
    if (bubble > 0.0) {
        paintBubble(painter, bubble);
    }
}

void AnimatedDemo::paintCard(QPainter& painter, const DemoScene& scene, double caret) const {
    const QRectF card = cardRect();
    QPainterPath shape;
    shape.addRoundedRect(card, cardRadius, cardRadius);
    painter.fillPath(shape, OnboardingTheme::surface());
    painter.setPen(QPen(OnboardingTheme::borderSubtle(), 1.0));
    painter.setBrush(Qt::NoBrush);
    painter.drawRoundedRect(card.adjusted(0.5, 0.5, -0.5, -0.5), cardRadius - 0.5,
                            cardRadius - 0.5);

    const QRectF header(card.left() + cardPadding, card.top() + cardPadding,
                        card.width() - 2.0 * cardPadding, headerHeight);
    paintHeader(painter, header, scene);
    if (scene.toneStage) {
        paintToneStage(painter, stageRect(), scene);
    } else {
        paintCorrectionStage(painter, scene, caret);
    }
}

void AnimatedDemo::paintHeader(QPainter& painter, const QRectF& row, const DemoScene& scene) const {
    // Window dots: red, amber, green.
    const QColor dots[] = {OnboardingTheme::error(), OnboardingTheme::warning(),
                           OnboardingTheme::success()};
    double x = row.left();
    painter.setPen(Qt::NoPen);
    for (const QColor& dot : dots) {
        painter.setBrush(OnboardingTheme::withOpacity(dot, 0.85));
        painter.drawEllipse(QRectF(x, row.center().y() - 4, 8, 8));
        x += 8 + 6;
    }
    // The status pill at the trailing edge.
    const QFont font = OnboardingTheme::font(11, QFont::DemiBold);
    const QFontMetricsF metrics(font);
    const QString label = q(scene.pillLabel);
    const double width = metrics.horizontalAdvance(label) + 18;
    const QRectF pill(row.right() - width, row.top(), width, row.height());
    fillCapsule(painter, pill,
                scene.toneStage ? OnboardingTheme::primary() : OnboardingTheme::background());
    painter.setFont(font);
    painter.setPen(scene.toneStage ? QColor(Qt::white) : OnboardingTheme::textSecondary());
    painter.drawText(pill, Qt::AlignCenter, label);
}

QRectF AnimatedDemo::squiggleRect() const {
    const QFontMetricsF metrics(sentenceFont());
    const DemoScene scene = demoScene(player_.phase());
    const QString lead = QStringLiteral("明日資料を");
    const QString word = q(scene.correctedWord);
    const QString stop = QStringLiteral("。");
    const double caretWidth = 3;  // 1 of leading padding, 2 of caret
    const double lineWidth = metrics.horizontalAdvance(lead) + metrics.horizontalAdvance(word) +
                             metrics.horizontalAdvance(stop) + caretWidth;
    const QRectF stage = stageRect();
    const double top = stage.top() + (stage.height() - (bubbleZoneHeight + metrics.height())) / 2;
    const double lineTop = top + bubbleZoneHeight;
    const double x = stage.center().x() - lineWidth / 2 + metrics.horizontalAdvance(lead);
    // Four high under the word, moved four down from its bottom.
    return {x, lineTop + metrics.height(), metrics.horizontalAdvance(word), 4};
}

void AnimatedDemo::paintCorrectionStage(QPainter& painter, const DemoScene& scene,
                                        double caret) const {
    const QFont font = sentenceFont();
    const QFontMetricsF metrics(font);
    const QString lead = QStringLiteral("明日資料を");
    const QString word = q(scene.correctedWord);
    const QString stop = QStringLiteral("。");
    const QRectF under = squiggleRect();
    const double lineTop = under.top() - metrics.height();
    double x = under.left() - metrics.horizontalAdvance(lead);
    const double baseline = lineTop + metrics.ascent();

    painter.setFont(font);
    painter.setPen(OnboardingTheme::textPrimary());
    painter.drawText(QPointF(x, baseline), lead);
    x += metrics.horizontalAdvance(lead);
    painter.setPen(scene.correctedWordIsSuccess ? OnboardingTheme::success()
                                                : OnboardingTheme::textPrimary());
    painter.drawText(QPointF(x, baseline), word);
    x += metrics.horizontalAdvance(word);
    painter.setPen(OnboardingTheme::textPrimary());
    painter.drawText(QPointF(x, baseline), stop);
    x += metrics.horizontalAdvance(stop);

    if (scene.underlineVisible) {
        QPainterPath wave;
        wave.moveTo(under.left(), under.center().y());
        for (const SquiggleArch& arch :
             squiggleArches(under.left(), under.right(), under.center().y())) {
            wave.quadTo(arch.controlX, arch.controlY, arch.endX, under.center().y());
        }
        painter.setBrush(Qt::NoBrush);
        painter.setPen(QPen(OnboardingTheme::error(), 1.6, Qt::SolidLine, Qt::RoundCap));
        painter.drawPath(wave);
    }
    if (caret > 0.0) {
        const double caretTop = lineTop + (metrics.height() - 20) / 2;
        painter.fillRect(QRectF(x + 1, caretTop, 2, 20),
                         OnboardingTheme::withOpacity(OnboardingTheme::primary(), caret));
    }
}

void AnimatedDemo::paintToneStage(QPainter& painter, const QRectF& stage,
                                  const DemoScene& scene) const {
    const QFont font = sentenceFont();
    const QFontMetricsF metrics(font);
    const QFont chipFont = OnboardingTheme::font(12, QFont::DemiBold);
    const QFontMetricsF chipMetrics(chipFont);
    const double sentenceHeight = metrics.height() + 8;
    const double chipHeight = chipMetrics.height() + 12;
    const double top = stage.top() + (stage.height() - (sentenceHeight + 14 + chipHeight)) / 2;

    const QString sentence = q(scene.toneSentence);
    const double sentenceWidth = metrics.horizontalAdvance(sentence) + 16;
    const QRectF box(stage.center().x() - sentenceWidth / 2, top, sentenceWidth, sentenceHeight);
    if (scene.toneSelectionVisible) {
        painter.setPen(Qt::NoPen);
        painter.setBrush(OnboardingTheme::withOpacity(OnboardingTheme::primary(), 0.18));
        painter.drawRoundedRect(box, 6, 6);
    }
    painter.setFont(font);
    painter.setPen(scene.toneSentenceIsSuccess ? OnboardingTheme::success()
                                               : OnboardingTheme::textPrimary());
    painter.drawText(box, Qt::AlignCenter, sentence);

    if (!scene.chipRowVisible) {
        return;  // transparent, its room kept
    }
    struct Chip {
        QString label;
        bool active;
    };
    const Chip chips[] = {
        {QStringLiteral("Casual"), false},
        {QStringLiteral("Polite"), scene.activeChip == DemoScene::Chip::polite},
        {QStringLiteral("Business"), scene.activeChip == DemoScene::Chip::business},
    };
    double rowWidth = 2 * 8;
    for (const Chip& chip : chips) {
        rowWidth += chipMetrics.horizontalAdvance(chip.label) + 24;
    }
    double x = stage.center().x() - rowWidth / 2;
    const double chipTop = top + sentenceHeight + 14;
    painter.setFont(chipFont);
    for (const Chip& chip : chips) {
        const double width = chipMetrics.horizontalAdvance(chip.label) + 24;
        const QRectF rect(x, chipTop, width, chipHeight);
        fillCapsule(painter, rect,
                    chip.active ? OnboardingTheme::primary() : OnboardingTheme::background());
        if (!chip.active) {
            painter.setPen(QPen(OnboardingTheme::borderSubtle(), 1.0));
            painter.setBrush(Qt::NoBrush);
            const QRectF edge = rect.adjusted(0.5, 0.5, -0.5, -0.5);
            painter.drawRoundedRect(edge, edge.height() / 2, edge.height() / 2);
        }
        painter.setPen(chip.active ? QColor(Qt::white) : OnboardingTheme::textSecondary());
        painter.drawText(rect, Qt::AlignCenter, chip.label);
        x += width + 8;
    }
}

void AnimatedDemo::paintBubble(QPainter& painter, double appearance) const {
    const QFont wordFont = OnboardingTheme::font(13, QFont::DemiBold);
    const QFont applyFont = OnboardingTheme::font(11, QFont::DemiBold);
    const QFontMetricsF wordMetrics(wordFont);
    const QFontMetricsF applyMetrics(applyFont);
    const QString word = QStringLiteral("送ります");
    const QString apply = QStringLiteral("Apply");
    const QSizeF pill(applyMetrics.horizontalAdvance(apply) + 18, applyMetrics.height() + 6);
    const double contentHeight = std::max(wordMetrics.height(), pill.height());
    const QSizeF body(wordMetrics.horizontalAdvance(word) + 10 + pill.width() + 24,
                      contentHeight + 16);
    const double total = body.height() + 6;

    // The zone above the sentence; the bubble comes down from its top edge.
    const QRectF under = squiggleRect();
    const QFontMetricsF sentence(sentenceFont());
    const double zoneTop = under.top() - sentence.height() - bubbleZoneHeight;
    const double offset = -(1.0 - appearance) * bubbleZoneHeight;
    const QRectF bodyRect(stageRect().center().x() - body.width() / 2,
                          zoneTop + (bubbleZoneHeight - total) / 2 + offset, body.width(),
                          body.height());

    painter.save();
    QPainterPath clip;
    clip.addRoundedRect(cardRect(), cardRadius, cardRadius);
    painter.setClipPath(clip);
    painter.setOpacity(appearance);
    paintShadow(painter, bodyRect, 9, QColor::fromRgbF(0, 0, 0, 0.12f), 8, QPointF(0, 3));
    painter.setPen(Qt::NoPen);
    painter.setBrush(OnboardingTheme::surface());
    painter.drawRoundedRect(bodyRect, 9, 9);
    painter.setPen(QPen(OnboardingTheme::borderDefault(), 1.0));
    painter.setBrush(Qt::NoBrush);
    painter.drawRoundedRect(bodyRect.adjusted(0.5, 0.5, -0.5, -0.5), 8.5, 8.5);
    // The pointer, its base along the body's bottom, apex down.
    QPainterPath pointer;
    const double midX = bodyRect.center().x();
    pointer.moveTo(midX - 6, bodyRect.bottom() - 0.5);
    pointer.lineTo(midX + 6, bodyRect.bottom() - 0.5);
    pointer.lineTo(midX, bodyRect.bottom() + 6);
    pointer.closeSubpath();
    painter.fillPath(pointer, OnboardingTheme::surface());

    double x = bodyRect.left() + 12;
    const double midY = bodyRect.center().y();
    painter.setFont(wordFont);
    painter.setPen(OnboardingTheme::textPrimary());
    painter.drawText(QRectF(x, midY - wordMetrics.height() / 2,
                            wordMetrics.horizontalAdvance(word) + 1, wordMetrics.height()),
                     Qt::AlignCenter, word);
    x += wordMetrics.horizontalAdvance(word) + 10;
    const QRectF pillRect(x, midY - pill.height() / 2, pill.width(), pill.height());
    fillCapsule(painter, pillRect, OnboardingTheme::primary());
    painter.setFont(applyFont);
    painter.setPen(Qt::white);
    painter.drawText(pillRect, Qt::AlignCenter, apply);
    painter.restore();
}

}  // namespace mivo
