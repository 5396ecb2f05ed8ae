#pragma once

// Recording stand-ins for the overlay's windows, and issues made compactly.

#include <functional>
#include <memory>
#include <optional>
#include <string>
#include <vector>

#include "overlay/correction_panel_window.hpp"
#include "overlay/highlight_windows.hpp"

namespace mivo::overlay_test {

inline CorrectionIssue issue(
    std::string id, std::string original, std::string suggestion, int start, int end,
    CorrectionIssue::Severity severity = CorrectionIssue::Severity::critical,
    CorrectionIssue::Category category = CorrectionIssue::Category::particle) {
    CorrectionIssue i;
    i.id = std::move(id);
    i.sentenceId = "s1";
    i.range = TextRange{start, end};
    i.severity = severity;
    i.category = category;
    i.original = std::move(original);
    i.suggestion = std::move(suggestion);
    i.explanationEn = "Explanation of " + i.id;
    return i;
}

// Every window the overlay made, alive or not, in order of creation.
class FakeHighlightWindows : public HighlightWindows {
  public:
    struct Record {
        Rect frame;
        CorrectionIssue::Severity severity;
        std::function<void(bool)> hover;
        bool hovered = false;
        bool alive = true;
        int moves = 0;
    };

    class Window : public HighlightWindow {
      public:
        explicit Window(std::shared_ptr<Record> record) : record_(std::move(record)) {}
        ~Window() override { record_->alive = false; }
        void setHovered(bool hovered) override { record_->hovered = hovered; }
        void setFrame(const Rect& frame) override {
            record_->frame = frame;
            ++record_->moves;
        }

      private:
        std::shared_ptr<Record> record_;
    };

    std::unique_ptr<HighlightWindow> create(const Rect& frame, CorrectionIssue::Severity severity,
                                            std::function<void(bool)> onHoverChanged) override {
        records.push_back(std::make_shared<Record>(Record{frame, severity, onHoverChanged}));
        return std::make_unique<Window>(records.back());
    }
    std::optional<Point> pointerLocation() override { return pointer; }
    void setOnViewChanged(std::function<void()> handler) override {
        viewChanged = std::move(handler);
    }
    std::function<void()> viewChanged;

    std::vector<std::shared_ptr<Record>> alive() const {
        std::vector<std::shared_ptr<Record>> out;
        for (const auto& r : records) {
            if (r->alive)
                out.push_back(r);
        }
        return out;
    }

    std::vector<std::shared_ptr<Record>> records;
    std::optional<Point> pointer;
};

// The panel window as the coordinator drives it.
class FakePanelWindow : public CorrectionPanelWindow {
  public:
    Size setContent(std::shared_ptr<CorrectionPanelModel> m, double width) override {
        model = std::move(m);
        contentWidth = width;
        ++contentCount;
        made = true;
        return Size{width * scale, contentHeight};
    }
    void setFrame(const Rect& f) override {
        frameValue = f;
        ++frameSets;
    }
    std::optional<Rect> frame() const override {
        if (!made)
            return std::nullopt;
        return frameValue;
    }
    void orderFront() override { visible = true; }
    void orderOut() override { visible = false; }
    void setOnResize(std::function<void(const Rect&)> handler) override {
        onResize = std::move(handler);
    }

    // The content grew or shrank to `height`, its top edge kept.
    void resizeContent(double height) {
        Rect f = frameValue;
        f.y = f.maxY() - height;
        f.height = height;
        frameValue = f;
        if (onResize)
            onResize(f);
    }

    std::shared_ptr<CorrectionPanelModel> model;
    std::function<void(const Rect&)> onResize;
    double contentHeight = 200;
    // X pixels per pixel the content is laid out in (a scaled screen).
    double scale = 1;
    double contentWidth = 0;
    int contentCount = 0;
    int frameSets = 0;
    bool made = false;
    bool visible = false;
    Rect frameValue;
};

}  // namespace mivo::overlay_test
