#pragma once

// A rewrite panel view over a box, with callbacks that write down what they
// were called with, and helpers to find its widgets and save its picture.

#include <gtest/gtest.h>

#include <QAbstractButton>
#include <QApplication>
#include <QLabel>
#include <memory>
#include <string>
#include <vector>

#include "tone_panel/tone_panel_view.hpp"
#include "ui/appearance.hpp"
#include "ui_artifacts.hpp"

namespace mivo::testing {

inline const char* schemeName(ui::ColorScheme scheme) {
    return scheme == ui::ColorScheme::dark ? "dark" : "light";
}

struct PanelHarness {
    ToneStateBox box;
    std::vector<std::string> calls;
    std::unique_ptr<TonePanelView> view;
    std::string originalText = "今日は会議に参加できなくてすみません、また連絡します。";

    TonePanelCallbacks callbacks() {
        TonePanelCallbacks cb;
        cb.onAction = [this](RewriteAction a) {
            calls.push_back("action " + std::string(rawValue(a)));
        };
        cb.onRegister = [this](Register r) {
            // What the box held when the callback came: the chip writes the
            // selection first.
            calls.push_back("register " + std::string(rawValue(r)) + " selected " +
                            std::string(rawValue(box.selectedRegister())));
        };
        cb.onApply = [this] { calls.push_back("apply"); };
        cb.onClose = [this] { calls.push_back("close"); };
        cb.onCancel = [this] { calls.push_back("cancel"); };
        cb.onRetry = [this] { calls.push_back("retry"); };
        cb.onFeedback = [this](FeedbackRating r) {
            calls.push_back("feedback " + std::string(rawValue(r)));
        };
        cb.onDismissFeedbackComposer = [this] { calls.push_back("dismiss composer"); };
        cb.onSubmitWrittenFeedback = [this] { calls.push_back("submit written"); };
        cb.onSignIn = [this] { calls.push_back("sign in"); };
        return cb;
    }

    TonePanelView& make() {
        view = std::make_unique<TonePanelView>(originalText, box, callbacks());
        view->show();
        settle();
        return *view;
    }

    // Lets replaced content go, as the event loop would.
    static void settle() {
        QApplication::processEvents();
        QCoreApplication::sendPostedEvents(nullptr, QEvent::DeferredDelete);
        QApplication::processEvents();
    }

    template <typename T = QWidget>
    T* find(const char* name) const {
        return view->findChild<T*>(QString::fromLatin1(name));
    }

    // Visible widgets of a name (content being replaced is hidden).
    template <typename T = QWidget>
    std::vector<T*> visible(const char* name) const {
        std::vector<T*> out;
        const auto all = *name == '\0' ? view->findChildren<T*>()
                                       : view->findChildren<T*>(QString::fromLatin1(name));
        for (T* w : all) {
            if (w->isVisible())
                out.push_back(w);
        }
        return out;
    }

    template <typename T = QWidget>
    T* one(const char* name) const {
        auto all = visible<T>(name);
        EXPECT_EQ(all.size(), 1u) << name;
        return all.empty() ? nullptr : all.front();
    }

    QString text(const char* name) const {
        auto* label = one<QLabel>(name);
        return label ? label->text() : QString();
    }

    void click(const char* name) {
        if (auto* b = one<QAbstractButton>(name))
            b->click();
        settle();
    }

    QImage save(const std::string& state, ui::ColorScheme scheme) {
        settle();
        view->resize(view->width(), view->height());
        return renderArtifact(*view, "tone-panel-" + state + "-" + schemeName(scheme));
    }
};

// Colours of a rendered image are 8 bits a channel.
inline bool sameColour(const QColor& a, const QColor& b, int tolerance = 2) {
    return std::abs(a.red() - b.red()) <= tolerance &&
           std::abs(a.green() - b.green()) <= tolerance &&
           std::abs(a.blue() - b.blue()) <= tolerance;
}

// Runs a test body in the light and then the dark appearance.
class BothSchemes : public ::testing::TestWithParam<ui::ColorScheme> {
  protected:
    void SetUp() override { ui::Appearance::shared().setOverride(GetParam()); }
    void TearDown() override { ui::Appearance::shared().setOverride(ui::ColorScheme::light); }
    ui::ColorScheme scheme() const { return GetParam(); }
};

}  // namespace mivo::testing
