// The correction panel in each of its states, built offscreen and checked
// through its widgets and a few pixels; pictures under test-artifacts/ui.

#include <gtest/gtest.h>

#include <QAccessible>
#include <QApplication>
#include <QEnterEvent>
#include <QLabel>
#include <QSignalSpy>
#include <memory>
#include <string>
#include <vector>

#include "overlay/correction_panel_parts.hpp"
#include "overlay/correction_panel_view.hpp"
#include "overlay/qt_correction_panel_window.hpp"
#include "overlay_test_support.hpp"
#include "ui_artifacts.hpp"

namespace mivo {
namespace {

using overlay_test::issue;
using testing::pixelAt;
using testing::renderArtifact;
using Severity = CorrectionIssue::Severity;
using Category = CorrectionIssue::Category;

std::vector<CorrectionIssue> threeIssues() {
    auto first =
        issue("1", "本を読むをします", "本を読みます", 0, 8, Severity::critical, Category::grammar);
    first.explanationEn = "A verb does not take を before します.";
    auto second =
        issue("2", "食べれる", "食べられる", 9, 13, Severity::unnatural, Category::conjugation);
    auto third = issue("3", "すごい", "とても", 14, 17, Severity::style, Category::vocabulary);
    third.explanationEn = "すごい is casual; とても fits written text.";
    return {first, second, third};
}

class CorrectionPanelViewTest : public ::testing::Test {
  protected:
    std::unique_ptr<CorrectionPanelView> makeView(std::vector<CorrectionIssue> issues) {
        auto model = std::make_shared<CorrectionPanelModel>(
            std::move(issues), [this](const auto& i) { record("apply", i); },
            [this](const auto& i) { record("dismiss", i); },
            [this](bool h) { events.push_back(h ? "hover in" : "hover out"); });
        auto view = std::make_unique<CorrectionPanelView>(model);
        view->resize(CorrectionPanelView::fixedWidth, view->fittingHeight());
        return view;
    }

    void record(const char* what, const std::vector<CorrectionIssue>& issues) {
        std::string line = what;
        for (const auto& i : issues)
            line += " " + i.id;
        events.push_back(line);
    }

    template <typename T>
    static T* child(QWidget& view, const char* name) {
        auto* found = view.findChild<T*>(name);
        EXPECT_NE(found, nullptr) << name;
        return found;
    }
    static QString text(QWidget& view, const char* name) {
        auto* label = child<QLabel>(view, name);
        return label != nullptr ? label->text() : QString();
    }
    static QImage render(CorrectionPanelView& view, const std::string& name) {
        view.finishAnimations();
        view.resize(CorrectionPanelView::fixedWidth, view.fittingHeight());
        return renderArtifact(view, name);
    }

    std::vector<std::string> events;
};

TEST_F(CorrectionPanelViewTest, OneIssueShowsBadgeTextsAndButtonsWithoutAList) {
    auto view = makeView({threeIssues()[0]});
    const QImage image = render(*view, "correction-panel-single-light");
    EXPECT_EQ(child<SeverityBadgeView>(*view, "severityBadge")->text(), "Grammar");
    EXPECT_EQ(text(*view, "suggestionLabel"), "本を読みます");
    EXPECT_EQ(text(*view, "originalLabel"), "本を読むをします");
    EXPECT_TRUE(child<QLabel>(*view, "originalLabel")->font().strikeOut());
    EXPECT_FALSE(child<QLabel>(*view, "explanationLabel")->isVisibleTo(view.get()));
    EXPECT_EQ(child<PanelButton>(*view, "explanationToggle")->text(), "Why?");
    EXPECT_EQ(child<PanelButton>(*view, "applyButton")->text(), "Apply");
    EXPECT_EQ(child<PanelButton>(*view, "dismissButton")->text(), "Dismiss");
    EXPECT_EQ(view->findChild<QWidget*>("issuePicker"), nullptr);
    EXPECT_EQ(view->width(), 360);

    // Both buttons sit at the leading edge of the card, Apply first.
    auto* apply = child<PanelButton>(*view, "applyButton");
    auto* dismiss = child<PanelButton>(*view, "dismissButton");
    EXPECT_EQ(apply->x(), 22);
    EXPECT_EQ(dismiss->x(), apply->geometry().right() + 1 + 8);
    // The ghost button's grey still reads at 4.5:1 on the card.
    EXPECT_GE(testing::drawnContrast(image, testing::deviceRectIn(image, *dismiss, *view)), 4.5);

    // The margin is transparent, the card white, Apply on the accent.
    EXPECT_EQ(pixelAt(image, 1, 1).alpha(), 0);
    EXPECT_EQ(pixelAt(image, 200, 60), QColor(Qt::white));
    const QColor accent = pixelAt(image, apply->x() + 3, apply->y() + apply->height() / 2);
    EXPECT_NEAR(accent.red(), 66, 2);
    EXPECT_NEAR(accent.green(), 133, 2);
    EXPECT_NEAR(accent.blue(), 244, 2);
}

TEST_F(CorrectionPanelViewTest, ANoticeIsOneLineOnTheCardWithNothingToPress) {
    CorrectionPanelView view(CorrectionPanelModel::notice("The text changed; nothing was written"));
    const QImage image = render(view, "correction-panel-notice-light");
    EXPECT_EQ(text(view, "noticeLabel"), "The text changed; nothing was written");
    EXPECT_TRUE(view.findChildren<PanelButton*>().isEmpty());
    EXPECT_EQ(view.findChild<QWidget*>("severityBadge"), nullptr);
    // One line of text: much lower than a panel of one issue.
    auto single = makeView({threeIssues()[0]});
    EXPECT_LT(view.fittingHeight(), single->fittingHeight() / 2);
    EXPECT_EQ(pixelAt(image, 1, 1).alpha(), 0);
    EXPECT_EQ(pixelAt(image, 200, 14), QColor(Qt::white));
}

TEST_F(CorrectionPanelViewTest, ALongNoticeWrapsInsideTheCard) {
    const std::string message =
        "The correction could not be written; other typing replaced part "
        "of the sentence, and Ctrl+Z brings it back";
    CorrectionPanelView view(CorrectionPanelModel::notice(message));
    render(view, "correction-panel-notice-replaced-light");
    const auto* label = child<QLabel>(view, "noticeLabel");
    EXPECT_EQ(label->text().toStdString(), message);
    // Every line of it inside the card: wrapped, not cut at the right edge
    // or below.
    EXPECT_LE(label->geometry().right(), view.width());
    EXPECT_GE(label->height(), label->heightForWidth(label->width()));
    EXPECT_LE(label->geometry().bottom(), view.height());
}

TEST_F(CorrectionPanelViewTest, ThreeIssuesListRowsAndFollowTheTappedOne) {
    auto view = makeView(threeIssues());
    const QImage first = render(*view, "correction-panel-multiple-light");
    auto* picker = child<IssuePickerView>(*view, "issuePicker");
    ASSERT_NE(picker, nullptr);
    ASSERT_EQ(picker->rows().size(), 3u);
    EXPECT_TRUE(picker->rows()[0]->isSelectedRow());
    EXPECT_FALSE(picker->rows()[2]->isSelectedRow());

    // Each bubble in its own issue's colour, whichever row is selected.
    const QColor bubbles[] = {QColor(234, 67, 53), QColor(251, 188, 4), QColor(52, 168, 83)};
    for (int i = 0; i < 3; ++i) {
        const QRect row = picker->rows()[i]->geometry().translated(picker->pos());
        const QColor bubble = pixelAt(first, row.x() + 7 + 9, row.center().y() + 5);
        EXPECT_NEAR(bubble.red(), bubbles[i].red(), 3) << "row " << i + 1;
        EXPECT_NEAR(bubble.green(), bubbles[i].green(), 3) << "row " << i + 1;
    }
    // Row 1 on the selected fill, row 2 on white.
    const QRect row1 = picker->rows()[0]->geometry().translated(picker->pos());
    const QRect row2 = picker->rows()[1]->geometry().translated(picker->pos());
    EXPECT_EQ(pixelAt(first, row1.right() - 4, row1.center().y()), QColor(234, 241, 251));
    EXPECT_EQ(pixelAt(first, row2.right() - 4, row2.center().y()), QColor(Qt::white));

    picker->rows()[2]->click();
    render(*view, "correction-panel-multiple-third-light");
    EXPECT_TRUE(picker->rows()[2]->isSelectedRow());
    EXPECT_FALSE(picker->rows()[0]->isSelectedRow());
    EXPECT_EQ(child<SeverityBadgeView>(*view, "severityBadge")->text(), "Vocabulary");
    EXPECT_EQ(text(*view, "suggestionLabel"), "とても");
    EXPECT_EQ(text(*view, "originalLabel"), "すごい");
    child<PanelButton>(*view, "applyButton")->click();
    EXPECT_EQ(events, (std::vector<std::string>{"apply 3"}));
}

TEST_F(CorrectionPanelViewTest, WhyUnfoldsTheExplanationAndHideFoldsIt) {
    auto view = makeView(threeIssues());
    QSignalSpy heights(view.get(), &CorrectionPanelView::fittingHeightChanged);
    const int folded = view->fittingHeight();
    auto* toggle = child<PanelButton>(*view, "explanationToggle");
    auto* explanation = child<QLabel>(*view, "explanationLabel");
    toggle->click();
    EXPECT_EQ(toggle->text(), "Hide explanation");
    EXPECT_TRUE(explanation->isVisibleTo(view.get()));
    EXPECT_EQ(explanation->text(), "A verb does not take を before します.");
    ASSERT_FALSE(heights.isEmpty());
    EXPECT_GT(heights.last().at(0).toInt(), folded);
    render(*view, "correction-panel-explanation-light");

    // Another row shows its own explanation, still unfolded.
    child<IssuePickerView>(*view, "issuePicker")->rows()[2]->click();
    EXPECT_EQ(explanation->text(), "すごい is casual; とても fits written text.");
    EXPECT_TRUE(explanation->isVisibleTo(view.get()));

    toggle->click();
    EXPECT_EQ(toggle->text(), "Why?");
    EXPECT_TRUE(explanation->isVisibleTo(view.get())) << "fading out";
    view->finishAnimations();
    EXPECT_FALSE(explanation->isVisibleTo(view.get()));
    EXPECT_EQ(view->fittingHeight(), folded);
}

TEST_F(CorrectionPanelViewTest, LongTextsWrapInTheCardButStayOneLineInTheList) {
    auto issues = threeIssues();
    issues[0].suggestion =
        "先週の会議で決まった内容について、関係する部署の皆さまへ改めてご連絡いたします。";
    issues[0].original =
        "先週の会議で決まった内容について、関係する部署の皆さんに改めて連絡させていただきます。";
    issues[0].explanationEn =
        "Humble forms such as させていただく are best kept for asking permission; in a notice to "
        "other departments the plain humble いたします reads as polite without sounding stiff, "
        "and 皆さま is the form used in writing.";
    issues[1].original = issues[0].original;
    auto view = makeView(issues);
    child<PanelButton>(*view, "explanationToggle")->click();
    render(*view, "correction-panel-long-light");

    auto* suggestion = child<QLabel>(*view, "suggestionLabel");
    const int line = QFontMetrics(suggestion->font()).height();
    EXPECT_GE(suggestion->height(), 2 * line) << "the suggestion wraps";
    EXPECT_LE(suggestion->geometry().right(), 360 - 22);
    auto* explanation = child<QLabel>(*view, "explanationLabel");
    EXPECT_GE(explanation->height(), explanation->heightForWidth(explanation->width()))
        << "the explanation is never cut";
    // List rows keep one line each, long or short.
    const auto& rows = child<IssuePickerView>(*view, "issuePicker")->rows();
    EXPECT_EQ(rows[0]->height(), rows[2]->height());
    EXPECT_EQ(view->height(), view->fittingHeight());
}

TEST_F(CorrectionPanelViewTest, CloseAndDismissHandBackTheSameIssue) {
    auto view = makeView(threeIssues());
    child<IssuePickerView>(*view, "issuePicker")->rows()[1]->click();
    child<CloseButton>(*view, "closeButton")->click();
    child<PanelButton>(*view, "dismissButton")->click();
    EXPECT_EQ(events, (std::vector<std::string>{"dismiss 2", "dismiss 2"}));
}

TEST_F(CorrectionPanelViewTest, ThePointerOverThePanelIsReported) {
    auto view = makeView({threeIssues()[0]});
    QEnterEvent enter(QPointF(2, 2), QPointF(2, 2), QPointF(2, 2));
    QApplication::sendEvent(view.get(), &enter);
    QApplication::sendEvent(view.get(), &enter);
    QEvent leave(QEvent::Leave);
    QApplication::sendEvent(view.get(), &leave);
    EXPECT_EQ(events, (std::vector<std::string>{"hover in", "hover out"}));
}

TEST_F(CorrectionPanelViewTest, ApplyShrinksWhileHeld) {
    auto view = makeView({threeIssues()[0]});
    render(*view, "correction-panel-single-light");
    auto* apply = child<PanelButton>(*view, "applyButton");
    const int middle = apply->height() / 2;
    // The left edge is on the accent, and off it while held.
    EXPECT_NEAR(pixelAt(apply->grab().toImage(), 0, middle).red(), 66, 2);
    apply->setDown(true);
    EXPECT_GT(pixelAt(apply->grab().toImage(), 0, middle).red(), 160);
    apply->setDown(false);
}

// The showing push buttons named `name` under `node` in the accessibility
// tree, as a screen reader finds them.
int showingButtons(QAccessibleInterface* node, const QString& name) {
    if (node == nullptr)
        return 0;
    int found = node->role() == QAccessible::Button && node->text(QAccessible::Name) == name &&
                        !node->state().invisible
                    ? 1
                    : 0;
    for (int i = 0; i < node->childCount(); ++i)
        found += showingButtons(node->child(i), name);
    return found;
}

TEST_F(CorrectionPanelViewTest, ApplyIsInTheAccessibilityTreeWheneverThePanelShows) {
    // Shown afresh, and again while it is open with other content: the
    // moment the panel is on screen, its one Apply is in the tree.
    // A replaced view's interface goes with it: one kept would be handed
    // to the next widget made at its address (often the next view), which
    // would then stand in the tree as nothing, its Apply with it.
    QtCorrectionPanelWindow window;
    const auto issues = threeIssues();
    for (int round = 0; round < 6; ++round) {
        SCOPED_TRACE(round);
        const QAccessible::Id replaced =
            window.view() != nullptr
                ? QAccessible::uniqueId(QAccessible::queryAccessibleInterface(window.view()))
                : 0;
        window.setContent(
            std::make_shared<CorrectionPanelModel>(std::vector<CorrectionIssue>{issues[round % 3]},
                                                   nullptr, nullptr, nullptr),
            CorrectionPanelView::fixedWidth);
        window.orderFront();
        EXPECT_EQ(showingButtons(QAccessible::queryAccessibleInterface(window.window()), "Apply"),
                  1);
        QCoreApplication::sendPostedEvents(nullptr, QEvent::DeferredDelete);
        if (replaced != 0) {
            EXPECT_EQ(QAccessible::accessibleInterface(replaced), nullptr);
        }
        if (round % 2 == 1) {
            window.orderOut();
            QCoreApplication::processEvents();
        }
    }
}

}  // namespace
}  // namespace mivo
