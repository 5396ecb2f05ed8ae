#pragma once

// The composition root's one object: every long-lived object of the process,
// made once and never replaced. Its wiring is split by group, one source
// file each:
//   composition_root.cpp             construction, launch order, runMivo
//   composition_root_account.cpp     the account session and where it shows
//   composition_root_correction.cpp  monitor, overlay, display controller,
//                                    monitoring's start and stop
//   composition_root_rewrite.cpp     tone coordinator, warm buffer, hotkey
//   composition_root_shell.cpp       tray, application menu, settings and
//                                    onboarding windows, updates
// Only the mivo executable includes this header.

#include <QNetworkAccessManager>
#include <expected>
#include <functional>
#include <memory>
#include <optional>
#include <string>

#include <unistd.h>

#include "account/auth_session_manager.hpp"
#include "account/keychain_store.hpp"
#include "account/mivo_api_client.hpp"
#include "app/account_tone_wiring.hpp"
#include "app/build_version.hpp"
#include "app/later_launches.hpp"
#include "app/monitoring_lifecycle.hpp"
#include "correction/local_correction_service.hpp"
#include "correction_display/correction_display_adapters.hpp"
#include "correction_display/correction_display_controller.hpp"
#include "correction_display/overlay_display_adapters.hpp"
#include "monitor/accessibility_monitor.hpp"
#include "onboarding/onboarding_store.hpp"
#include "onboarding/onboarding_window_controller.hpp"
#include "overlay/correction_panel_view.hpp"
#include "overlay/highlight_overlay.hpp"
#include "overlay/overlay_coordinator.hpp"
#include "overlay/qt_correction_panel_window.hpp"
#include "overlay/qt_highlight_windows.hpp"
#include "platform/json_file_user_defaults.hpp"
#include "platform/linux/libsecret_secret_store.hpp"
#include "platform/linux/linux_desktop.hpp"
#include "platform/linux/qt/qt_http_transport.hpp"
#include "platform/linux/qt/qt_main_loop_post.hpp"
#include "platform/linux/x11/x11_hot_keys.hpp"
#include "platform/linux/x11/x11_top_level_windows.hpp"
#include "settings/mivo_settings_store.hpp"
#include "settings/settings_window_controller.hpp"
#include "shared/service_address.hpp"
#include "shell/app_shell_controller.hpp"
#include "shell/mivo_main_menu.hpp"
#include "shell/other_applications.hpp"
#include "shell/qt_alerts.hpp"
#include "shell/update_controller.hpp"
#include "tone/tone_api_client.hpp"
#include "tone/tone_coordinator.hpp"
#include "tone/tone_limits.hpp"
#include "tone/tone_warm_buffer.hpp"
#include "tone_panel/qt_tone_panel_presenter.hpp"

namespace mivo {

class Root {
  public:
    Root(linux_desktop::LinuxDesktop& desktop, Log& log);
    Root(const Root&) = delete;
    Root& operator=(const Root&) = delete;

    // Connects every group, shows the tray and schedules the first start.
    void launch();
    // A later launch of Mivo in this session asked for the way in; a burst
    // of such requests is served once.
    void openSettingsForLaterLaunch();

    // The variable's value; nothing when unset or empty.
    static std::optional<std::string> environment(const char* name);

  private:
    // The account session (composition_root_account.cpp).
    void wireAccount();
    AccountToneWiring::Account accountHooks();
    AccountToneWiring::Views accountViews();
    static KeychainStore makeKeychain(std::shared_ptr<SecretStore> secrets, Log& log,
                                      Scheduler& scheduler);

    // The correction road (composition_root_correction.cpp).
    void wireCorrectionRoad();
    void wireMonitoringSwitch();
    MonitoringLifecycle::Hooks lifecycleHooks();
    void requestAccessibilityPermission();

    // The rewrite road (composition_root_rewrite.cpp).
    void wireRewriteRoad();
    AccountToneWiring::Rewrite rewriteHooks();
    std::shared_ptr<ToneCoordinator> makeTone();

    // The shell (composition_root_shell.cpp).
    void launchTray();
    void wireWindows();
    void installMainMenu();
    void openSettingsWindow();
    void openSettingsOnceWithoutTray();
    bool openSupportMail(const std::string& subject, const std::optional<std::string>& body);
    void openScratchFile();
    UpdateController::Environment updateEnvironment();
    void fetch(const std::string& url, std::function<void(std::optional<std::string>)> done);

    // Members are made in the order written here and destroyed in reverse;
    // many keep references to earlier ones: the updates, the settings
    // window and the tone coordinator to the alerts; both API clients to
    // the transport and the service address; every store to the defaults;
    // the overlays to their windows; the display controller to the monitor,
    // the checker and both overlays; and the lifecycle, made last among the
    // parts, starts and stops all of them. The functions
    // handed to the wiring may name later members (the coordinator reaches
    // accountTone_ that way): none is called before launch().
    linux_desktop::LinuxDesktop& desktop_;
    Log& log_;
    QtAlerts alerts_;
    QNetworkAccessManager network_;
    // The account session first, with what it talks through.
    linux_desktop::QtHttpTransport http_;
    // Shared with the token store's worker thread.
    std::shared_ptr<SecretStore> secrets_ = std::make_shared<linux_desktop::LibsecretSecretStore>();
    // No address, no service: nothing is sent anywhere.
    std::expected<std::string, std::string> serviceAddress_ = serviceAddressFromEnvironment();
    MivoAPIClient accountAPI_{http_, serviceAddress_.value_or("")};
    KeychainStore keychain_ = makeKeychain(secrets_, log_, desktop_.scheduler());
    AuthSessionManager authSession_{accountAPI_, keychain_, desktop_.scheduler(),
                                    desktop_.workspace(), linux_desktop::qtMainLoopPost()};
    AppShellController shell_;
    JsonFileUserDefaults defaults_;
    MivoSettingsStore settingsStore_;
    UpdateController updates_;
    SettingsWindowController settingsWindow_;
    AccessibilityMonitor monitor_;
    OnboardingStore onboardingStore_;
    OnboardingWindowController onboardingWindow_;
    QtCorrectionPanelWindow panelWindow_;
    OverlayCoordinator overlay_;
    QtHighlightWindows highlightWindows_;
    HighlightOverlay highlight_;
    LocalCorrectionService localCorrection_;
    // The rewrite engine: the warm buffer, then the coordinator, which reaches
    // the account only through the wiring's functions.
    linux_desktop::X11HotKeys toneHotKeys_{desktop_.x11()};
    ToneAPIClient toneAPI_{http_, defaults_, desktop_.scheduler(), serviceAddress_.value_or("")};
    QtTonePanelPresenter tonePanel_{desktop_.screens()};
    ToneWarmBuffer toneWarmBuffer_{desktop_.ports(),
                                   [] { return ToneLimits::maxTargetCharacters(); }};
    std::shared_ptr<ToneCoordinator> tone_ = makeTone();
    AccountToneWiring accountTone_{settingsStore_, alerts_,        log_,
                                   accountHooks(), rewriteHooks(), accountViews()};
    MivoMainMenu mainMenu_{buildVersion()};
    linux_desktop::X11TopLevelWindows topLevelWindows_{desktop_.x11()};
    OtherApplications otherApplications_{topLevelWindows_, static_cast<Pid>(::getpid())};
    // The correction display between the monitor and the overlay.
    MonitorCorrectionTextField monitorField_;
    LocalCorrectionChecker checker_;
    HighlightDisplayAdapter highlightDisplay_;
    PanelDisplayAdapter panelDisplay_;
    CorrectionDisplayController display_;
    MonitoringLifecycle lifecycle_;
    bool trayAvailable_ = true;
    bool openedForMissingTray_ = false;
    LaterLaunches laterLaunches_{desktop_.scheduler(), log_, [this] { openSettingsWindow(); }};
};

}  // namespace mivo
