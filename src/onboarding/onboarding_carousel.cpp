#include "onboarding/onboarding_carousel.hpp"

#include <QHBoxLayout>
#include <QPainter>
#include <QScrollArea>
#include <QScrollBar>
#include <QStackedLayout>
#include <QVBoxLayout>
#include <QVariantAnimation>

#include "onboarding/onboarding_controls.hpp"
#include "onboarding/onboarding_slides.hpp"

namespace mivo {

namespace {

constexpr int slidePaddingX = 48;
constexpr int slidePaddingTop = 44;  // on every slide but the welcome

// The footer's band: `surface` at 60 % behind the buttons and dots.
class FooterBar : public QWidget {
  public:
    using QWidget::QWidget;

  protected:
    void paintEvent(QPaintEvent*) override {
        QPainter painter(this);
        painter.fillRect(rect(), OnboardingTheme::withOpacity(OnboardingTheme::surface(), 0.6));
    }
};

// The outgoing slide's picture, laid over the incoming one and fading out:
// the sum of the two is the cross-fade.
class FadeOverlay : public QWidget {
  public:
    explicit FadeOverlay(QWidget* parent) : QWidget(parent) {
        setAttribute(Qt::WA_TransparentForMouseEvents);
        hide();
    }
    void begin(QPixmap picture) {
        picture_ = std::move(picture);
        opacity_ = 1.0;
        show();
        raise();
        update();
    }
    void setOpacity(double opacity) {
        opacity_ = opacity;
        update();
    }
    void end() {
        picture_ = {};
        hide();
    }

  protected:
    void paintEvent(QPaintEvent*) override {
        QPainter painter(this);
        painter.setOpacity(opacity_);
        painter.drawPixmap(0, 0, picture_);
    }

  private:
    QPixmap picture_;
    double opacity_ = 1.0;
};

// The slide's scroll bars, only there on a small screen: a thin rounded
// handle in the palette's muted text colour on no track, in either
// appearance. Each bar takes the style sheet itself: on the scroll area it
// would reach the slides' labels and replace their palette's colours.
void styleScrollBars(QScrollArea& scroll) {
    const QString handle =
        OnboardingTheme::withOpacity(OnboardingTheme::textMuted(), 0.55).name(QColor::HexArgb);
    const QString sheet = QStringLiteral(
                              "QScrollBar { background: transparent; }"
                              "QScrollBar:vertical { width: 10px; margin: 4px 2px 4px 0; }"
                              "QScrollBar:horizontal { height: 10px; margin: 0 4px 2px 4px; }"
                              "QScrollBar::handle { background: %1; border-radius: 4px; }"
                              "QScrollBar::handle:vertical { min-height: 24px; }"
                              "QScrollBar::handle:horizontal { min-width: 24px; }"
                              "QScrollBar::add-line, QScrollBar::sub-line { width: 0; height: 0; }"
                              "QScrollBar::add-page, QScrollBar::sub-page { background: none; }")
                              .arg(handle);
    scroll.verticalScrollBar()->setStyleSheet(sheet);
    scroll.horizontalScrollBar()->setStyleSheet(sheet);
}

}  // namespace

OnboardingCarousel::OnboardingCarousel(OnboardingViewModel& model, Scheduler& scheduler,
                                       QWidget* parent)
    : QWidget(parent), model_(model) {
    setObjectName(QStringLiteral("onboardingCarousel"));

    auto* layout = new QVBoxLayout(this);
    layout->setContentsMargins(0, 0, 0, 0);
    layout->setSpacing(0);

    auto* slideBox = new QWidget;
    slideArea_ = new QVBoxLayout(slideBox);
    slideArea_->setSpacing(0);
    auto* stackHolder = new QWidget;
    slides_ = new QStackedLayout(stackHolder);
    slides_->addWidget(new WelcomeSlide(model_));
    howItWorks_ = new HowItWorksSlide(scheduler);
    slides_->addWidget(howItWorks_);
    slides_->addWidget(new SignInSlide(model_));
    slides_->addWidget(new ReadySlide(model_));
    slideArea_->addWidget(stackHolder);
    // On a screen lower than the window (a small or scaled one) the slide
    // scrolls while the footer with its buttons stays in view.
    auto* scroll = new QScrollArea;
    scroll->setObjectName(QStringLiteral("slideScroll"));
    scroll->setFrameShape(QFrame::NoFrame);
    scroll->setWidgetResizable(true);
    scroll->setWidget(slideBox);
    scroll->viewport()->setAutoFillBackground(false);
    slideBox->setAutoFillBackground(false);
    styleScrollBars(*scroll);
    layout->addWidget(scroll, 1);

    footer_ = new FooterBar;
    footer_->setObjectName(QStringLiteral("onboardingFooter"));
    auto* footerLayout = new QHBoxLayout(footer_);
    footerLayout->setContentsMargins(40, 24, 40, 24);
    footerLayout->setSpacing(16);
    backButton_ = new OnboardingButton(QStringLiteral("Back"), OnboardingButton::Style::secondary);
    backButton_->setObjectName(QStringLiteral("backButton"));
    connect(backButton_, &QAbstractButton::clicked, this, [this] { model_.back(); });
    dots_ = new PageDots(OnboardingViewModel::slideCount, model_.index());
    dots_->setObjectName(QStringLiteral("pageDots"));
    forwardButton_ = new OnboardingButton(QStringLiteral("Next"), OnboardingButton::Style::primary);
    forwardButton_->setObjectName(QStringLiteral("forwardButton"));
    connect(forwardButton_, &QAbstractButton::clicked, this, [this] { model_.next(); });
    footerLayout->addWidget(backButton_);
    footerLayout->addStretch(1);
    footerLayout->addWidget(dots_);
    footerLayout->addStretch(1);
    footerLayout->addWidget(forwardButton_);
    layout->addWidget(footer_);

    fadeOverlay_ = new FadeOverlay(this);
    transition_ = new QVariantAnimation(this);
    transition_->setObjectName(QStringLiteral("slideTransition"));
    transition_->setDuration(OnboardingTheme::slideTransitionMs);
    transition_->setEasingCurve(onboardingEaseInOut());
    transition_->setStartValue(1.0);
    transition_->setEndValue(0.0);
    connect(transition_, &QVariantAnimation::valueChanged, this, [this](const QVariant& value) {
        static_cast<FadeOverlay*>(fadeOverlay_)->setOpacity(value.toDouble());
    });
    connect(transition_, &QVariantAnimation::finished, this,
            [this] { static_cast<FadeOverlay*>(fadeOverlay_)->end(); });

    observer_ = model_.addObserver([this](OnboardingViewModel::Change change) {
        if (change == OnboardingViewModel::Change::index) {
            showIndex(true);
        } else if (change == OnboardingViewModel::Change::isSignedIn) {
            refreshFooter();
        }
    });
    connect(&ui::Appearance::shared(), &ui::Appearance::changed, this, [this, scroll] {
        styleScrollBars(*scroll);
        update();
    });
    showIndex(false);
}

OnboardingCarousel::~OnboardingCarousel() {
    observer_.cancel();
}

QWidget* OnboardingCarousel::currentSlide() const {
    return slides_->currentWidget();
}

void OnboardingCarousel::showIndex(bool animated) {
    // Only a window on screen has something to fade from.
    if (animated && isVisible()) {
        transition_->stop();
        auto* overlay = static_cast<FadeOverlay*>(fadeOverlay_);
        overlay->end();
        overlay->setGeometry(rect());
        overlay->begin(grab());
        transition_->start();
    }
    const int index = model_.index();
    slides_->setCurrentIndex(std::clamp(index, 0, OnboardingViewModel::slideCount - 1));
    slideArea_->setContentsMargins(slidePaddingX, index == 0 ? 0 : slidePaddingTop, slidePaddingX,
                                   0);
    footer_->setVisible(index != 0);
    dots_->setIndex(index);
    refreshFooter();
}

void OnboardingCarousel::refreshFooter() {
    const int index = model_.index();
    backButton_->setEnabled(index != 0);
    if (index == 2 && !model_.isSignedIn()) {
        forwardButton_->setText(QStringLiteral("Skip for now"));
        forwardButton_->setStyle(OnboardingButton::Style::secondary);
    } else {
        forwardButton_->setText(index == 0   ? QStringLiteral("Get Started")
                                : index == 3 ? QStringLiteral("Done")
                                             : QStringLiteral("Next"));
        forwardButton_->setStyle(OnboardingButton::Style::primary);
    }
    forwardButton_->updateGeometry();
}

void OnboardingCarousel::paintEvent(QPaintEvent*) {
    QPainter painter(this);
    painter.fillRect(rect(), OnboardingTheme::background());
}

void OnboardingCarousel::resizeEvent(QResizeEvent* event) {
    QWidget::resizeEvent(event);
    fadeOverlay_->setGeometry(rect());
}

}  // namespace mivo
