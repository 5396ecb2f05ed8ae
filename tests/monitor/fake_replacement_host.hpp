#pragma once

// A host for the replacement ladder over the simulated desktop, without a
// monitor: it follows the element it is told to, reads the field's whole
// value, and records what the ladder hands back to it (the texts it polled,
// suppressed and completed, the log).

#include <cstdint>
#include <functional>
#include <memory>
#include <optional>
#include <set>
#include <string>
#include <string_view>
#include <utility>
#include <vector>

#include "monitor/replacement_host.hpp"
#include "platform/sim/sim_desktop.hpp"

namespace mivo {

class FakeReplacementHost final : public ReplacementHost {
  public:
    explicit FakeReplacementHost(sim::SimDesktop& desk) : ports_(desk.ports()) {}

    void follow(const AXElement& element, Pid pid) {
        observed_ = element;
        pid_ = pid;
    }
    // Like the monitor's stop(): every step scheduled so far is dropped.
    void stop() { ++*run_; }

    Desktop& desktop() override { return ports_; }
    const std::optional<AXElement>& observedElement() const override { return observed_; }
    Pid observedPid() const override { return pid_; }
    Pid observedFocusPid() const override { return pid_; }
    std::optional<FieldText> extractTextForAnalysis(const AXElement& element) override {
        const AXResult value = ports_.accessibility.copyAttributeValue(element, kAXValueAttribute);
        auto text = value ? value->asString() : std::nullopt;
        if (!text)
            return std::nullopt;
        return FieldText{std::move(*text), FieldText::Source::value, 0};
    }

    void setLastPolledValue(FieldText text) override { polled.push_back(std::move(text.text)); }
    const std::optional<FieldText>& lastAnalyzedText() const override { return analyzed; }
    void setLastAnalyzedText(FieldText text) override { analyzed = std::move(text); }
    void suppressAnalysisLoop(const std::string& text, double) override {
        suppressed.push_back(text);
        suppressionOpen = true;
    }
    void closeAnalysisSuppression() override { suppressionOpen = false; }
    std::set<std::string>& attemptedPartialRepairKeys() override { return repairKeys; }
    void replacementCompleted(const std::string& text) override { completed.push_back(text); }
    void replacementFailed(UnwrittenField field) override {
        ++failed;
        unwritten.push_back(field);
    }

    MonitorRunToken runToken() const override { return MonitorRunToken(run_, *run_); }
    Cancel scheduleStep(double seconds, std::function<void()> step,
                        std::function<void()> onDropped = {}) override {
        (void)onDropped;  // stop() here only ends runs; nothing is handed back
        return ports_.scheduler.after(seconds, [token = runToken(), step = std::move(step)] {
            if (token.isCurrent())
                step();
        });
    }
    void log(std::string_view message) override { lines.emplace_back(message); }
    void logUserText(std::string_view message) override { lines.emplace_back(message); }

    std::size_t logged(std::string_view fragment) const {
        std::size_t n = 0;
        for (const auto& line : lines)
            n += line.find(fragment) != std::string::npos ? 1 : 0;
        return n;
    }

    std::vector<std::string> polled;
    std::optional<FieldText> analyzed;
    std::vector<std::string> suppressed;
    bool suppressionOpen = false;
    std::set<std::string> repairKeys;
    std::vector<std::string> completed;
    int failed = 0;
    std::vector<UnwrittenField> unwritten;
    std::vector<std::string> lines;

  private:
    Desktop ports_;
    std::optional<AXElement> observed_;
    Pid pid_ = 0;
    std::shared_ptr<uint64_t> run_ = std::make_shared<uint64_t>(0);
};

}  // namespace mivo
