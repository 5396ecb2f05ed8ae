#pragma once

// The correction display controller over recording stand-ins, on the
// virtual clock: three issues of one sentence, each with its own cell on
// screen.

#include <gtest/gtest.h>

#include <string>
#include <vector>

#include "correction_display/correction_display_controller.hpp"
#include "display_fakes.hpp"
#include "platform/sim/memory_user_defaults.hpp"
#include "settings/mivo_settings_store.hpp"
#include "shared/text.hpp"

namespace mivo::testing {

// Three issues of 「宿題はをを終えたのでをを見たがをを書いた。」, at
// Characters 3, 10 and 15; each has its own cell on screen.
inline CorrectionIssue issueAt(int64_t start, std::string id, std::string original = "をを",
                               std::string suggestion = "を") {
    CorrectionIssue issue;
    issue.id = std::move(id);
    issue.range = TextRange{start, start + text::characterCount(original)};
    issue.original = std::move(original);
    issue.suggestion = std::move(suggestion);
    issue.category = CorrectionIssue::Category::particle;
    return issue;
}

inline const std::string kText = "宿題はをを終えたのでをを見たがをを書いた。今日は晴れ。";

class ControllerTest : public ::testing::Test {
  protected:
    ControllerTest() {
        for (int64_t start : {3, 10, 15})
            field.rects[start] = Rect{100.0 + 10 * static_cast<double>(start), 680, 20, 20};
        panel.onHoverChanged = [this](bool h) { controller.handlePanelHoverChanged(h); };
    }

    CompletedSentenceCandidate candidate(const std::string& sentence = kText) {
        CompletedSentenceCandidate c;
        c.id = "S";
        c.text = sentence;
        c.range = TextRange{0, text::characterCount(sentence)};
        return c;
    }
    void check(std::vector<CorrectionIssue> issues, const std::string& text = kText) {
        checker.next = std::move(issues);
        controller.showCorrectionIssues(candidate(text));
    }
    // Advances to an absolute moment of the clock.
    void advanceTo(double t) { clock.advance(t - clock.elapsed()); }
    static void expectTimes(const std::vector<double>& actual,
                            const std::vector<double>& expected) {
        ASSERT_EQ(actual.size(), expected.size()) << ::testing::PrintToString(actual);
        for (std::size_t i = 0; i < actual.size(); ++i)
            EXPECT_NEAR(actual[i], expected[i], 1e-6) << "query " << i;
    }

    sim::VirtualClock clock;
    sim::MemoryUserDefaults defaults;
    MivoSettingsStore settings{defaults, clock};
    ScriptedChecker checker;
    ScriptedField field{clock};
    RecordingHighlight highlight{clock};
    RecordingPanel panel{clock};
    CorrectionDisplayController controller{clock, checker, field, highlight, panel, settings};
};

}  // namespace mivo::testing
