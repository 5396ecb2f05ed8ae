#include <QHBoxLayout>

#include "settings/install_kind.hpp"
#include "settings/settings_buttons.hpp"
#include "settings/settings_cards.hpp"
#include "settings/settings_toggle.hpp"
#include "settings/settings_view_model.hpp"

namespace mivo {

AboutCard::AboutCard(SettingsViewModel& model, const AppVersion& version, QWidget* parent)
    : SettingsCard(18, parent), model_(model) {
    setObjectName("aboutCard");
    const QString versionText = QString::fromStdString(version.text());
    auto* header = new QHBoxLayout();
    header->addWidget(new ThemedLabel(tr("Mivo"), 18, QFont::DemiBold, SettingsColor::textPrimary));
    header->addStretch(1);
    auto* pill =
        new SettingsPill(versionText, SettingsColor::primarySurface, SettingsColor::primaryPressed);
    pill->setObjectName("versionPill");
    header->addWidget(pill);
    stack()->addLayout(header);
    auto* value = new SettingsValue("VERSION", versionText);
    value->valueLabel()->setObjectName("versionValue");
    stack()->addWidget(value);
    stack()->addWidget(new SettingsDivider());

    automaticRow_ = new SettingsToggleRow(
        "Automatically check for updates",
        "Mivo checks once per day and notifies you when a newer build is available.");
    automaticRow_->toggle()->setObjectName("automaticUpdatesToggle");
    // The value belongs to the updater; the settings store is not involved.
    automaticRow_->onToggled = [this](bool on) {
        model_.updates().setAutomaticallyChecksForUpdates(on);
    };
    stack()->addWidget(automaticRow_);

    auto* checkRow = new QHBoxLayout();
    checkRow->setSpacing(12);
    checkNow_ = new SettingsButton(tr("Check Now"), SettingsButton::Style::primary);
    checkNow_->setObjectName("checkNowButton");
    connect(checkNow_, &QAbstractButton::clicked, this,
            [this] { model_.updates().checkForUpdates(); });
    checkRow->addWidget(checkNow_);
    lastChecked_ = new ThemedLabel({}, 13, QFont::Normal, SettingsColor::textSecondary);
    lastChecked_->setObjectName("lastCheckedLabel");
    checkRow->addWidget(lastChecked_, 1);
    stack()->addLayout(checkRow);
    refresh();
}

void AboutCard::refresh() {
    UpdatePreferences& updates = model_.updates();
    const bool feed = updates.hasUpdateFeed();
    automaticRow_->setOn(updates.automaticallyChecksForUpdates());
    // Without a feed there is nothing to check: the switch rests off and
    // says where new versions come from instead.
    automaticRow_->toggle()->setEnabled(feed);
    automaticRow_->setDetail(
        feed ? tr("Mivo checks once per day and notifies you when a newer build is available.")
             : tr(updateSourceTexts(updates.installKind()).aboutDetail));
    automaticRow_->detailLabel()->setObjectName("automaticUpdatesDetail");
    checkNow_->setVisible(feed);
    lastChecked_->setVisible(feed);
    checkNow_->setEnabled(updates.canCheckForUpdates());
    lastChecked_->setText(
        tr("Last checked: %1").arg(QString::fromStdString(model_.lastUpdateCheckDescription())));
}

}  // namespace mivo
