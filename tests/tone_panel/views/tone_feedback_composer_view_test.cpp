#include <QPlainTextEdit>
#include <QTest>

#include "panel_harness.hpp"
#include "shared/text.hpp"
#include "tone_panel/qt_tone_panel_presenter.hpp"
#include "tone_panel/tone_controls.hpp"
#include "tone_panel/tone_feedback_composer.hpp"
#include "tone_panel/tone_panel_window.hpp"
#include "tone_panel/tone_theme.hpp"
#include "ui_artifacts.hpp"

namespace mivo::testing {
namespace {

using Calls = std::vector<std::string>;

class ComposerStates : public BothSchemes {
  protected:
    void open() {
        h.box.setState(TonePanelState::preview("本日は会議に参加できず、申し訳ございません。",
                                               RewriteAction::improve, std::nullopt, 640, false));
        h.box.setFeedbackComposerPresented(true);
        h.make();
    }
    ToneTextButton* submit() { return h.one<ToneTextButton>("composerSubmit"); }
    QPlainTextEdit* editor() { return h.one<QPlainTextEdit>("composerEditor"); }

    PanelHarness h;
};

TEST_P(ComposerStates, OpensEmptyOverTheCardWithSubmitDisabled) {
    open();
    h.save("composer-empty", scheme());
    FeedbackComposer* composer = h.view->composer();
    ASSERT_NE(composer, nullptr);
    EXPECT_EQ(composer->geometry(), h.view->cardRect());  // covers the card exactly
    EXPECT_EQ(composer->card()->width(), 356);
    EXPECT_EQ(h.text("composerTitle"), "Tell us why");
    EXPECT_EQ(editor()->placeholderText(), "What went wrong?");
    // The field is 82 high and its text sits 5 from the sides and 4 from
    // the top and bottom, inside the rounded hairline.
    QWidget* field = h.one("composerField");
    EXPECT_EQ(editor()->parentWidget(), field);
    EXPECT_EQ(field->height(), 82);
    EXPECT_EQ(editor()->geometry(), field->rect().adjusted(5, 4, -5, -4));
    EXPECT_EQ(editor()->document()->documentMargin(), 0);
    EXPECT_EQ(h.text("composerCounter"), "0/1000");
    EXPECT_FALSE(submit()->isEnabled());
    EXPECT_DOUBLE_EQ(submit()->drawOpacity(), 0.55);
    EXPECT_EQ(h.one("composerClose")->toolTip(), "Close feedback form");
    EXPECT_EQ(QApplication::focusWidget(), editor());

    h.click("composerCancel");
    h.click("composerClose");
    EXPECT_EQ(h.calls, (Calls{"dismiss composer", "dismiss composer"}));
}

TEST_P(ComposerStates, APasteOverTheLimitKeepsTheFirstThousandCharacters) {
    open();
    std::string pasted;
    for (int i = 0; i < 500; ++i)
        pasted += "理由👍🏽";
    ASSERT_EQ(text::characterCount(pasted), 1500);
    editor()->insertPlainText(QString::fromStdString(pasted));
    PanelHarness::settle();
    EXPECT_EQ(text::characterCount(h.box.feedbackText()), 1000);
    EXPECT_TRUE(pasted.starts_with(h.box.feedbackText()));
    EXPECT_EQ(editor()->toPlainText().toStdString(), h.box.feedbackText());
    EXPECT_EQ(h.text("composerCounter"), "1000/1000");
    EXPECT_TRUE(submit()->isEnabled());
}

TEST_P(ComposerStates, BlankTextKeepsSubmitDisabled) {
    open();
    editor()->insertPlainText("  \n\n ");
    PanelHarness::settle();
    EXPECT_TRUE(editor()->placeholderText().size() > 0);
    EXPECT_EQ(h.box.feedbackText(), "  \n\n ");
    EXPECT_FALSE(submit()->isEnabled());
    EXPECT_DOUBLE_EQ(submit()->drawOpacity(), 0.55);

    editor()->insertPlainText("訳が硬すぎる");
    PanelHarness::settle();
    h.save("composer-typing", scheme());
    EXPECT_TRUE(submit()->isEnabled());
    EXPECT_DOUBLE_EQ(submit()->drawOpacity(), 1);
    h.click("composerSubmit");
    EXPECT_EQ(h.calls, (Calls{"submit written"}));
}

TEST_P(ComposerStates, WhileSendingNothingCanCloseOrSendAgain) {
    open();
    editor()->insertPlainText("訳が硬すぎる");
    h.box.setFeedbackSubmissionInFlight(true);
    const QImage sending = h.save("composer-sending", scheme());
    EXPECT_TRUE(submit()->isBusy());
    // The taller busy Submit is in the card's size: every row keeps its
    // height and the field's bottom hairline is drawn.
    QWidget* field = h.one("composerField");
    EXPECT_EQ(field->height(), 82);
    QWidget* card = h.view->composer()->card();
    EXPECT_GE(card->height(), card->sizeHint().height());
    EXPECT_LE(submit()->mapTo(card, QPoint(0, submit()->height())).y(), card->height() - 14);
    const QPoint bottom =
        field->mapTo(h.view.get(), QPoint(field->width() / 2, field->height() - 1));
    EXPECT_NE(pixelAt(sending, bottom.x(), bottom.y()).rgb(), ToneTheme::panelBackground().rgb())
        << "the field's bottom border is cut";
    EXPECT_FALSE(submit()->isEnabled());
    EXPECT_FALSE(h.one<QAbstractButton>("composerCancel")->isEnabled());
    EXPECT_FALSE(h.one<QAbstractButton>("composerClose")->isEnabled());
    h.click("composerCancel");
    h.click("composerClose");
    h.click("composerSubmit");
    EXPECT_TRUE(h.calls.empty());

    // A failed send: the text stays, the message shows, Submit works again.
    h.box.setFeedbackSubmissionInFlight(false);
    h.box.setFeedbackErrorMessage("Couldn't save feedback");
    h.save("composer-failed", scheme());
    EXPECT_EQ(editor()->toPlainText(), "訳が硬すぎる");
    // The panel's content was rebuilt beneath; the composer stays on top.
    QWidget* hit = h.view->childAt(h.view->cardRect().center());
    EXPECT_TRUE(h.view->composer()->isAncestorOf(hit));
    EXPECT_EQ(h.text("composerError"), "Couldn't save feedback");
    EXPECT_TRUE(submit()->isEnabled());
    EXPECT_FALSE(submit()->isBusy());
}

INSTANTIATE_TEST_SUITE_P(Schemes, ComposerStates,
                         ::testing::Values(ui::ColorScheme::light, ui::ColorScheme::dark),
                         [](const auto& info) { return std::string(schemeName(info.param)); });

// The window's key handler sees keys before the focused control: with the
// composer open, Esc goes to the handler and Return to the editor.
TEST(TonePanelWindowKeys, TheHandlerComesFirstAndDeclinedKeysReachTheEditor) {
    ToneStateBox box;
    box.setState(TonePanelState::preview("文", RewriteAction::improve, std::nullopt, 1, false));
    box.setFeedbackComposerPresented(true);
    std::vector<int> seen;
    TonePanelWindow window(new TonePanelView("文", box, {}));
    window.onKeyDown = [&](const PanelKeyEvent& key) {
        seen.push_back(key.keyCode);
        return key.keyCode == panel_keys::escape;  // what the coordinator takes while composing
    };
    window.show();
    PanelHarness::settle();
    auto* editor = window.findChild<QPlainTextEdit*>("composerEditor");
    ASSERT_NE(editor, nullptr);
    editor->setFocus();
    QTest::keyClicks(editor, "ab");
    QTest::keyClick(editor, Qt::Key_Return);
    QTest::keyClick(editor, Qt::Key_Escape);
    EXPECT_EQ(editor->toPlainText(), "ab\n");
    EXPECT_EQ(box.feedbackText(), "ab\n");
    EXPECT_EQ(seen, (std::vector<int>{-1, -1, panel_keys::returnKey, panel_keys::escape}));
}

TEST(TonePanelWindowPlacement, GrowingAboveTheAnchorKeepsTheBottomEdge) {
    ToneStateBox box;
    TonePanelWindow window(new TonePanelView("文", box, {}));
    const std::vector<Screen> screens{{{0, 0, 1440, 900}, {0, 0, 1440, 900}}};
    window.position(Rect{500, 100, 100, 20}, screens);  // no room below
    ASSERT_EQ(window.side(), PanelSide::above);
    const Rect before = window.globalFrame();
    EXPECT_EQ(before.minY(), 126);
    box.setState(TonePanelState::error("長いエラー文。" + std::string(200, 'x'), true));
    PanelHarness::settle();
    const Rect after = window.globalFrame();
    EXPECT_NE(after.height, before.height);
    EXPECT_EQ(after.minY(), before.minY());  // never over the text
    EXPECT_EQ(window.view()->height(), window.height());
}

TEST(QtTonePanelPresenter, MakesOneWindowPerOpeningAndDropsItOnClose) {
    class FixedScreens : public Screens {
      public:
        std::vector<Screen> screens() override { return {}; }
    } screens;
    ToneStateBox box;
    QtTonePanelPresenter presenter(screens);
    presenter.open({"文", &box, {}, nullptr, std::nullopt});
    ASSERT_TRUE(presenter.isOpen());
    QPointer<TonePanelWindow> first = presenter.window();
    presenter.open({"別", &box, {}, nullptr, std::nullopt});  // already open: same window
    EXPECT_EQ(presenter.window(), first.data());
    presenter.close();
    EXPECT_FALSE(presenter.isOpen());
    PanelHarness::settle();
    EXPECT_TRUE(first.isNull());
    presenter.open({"次", &box, {}, nullptr, std::nullopt});
    EXPECT_TRUE(presenter.isOpen());
    presenter.close();
}

}  // namespace
}  // namespace mivo::testing
