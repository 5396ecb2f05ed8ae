#pragma once

// Opens the rewrite panel in a new TonePanelWindow each time and drops it on
// closing, for the tone coordinator (which knows no toolkit).

#include <memory>

#include "platform/screens.hpp"
#include "tone/tone_panel_presenter.hpp"

namespace mivo {

class TonePanelWindow;

class QtTonePanelPresenter : public TonePanelPresenter {
  public:
    // `screens` gives the screens in global coordinates (y up).
    explicit QtTonePanelPresenter(Screens& screens);
    ~QtTonePanelPresenter() override;

    void open(TonePanelOpening opening) override;
    void close() override;
    bool isOpen() const override { return window_ != nullptr; }

    TonePanelWindow* window() const { return window_.get(); }

  private:
    Screens& screens_;
    std::unique_ptr<TonePanelWindow, void (*)(TonePanelWindow*)> window_;
};

}  // namespace mivo
