#include <QHBoxLayout>
#include <QPainter>
#include <QScrollBar>
#include <QTextCursor>

#include "settings/settings_buttons.hpp"
#include "settings/settings_cards.hpp"
#include "settings/settings_view_model.hpp"
#include "shared/text.hpp"
#include "ui/appearance.hpp"

namespace mivo {

namespace {

using Theme = MivoSettingsTheme;

// The editor's rounded frame: surface behind, a 1-pixel borderDefault line.
class EditorFrame : public QWidget {
  public:
    explicit EditorFrame(QWidget* parent) : QWidget(parent) {
        connect(&ui::Appearance::shared(), &ui::Appearance::changed, this, [this] { update(); });
    }

  protected:
    void paintEvent(QPaintEvent*) override {
        QPainter painter(this);
        painter.setRenderHint(QPainter::Antialiasing);
        painter.setBrush(Theme::surface());
        painter.setPen(QPen(Theme::borderDefault(), 1));
        painter.drawRoundedRect(QRectF(rect()).adjusted(0.5, 0.5, -0.5, -0.5), 8, 8);
    }
};

// The editor with its text inset from the frame.
class FeedbackEditor : public QPlainTextEdit {
  public:
    explicit FeedbackEditor(QWidget* parent) : QPlainTextEdit(parent) {
        setViewportMargins(7, 5, 7, 5);
    }
};

void applyEditorColors(QPlainTextEdit* editor) {
    QPalette p = editor->palette();
    p.setColor(QPalette::Base, Qt::transparent);
    p.setColor(QPalette::Text, Theme::textPrimary());
    p.setColor(QPalette::PlaceholderText, Theme::textMuted());
    p.setColor(QPalette::Highlight, Theme::withOpacity(Theme::primary(), 0.35));
    p.setColor(QPalette::HighlightedText, Theme::textPrimary());
    editor->setPalette(p);
}

}  // namespace

FeedbackCard::FeedbackCard(SettingsViewModel& model, QWidget* parent)
    : SettingsCard(18, parent), model_(model) {
    setObjectName("feedbackCard");
    stack()->addLayout(cardHeaderRow(tr("Write Feedback"), "Support", this));
    auto* prompt = new ThemedLabel(tr("What is working well, or what should Mivo improve?"), 14,
                                   QFont::Normal, SettingsColor::textSecondary);
    prompt->setWordWrap(true);
    stack()->addWidget(prompt);

    auto* frame = new EditorFrame(this);
    frame->setFixedHeight(150);
    auto* frameLayout = new QVBoxLayout(frame);
    frameLayout->setContentsMargins(1, 1, 1, 1);
    editor_ = new FeedbackEditor(frame);
    editor_->setObjectName("feedbackEditor");
    editor_->setFrameShape(QFrame::NoFrame);
    editor_->setFont(Theme::font(14, QFont::Normal));
    editor_->viewport()->setAutoFillBackground(false);
    editor_->setPlaceholderText(tr("Share product feedback, feature ideas, or issues..."));
    editor_->setTabChangesFocus(true);
    applyEditorColors(editor_);
    connect(&ui::Appearance::shared(), &ui::Appearance::changed, editor_,
            [this] { applyEditorColors(editor_); });
    frameLayout->addWidget(editor_);
    stack()->addWidget(frame);
    connect(editor_, &QPlainTextEdit::textChanged, this, [this] { editorChanged(); });

    auto* noteRow = new QHBoxLayout();
    noteRow->addWidget(
        new ThemedLabel(tr("This opens your email app. Nothing is sent until you press Send."), 12,
                        QFont::Normal, SettingsColor::textSecondary));
    noteRow->addStretch(1);
    counter_ = new ThemedLabel({}, 12, QFont::Medium, SettingsColor::textMuted);
    counter_->setObjectName("feedbackCounter");
    noteRow->addWidget(counter_);
    stack()->addLayout(noteRow);

    status_ = new ThemedLabel({}, 13, QFont::Medium, SettingsColor::primaryPressed);
    status_->setObjectName("feedbackStatus");
    status_->setWordWrap(true);
    stack()->addWidget(status_);

    auto* sendRow = new QHBoxLayout();
    sendRow->addStretch(1);
    send_ = new SettingsButton(tr("Send Feedback"), SettingsButton::Style::primary);
    send_->setObjectName("sendFeedbackButton");
    connect(send_, &QAbstractButton::clicked, this, [this] { model_.sendFeedback(); });
    sendRow->addWidget(send_);
    stack()->addLayout(sendRow);
    refresh();
}

void FeedbackCard::editorChanged() {
    if (applying_) {
        return;
    }
    model_.editFeedbackText(editor_->toPlainText().toStdString());
    // The model keeps the first 1000 Characters of an edit that overshoots.
    refresh();
}

void FeedbackCard::refresh() {
    const QString text = QString::fromStdString(model_.feedbackText());
    if (editor_->toPlainText() != text) {
        applying_ = true;
        editor_->setPlainText(text);
        editor_->moveCursor(QTextCursor::End);
        applying_ = false;
    }
    counter_->setText(tr("%1/1000").arg(text::characterCount(model_.feedbackText())));
    const auto& message = model_.feedbackStatusMessage();
    status_->setVisible(message.has_value());
    status_->setText(message ? QString::fromStdString(*message) : QString());
    status_->setColorRole(model_.feedbackSubmissionFailed() ? SettingsColor::error
                                                            : SettingsColor::primaryPressed);
    send_->setEnabled(model_.canSendFeedback());
}

}  // namespace mivo
