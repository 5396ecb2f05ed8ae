#pragma once

// The written-feedback composer laid over the panel card after a thumbs-down:
// a field of at most 1000 Characters with a counter, a note, the status line,
// and Cancel and Submit. It writes only the box's feedback text.

#include <QWidget>

#include "tone/tone_panel_callbacks.hpp"
#include "tone/tone_state_box.hpp"

class QLabel;
class QPlainTextEdit;
class QToolButton;

namespace mivo {

class ToneTextButton;

class FeedbackComposer : public QWidget {
  public:
    static constexpr int cardWidth = 356;
    static constexpr int fieldHeight = 82;
    // Between the field's edges and its text (and placeholder).
    static constexpr int textHorizontalInset = 5;
    static constexpr int textVerticalInset = 4;

    FeedbackComposer(ToneStateBox& box, const TonePanelCallbacks& callbacks,
                     QWidget* parent = nullptr);

    // Follows the box: its text, message and sending flag.
    void refresh();
    void focusEditor();

    QPlainTextEdit* editor() const { return editor_; }
    QWidget* card() const { return card_; }

  protected:
    void paintEvent(QPaintEvent* event) override;
    void resizeEvent(QResizeEvent* event) override;

  private:
    QWidget* buildHeader();
    QWidget* buildField();
    QWidget* buildStatusLine();
    QWidget* buildButtons();
    void editorChanged();
    void placeCard();

    ToneStateBox& box_;
    TonePanelCallbacks callbacks_;
    QWidget* card_ = nullptr;
    QPlainTextEdit* editor_ = nullptr;
    QLabel* counter_ = nullptr;
    QLabel* message_ = nullptr;
    QToolButton* close_ = nullptr;
    ToneTextButton* cancel_ = nullptr;
    ToneTextButton* submit_ = nullptr;
    bool updatingEditor_ = false;
};

}  // namespace mivo
