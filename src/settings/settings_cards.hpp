#pragma once

// The cards of the settings screen. Each binds to the store or the model it
// shows and refreshes itself when told; the screen tells it on every
// change. Interactive widgets carry object names for tests and tools.

#include <QAbstractButton>
#include <QHBoxLayout>
#include <QLabel>
#include <QPlainTextEdit>
#include <optional>

#include "platform/alerts.hpp"
#include "settings/app_version.hpp"
#include "settings/settings_controls.hpp"
#include "shared/hotkey_config.hpp"

namespace mivo {

class MivoSettingsStore;
class SettingsViewModel;
class SettingsButton;
class SettingsLinkButton;
class ShortcutRecorder;

// A card's title at 18 semibold with a pill at the right edge.
QHBoxLayout* cardHeaderRow(const QString& title, const QString& pillTitle, QWidget* parent);

// "Mivo" with its Active/Paused pill, "Enable Mivo", the rewrite shortcut
// with a line under it when the shortcut does not work (another program
// holds it) or a key press was refused (no Ctrl, Alt or Super).
class GeneralCard : public SettingsCard {
    Q_OBJECT

  public:
    static constexpr const char* refusedKeyMessage = "Use at least one of Ctrl, Alt or Super.";
    static constexpr const char* notActiveMessage =
        "Not active: another program holds this shortcut. Click it and press another one.";

    GeneralCard(MivoSettingsStore& store, const SettingsViewModel& model, Alerts& alerts,
                QWidget* parent = nullptr);
    void refresh();

  private:
    MivoSettingsStore& store_;
    const SettingsViewModel& model_;
    SettingsPill* pill_;
    SettingsToggleRow* enableRow_;
    ShortcutRecorder* recorder_;
    SettingsLinkButton* reset_;
    ThemedLabel* shortcutMessage_;
    // The shortcut stored when a key press was refused; the refusal is
    // shown while it is still the one stored.
    std::optional<HotKeyConfig> refusedWhile_;
};

// "Google Account" with its badge and the content of the account state.
class AccountCard : public SettingsCard {
    Q_OBJECT

  public:
    explicit AccountCard(SettingsViewModel& model, QWidget* parent = nullptr);
    void refresh();

  private:
    void rebuildContent();
    QAbstractButton* continueButton();
    void fillSignedOut(QVBoxLayout& column);
    void fillSigningIn(QVBoxLayout& column);
    void fillSignedIn(QVBoxLayout& column);
    void fillError(QVBoxLayout& column);
    void fillKeyringLocked(QVBoxLayout& column);

    SettingsViewModel& model_;
    SettingsPill* badge_;
    QWidget* content_ = nullptr;
};

// "Suggestions": the vocabulary-suggestions switch and its status line.
class LocalCorrectionCard : public SettingsCard {
    Q_OBJECT

  public:
    LocalCorrectionCard(MivoSettingsStore& store, QWidget* parent = nullptr);
    void refresh();

  private:
    MivoSettingsStore& store_;
    SettingsToggleRow* row_;
    QLabel* status_;
};

// A static example of a green suggestion.
class VocabularyPreviewCard : public SettingsCard {
    Q_OBJECT

  public:
    explicit VocabularyPreviewCard(QWidget* parent = nullptr);
};

// What leaves the device.
class PrivacyCard : public SettingsCard {
    Q_OBJECT

  public:
    explicit PrivacyCard(QWidget* parent = nullptr);
    // The statement, for tests.
    static QString statement();
};

// Version, automatic checks, "Check Now" and the last check.
class AboutCard : public SettingsCard {
    Q_OBJECT

  public:
    AboutCard(SettingsViewModel& model, const AppVersion& version, QWidget* parent = nullptr);
    void refresh();

  private:
    SettingsViewModel& model_;
    SettingsToggleRow* automaticRow_;
    SettingsButton* checkNow_;
    QLabel* lastChecked_;
};

// The feedback editor, its counter and status line, and "Send Feedback".
class FeedbackCard : public SettingsCard {
    Q_OBJECT

  public:
    explicit FeedbackCard(SettingsViewModel& model, QWidget* parent = nullptr);
    void refresh();

  private:
    void editorChanged();

    SettingsViewModel& model_;
    QPlainTextEdit* editor_;
    QLabel* counter_;
    ThemedLabel* status_;
    SettingsButton* send_;
    bool applying_ = false;
};

}  // namespace mivo
