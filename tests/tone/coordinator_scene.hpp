#pragma once

// The tone coordinator on the simulated desktop and the virtual clock, with
// the real rewrite client talking to mivo-api-stub on loopback. The panel is
// a recording presenter that the test drives like the user: it presses the
// panel's keys and buttons through what the coordinator handed it.

#include <gtest/gtest.h>

#include <algorithm>
#include <memory>
#include <optional>
#include <string>
#include <vector>

#include <nlohmann/json.hpp>

#include "callback_port.hpp"
#include "event_loop_wait.hpp"
#include "platform/linux/qt/qt_http_transport.hpp"
#include "platform/sim/memory_user_defaults.hpp"
#include "platform/sim/recorded_alerts.hpp"
#include "platform/sim/sim_hot_keys.hpp"
#include "platform/sim/sim_pasteboard.hpp"
#include "shared/text.hpp"
#include "stub_process.hpp"
#include "tone/tone_coordinator.hpp"
#include "tone/tone_limits.hpp"
#include "tone_scene.hpp"

namespace mivo {

class RecordingPanel : public TonePanelPresenter {
  public:
    void open(TonePanelOpening opening) override {
        if (open_)
            return;
        open_ = true;
        openings.push_back(std::move(opening));
    }
    void close() override {
        if (!open_)
            return;
        open_ = false;
        ++closes;
    }
    bool isOpen() const override { return open_; }

    // What the open (or last) panel was given.
    const TonePanelOpening& last() const { return openings.back(); }
    const TonePanelCallbacks& buttons() const { return openings.back().callbacks; }
    bool press(int keyCode) const { return openings.back().onKeyDown(PanelKeyEvent{keyCode, ""}); }

    std::vector<TonePanelOpening> openings;
    int closes = 0;

  private:
    bool open_ = false;
};

class CoordinatorScene : public ToneScene {
  protected:
    CoordinatorScene() {
        token = signInAtStub();
        stub.clearRequests();
        desk.addApplication(ownPid, "Mivo", "mivo");
        desk.addApplication(otherPid, "Other", "org.example.Other");
        desk.activateApplication(pid);
        coordinator = std::make_shared<ToneCoordinator>(
            ToneCoordinator::Ports{desk.ports(), hotKeys, alerts, client, panel, ownPid}, nullptr,
            [this](std::function<void(std::optional<std::string>)> done) {
                ++tokenRequests;
                done(signedIn ? std::optional(token) : std::nullopt);
            },
            [this] { return !signedIn; }, [this] { ++signInRequests; });
        coordinator->onLog = [this](const std::string& line) { lines.push_back(line); };
        coordinator->onPanelVisibilityChanged = [this](bool shown) { visibility.push_back(shown); };
        states = coordinator->stateBox().observe([this](ToneStateBox::Field field) {
            if (field == ToneStateBox::Field::state)
                history.push_back(box().state());
        });
    }
    ~CoordinatorScene() override {
        states.cancel();
        ToneLimits::update(std::nullopt);
    }

    std::string signInAtStub() const {
        using nlohmann::json;
        const testing::CallbackPort callback;
        const auto start = stub.send("POST", "/v1/auth/desktop/start",
                                     json{{"device_nonce", "0123456789ABCDEF0123456789abcdef"},
                                          {"callback_port", callback.port()}}
                                         .dump());
        const std::string authUrl = json::parse(start->body)["auth_url"];
        const std::string location =
            stub.send("GET", authUrl.substr(stub.baseURL().size()))->headers.at("Location");
        const auto tokens = stub.send("POST", "/v1/auth/desktop/exchange",
                                      json{{"grant", location.substr(location.find("grant=") + 6)},
                                           {"device_nonce", "0123456789ABCDEF0123456789abcdef"}}
                                          .dump());
        return json::parse(tokens->body)["access_token"];
    }

    const ToneStateBox& box() const { return coordinator->stateBox(); }

    // A focused field of the editor with `selected` selected in it.
    sim::SimId fieldWithSelection(const std::string& text, const std::string& selected) {
        const auto field = focusedField(text);
        const auto at = text::find(text, selected);
        EXPECT_TRUE(at.has_value()) << selected;
        const auto start = *text::characterToUtf16Offset(text, at.value_or(0));
        desk.select(field, Utf16Range{start, text::utf16Length(selected)});
        return field;
    }

    // The panel for `selected`, in picking.
    sim::SimId openPanel(const std::string& text, const std::string& selected) {
        const auto field = fieldWithSelection(text, selected);
        coordinator->invoke();
        EXPECT_TRUE(panel.isOpen());
        return field;
    }

    // Waits (on the real event loop, bounded) until the running conversion
    // has answered.
    bool awaitConversion() {
        return testing::runEventLoopUntil(
            [this] { return !box().state().is<TonePanelState::Loading>(); });
    }
    bool awaitFeedback() {
        return testing::runEventLoopUntil([this] { return !box().feedbackSubmissionInFlight(); });
    }

    // Alerts shown so far, by message.
    std::vector<std::string> alertMessages() const {
        std::vector<std::string> messages;
        for (const auto& shown : alerts.shown)
            messages.push_back(shown.request.message);
        return messages;
    }
    bool logged(const std::string& line) const {
        return std::find(lines.begin(), lines.end(), line) != lines.end();
    }
    std::size_t requestsTo(const std::string& path) const { return stub.requestsTo(path).size(); }
    nlohmann::json lastBody(const std::string& path) const {
        const auto logged = stub.requestsTo(path);
        return logged.empty() ? nlohmann::json()
                              : nlohmann::json::parse(logged.back()["body"].get<std::string>());
    }

    testing::StubProcess stub;
    std::string token;
    linux_desktop::QtHttpTransport transport;
    sim::MemoryUserDefaults defaults;
    ToneAPIClient client{transport, defaults, desk.clock(), stub.baseURL()};
    sim::SimHotKeys hotKeys;
    sim::RecordedAlerts alerts;
    RecordingPanel panel;
    const Pid ownPid = 300;
    const Pid otherPid = 200;
    bool signedIn = true;
    int tokenRequests = 0;
    int signInRequests = 0;
    std::vector<std::string> lines;
    std::vector<bool> visibility;
    std::vector<TonePanelState> history;
    Cancel states;
    std::shared_ptr<ToneCoordinator> coordinator;
};

}  // namespace mivo
