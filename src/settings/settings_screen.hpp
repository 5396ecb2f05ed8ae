#pragma once

// The settings window's content: the 210-wide sidebar of categories, a
// 1-pixel separator, and the scrolling content area with the selected
// category's header and cards. It keeps no state of its own: it shows the
// model and the store and refreshes on their changes.

#include <QWidget>
#include <map>
#include <vector>

#include "platform/alerts.hpp"
#include "platform/cancel.hpp"
#include "settings/app_version.hpp"
#include "settings/settings_category.hpp"

class QScrollArea;

namespace mivo {

class MivoSettingsStore;
class SettingsViewModel;
class SettingsTabButton;
class GeneralCard;
class AccountCard;
class LocalCorrectionCard;
class AboutCard;
class FeedbackCard;

class SettingsScreen : public QWidget {
    Q_OBJECT

  public:
    // All four must outlive the screen.
    SettingsScreen(SettingsViewModel& model, MivoSettingsStore& store, const AppVersion& version,
                   Alerts& alerts, QWidget* parent = nullptr);
    ~SettingsScreen() override;

    // The page shown in the content area.
    QWidget* currentPage() const;
    QWidget* page(SettingsCategory category) const { return pages_.at(category); }
    QScrollArea* contentArea() const { return scroll_; }
    QWidget* sidebar() const { return sidebar_; }

  private:
    QWidget* buildSidebar();
    QWidget* buildPage(SettingsCategory category, const AppVersion& version, Alerts& alerts);
    void showSelectedCategory();
    void applyBackground();

    SettingsViewModel& model_;
    MivoSettingsStore& store_;
    QWidget* sidebar_ = nullptr;
    QScrollArea* scroll_ = nullptr;
    std::vector<SettingsTabButton*> tabs_;
    std::map<SettingsCategory, QWidget*> pages_;
    GeneralCard* general_ = nullptr;
    AccountCard* account_ = nullptr;
    LocalCorrectionCard* localCorrection_ = nullptr;
    AboutCard* about_ = nullptr;
    FeedbackCard* feedback_ = nullptr;
    Cancel modelObserver_;
    Cancel storeObserver_;
};

}  // namespace mivo
