#include "tone_panel/qt_tone_panel_presenter.hpp"

#include "tone_panel/tone_panel_view.hpp"
#include "tone_panel/tone_panel_window.hpp"

namespace mivo {

namespace {

// The window may be closing from inside one of its own key or click
// handlers: hide it now, delete it once that handler has returned.
void dropLater(TonePanelWindow* window) {
    if (window != nullptr) {
        window->onKeyDown = nullptr;
        window->hide();
        window->deleteLater();
    }
}

}  // namespace

QtTonePanelPresenter::QtTonePanelPresenter(Screens& screens)
    : screens_(screens), window_(nullptr, dropLater) {}

QtTonePanelPresenter::~QtTonePanelPresenter() = default;

void QtTonePanelPresenter::open(TonePanelOpening opening) {
    if (window_ || opening.box == nullptr) {
        return;
    }
    auto* view = new TonePanelView(std::move(opening.originalText), *opening.box,
                                   std::move(opening.callbacks));
    window_.reset(new TonePanelWindow(view));
    window_->onKeyDown = std::move(opening.onKeyDown);
    const std::vector<Screen> screens = screens_.screens();
    window_->position(opening.anchor, screens);
    window_->show();
    window_->raise();
    window_->activateWindow();
}

void QtTonePanelPresenter::close() {
    window_.reset();
}

}  // namespace mivo
