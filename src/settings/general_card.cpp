#include "settings/mivo_settings_store.hpp"
#include "settings/settings_buttons.hpp"
#include "settings/settings_cards.hpp"
#include "settings/settings_toggle.hpp"
#include "settings/settings_view_model.hpp"
#include "settings/shortcut_recorder.hpp"

#include <QHBoxLayout>

namespace mivo {

GeneralCard::GeneralCard(MivoSettingsStore& store, const SettingsViewModel& model, Alerts& alerts,
                         QWidget* parent)
    : SettingsCard(18, parent), store_(store), model_(model) {
    setObjectName("generalCard");
    auto* header = new QHBoxLayout();
    header->addWidget(new ThemedLabel(tr("Mivo"), 18, QFont::DemiBold, SettingsColor::textPrimary));
    header->addStretch(1);
    pill_ = new SettingsPill({}, SettingsColor::primarySurface, SettingsColor::primaryPressed);
    pill_->setObjectName("mivoStatusPill");
    header->addWidget(pill_);
    stack()->addLayout(header);

    enableRow_ = new SettingsToggleRow(
        "Enable Mivo", "Pause or resume corrections and AI rewrite tools across apps.");
    enableRow_->setObjectName("enableMivoRow");
    enableRow_->toggle()->setObjectName("enableMivoToggle");
    enableRow_->onToggled = [this](bool on) { store_.setMivoEnabled(on); };
    stack()->addWidget(enableRow_);
    stack()->addWidget(new SettingsDivider());

    auto* shortcutRow = new QHBoxLayout();
    shortcutRow->setSpacing(0);
    auto* texts = new QVBoxLayout();
    texts->setSpacing(6);
    texts->addWidget(new ThemedLabel(tr("Tone converter shortcut"), 15, QFont::DemiBold,
                                     SettingsColor::textPrimary));
    auto* description = new ThemedLabel(
        tr("Global hotkey to open the rewrite panel. Use at least one of Ctrl, Alt or Super."), 13,
        QFont::Normal, SettingsColor::textSecondary);
    description->setWordWrap(true);
    texts->addWidget(description);
    // In the primary text colour: the palette's red on the card's white is
    // below 4.5:1 at this size.
    shortcutMessage_ = new ThemedLabel({}, 13, QFont::DemiBold, SettingsColor::textPrimary);
    shortcutMessage_->setObjectName("shortcutMessage");
    shortcutMessage_->setWordWrap(true);
    texts->addWidget(shortcutMessage_);
    texts->addStretch(1);
    shortcutRow->addLayout(texts, 1);
    shortcutRow->addSpacing(24);
    auto* controls = new QVBoxLayout();
    controls->setSpacing(8);
    recorder_ = new ShortcutRecorder(alerts);
    recorder_->setObjectName("shortcutRecorder");
    recorder_->onConfigChanged = [this](const HotKeyConfig& config) {
        refusedWhile_.reset();
        store_.setToneHotKey(config);
        refresh();
    };
    // The beep alone is easily missed (or not heard at all): the line says
    // what a shortcut needs, until a shortcut is recorded or set otherwise.
    recorder_->onInvalid = [this] {
        refusedWhile_ = store_.toneHotKey();
        refresh();
    };
    controls->addWidget(recorder_, 0, Qt::AlignRight);
    reset_ = new SettingsLinkButton(tr("Reset to default"));
    reset_->setObjectName("resetShortcutButton");
    connect(reset_, &QAbstractButton::clicked, this,
            [this] { store_.setToneHotKey(HotKeyConfig::defaultConfig()); });
    controls->addWidget(reset_, 0, Qt::AlignRight);
    controls->addStretch(1);
    shortcutRow->addLayout(controls);
    stack()->addLayout(shortcutRow);
    refresh();
}

void GeneralCard::refresh() {
    const bool enabled = store_.mivoEnabled();
    pill_->setTitle(enabled ? "Active" : "Paused");
    pill_->setColors(enabled ? SettingsColor::primarySurface : SettingsColor::altBackground,
                     enabled ? SettingsColor::primaryPressed : SettingsColor::textSecondary);
    enableRow_->setOn(enabled);
    recorder_->setConfig(store_.toneHotKey());
    // All three fields count: a recorded ⇧⌘J is not the stored default ⌘⇧J.
    reset_->setVisible(store_.toneHotKey() != HotKeyConfig::defaultConfig());
    const bool refused = refusedWhile_ == store_.toneHotKey();
    const char* message = refused                      ? refusedKeyMessage
                          : !model_.toneHotKeyActive() ? notActiveMessage
                                                       : nullptr;
    shortcutMessage_->setText(message != nullptr ? tr(message) : QString());
    shortcutMessage_->setVisible(message != nullptr);
}

}  // namespace mivo
