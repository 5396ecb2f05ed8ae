// The contents of the rewrite panel, one per state, and the rows they share.

#include <QHBoxLayout>
#include <QVBoxLayout>

#include "tone_panel/tone_controls.hpp"
#include "tone_panel/tone_panel_texts.hpp"
#include "tone_panel/tone_panel_view.hpp"
#include "tone_panel/tone_symbols.hpp"
#include "tone_panel/tone_text_widgets.hpp"
#include "tone_panel/tone_theme.hpp"
#include "ui/fonts.hpp"

namespace mivo {

using namespace ToneTheme;

namespace {

QString qs(const std::string& s) {
    return QString::fromStdString(s);
}

QVBoxLayout* column(QWidget* w, int spacing) {
    auto* layout = new QVBoxLayout(w);
    layout->setContentsMargins(0, 0, 0, 0);
    layout->setSpacing(spacing);
    return layout;
}

QHBoxLayout* row(QWidget* w, int spacing) {
    auto* layout = new QHBoxLayout(w);
    layout->setContentsMargins(0, 0, 0, 0);
    layout->setSpacing(spacing);
    return layout;
}

// Lays out three chips at the width the row is given.
class ChipRow : public QWidget {
  public:
    using QWidget::QWidget;
    void resizeEvent(QResizeEvent*) override {
        const int chip = static_cast<int>(registerChipWidth(width()));
        int x = 0;
        for (QObject* child : children()) {
            if (auto* w = qobject_cast<QWidget*>(child)) {
                w->setGeometry(x, 0, chip, height());
                x += chip + 8;
            }
        }
    }
};

}  // namespace

QWidget* TonePanelView::buildContent() {
    auto* holder = new QWidget(this);
    holder->setObjectName(QStringLiteral("content.") + QString::fromLatin1(caseName(box_.state())));
    auto* layout = column(holder, 0);
    const State& state = box_.state();
    QWidget* inner = nullptr;
    if (const auto* loading = state.get<State::Loading>()) {
        inner = loadingContent(*loading);
    } else if (const auto* preview = state.get<State::Preview>()) {
        inner = previewContent(*preview);
    } else if (const auto* error = state.get<State::Error>()) {
        inner = errorContent(*error);
    } else if (const auto* applied = state.get<State::Applied>()) {
        inner = appliedContent(*applied);
    } else if (state.is<State::Offline>()) {
        inner = offlineContent();
    } else if (const auto* signedOut = state.get<State::SignedOut>()) {
        inner = signedOutContent(*signedOut);
    } else {
        inner = pickingContent();
    }
    inner->setParent(holder);
    layout->addWidget(inner);
    return holder;
}

// With a reason, the service the sign-in needs cannot be used (nothing
// answers at its address, or its certificate is not trusted): that is
// what the user must hear first, or the sign-in button only leads to it.
QWidget* TonePanelView::signedOutContent(const State::SignedOut& signedOut) {
    const bool blocked = !signedOut.reason.empty();
    auto* w = new QWidget;
    auto* layout = column(w, 14);
    layout->setContentsMargins(0, 2, 0, 2);

    auto* top = new QWidget(w);
    auto* topRow = row(top, 10);
    auto* tile = new RoundedBox(8, primarySurface(), std::nullopt, top);
    tile->setFixedSize(34, 34);
    auto* sparkle = new SymbolView(QStringLiteral("sparkles"), 15, primaryDeep(), tile);
    sparkle->move((34 - sparkle->width()) / 2, (34 - sparkle->height()) / 2);
    topRow->addWidget(tile, 0, Qt::AlignTop);
    auto* texts = new QWidget(top);
    auto* textColumn = column(texts, 3);
    textColumn->addWidget(toneLabel(
        blocked ? tr("The rewrite service cannot be used") : tr("Sign in to use AI rewrite"),
        toneFont(14, QFont::DemiBold), textPrimary(), "signedOutTitle", texts));
    textColumn->addWidget(wrappingLabel(blocked
                                            ? tr("Signing in needs it too.")
                                            : tr("Improve, change tone, and translate your text."),
                                        toneFont(11, QFont::Medium), textSecondary(),
                                        contentWidth - 44, "signedOutSubtitle", texts));
    topRow->addWidget(texts, 1, Qt::AlignTop);
    layout->addWidget(top);
    if (blocked)
        layout->addWidget(messageBox(QStringLiteral("exclamationmark.triangle.fill"),
                                     qs(signedOut.reason), true, "signedOutReason"));

    auto* google = new GoogleSignInButton(w);
    connect(google, &QAbstractButton::clicked, this, [this] {
        if (callbacks_.onSignIn)
            callbacks_.onSignIn();
    });
    layout->addWidget(google);

    auto* notNow = withCallback(new ToneTextButton(tr("Not now"), ToneTextButton::Style::ghost, w),
                                "notNowButton", &TonePanelCallbacks::onClose);
    notNow->setSizePolicy(QSizePolicy::Expanding, QSizePolicy::Fixed);
    layout->addWidget(notNow);
    return w;
}

QWidget* TonePanelView::sourceBlock(const QString& caption) {
    auto* w = new QWidget;
    auto* layout = column(w, 4);
    layout->addWidget(
        toneLabel(caption, toneFont(10, QFont::DemiBold, 0.4), textMuted(), "sourceCaption", w));
    auto* box = new RoundedBox(8, surfaceAlt(), borderSubtle(), w);
    auto* inside = column(box, 0);
    inside->setContentsMargins(10, 10, 10, 10);
    auto* text = new ScrollingText(qs(originalText_), ui::japaneseFont(13),
                                   withOpacity(textPrimary(), 0.85), 3, 80, contentWidth - 20, box);
    text->setObjectName(QStringLiteral("sourceText"));
    inside->addWidget(text);
    layout->addWidget(box);
    return w;
}

QWidget* TonePanelView::commandButton(const QString& title, const QString& icon,
                                      RewriteAction action, bool isDisabled) {
    auto* button = new RewriteCommandButton(title, icon, isDisabled);
    button->setObjectName(QStringLiteral("commandButton.") + QString::fromUtf8(rawValue(action)));
    connect(button, &QAbstractButton::clicked, this, [this, action] {
        if (callbacks_.onAction)
            callbacks_.onAction(action);
    });
    return button;
}

QWidget* TonePanelView::actionTabsRow(bool isLocked) {
    auto* w = new QWidget;
    w->setObjectName(QStringLiteral("actionTabs"));
    w->setFixedHeight(39);
    auto* layout = column(w, 0);
    layout->addWidget(new ToneDivider(w));
    auto* tabs = new QWidget(w);
    auto* tabRow = row(tabs, 0);
    for (RewriteAction action : allRewriteActions()) {
        auto* tab = new RewriteActionTab(action, action == box_.selectedAction(), tabs);
        tab->setEnabled(!isLocked);
        connect(tab, &QAbstractButton::clicked, this, [this, action, isLocked] {
            if (!isLocked)
                box_.setSelectedAction(action);
        });
        tabRow->addWidget(tab, 1);
    }
    layout->addWidget(tabs, 1);
    return w;
}

QWidget* TonePanelView::registerChipsRow(Register active, bool isLocked) {
    auto* w = new ChipRow;
    w->setObjectName(QStringLiteral("registerChips"));
    w->setFixedHeight(36);
    for (Register value : allRegisters()) {
        auto* chip = new RegisterChip(value, value == active, w);
        chip->setEnabled(!isLocked);
        connect(chip, &QAbstractButton::clicked, this, [this, value, isLocked] {
            if (isLocked)
                return;
            box_.setSelectedRegister(value);
            if (callbacks_.onRegister)
                callbacks_.onRegister(value);
        });
    }
    return w;
}

QWidget* TonePanelView::writingStyle(Register active, bool isLocked) {
    auto* w = new QWidget;
    auto* layout = column(w, 6);
    layout->addWidget(toneLabel(tr("Writing style"), toneFont(10, QFont::DemiBold, 0.4),
                                textMuted(), "writingStyleCaption", w));
    layout->addWidget(registerChipsRow(active, isLocked));
    return w;
}

QWidget* TonePanelView::pickingContent() {
    auto* w = new QWidget;
    auto* layout = column(w, 12);
    layout->addWidget(sourceBlock(QStringLiteral("Selected")));
    switch (box_.selectedAction()) {
        case RewriteAction::improve:
            layout->addWidget(commandButton(QStringLiteral("Improve writing"),
                                            QStringLiteral("sparkles"), RewriteAction::improve,
                                            false));
            break;
        case RewriteAction::tone:
            layout->addWidget(writingStyle(box_.selectedRegister(), false));
            break;
        case RewriteAction::translate: {
            auto* group = new QWidget(w);
            auto* groupLayout = column(group, 8);
            const auto& reason = box_.translateUnavailableReason();
            groupLayout->addWidget(commandButton(QStringLiteral("Translate to Japanese"),
                                                 QStringLiteral("globe"), RewriteAction::translate,
                                                 reason.has_value()));
            if (reason) {
                auto* note =
                    new RoundedBox(6, withOpacity(primarySurface(), 0.65), std::nullopt, group);
                note->setObjectName(QStringLiteral("translateReason"));
                auto* noteRow = row(note, 6);
                noteRow->setContentsMargins(10, 8, 10, 8);
                noteRow->addWidget(
                    new SymbolView(QStringLiteral("info.circle.fill"), 11, textSecondary(), note));
                noteRow->addWidget(toneLabel(qs(*reason), toneFont(11, QFont::Medium),
                                             textSecondary(), "translateReasonText", note));
                noteRow->addStretch(1);
                groupLayout->addWidget(note);
            }
            layout->addWidget(group);
            break;
        }
    }
    layout->addWidget(actionTabsRow(false));
    return w;
}

QWidget* TonePanelView::loadingContent(const State::Loading& loading) {
    auto* w = new QWidget;
    auto* layout = column(w, 12);
    layout->addWidget(sourceBlock(QStringLiteral("Selected")));
    layout->addWidget(actionTabsRow(true));
    if (loading.action == RewriteAction::tone && loading.toneRegister) {
        layout->addWidget(writingStyle(*loading.toneRegister, true));
    }
    layout->addWidget(new ShimmerLine(w));
    auto* second = new QWidget(w);
    auto* secondRow = row(second, 0);
    secondRow->setContentsMargins(0, 0, 50, 0);
    secondRow->addWidget(new ShimmerLine(second));
    layout->addWidget(second);

    auto* progress = new QWidget(w);
    auto* progressRow = row(progress, 6);
    progressRow->setContentsMargins(0, 2, 0, 0);
    progressRow->addWidget(new ToneSpinner(primary(), 16, progress));
    progressRow->addWidget(toneLabel(qs(loadingText(loading.action, loading.toneRegister)),
                                     toneFont(11, QFont::Medium), textSecondary(), "loadingText",
                                     progress));
    progressRow->addStretch(1);
    layout->addWidget(progress);
    return w;
}

QWidget* TonePanelView::previewContent(const State::Preview& preview) {
    auto* w = new QWidget;
    auto* layout = column(w, 10);
    layout->addWidget(sourceBlock(QStringLiteral("Original")));

    auto* header = new QWidget(w);
    auto* headerRow = row(header, 6);
    headerRow->addWidget(new SymbolView(QStringLiteral("arrow.down"), 10, primary(), header));
    headerRow->addWidget(new PillBadge(qs(badgeLabel(preview.action, preview.toneRegister)),
                                       primaryDeep(), primaryTint(), header));
    if (preview.unchanged) {
        headerRow->addWidget(toneLabel(tr("· unchanged"), toneFont(10, QFont::Normal), textMuted(),
                                       "unchangedLabel", header));
    }
    headerRow->addStretch(1);
    headerRow->addWidget(toneLabel(qs(latencyText(preview.latencyMs)),
                                   toneFont(10, QFont::Medium, 0.2), textMuted(), "latencyLabel",
                                   header));
    layout->addWidget(header);

    auto* result = new RoundedBox(8, withOpacity(primarySurface(), 0.55), borderSubtle(), w);
    auto* resultInside = column(result, 0);
    resultInside->setContentsMargins(10, 10, 10, 10);
    auto* text = new ScrollingText(qs(preview.rewritten), ui::japaneseFont(16, QFont::Medium),
                                   textPrimary(), 4, 130, contentWidth - 20, result);
    text->setObjectName(QStringLiteral("resultText"));
    resultInside->addWidget(text);
    layout->addWidget(result);

    layout->addWidget(feedbackControls());

    auto* buttons = new QWidget(w);
    auto* buttonRow = row(buttons, 8);
    buttonRow->addWidget(
        withCallback(new ToneTextButton(qs(applyTitle(preview.action, preview.unchanged)),
                                        ToneTextButton::Style::primary, buttons),
                     "applyButton", &TonePanelCallbacks::onApply));
    buttonRow->addWidget(cancelButton(buttons));
    buttonRow->addStretch(1);
    layout->addWidget(buttons);
    return w;
}

QWidget* TonePanelView::feedbackControls() {
    auto* w = new QWidget;
    w->setObjectName(QStringLiteral("feedbackControls"));
    w->setFixedHeight(24);
    auto* layout = row(w, 7);
    layout->addStretch(1);
    const auto submitted = box_.submittedFeedback();
    const bool inFlight = box_.feedbackSubmissionInFlight();
    if (inFlight) {
        auto* spinner = new ToneSpinner(primary(), 16 * 0.72, w);
        spinner->setObjectName(QStringLiteral("feedbackSpinner"));
        layout->addWidget(spinner);
    } else if (submitted) {
        auto* saved = new SymbolView(QStringLiteral("checkmark.circle.fill"), 13, success(), w);
        saved->setObjectName(QStringLiteral("feedbackSaved"));
        saved->setBox(QSize(24, 24));
        saved->setToolTip(tr("Feedback saved"));
        saved->setAttribute(Qt::WA_TransparentForMouseEvents, false);
        layout->addWidget(saved);
    } else if (const auto& message = box_.feedbackErrorMessage()) {
        auto* failure = new QWidget(w);
        failure->setObjectName(QStringLiteral("feedbackError"));
        failure->setToolTip(qs(*message));
        auto* failureRow = row(failure, 4);
        failureRow->addWidget(
            new SymbolView(QStringLiteral("exclamationmark.circle.fill"), 12, error(), failure));
        // What the two thumbs and the gaps leave of the row.
        const int room = contentWidth - 2 * 24 - 3 * 7 - static_cast<int>(symbolSide(12)) - 4;
        failureRow->addWidget(elidedLabel(qs(*message), toneFont(10, QFont::Medium), error(), room,
                                          "feedbackErrorText", failure));
        layout->addWidget(failure);
    }
    for (FeedbackRating rating : {FeedbackRating::thumbsUp, FeedbackRating::thumbsDown}) {
        const bool disabled =
            submitted.has_value() || inFlight ||
            (rating == FeedbackRating::thumbsDown && box_.feedbackComposerPresented());
        auto* thumb = new FeedbackIconButton(rating, submitted == rating, disabled, w);
        connect(thumb, &QAbstractButton::clicked, this, [this, rating] {
            if (callbacks_.onFeedback)
                callbacks_.onFeedback(rating);
        });
        layout->addWidget(thumb);
    }
    return w;
}

ToneTextButton* TonePanelView::withCallback(ToneTextButton* button, const char* objectName,
                                            std::function<void()> TonePanelCallbacks::*callback) {
    button->setObjectName(QString::fromLatin1(objectName));
    connect(button, &QAbstractButton::clicked, this, [this, callback] {
        if (callbacks_.*callback)
            (callbacks_.*callback)();
    });
    return button;
}

QWidget* TonePanelView::cancelButton(QWidget* parent) {
    return withCallback(new ToneTextButton(tr("Cancel"), ToneTextButton::Style::ghost, parent),
                        "cancelButton", &TonePanelCallbacks::onCancel);
}

QWidget* TonePanelView::messageBox(const QString& symbol, const QString& message, bool wraps,
                                   const char* objectName) {
    auto* holder = new QWidget;
    auto* holderRow = row(holder, 0);
    auto* box = new RoundedBox(8, withOpacity(error(), 0.08), std::nullopt, holder);
    box->setObjectName(QString::fromLatin1(objectName));
    auto* boxRow = row(box, 8);
    boxRow->setContentsMargins(10, 10, 10, 10);
    auto* glyph = new SymbolView(symbol, 13, error(), box);
    boxRow->addWidget(glyph, 0, Qt::AlignVCenter);
    const QFont font = toneFont(12, QFont::Medium);
    const int room = contentWidth - 20 - glyph->width() - 8;
    boxRow->addWidget(wraps ? wrappingLabel(message, font, textPrimary(), room, "messageText", box)
                            : toneLabel(message, font, textPrimary(), "messageText", box));
    holderRow->addWidget(box);
    holderRow->addStretch(1);
    return holder;
}

QWidget* TonePanelView::buttonsRow(bool withRetry) {
    auto* buttons = new QWidget;
    auto* buttonRow = row(buttons, 8);
    if (withRetry) {
        buttonRow->addWidget(
            withCallback(new ToneTextButton(tr("Retry"), ToneTextButton::Style::primary, buttons),
                         "retryButton", &TonePanelCallbacks::onRetry));
    }
    buttonRow->addWidget(cancelButton(buttons));
    buttonRow->addStretch(1);
    return buttons;
}

QWidget* TonePanelView::errorContent(const State::Error& failure) {
    auto* w = new QWidget;
    auto* layout = column(w, 10);
    layout->addWidget(messageBox(QStringLiteral("exclamationmark.triangle.fill"),
                                 qs(failure.message), true, "errorMessage"));
    layout->addWidget(buttonsRow(failure.retryable));
    return w;
}

QWidget* TonePanelView::offlineContent() {
    auto* w = new QWidget;
    auto* layout = column(w, 10);
    layout->addWidget(messageBox(QStringLiteral("wifi.exclamationmark"),
                                 tr("Mivo requires internet for AI rewrite."), false,
                                 "offlineMessage"));
    layout->addWidget(buttonsRow(true));
    return w;
}

QWidget* TonePanelView::appliedContent(const State::Applied& applied) {
    auto* w = new QWidget;
    auto* layout = row(w, 10);
    layout->setContentsMargins(0, 4, 0, 4);
    layout->addWidget(new SymbolView(QStringLiteral("checkmark.circle.fill"), 16, success(), w));
    auto* texts = new QWidget(w);
    auto* textColumn = column(texts, 2);
    textColumn->addWidget(toneLabel(tr("Rewrite applied"), toneFont(13, QFont::DemiBold),
                                    textPrimary(), "appliedTitle", texts));
    textColumn->addWidget(toneLabel(tr("via ") + qs(applied.tier), toneFont(10, QFont::Normal),
                                    textMuted(), "appliedTier", texts));
    layout->addWidget(texts);
    layout->addStretch(1);
    return w;
}

}  // namespace mivo
