#include "tone_panel/tone_feedback_composer.hpp"

#include <QHBoxLayout>
#include <QLabel>
#include <QPainter>
#include <QPlainTextEdit>
#include <QTextCursor>
#include <QToolButton>
#include <QVBoxLayout>

#include "tone_panel/tone_controls.hpp"
#include "tone_panel/tone_panel_texts.hpp"
#include "tone_panel/tone_symbols.hpp"
#include "tone_panel/tone_text_widgets.hpp"
#include "tone_panel/tone_theme.hpp"

namespace mivo {

using namespace ToneTheme;

namespace {

constexpr int innerWidth = FeedbackComposer::cardWidth - 2 * 14;

QIcon glyphIcon(const QString& name, int side, const QColor& colour, qreal ratio) {
    QPixmap glyph(QSize(side, side) * ratio);
    glyph.setDevicePixelRatio(ratio);
    glyph.fill(Qt::transparent);
    QPainter p(&glyph);
    paintSymbol(p, QRectF(0, 0, side, side), name, colour);
    return QIcon(glyph);
}

}  // namespace

FeedbackComposer::FeedbackComposer(ToneStateBox& box, const TonePanelCallbacks& callbacks,
                                   QWidget* parent)
    : QWidget(parent), box_(box), callbacks_(callbacks) {
    setObjectName(QStringLiteral("composer"));
    // The backdrop takes every click, so nothing beneath can be pressed.
    setAttribute(Qt::WA_NoMousePropagation);

    card_ = new RoundedBox(10, panelBackground(), borderDefault(), this);
    card_->setObjectName(QStringLiteral("composerCard"));
    card_->setFixedWidth(cardWidth);
    auto* layout = new QVBoxLayout(card_);
    layout->setContentsMargins(14, 14, 14, 14);
    layout->setSpacing(10);

    layout->addWidget(buildHeader());
    layout->addWidget(buildField());

    layout->addWidget(wrappingLabel(
        tr("Your comment and rewrite text are saved for quality review."),
        toneFont(10, QFont::Normal), textSecondary(), innerWidth, "composerNote", card_));

    layout->addWidget(buildStatusLine());
    layout->addWidget(buildButtons());

    refresh();
}

QWidget* FeedbackComposer::buildHeader() {
    auto* header = new QWidget(card_);
    auto* headerRow = new QHBoxLayout(header);
    headerRow->setContentsMargins(0, 0, 0, 0);
    headerRow->setSpacing(7);
    headerRow->addWidget(
        new SymbolView(QStringLiteral("hand.thumbsdown.fill"), 12, primary(), header));
    headerRow->addWidget(toneLabel(tr("Tell us why"), toneFont(13, QFont::DemiBold), textPrimary(),
                                   "composerTitle", header));
    headerRow->addStretch(1);
    close_ = new QToolButton(header);
    close_->setObjectName(QStringLiteral("composerClose"));
    close_->setToolTip(tr("Close feedback form"));
    close_->setFocusPolicy(Qt::NoFocus);
    close_->setStyleSheet(QStringLiteral("QToolButton { border: none; background: transparent; }"));
    const int side = static_cast<int>(symbolSide(10));
    close_->setFixedSize(side + 4, side + 4);
    close_->setIconSize(QSize(side, side));
    close_->setIcon(glyphIcon(QStringLiteral("xmark"), side, textSecondary(), devicePixelRatioF()));
    connect(close_, &QToolButton::clicked, this, [this] {
        if (callbacks_.onDismissFeedbackComposer)
            callbacks_.onDismissFeedbackComposer();
    });
    headerRow->addWidget(close_);
    return header;
}

QWidget* FeedbackComposer::buildField() {
    // The field draws the rounded corners and the hairline; the editor sits
    // inside it by the text's insets, so its square background never covers
    // the corners and the text keeps 5 from the sides and 4 from the top and
    // bottom.
    auto* field = new RoundedBox(7, panelBackground(), borderDefault(), card_);
    field->setObjectName(QStringLiteral("composerField"));
    field->setFixedHeight(fieldHeight);
    auto* fieldLayout = new QVBoxLayout(field);
    fieldLayout->setContentsMargins(textHorizontalInset, textVerticalInset, textHorizontalInset,
                                    textVerticalInset);
    editor_ = new QPlainTextEdit(field);
    editor_->setObjectName(QStringLiteral("composerEditor"));
    editor_->setFrameShape(QFrame::NoFrame);
    editor_->setFont(toneFont(12, QFont::Normal));
    editor_->setPlaceholderText(tr("What went wrong?"));
    editor_->document()->setDocumentMargin(0);
    {
        QPalette palette = editor_->palette();
        palette.setColor(QPalette::Base, panelBackground());
        palette.setColor(QPalette::Window, panelBackground());
        palette.setColor(QPalette::Text, textPrimary());
        palette.setColor(QPalette::PlaceholderText, textMuted());
        editor_->setPalette(palette);
    }
    editor_->setFixedHeight(fieldHeight - 2 * textVerticalInset);
    editor_->setPlainText(QString::fromStdString(box_.feedbackText()));
    connect(editor_, &QPlainTextEdit::textChanged, this, [this] { editorChanged(); });
    fieldLayout->addWidget(editor_);
    return field;
}

QWidget* FeedbackComposer::buildStatusLine() {
    auto* status = new QWidget(card_);
    auto* statusRow = new QHBoxLayout(status);
    statusRow->setContentsMargins(0, 0, 0, 0);
    message_ = toneLabel({}, toneFont(10, QFont::Medium), error(), "composerError", status);
    statusRow->addWidget(message_);
    statusRow->addStretch(1);
    counter_ = toneLabel({}, toneFont(10, QFont::Normal), textMuted(), "composerCounter", status);
    statusRow->addWidget(counter_);
    return status;
}

QWidget* FeedbackComposer::buildButtons() {
    auto* buttons = new QWidget(card_);
    auto* buttonRow = new QHBoxLayout(buttons);
    buttonRow->setContentsMargins(0, 0, 0, 0);
    buttonRow->setSpacing(8);
    buttonRow->addStretch(1);
    cancel_ = new ToneTextButton(tr("Cancel"), ToneTextButton::Style::ghost, buttons);
    cancel_->setObjectName(QStringLiteral("composerCancel"));
    connect(cancel_, &QAbstractButton::clicked, this, [this] {
        if (callbacks_.onDismissFeedbackComposer)
            callbacks_.onDismissFeedbackComposer();
    });
    buttonRow->addWidget(cancel_);
    submit_ = new ToneTextButton(tr("Submit"), ToneTextButton::Style::primary, buttons);
    submit_->setObjectName(QStringLiteral("composerSubmit"));
    connect(submit_, &QAbstractButton::clicked, this, [this] {
        if (callbacks_.onSubmitWrittenFeedback)
            callbacks_.onSubmitWrittenFeedback();
    });
    buttonRow->addWidget(submit_);
    return buttons;
}

void FeedbackComposer::focusEditor() {
    editor_->setFocus(Qt::OtherFocusReason);
}

void FeedbackComposer::editorChanged() {
    if (updatingEditor_) {
        return;
    }
    const std::string typed = editor_->toPlainText().toStdString();
    const std::string kept = limitFeedbackText(typed);
    if (kept != typed) {
        // Cut back at once, in the same change, so the field never holds
        // more than the limit.
        updatingEditor_ = true;
        editor_->setPlainText(QString::fromStdString(kept));
        editor_->moveCursor(QTextCursor::End);
        updatingEditor_ = false;
    }
    box_.setFeedbackText(kept);
    refresh();
}

void FeedbackComposer::refresh() {
    const std::string& text = box_.feedbackText();
    if (editor_->toPlainText().toStdString() != text) {
        updatingEditor_ = true;
        editor_->setPlainText(QString::fromStdString(text));
        editor_->moveCursor(QTextCursor::End);
        updatingEditor_ = false;
    }
    const bool inFlight = box_.feedbackSubmissionInFlight();
    // First: the spinner makes Submit taller, and the card's size is taken
    // from the rows below.
    submit_->setBusy(inFlight);
    counter_->setText(QString::fromStdString(feedbackCounterText(text)));
    counter_->adjustSize();
    const auto& message = box_.feedbackErrorMessage();
    const QString full = message ? QString::fromStdString(*message) : QString();
    const int room = innerWidth - counter_->sizeHint().width() - 8;
    message_->setText(message_->fontMetrics().elidedText(full, Qt::ElideRight, room));
    message_->setToolTip(full);
    message_->setVisible(message.has_value());

    const bool canSubmit = canSubmitWrittenFeedback(text, inFlight);
    submit_->setEnabled(canSubmit);
    submit_->setDrawOpacity(canSubmit ? 1 : 0.55);
    cancel_->setEnabled(!inFlight);
    close_->setEnabled(!inFlight);
    placeCard();
}

void FeedbackComposer::placeCard() {
    // A row keeps its old size in the card's layout until its own layout
    // has run; a card sized from the old Submit cut off its last rows.
    for (auto* row : card_->findChildren<QWidget*>(Qt::FindDirectChildrenOnly)) {
        if (row->layout() != nullptr) {
            row->layout()->activate();
        }
    }
    card_->adjustSize();
    card_->move((width() - card_->width()) / 2, (height() - card_->height()) / 2);
}

void FeedbackComposer::resizeEvent(QResizeEvent* event) {
    QWidget::resizeEvent(event);
    placeCard();
}

void FeedbackComposer::paintEvent(QPaintEvent*) {
    QPainter p(this);
    p.setRenderHint(QPainter::Antialiasing);
    p.setPen(Qt::NoPen);
    p.setBrush(withOpacity(panelBackground(), 0.72));
    p.drawRoundedRect(rect(), 14, 14);
    // The card's shadow: black at 0.12, radius 14, 8 down.
    const QRectF card = card_->geometry();
    constexpr int layers = 7;
    for (int i = layers; i >= 1; --i) {
        const double spread = 14.0 * i / layers;
        p.setBrush(withOpacity(Qt::black, 0.12 * 2.0 / (layers + 1) * (layers - i + 1) / layers));
        p.drawRoundedRect(
            card.translated(0, 8).adjusted(-spread / 2, -spread / 2, spread / 2, spread / 2),
            10 + spread / 2, 10 + spread / 2);
    }
}

}  // namespace mivo
