#pragma once

// The rewrite panel's one view: a 400-wide card (420 with its outer margin)
// whose content follows the state box. It decides nothing: it writes the
// two selections and the composer's text into the box and reports every
// action through its callbacks. The box must outlive the view.

#include <QWidget>
#include <string>

#include "platform/cancel.hpp"
#include "tone/tone_panel_callbacks.hpp"
#include "tone/tone_state_box.hpp"

class QVBoxLayout;

namespace mivo {

class FeedbackComposer;
class ToneTextButton;

class TonePanelView : public QWidget {
    Q_OBJECT

  public:
    using State = TonePanelState;

    static constexpr int hostedWidth = 420;
    static constexpr int cardWidth = 400;
    static constexpr int outerMargin = 10;
    static constexpr int cardPadding = 14;
    static constexpr int contentWidth = cardWidth - 2 * cardPadding;  // 372

    TonePanelView(std::string originalText, ToneStateBox& box, TonePanelCallbacks callbacks,
                  QWidget* parent = nullptr);
    ~TonePanelView() override;

    // The composer laid over the card, while it is presented.
    FeedbackComposer* composer() const { return composer_; }
    // The card's rectangle inside the view.
    QRect cardRect() const;

  signals:
    // The view took a new height (its width is fixed).
    void heightChanged(int height);

  protected:
    void paintEvent(QPaintEvent* event) override;
    void resizeEvent(QResizeEvent* event) override;

  private:
    void boxChanged(ToneStateBox::Field field);
    void rebuild();
    void syncComposer(bool rebuildIt);
    void fitHeight();

    QWidget* buildHeader();
    QWidget* buildContent();
    QWidget* signedOutContent(const TonePanelState::SignedOut& signedOut);
    QWidget* pickingContent();
    QWidget* loadingContent(const State::Loading& loading);
    QWidget* previewContent(const State::Preview& preview);
    QWidget* errorContent(const State::Error& error);
    QWidget* offlineContent();
    QWidget* appliedContent(const State::Applied& applied);
    QWidget* sourceBlock(const QString& caption);
    QWidget* actionTabsRow(bool isLocked);
    QWidget* registerChipsRow(Register active, bool isLocked);
    QWidget* writingStyle(Register active, bool isLocked);
    QWidget* commandButton(const QString& title, const QString& icon, RewriteAction action,
                           bool isDisabled);
    QWidget* feedbackControls();
    QWidget* messageBox(const QString& symbol, const QString& message, bool wraps,
                        const char* objectName);
    QWidget* buttonsRow(bool withRetry);
    // Names a text button and has its click run one of the panel's
    // callbacks, read at the click.
    ToneTextButton* withCallback(ToneTextButton* button, const char* objectName,
                                 std::function<void()> TonePanelCallbacks::*callback);
    // The Cancel button that takes the panel back to the picker.
    QWidget* cancelButton(QWidget* parent);

    std::string originalText_;
    ToneStateBox& box_;
    TonePanelCallbacks callbacks_;
    QVBoxLayout* column_ = nullptr;
    QWidget* header_ = nullptr;
    QWidget* content_ = nullptr;
    FeedbackComposer* composer_ = nullptr;
    Cancel observation_;
};

}  // namespace mivo
