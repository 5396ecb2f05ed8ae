#include "tone_panel/tone_panel_view.hpp"

#include <QHBoxLayout>
#include <QImage>
#include <QPainter>
#include <QPainterPath>
#include <QToolButton>
#include <QVBoxLayout>
#include <optional>

#include "shared/resource_bundle.hpp"
#include "tone_panel/tone_controls.hpp"
#include "tone_panel/tone_feedback_composer.hpp"
#include "tone_panel/tone_symbols.hpp"
#include "tone_panel/tone_text_widgets.hpp"
#include "tone_panel/tone_theme.hpp"
#include "ui/appearance.hpp"
#include "ui/qt_edge.hpp"

namespace mivo {

using namespace ToneTheme;

namespace {

// The header's logo, looked up once for the life of the process; a missing
// bundle or image leaves the header without one.
const std::optional<QImage>& logoImage() {
    static const std::optional<QImage> logo = []() -> std::optional<QImage> {
        const ResourceBundle bundle = mivoSealedResourceBundle("Mivo_Tone", [] {
            return ResourceBundle(sourceResourcesFolder() / "Mivo_Tone.bundle");
        });
        const auto url = bundle.urlForResource("mivo-logo", "png");
        if (!url) {
            return std::nullopt;
        }
        QImage image(QString::fromStdString(url->string()));
        if (image.isNull()) {
            return std::nullopt;
        }
        return image;
    }();
    return logo;
}

// 16 x 16: the image's own colours with corners of 4 in the light scheme, a
// white silhouette with square corners in the dark one.
class LogoView : public QWidget {
  public:
    explicit LogoView(QImage image, QWidget* parent = nullptr)
        : QWidget(parent), image_(std::move(image)) {
        setObjectName(QStringLiteral("logo"));
        setFixedSize(16, 16);
    }

  protected:
    void paintEvent(QPaintEvent*) override {
        QPainter p(this);
        p.setRenderHint(QPainter::Antialiasing);
        p.setRenderHint(QPainter::SmoothPixmapTransform);
        if (ui::Appearance::shared().isDark()) {
            QImage shape = image_
                               .scaled(size() * devicePixelRatioF(), Qt::IgnoreAspectRatio,
                                       Qt::SmoothTransformation)
                               .convertToFormat(QImage::Format_ARGB32_Premultiplied);
            {
                QPainter tint(&shape);
                tint.setCompositionMode(QPainter::CompositionMode_SourceIn);
                tint.fillRect(shape.rect(), Qt::white);
            }
            shape.setDevicePixelRatio(devicePixelRatioF());
            p.drawImage(QPointF(0, 0), shape);
        } else {
            QPainterPath clip;
            clip.addRoundedRect(QRectF(rect()), 4, 4);
            p.setClipPath(clip);
            p.drawImage(QRectF(rect()), image_);
        }
    }

  private:
    QImage image_;
};

// One soft shadow under a rounded rectangle: layers spread over `radius`.
void paintShadow(QPainter& p, const QRectF& card, double cornerRadius, QColor colour, double radius,
                 double offsetY) {
    constexpr int layers = 8;
    const double alpha = colour.alphaF();
    for (int i = layers; i >= 1; --i) {
        const double spread = radius * i / layers;
        QColor layer = colour;
        layer.setAlphaF(static_cast<float>(alpha * 2.0 / (layers + 1)) *
                        static_cast<float>(layers - i + 1) / layers);
        p.setPen(Qt::NoPen);
        p.setBrush(layer);
        const QRectF r =
            card.translated(0, offsetY).adjusted(-spread / 2, -spread / 2, spread / 2, spread / 2);
        p.drawRoundedRect(r, cornerRadius + spread / 2, cornerRadius + spread / 2);
    }
}

}  // namespace

TonePanelView::TonePanelView(std::string originalText, ToneStateBox& box,
                             TonePanelCallbacks callbacks, QWidget* parent)
    : QWidget(parent),
      originalText_(std::move(originalText)),
      box_(box),
      callbacks_(std::move(callbacks)) {
    setObjectName(QStringLiteral("tonePanel"));
    setAttribute(Qt::WA_TranslucentBackground);
    setFixedWidth(hostedWidth);
    column_ = new QVBoxLayout(this);
    const int inset = outerMargin + cardPadding;
    column_->setContentsMargins(inset, inset, inset, inset);
    column_->setSpacing(10);
    rebuild();
    observation_ = box_.observe([this](ToneStateBox::Field field) { boxChanged(field); });
    connect(&ui::Appearance::shared(), &ui::Appearance::changed, this, [this] {
        rebuild();
        update();
    });
}

TonePanelView::~TonePanelView() {
    observation_.cancel();
}

QRect TonePanelView::cardRect() const {
    return rect().adjusted(outerMargin, outerMargin, -outerMargin, -outerMargin);
}

void TonePanelView::boxChanged(ToneStateBox::Field field) {
    if (field == ToneStateBox::Field::feedbackText) {
        syncComposer(false);
        return;
    }
    // Content widgets may be the sender of this change (a clicked tab):
    // they are hidden now and deleted once their signal has returned.
    if (content_ != nullptr) {
        content_->hide();
        column_->removeWidget(content_);
        content_->deleteLater();
    }
    content_ = buildContent();
    column_->addWidget(content_);
    // Shown now rather than on the next turn of the loop, so that the height
    // below counts it.
    content_->setVisible(isVisible());
    syncComposer(field == ToneStateBox::Field::feedbackComposerPresented);
    fitHeight();
}

void TonePanelView::rebuild() {
    for (QWidget* old : {header_, content_}) {
        if (old != nullptr) {
            old->hide();
            column_->removeWidget(old);
            old->deleteLater();
        }
    }
    while (QLayoutItem* item = column_->takeAt(0)) {
        if (QWidget* w = item->widget(); w != nullptr) {
            w->deleteLater();
        }
        delete item;
    }
    header_ = buildHeader();
    column_->addWidget(header_);
    column_->addWidget(new ToneDivider(this));
    content_ = buildContent();
    column_->addWidget(content_);
    syncComposer(true);
    fitHeight();
}

void TonePanelView::syncComposer(bool rebuildIt) {
    const bool presented = box_.feedbackComposerPresented();
    if (composer_ != nullptr && (!presented || rebuildIt)) {
        composer_->hide();
        composer_->deleteLater();
        composer_ = nullptr;
    }
    if (presented && composer_ == nullptr) {
        composer_ = new FeedbackComposer(box_, callbacks_, this);
        composer_->setGeometry(cardRect());
        composer_->show();
        composer_->raise();
        composer_->focusEditor();
    } else if (composer_ != nullptr) {
        composer_->refresh();
        composer_->raise();  // above content rebuilt beneath it
    }
}

void TonePanelView::fitHeight() {
    column_->activate();
    const int height = column_->hasHeightForWidth() ? column_->totalHeightForWidth(hostedWidth)
                                                    : column_->totalSizeHint().height();
    if (height != this->height()) {
        setFixedHeight(height);
        emit heightChanged(height);
    }
}

void TonePanelView::resizeEvent(QResizeEvent* event) {
    QWidget::resizeEvent(event);
    if (composer_ != nullptr) {
        composer_->setGeometry(cardRect());
    }
}

void TonePanelView::paintEvent(QPaintEvent*) {
    QPainter p(this);
    p.setRenderHint(QPainter::Antialiasing);
    const QRectF card = cardRect();
    if (qt_edge::hasCompositor()) {
        paintShadow(p, card, 14, withOpacity(primary(), 0.1), 16, 16);
        paintShadow(p, card, 14, withOpacity(Qt::black, 0.07), 8, 8);
        paintShadow(p, card, 14, withOpacity(Qt::black, 0.04), 2, 2);
    } else {
        // Without a compositor the window is masked to the card and nothing
        // it paints is blended with the desktop: a shadow, or the softened
        // edge of the card's corners, would show as dark pixels.
        p.fillRect(rect(), panelBackground());
    }
    p.setPen(Qt::NoPen);
    p.setBrush(panelBackground());
    p.drawRoundedRect(card, 14, 14);
    p.setBrush(Qt::NoBrush);
    p.setPen(QPen(borderDefault(), 1));
    p.drawRoundedRect(card.adjusted(0.5, 0.5, -0.5, -0.5), 13.5, 13.5);
}

QWidget* TonePanelView::buildHeader() {
    auto* header = new QWidget(this);
    auto* row = new QHBoxLayout(header);
    row->setContentsMargins(0, 0, 0, 0);
    row->setSpacing(6);
    if (const auto& logo = logoImage()) {
        row->addWidget(new LogoView(*logo, header));
    }
    row->addWidget(toneLabel(tr("Mivo Rewrite"), toneFont(13, QFont::DemiBold), textPrimary(),
                             "title", header));
    row->addStretch(1);
    auto* close = new QToolButton(header);
    close->setObjectName(QStringLiteral("closeButton"));
    close->setAutoRaise(true);
    close->setFocusPolicy(Qt::NoFocus);
    close->setStyleSheet(QStringLiteral("QToolButton { border: none; background: transparent; }"));
    const int side = static_cast<int>(symbolSide(11));
    close->setFixedSize(side + 4, side + 4);
    close->setIconSize(QSize(side, side));
    {
        QPixmap glyph(QSize(side, side) * devicePixelRatioF());
        glyph.setDevicePixelRatio(devicePixelRatioF());
        glyph.fill(Qt::transparent);
        QPainter p(&glyph);
        paintSymbol(p, QRectF(0, 0, side, side), QStringLiteral("xmark"), textSecondary());
        close->setIcon(QIcon(glyph));
    }
    connect(close, &QToolButton::clicked, this, [this] {
        if (callbacks_.onClose)
            callbacks_.onClose();
    });
    row->addWidget(close);
    return header;
}

}  // namespace mivo
