#include <QHBoxLayout>

#include "settings/settings_buttons.hpp"
#include "settings/settings_cards.hpp"
#include "settings/settings_spinner.hpp"
#include "settings/settings_view_model.hpp"

namespace mivo {

namespace {

using Kind = SettingsViewModel::AccountState::Kind;

struct Badge {
    const char* title;
    SettingsColor background;
    SettingsColor foreground;
};

Badge badgeFor(const SettingsViewModel::AccountState& state) {
    switch (state.kind) {
        case Kind::signedIn:
            return {"Connected", SettingsColor::primarySurface, SettingsColor::primaryPressed};
        case Kind::signingIn:
            return {"Connecting", SettingsColor::primarySurface, SettingsColor::primaryPressed};
        case Kind::signedOut:
            if (!state.message.empty())
                return {"Session ended", SettingsColor::errorSurface, SettingsColor::error};
            return {"Signed out", SettingsColor::altBackground, SettingsColor::textSecondary};
        case Kind::error:
            return {"Action needed", SettingsColor::errorSurface, SettingsColor::error};
        case Kind::keyringLocked:
            return {"Keyring locked", SettingsColor::altBackground, SettingsColor::textSecondary};
    }
    return {"", SettingsColor::altBackground, SettingsColor::textSecondary};
}

// Calls one of the model's callbacks when it is set.
void call(const std::function<void()>& callback) {
    if (callback) {
        callback();
    }
}

}  // namespace

AccountCard::AccountCard(SettingsViewModel& model, QWidget* parent)
    : SettingsCard(18, parent), model_(model) {
    setObjectName("accountCard");
    auto* header = new QHBoxLayout();
    header->addWidget(
        new ThemedLabel(tr("Google Account"), 18, QFont::DemiBold, SettingsColor::textPrimary));
    header->addStretch(1);
    badge_ = new SettingsPill({}, SettingsColor::altBackground, SettingsColor::textSecondary);
    badge_->setObjectName("accountBadge");
    header->addWidget(badge_);
    stack()->addLayout(header);
    refresh();
}

void AccountCard::refresh() {
    const Badge badge = badgeFor(model_.accountState());
    badge_->setTitle(badge.title);
    badge_->setColors(badge.background, badge.foreground);
    rebuildContent();
}

void AccountCard::rebuildContent() {
    if (content_ != nullptr) {
        // A button of the old content may be the one whose click led here:
        // take it out of the card now, delete it once the click is over.
        stack()->removeWidget(content_);
        content_->hide();
        content_->setParent(nullptr);
        content_->deleteLater();
    }
    content_ = new QWidget(this);
    auto* column = new QVBoxLayout(content_);
    column->setContentsMargins(0, 0, 0, 0);
    switch (model_.accountState().kind) {
        case Kind::signedOut:
            fillSignedOut(*column);
            break;
        case Kind::signingIn:
            fillSigningIn(*column);
            break;
        case Kind::signedIn:
            fillSignedIn(*column);
            break;
        case Kind::error:
            fillError(*column);
            break;
        case Kind::keyringLocked:
            fillKeyringLocked(*column);
            break;
    }
    stack()->addWidget(content_);
    // At once, not one turn of the loop later as a layout would.
    content_->show();
}

QAbstractButton* AccountCard::continueButton() {
    auto* button =
        new SettingsButton(tr("Continue with Google"), SettingsButton::Style::primary, content_);
    button->setObjectName("continueWithGoogleButton");
    connect(button, &QAbstractButton::clicked, this, [this] { call(model_.onSignIn); });
    return button;
}

void AccountCard::fillSignedOut(QVBoxLayout& column) {
    const auto& whyEnded = model_.accountState().message;
    content_->setObjectName("accountSignedOut");
    column.setSpacing(16);
    auto* text = new ThemedLabel(
        whyEnded.empty() ? tr("Connect a Google account to keep your session.")
                         : tr("Your session ended: %1. Sign in again to keep using rewrites.")
                               .arg(QString::fromStdString(whyEnded)),
        14, QFont::Normal, SettingsColor::textSecondary, content_);
    text->setObjectName("accountSignedOutText");
    text->setWordWrap(true);
    column.addWidget(text);
    column.addWidget(continueButton());
}

void AccountCard::fillSigningIn(QVBoxLayout& column) {
    content_->setObjectName("accountSigningIn");
    column.setSpacing(16);
    column.setContentsMargins(0, 4, 0, 4);
    auto* line = new QHBoxLayout();
    line->setSpacing(12);
    auto* spinner = new SettingsSpinner(content_);
    spinner->setObjectName("accountSpinner");
    line->addWidget(spinner);
    auto* text = new ThemedLabel(tr("Complete sign-in in your browser to connect Mivo."), 14,
                                 QFont::Normal, SettingsColor::textSecondary, content_);
    text->setWordWrap(true);
    line->addWidget(text, 1);
    column.addLayout(line);
    column.addWidget(continueButton());
}

void AccountCard::fillSignedIn(QVBoxLayout& column) {
    const auto& state = model_.accountState();
    content_->setObjectName("accountSignedIn");
    column.setSpacing(18);
    auto* values = new QHBoxLayout();
    values->setSpacing(32);
    values->addWidget(new SettingsValue("SIGNED IN WITH", "Google", content_), 0, Qt::AlignTop);
    auto* email = new SettingsValue("EMAIL", QString::fromStdString(state.email), content_);
    email->setObjectName("accountEmail");
    values->addWidget(email, 0, Qt::AlignTop);
    values->addStretch(1);
    column.addLayout(values);
    column.addWidget(new SettingsDivider(content_));
    auto* buttons = new QHBoxLayout();
    buttons->setSpacing(12);
    auto* signOut = new SettingsButton(tr("Sign Out"), SettingsButton::Style::secondary, content_);
    signOut->setObjectName("signOutButton");
    connect(signOut, &QAbstractButton::clicked, this, [this] { call(model_.onSignOut); });
    auto* deletion = new SettingsButton(tr("Request Account Deletion"),
                                        SettingsButton::Style::destructive, content_);
    deletion->setObjectName("requestAccountDeletionButton");
    connect(deletion, &QAbstractButton::clicked, this,
            [this] { call(model_.onRequestAccountDeletion); });
    buttons->addWidget(signOut);
    buttons->addWidget(deletion);
    buttons->addStretch(1);
    column.addLayout(buttons);
}

// Signing in again stays possible: it may be quicker than finding the
// keyring's password.
void AccountCard::fillKeyringLocked(QVBoxLayout& column) {
    content_->setObjectName("accountKeyringLocked");
    column.setSpacing(16);
    auto* text = new ThemedLabel(tr("Your sign-in is kept in the desktop's keyring, which is "
                                    "locked. It comes back once the keyring is unlocked, or at "
                                    "the next start of Mivo."),
                                 14, QFont::Normal, SettingsColor::textSecondary, content_);
    text->setObjectName("accountKeyringLockedText");
    text->setWordWrap(true);
    column.addWidget(text);
    column.addWidget(continueButton());
}

void AccountCard::fillError(QVBoxLayout& column) {
    const auto& state = model_.accountState();
    content_->setObjectName("accountError");
    column.setSpacing(16);
    auto* message = new ThemedLabel(QString::fromStdString(state.message), 14, QFont::Normal,
                                    SettingsColor::error, content_);
    message->setObjectName("accountErrorMessage");
    message->setWordWrap(true);
    column.addWidget(message);
    // Mivo reads its service address only at start: without one, or with
    // one that is itself the fault, another attempt in this run could only
    // fail the same way, so the card says how to mend it instead of
    // offering one. Where a service merely did not answer, trying again
    // once it runs is what helps.
    const bool restartMends = !model_.signInPossible() || state.addressFault;
    if (restartMends) {
        auto* hint = new ThemedLabel(tr("Mivo reads MIVO_API_URL only when it starts: after "
                                        "changing it, quit Mivo and start it again."),
                                     14, QFont::Normal, SettingsColor::textSecondary, content_);
        hint->setObjectName("accountRestartHint");
        hint->setWordWrap(true);
        column.addWidget(hint);
    }
    if (restartMends)
        return;
    auto* retry =
        new SettingsButton(tr("Try Sign In Again"), SettingsButton::Style::primary, content_);
    retry->setObjectName("trySignInAgainButton");
    connect(retry, &QAbstractButton::clicked, this, [this] { call(model_.onSignIn); });
    column.addWidget(retry);
}

}  // namespace mivo
