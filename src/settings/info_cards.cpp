// The local correction, vocabulary example and privacy cards.

#include <QHBoxLayout>
#include <QPainter>

#include "settings/mivo_settings_store.hpp"
#include "settings/settings_cards.hpp"
#include "settings/settings_toggle.hpp"

namespace mivo {

namespace {

// A word underlined in the green of vocabulary suggestions.
class GreenUnderlinedLabel : public ThemedLabel {
  public:
    GreenUnderlinedLabel(const QString& text, QWidget* parent)
        : ThemedLabel(text, 16, QFont::Medium, SettingsColor::textPrimary, parent) {
        setContentsMargins(0, 0, 0, 3);
    }

  protected:
    void paintEvent(QPaintEvent* event) override {
        ThemedLabel::paintEvent(event);
        QPainter painter(this);
        const QFontMetrics metrics(font());
        const int width = metrics.horizontalAdvance(text());
        const int y = contentsRect().top() + metrics.ascent() + metrics.underlinePos() + 1;
        painter.fillRect(QRect(0, y, width, std::max(1, metrics.lineWidth() + 1)),
                         MivoSettingsTheme::styleGreen());
    }
};

}  // namespace

QHBoxLayout* cardHeaderRow(const QString& title, const QString& pillTitle, QWidget* parent) {
    auto* row = new QHBoxLayout();
    row->addWidget(new ThemedLabel(title, 18, QFont::DemiBold, SettingsColor::textPrimary, parent));
    row->addStretch(1);
    row->addWidget(new SettingsPill(pillTitle, SettingsColor::primarySurface,
                                    SettingsColor::primaryPressed, parent));
    return row;
}

LocalCorrectionCard::LocalCorrectionCard(MivoSettingsStore& store, QWidget* parent)
    : SettingsCard(18, parent), store_(store) {
    setObjectName("localCorrectionCard");
    stack()->addLayout(cardHeaderRow(tr("Suggestions"), "On-device", this));
    row_ = new SettingsToggleRow("Vocabulary suggestions",
                                 "Show optional business-style alternatives as green highlights.");
    row_->toggle()->setObjectName("vocabularySuggestionsToggle");
    row_->onToggled = [this](bool on) { store_.setVocabularySuggestionsEnabled(on); };
    stack()->addWidget(row_);
    stack()->addWidget(new SettingsDivider());
    status_ = new ThemedLabel({}, 13, QFont::Normal, SettingsColor::textSecondary);
    status_->setObjectName("vocabularyStatusLabel");
    status_->setWordWrap(true);
    stack()->addWidget(status_);
    refresh();
}

void LocalCorrectionCard::refresh() {
    const bool on = store_.vocabularySuggestionsEnabled();
    row_->setOn(on);
    status_->setText(on ? tr("Optional vocabulary style suggestions are enabled.")
                        : tr("Off by default. Grammar, particle, and higher-confidence "
                             "corrections remain enabled."));
}

VocabularyPreviewCard::VocabularyPreviewCard(QWidget* parent) : SettingsCard(14, parent) {
    setObjectName("vocabularyPreviewCard");
    stack()->addWidget(
        new ThemedLabel(tr("Example suggestion"), 16, QFont::DemiBold, SettingsColor::textPrimary));
    auto* example = new QHBoxLayout();
    example->setSpacing(10);
    example->addWidget(new GreenUnderlinedLabel(tr("わかりました"), this));
    example->addWidget(new ThemedLabel(tr("→"), 13, QFont::Normal, SettingsColor::textMuted));
    example->addWidget(
        new ThemedLabel(tr("承知しました"), 16, QFont::Medium, SettingsColor::textPrimary));
    example->addStretch(1);
    stack()->addLayout(example);
    auto* note = new ThemedLabel(
        tr("Green highlights are optional tone-polishing suggestions, not grammar errors."), 13,
        QFont::Normal, SettingsColor::textSecondary);
    note->setWordWrap(true);
    stack()->addWidget(note);
}

QString PrivacyCard::statement() {
    // Every rewrite (improve, tone, translate) sends the text and its
    // surrounding context, not only a tone change of a selection.
    return tr(
        "Local correction monitoring does not transmit text. The text you rewrite and its "
        "context are sent to Mivo AI only when you request a rewrite.");
}

PrivacyCard::PrivacyCard(QWidget* parent) : SettingsCard(12, parent) {
    setObjectName("privacyCard");
    stack()->addWidget(new SettingsPill("On-device by default", SettingsColor::primarySurface,
                                        SettingsColor::primaryPressed));
    stack()->addWidget(
        new ThemedLabel(tr("Local Correction"), 18, QFont::DemiBold, SettingsColor::textPrimary));
    auto* text = new ThemedLabel(statement(), 14, QFont::Normal, SettingsColor::textSecondary);
    text->setObjectName("privacyStatement");
    text->setWordWrap(true);
    stack()->addWidget(text);
}

}  // namespace mivo
