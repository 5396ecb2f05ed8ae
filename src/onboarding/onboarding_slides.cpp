#include "onboarding/onboarding_slides.hpp"

#include <QHBoxLayout>
#include <QPainter>
#include <QVBoxLayout>

#include "onboarding/animated_demo.hpp"

namespace mivo {

namespace {

QString q(const std::string& text) {
    return QString::fromStdString(text);
}

OnboardingLabel* centredText(const QString& text, OnboardingColor color, const QFont& font) {
    auto* label = new OnboardingLabel(text, color, font);
    label->setAlignment(Qt::AlignHCenter | Qt::AlignTop);
    label->setWordWrap(true);
    return label;
}

// Content with a little room above it.
QWidget* padded(QWidget* content, int top) {
    auto* box = new QWidget;
    auto* layout = new QVBoxLayout(box);
    layout->setContentsMargins(0, top, 0, 0);
    layout->setSpacing(0);
    layout->addWidget(content);
    return box;
}

// "One sentence, three tones": the same line casual, polite and formal.
QWidget* toneTeaseCard() {
    auto* card = new RoundedCard(12);
    card->setObjectName(QStringLiteral("toneTeaseCard"));
    auto* layout = new QVBoxLayout(card);
    layout->setContentsMargins(16, 16, 16, 16);
    layout->setSpacing(10);
    layout->addWidget(new OnboardingLabel(QStringLiteral("One sentence, three tones"),
                                          OnboardingColor::textPrimary,
                                          OnboardingTheme::font(13, QFont::DemiBold)));
    const std::pair<const char*, const char*> rows[] = {
        {"Casual", "明日送るね"},
        {"Polite", "明日お送りします"},
        {"Formal", "明日お送りいたします"},
    };
    for (const auto& [tag, text] : rows) {
        auto* row = new QHBoxLayout;
        row->setSpacing(10);
        auto* tagLabel =
            new OnboardingLabel(QString::fromUtf8(tag), OnboardingColor::primaryPressed,
                                OnboardingTheme::font(11, QFont::DemiBold));
        // One width for every tag, so the three sentences line up.
        tagLabel->setFixedWidth(54);
        auto* textLabel = new OnboardingLabel(QString::fromUtf8(text), OnboardingColor::textPrimary,
                                              OnboardingTheme::font(14));
        textLabel->setObjectName(QStringLiteral("toneRow") + QString::fromUtf8(tag));
        row->addWidget(tagLabel, 0, Qt::AlignVCenter);
        row->addWidget(textLabel, 0, Qt::AlignVCenter);
        row->addStretch(1);
        layout->addLayout(row);
    }
    return card;
}

// A numbered instruction card.
QWidget* flowRow(const QString& number, const QString& title, const QString& detail,
                 ShortcutBadge* badge) {
    auto* card = new RoundedCard(12);
    card->setObjectName(QStringLiteral("flowRow"));
    auto* layout = new QHBoxLayout(card);
    layout->setContentsMargins(16, 13, 16, 13);
    layout->setSpacing(14);
    layout->addWidget(new DiscView({}, number,
                                   {30, OnboardingColor::primarySurface, OnboardingColor::primary,
                                    14, QFont::Bold}),
                      0, Qt::AlignTop);
    auto* texts = new QVBoxLayout;
    texts->setSpacing(4);
    auto* heading = new QHBoxLayout;
    heading->setSpacing(8);
    heading->addWidget(new OnboardingLabel(title, OnboardingColor::textPrimary,
                                           OnboardingTheme::font(15, QFont::DemiBold)),
                       0, Qt::AlignVCenter);
    if (badge != nullptr) {
        heading->addWidget(badge, 0, Qt::AlignVCenter);
    }
    heading->addStretch(1);
    texts->addLayout(heading);
    auto* detailLabel =
        new OnboardingLabel(detail, OnboardingColor::textSecondary, OnboardingTheme::font(13));
    detailLabel->setWordWrap(true);
    texts->addWidget(detailLabel);
    layout->addLayout(texts, 1);
    return card;
}

}  // namespace

// MARK: - SlideScaffold

SlideScaffold::SlideScaffold(const std::string& icon, const QString& title, const QString& subtitle,
                             QWidget* content, QWidget* parent)
    : QWidget(parent) {
    auto* layout = new QVBoxLayout(this);
    layout->setContentsMargins(0, 0, 0, 0);
    layout->setSpacing(18);
    layout->addWidget(new DiscView(icon, {},
                                   {64, OnboardingColor::primarySurface, OnboardingColor::primary,
                                    28, QFont::Medium}),
                      0, Qt::AlignHCenter);
    auto* textBlock = new QWidget;
    auto* texts = new QVBoxLayout(textBlock);
    texts->setContentsMargins(12, 0, 12, 0);
    texts->setSpacing(8);
    auto* titleLabel = centredText(title, OnboardingColor::textPrimary,
                                   OnboardingTheme::font(24, QFont::DemiBold, -0.3));
    titleLabel->setObjectName(QStringLiteral("slideTitle"));
    texts->addWidget(titleLabel);
    auto* subtitleLabel =
        centredText(subtitle, OnboardingColor::textSecondary, OnboardingTheme::font(15));
    subtitleLabel->setObjectName(QStringLiteral("slideSubtitle"));
    texts->addWidget(subtitleLabel);
    layout->addWidget(textBlock);
    layout->addWidget(padded(content, 6));
    layout->addStretch(1);
}

// MARK: - WelcomeSlide

WelcomeSlide::WelcomeSlide(OnboardingViewModel& model, QWidget* parent) : QWidget(parent) {
    setObjectName(QStringLiteral("welcomeSlide"));
    auto* layout = new QVBoxLayout(this);
    layout->setContentsMargins(0, 0, 0, 0);
    layout->setSpacing(0);
    layout->addStretch(1);
    auto* logo = new BrandLogo(72);
    logo->setObjectName(QStringLiteral("brandLogo"));
    layout->addWidget(logo, 0, Qt::AlignHCenter);
    layout->addSpacing(24);
    auto* headline =
        centredText(QStringLiteral("Write Japanese for any moment."), OnboardingColor::textPrimary,
                    OnboardingTheme::font(28, QFont::DemiBold, -0.4));
    headline->setObjectName(QStringLiteral("welcomeHeadline"));
    layout->addWidget(headline);
    layout->addSpacing(32);
    auto* start =
        new OnboardingButton(QStringLiteral("Get Started"), OnboardingButton::Style::primary);
    start->setObjectName(QStringLiteral("getStartedButton"));
    connect(start, &QAbstractButton::clicked, this, [&model] { model.next(); });
    layout->addWidget(start, 0, Qt::AlignHCenter);
    layout->addStretch(1);
}

// MARK: - HowItWorksSlide

HowItWorksSlide::HowItWorksSlide(Scheduler& scheduler, QWidget* parent) : QWidget(parent) {
    setObjectName(QStringLiteral("howItWorksSlide"));
    auto* content = new QWidget;
    auto* contentLayout = new QVBoxLayout(content);
    contentLayout->setContentsMargins(0, 0, 0, 0);
    demo_ = new AnimatedDemo(scheduler);
    contentLayout->addWidget(demo_, 0, Qt::AlignHCenter);
    auto* layout = new QVBoxLayout(this);
    layout->setContentsMargins(0, 0, 0, 0);
    layout->addWidget(new SlideScaffold(
        "wand.and.stars", QStringLiteral("How Mivo works"),
        QStringLiteral("Corrections as you type, then one-tap tone conversion — shown in action."),
        content));
}

// MARK: - ShortcutBadge

ShortcutBadge::ShortcutBadge(const QString& keys, QWidget* parent) : QWidget(parent), keys_(keys) {
    setObjectName(QStringLiteral("shortcutBadge"));
    setFont(OnboardingTheme::font(12, QFont::DemiBold));
    setSizePolicy(QSizePolicy::Fixed, QSizePolicy::Fixed);
}

void ShortcutBadge::setKeys(const QString& keys) {
    keys_ = keys;
    updateGeometry();
    update();
}

QSize ShortcutBadge::sizeHint() const {
    return {fontMetrics().horizontalAdvance(keys_) + 16, fontMetrics().height() + 6};
}

void ShortcutBadge::paintEvent(QPaintEvent*) {
    QPainter painter(this);
    painter.setRenderHint(QPainter::Antialiasing);
    painter.setPen(Qt::NoPen);
    painter.setBrush(OnboardingTheme::primarySurface());
    painter.drawRoundedRect(QRectF(rect()), 6, 6);
    painter.setPen(OnboardingTheme::primaryPressed());
    painter.setFont(font());
    painter.drawText(rect(), Qt::AlignCenter, keys_);
}

// MARK: - SignInSlide

SignInSlide::SignInSlide(OnboardingViewModel& model, QWidget* parent)
    : QWidget(parent), model_(model) {
    setObjectName(QStringLiteral("signInSlide"));
    auto* content = new QWidget;
    auto* block = new QVBoxLayout(content);
    block->setContentsMargins(0, 0, 0, 0);
    block->setSpacing(18);

    signInButton_ = new OnboardingButton(QStringLiteral("Continue with Google"),
                                         OnboardingButton::Style::primary);
    signInButton_->setObjectName(QStringLiteral("continueWithGoogleButton"));
    connect(signInButton_, &QAbstractButton::clicked, this, [this] { model_.requestSignIn(); });

    signedInLabel_ = new QWidget;
    signedInLabel_->setObjectName(QStringLiteral("signedInLabel"));
    auto* signedIn = new QHBoxLayout(signedInLabel_);
    signedIn->setContentsMargins(0, 0, 0, 0);
    signedIn->setSpacing(6);
    signedIn->addWidget(
        new OnboardingSymbolView("checkmark.circle.fill", 16, OnboardingColor::primaryPressed), 0,
        Qt::AlignVCenter);
    signedIn->addWidget(
        new OnboardingLabel(QStringLiteral("Signed in"), OnboardingColor::primaryPressed,
                            OnboardingTheme::font(15, QFont::DemiBold)),
        0, Qt::AlignVCenter);
    // The button and the label take turns in one place of the same height.
    auto* swap = new QWidget;
    swap->setFixedHeight(OnboardingTheme::buttonHeight);
    auto* swapLayout = new QHBoxLayout(swap);
    swapLayout->setContentsMargins(0, 0, 0, 0);
    swapLayout->addStretch(1);
    swapLayout->addWidget(signInButton_, 0, Qt::AlignVCenter);
    swapLayout->addWidget(signedInLabel_, 0, Qt::AlignVCenter);
    swapLayout->addStretch(1);
    block->addWidget(swap);
    block->addWidget(toneTeaseCard());

    auto* layout = new QVBoxLayout(this);
    layout->setContentsMargins(0, 0, 0, 0);
    layout->addWidget(new SlideScaffold(
        "person.crop.circle", QStringLiteral("Sign in with Google"),
        QStringLiteral("Your Mivo account turns on tone conversion; corrections work without one."),
        content));

    observer_ = model_.addObserver([this](OnboardingViewModel::Change change) {
        if (change == OnboardingViewModel::Change::isSignedIn ||
            change == OnboardingViewModel::Change::isSigningIn) {
            refresh();
        }
    });
    refresh();
}

SignInSlide::~SignInSlide() {
    observer_.cancel();
}

void SignInSlide::refresh() {
    signInButton_->setVisible(!model_.isSignedIn());
    // A sign-in under way already holds the loopback port: no second one.
    // The label says why the button rests: the browser has the next step.
    const bool signingIn = model_.isSigningIn();
    signInButton_->setEnabled(!signingIn);
    signInButton_->setStyle(signingIn ? OnboardingButton::Style::waiting
                                      : OnboardingButton::Style::primary);
    signInButton_->setText(signingIn ? QStringLiteral("Signing in… finish in your browser")
                                     : QStringLiteral("Continue with Google"));
    signInButton_->updateGeometry();
    signedInLabel_->setVisible(model_.isSignedIn());
}

// MARK: - ReadySlide

ReadySlide::ReadySlide(OnboardingViewModel& model, QWidget* parent) : QWidget(parent) {
    setObjectName(QStringLiteral("readySlide"));
    auto* content = new QWidget;
    auto* block = new QVBoxLayout(content);
    block->setContentsMargins(0, 0, 0, 0);
    block->setSpacing(18);

    auto* menuHint = new QHBoxLayout;
    menuHint->setSpacing(10);
    menuHint->addStretch(1);
    whereArrow_ = new OnboardingSymbolView("arrow.up.right", 13, OnboardingColor::textSecondary);
    menuHint->addWidget(whereArrow_, 0, Qt::AlignVCenter);
    whereHint_ =
        new OnboardingLabel(QString(), OnboardingColor::textSecondary, OnboardingTheme::font(14));
    whereHint_->setObjectName(QStringLiteral("whereMivoLives"));
    menuHint->addWidget(whereHint_, 0, Qt::AlignVCenter);
    menuHint->addStretch(1);
    block->addLayout(menuHint);

    badge_ = new ShortcutBadge(q(model.rewriteShortcutDisplay()));
    block->addWidget(
        flowRow(QStringLiteral("↩"), QStringLiteral("Convert tone any time"),
                QStringLiteral("Select text and press the shortcut to rewrite its tone."), badge_));

    auto* tryIt =
        new OnboardingButton(QStringLiteral("Try it now"), OnboardingButton::Style::secondary);
    tryIt->setObjectName(QStringLiteral("tryItNowButton"));
    connect(tryIt, &QAbstractButton::clicked, this, [&model] { model.requestTryItNow(); });
    block->addWidget(tryIt, 0, Qt::AlignHCenter);

    auto* layout = new QVBoxLayout(this);
    layout->setContentsMargins(0, 0, 0, 0);
    auto* scaffold =
        new SlideScaffold("checkmark.seal", QStringLiteral("You're ready to write"), {}, content);
    layout->addWidget(scaffold);
    whereSubtitle_ = scaffold->findChild<QLabel*>(QStringLiteral("slideSubtitle"));
    showWhereMivoLives(model.hasTray());

    observer_ = model.addObserver([this, &model](OnboardingViewModel::Change change) {
        if (change == OnboardingViewModel::Change::rewriteShortcut) {
            badge_->setKeys(q(model.rewriteShortcutDisplay()));
        } else if (change == OnboardingViewModel::Change::hasTray) {
            showWhereMivoLives(model.hasTray());
        }
    });
}

void ReadySlide::showWhereMivoLives(bool hasTray) {
    // The arrow points at the tray's corner of the screen.
    whereArrow_->setVisible(hasTray);
    whereHint_->setText(hasTray ? QStringLiteral("Find Mivo in the system tray")
                                : QStringLiteral("Find Mivo in its Settings window"));
    if (whereSubtitle_ != nullptr)
        whereSubtitle_->setText(
            hasTray ? QStringLiteral("Mivo lives in the system tray of your panel — click the Mivo "
                                     "icon any time.")
                    : QStringLiteral("This desktop shows no system tray, so Mivo opens its "
                                     "Settings window when you finish here; starting Mivo again "
                                     "brings it back."));
}

ReadySlide::~ReadySlide() {
    observer_.cancel();
}

}  // namespace mivo
