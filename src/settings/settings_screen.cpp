#include "settings/settings_screen.hpp"

#include <QHBoxLayout>
#include <QPainter>
#include <QScrollArea>
#include <QScrollBar>

#include "settings/mivo_settings_store.hpp"
#include "settings/settings_buttons.hpp"
#include "settings/settings_cards.hpp"
#include "settings/settings_view_model.hpp"
#include "ui/appearance.hpp"

namespace mivo {

namespace {

using Theme = MivoSettingsTheme;

QString qText(std::string_view text) {
    return QString::fromUtf8(text.data(), static_cast<int>(text.size()));
}

// A plain area filled with one palette colour.
class FilledArea : public QWidget {
  public:
    FilledArea(SettingsColor color, QWidget* parent) : QWidget(parent), color_(color) {
        connect(&ui::Appearance::shared(), &ui::Appearance::changed, this, [this] { update(); });
    }

  protected:
    void paintEvent(QPaintEvent*) override {
        QPainter painter(this);
        painter.fillRect(rect(), Theme::color(color_));
    }

  private:
    SettingsColor color_;
};

// One category's header and cards; it paints the cards' shadows behind
// them, since a shadow falls outside its card.
class CategoryPage : public QWidget {
  public:
    explicit CategoryPage(QWidget* parent) : QWidget(parent) {
        connect(&ui::Appearance::shared(), &ui::Appearance::changed, this, [this] { update(); });
    }

  protected:
    void paintEvent(QPaintEvent*) override {
        QPainter painter(this);
        for (QObject* child : children()) {
            auto* card = qobject_cast<SettingsCard*>(child);
            if (card != nullptr && card->isVisible()) {
                paintCardShadow(painter, card->geometry());
            }
        }
    }
};

}  // namespace

SettingsScreen::SettingsScreen(SettingsViewModel& model, MivoSettingsStore& store,
                               const AppVersion& version, Alerts& alerts, QWidget* parent)
    : QWidget(parent), model_(model), store_(store) {
    setObjectName("settingsScreen");
    setMinimumSize(Theme::minimumContentWidth, Theme::minimumContentHeight);
    auto* row = new QHBoxLayout(this);
    row->setContentsMargins(0, 0, 0, 0);
    row->setSpacing(0);
    row->addWidget(buildSidebar());
    auto* separator = new FilledArea(SettingsColor::borderSubtle, this);
    separator->setObjectName("sidebarSeparator");
    separator->setFixedWidth(1);
    row->addWidget(separator);

    scroll_ = new QScrollArea(this);
    scroll_->setObjectName("contentArea");
    scroll_->setFrameShape(QFrame::NoFrame);
    scroll_->setWidgetResizable(true);
    scroll_->setHorizontalScrollBarPolicy(Qt::ScrollBarAlwaysOff);
    scroll_->setVerticalScrollBarPolicy(Qt::ScrollBarAsNeeded);
    row->addWidget(scroll_, 1);

    for (SettingsCategory category : allSettingsCategories()) {
        pages_[category] = buildPage(category, version, alerts);
    }
    applyBackground();
    connect(&ui::Appearance::shared(), &ui::Appearance::changed, this,
            [this] { applyBackground(); });
    showSelectedCategory();

    modelObserver_ = model_.addObserver([this](SettingsViewModel::Change change) {
        switch (change) {
            case SettingsViewModel::Change::selectedCategory:
                showSelectedCategory();
                break;
            case SettingsViewModel::Change::accountState:
                account_->refresh();
                break;
            case SettingsViewModel::Change::feedback:
                feedback_->refresh();
                break;
            case SettingsViewModel::Change::updates:
                about_->refresh();
                break;
            case SettingsViewModel::Change::toneHotKeyActive:
                general_->refresh();
                break;
        }
    });
    storeObserver_ = store_.addObserver([this](MivoSettingsStore::Property) {
        general_->refresh();
        localCorrection_->refresh();
    });
}

SettingsScreen::~SettingsScreen() {
    modelObserver_.cancel();
    storeObserver_.cancel();
    // Pages not shown are not owned by the scroll area: parent them here.
    for (auto& [category, page] : pages_) {
        if (page != nullptr && page->parent() == nullptr) {
            delete page;
        }
    }
}

QWidget* SettingsScreen::buildSidebar() {
    sidebar_ = new FilledArea(SettingsColor::surface, this);
    sidebar_->setObjectName("sidebar");
    sidebar_->setFixedWidth(Theme::sidebarWidth);
    auto* column = new QVBoxLayout(sidebar_);
    column->setContentsMargins(16, 24, 16, 28);
    column->setSpacing(10);
    column->addWidget(new ThemedLabel(tr("PREFERENCES"), 11, QFont::DemiBold,
                                      SettingsColor::textMuted, sidebar_, 0.2));
    column->addSpacing(8);
    for (SettingsCategory category : allSettingsCategories()) {
        auto* tab = new SettingsTabButton(category, sidebar_);
        tab->setObjectName(QStringLiteral("tab_") + qText(rawValue(category)));
        connect(tab, &QAbstractButton::clicked, this,
                [this, category] { model_.setSelectedCategory(category); });
        tabs_.push_back(tab);
        column->addWidget(tab);
    }
    column->addStretch(1);
    return sidebar_;
}

QWidget* SettingsScreen::buildPage(SettingsCategory category, const AppVersion& version,
                                   Alerts& alerts) {
    auto* page = new CategoryPage(nullptr);
    page->setObjectName(QStringLiteral("page_") + qText(rawValue(category)));
    auto* column = new QVBoxLayout(page);
    column->setContentsMargins(Theme::contentPadding, Theme::contentPadding, Theme::contentPadding,
                               Theme::contentPadding);
    column->setSpacing(24);
    auto* header = new QVBoxLayout();
    header->setSpacing(8);
    auto* heading = new ThemedLabel(qText(title(category)), 22, QFont::DemiBold,
                                    SettingsColor::textPrimary, page, -0.3);
    heading->setObjectName("categoryTitle");
    header->addWidget(heading);
    auto* sub = new ThemedLabel(qText(subtitle(category)), 14, QFont::Normal,
                                SettingsColor::textSecondary, page);
    sub->setObjectName("categorySubtitle");
    sub->setWordWrap(true);
    header->addWidget(sub);
    column->addLayout(header);

    switch (category) {
        case SettingsCategory::general:
            general_ = new GeneralCard(store_, model_, alerts, page);
            column->addWidget(general_);
            break;
        case SettingsCategory::account:
            account_ = new AccountCard(model_, page);
            column->addWidget(account_);
            break;
        case SettingsCategory::localCorrection:
            localCorrection_ = new LocalCorrectionCard(store_, page);
            column->addWidget(localCorrection_);
            column->addWidget(new VocabularyPreviewCard(page));
            break;
        case SettingsCategory::feedback:
            feedback_ = new FeedbackCard(model_, page);
            column->addWidget(feedback_);
            break;
        case SettingsCategory::privacy:
            column->addWidget(new PrivacyCard(page));
            break;
        case SettingsCategory::about:
            about_ = new AboutCard(model_, version, page);
            column->addWidget(about_);
            break;
    }
    column->addStretch(1);
    return page;
}

QWidget* SettingsScreen::currentPage() const {
    return scroll_->widget();
}

void SettingsScreen::showSelectedCategory() {
    const SettingsCategory selected = model_.selectedCategory();
    for (SettingsTabButton* tab : tabs_) {
        tab->setSelected(tab->category() == selected);
    }
    QWidget* next = pages_.at(selected);
    if (scroll_->widget() == next) {
        return;
    }
    // The scroll area deletes a widget it replaces; keep every page alive.
    if (QWidget* previous = scroll_->takeWidget()) {
        previous->hide();
        previous->setParent(nullptr);
    }
    scroll_->setWidget(next);
    next->setAutoFillBackground(false);
    next->show();
}

void SettingsScreen::applyBackground() {
    QPalette p = scroll_->viewport()->palette();
    p.setColor(QPalette::Window, Theme::altBackground());
    scroll_->viewport()->setPalette(p);
    scroll_->viewport()->setAutoFillBackground(true);
    QPalette own = palette();
    own.setColor(QPalette::Window, Theme::altBackground());
    setPalette(own);
    setAutoFillBackground(true);
}

}  // namespace mivo
