#include "app/composition_root.hpp"

#include <QApplication>
#include <QMessageBox>
#include <QNetworkAccessManager>
#include <QProcess>
#include <QStandardPaths>
#include <QTimer>
#include <cstdio>
#include <cstdlib>
#include <filesystem>
#include <fstream>
#include <memory>
#include <sstream>

#include <unistd.h>

#include "account/auth_session_manager.hpp"
#include "account/keychain_store.hpp"
#include "account/mivo_api_client.hpp"
#include "app/accessibility_settings.hpp"
#include "app/account_tone_wiring.hpp"
#include "app/app_shell_controller.hpp"
#include "app/build_version.hpp"
#include "app/correction_display_adapters.hpp"
#include "app/correction_display_controller.hpp"
#include "app/later_launches.hpp"
#include "app/mivo_main_menu.hpp"
#include "app/monitoring_lifecycle.hpp"
#include "app/other_applications.hpp"
#include "app/qt_alerts.hpp"
#include "app/qt_feed_fetch.hpp"
#include "app/scratch_file.hpp"
#include "app/single_instance.hpp"
#include "app/text_editor_launch.hpp"
#include "app/update_controller.hpp"
#include "correction/local_correction_service.hpp"
#include "monitor/accessibility_monitor.hpp"
#include "onboarding/onboarding_store.hpp"
#include "onboarding/onboarding_window_controller.hpp"
#include "overlay/correction_panel_view.hpp"
#include "overlay/highlight_overlay.hpp"
#include "overlay/overlay_coordinator.hpp"
#include "overlay/qt_correction_panel_window.hpp"
#include "overlay/qt_highlight_windows.hpp"
#include "platform/answer_limits.hpp"
#include "platform/json_file_user_defaults.hpp"
#include "platform/linux/libsecret_secret_store.hpp"
#include "platform/linux/linux_desktop.hpp"
#include "platform/linux/qt_http_transport.hpp"
#include "platform/linux/qt_main_loop_post.hpp"
#include "platform/linux/system_log.hpp"
#include "platform/linux/x11_hot_keys.hpp"
#include "platform/linux/x11_top_level_windows.hpp"
#include "settings/install_kind.hpp"
#include "settings/mivo_settings_store.hpp"
#include "settings/settings_view_model.hpp"
#include "settings/settings_window_controller.hpp"
#include "settings/support_mail.hpp"
#include "shared/service_address.hpp"
#include "tone/surface_tag_resolver.hpp"
#include "tone/tone_api_client.hpp"
#include "tone/tone_coordinator.hpp"
#include "tone/tone_limits.hpp"
#include "tone/tone_warm_buffer.hpp"
#include "tone_panel/qt_tone_panel_presenter.hpp"

namespace mivo {

namespace {

std::optional<std::string> environment(const char* name) {
    const char* value = std::getenv(name);
    if (value == nullptr || *value == '\0') {
        return std::nullopt;
    }
    return std::string(value);
}

// Where this process's binary lives (a package's, a build tree's, a home
// install's); empty when the system does not say.
std::filesystem::path runningExecutable() {
    std::error_code error;
    return std::filesystem::read_symlink("/proc/self/exe", error);
}

// The highlight overlay and the correction panel behind the display
// controller's interfaces.
class HighlightDisplayAdapter final : public HighlightDisplay {
  public:
    explicit HighlightDisplayAdapter(HighlightOverlay& overlay) : overlay_(overlay) {}
    void show(const std::vector<HighlightAnnotation>& annotations) override {
        overlay_.show(annotations);
    }
    void hide() override { overlay_.hide(); }
    void hide(const std::set<std::string>& issueIDs) override { overlay_.hide(issueIDs); }

  private:
    HighlightOverlay& overlay_;
};

class PanelDisplayAdapter final : public CorrectionPanelDisplay {
  public:
    explicit PanelDisplayAdapter(OverlayCoordinator& overlay) : overlay_(overlay) {}
    void show(const std::vector<CorrectionIssue>& issues, std::optional<Rect> near) override {
        overlay_.show(issues, near);
    }
    void hide() override { overlay_.hide(); }
    void showNotice(const std::string& message, std::optional<Rect> near) override {
        overlay_.showNotice(message, near);
    }

  private:
    OverlayCoordinator& overlay_;
};

// Every long-lived object of the process, made once in this order and never
// replaced; the members' order is the order of creation.
class Root {
  public:
    Root(linux_desktop::LinuxDesktop& desktop, Log& log)
        : desktop_(desktop),
          log_(log),
          defaults_(JsonFileUserDefaults::defaultPath(), log),
          settingsStore_(defaults_, desktop.scheduler()),
          updates_({
              .scheduler = desktop.scheduler(),
              .defaults = defaults_,
              .alerts = alerts_,
              .fetch =
                  [this](const std::string& url,
                         std::function<void(std::optional<std::string>)> done) {
                      fetch(url, std::move(done));
                  },
              .openURL = [this](const std::string& url) { desktop_.workspace().openURL(url); },
              .currentVersion = MIVO_VERSION,
              .feedURL = environment("MIVO_UPDATE_FEED_URL"),
              .installKind = installKindOf(runningExecutable()),
          }),
          settingsWindow_(settingsStore_, updates_, defaults_, buildVersion(), alerts_),
          monitor_(desktop.ports()),
          onboardingStore_{defaults_, 1},
          onboardingWindow_(onboardingStore_, desktop.scheduler()),
          overlay_(panelWindow_, desktop.scheduler(), desktop.screens()),
          highlight_(highlightWindows_),
          monitorField_(monitor_),
          checker_(localCorrection_),
          highlightDisplay_(highlight_),
          panelDisplay_(overlay_),
          display_(desktop.scheduler(), checker_, monitorField_, highlightDisplay_, panelDisplay_,
                   settingsStore_),
          lifecycle_(desktop.scheduler(), lifecycleHooks()) {}

    void launch() {
        if (!serviceAddress_)
            log_.write("[Mivo] " + serviceAddress_.error());
        if (auto feed = environment("MIVO_UPDATE_FEED_URL"); feed && !isHttpsOrLoopbackHttp(*feed))
            log_.write("[Mivo] update feed: MIVO_UPDATE_FEED_URL must be https (plain http only to "
                       "this machine); it is not fetched");
        // Step 4: the monitor, the overlay and the permission.
        monitor_.onSentenceCompleted = [this](const CompletedSentenceCandidate& candidate) {
            display_.showCorrectionIssues(candidate);
        };
        highlight_.onHoverIssue = [this](const CorrectionIssue& issue, const Rect& rect) {
            display_.handleHoverIssue(issue, rect);
        };
        highlight_.onHoverEnded = [this](const CorrectionIssue& issue) {
            display_.handleHoverEnded(issue);
        };
        overlay_.onHoverChanged = [this](bool hovered) {
            display_.handlePanelHoverChanged(hovered);
        };
        overlay_.onApply = [this](const std::vector<CorrectionIssue>& issues) {
            display_.handleApply(issues);
        };
        overlay_.onDismiss = [this](const std::vector<CorrectionIssue>& issues) {
            display_.handleDismiss(issues);
        };
        monitor_.onCorrectionContextChanged = [this] {
            display_.clearCorrectionUIForContextChange();
        };
        monitor_.onCheckSkipped = [this] { display_.clearCorrectionUIForContextChange(); };
        monitor_.onReplacementCompleted = [this](const std::string& text) {
            display_.handleReplacementCompleted(text);
        };
        shell_.onRequestPermission = [this] { requestAccessibilityPermission(); };

        // Step 5: the tray.
        trayAvailable_ = shell_.launch();
        if (!trayAvailable_) {
            log_.write(
                "[Mivo] shell: no system tray on this desktop; the settings window opens "
                "once so that Mivo can be reached");
        }

        // Step 6.
        shell_.onSignIn = [this] { accountTone_.beginSignIn(); };
        shell_.onSignOut = [this] { accountTone_.signOut(); };
        onboardingWindow_.model().onSignIn = [this] { accountTone_.beginSignIn(); };
        settingsWindow_.model().onSignIn = [this] { accountTone_.beginSignIn(); };
        settingsWindow_.model().onSignOut = [this] { accountTone_.signOut(); };
        shell_.onOpenSettings = [this] { openSettingsWindow(); };
        shell_.onCheckForUpdates = [this] { updates_.checkForUpdates(); };
        auto& model = settingsWindow_.model();
        model.onRequestAccountDeletion = [this] {
            openSupportMail("Mivo account deletion request", std::nullopt);
        };
        model.onSendFeedback = [this](const std::string& text) {
            return openSupportMail("Mivo feedback", text);
        };
        onboardingWindow_.model().onTryItNow = [this] { openScratchFile(); };
        onboardingWindow_.onFinish = [this] {
            openSettingsOnceWithoutTray();
            if (settingsStore_.mivoEnabled()) {
                lifecycle_.checkAndStartMonitoring();
            } else {
                lifecycle_.stop();
            }
        };
        settingsStore_.onMivoEnabledChanged = [this](bool enabled) {
            if (enabled) {
                lifecycle_.checkAndStartMonitoring();
            } else {
                lifecycle_.stop();
            }
        };
        settingsStore_.onVocabularySuggestionsChanged = [this](bool) {
            display_.clearCorrectionUIForContextChange();
        };

        // Step 7: the stored rewrite hotkey goes to the coordinator (registered
        // when it starts) and is shown in the tray and the onboarding.
        accountTone_.applyStoredHotKey();

        // Step 8: hotkey changes and the account's state.
        settingsStore_.onToneHotKeyChanged = [this](const HotKeyConfig& hotKey) {
            accountTone_.handleToneHotKeyChanged(hotKey);
        };
        keychain_.onNotRemembered = [this] { accountTone_.tellSignInNotRemembered(); };
        authSession_.onStateChanged = [this](const AuthSessionState& state) {
            accountTone_.handleAuthStateChanged(state);
        };

        // Step 9: the stored session comes back in the background.
        accountTone_.restoreSession();

        // Step 10: the first start, 0.3 s from now.
        lifecycle_.scheduleDeferredStart();

        // Step 11: the rewrite engine's log lines and the tray's rewrite item.
        tone_->onLog = [this](const std::string& line) { accountTone_.logTone(line); };
        toneWarmBuffer_.onLog = [this](const std::string& line) { accountTone_.logTone(line); };
        shell_.onTriggerTone = [this] { accountTone_.triggerTone(); };

        // Step 11–12: the application menu.
        auto& menu = mainMenu_.model();
        menu.onOpenSettings = [this] { openSettingsWindow(); };
        menu.onCheckForUpdates = [this] { updates_.checkForUpdates(); };
        menu.canCheckForUpdates = [this] { return updates_.canCheckForUpdates(); };
        menu.onHideOthers = [this] { otherApplications_.hideOthers(); };
        menu.onShowAll = [this] { otherApplications_.showAll(); };
        mainMenu_.install();
        // The menu bar lives on the settings window; the onboarding, a
        // first-run dialog of fixed size, carries only the shortcuts.
        settingsWindow_.setMenuBar(mainMenu_.createMenuBar(&settingsWindow_.window()));
        mainMenu_.attach(&onboardingWindow_.window());
        updates_.start();
    }

    // A later launch of Mivo in this session asked for the way in; a burst
    // of such requests is served once.
    void openSettingsForLaterLaunch() { laterLaunches_.request(); }

  private:
    AccountToneWiring::Account accountHooks() {
        return {
            .state = [this] { return authSession_.state(); },
            .startSignIn =
                [this](std::function<void(std::optional<std::string>)> done) {
                    authSession_.startSignIn(
                        [done = std::move(done)](AuthSessionManager::SignInResult result) {
                            done(result ? std::nullopt
                                        : std::optional(result.error().errorDescription()));
                        });
                },
            .signOut = [this] { authSession_.signOut(); },
            .restoreSession = [this] { authSession_.restoreSession(); },
            .validAccessToken =
                [this](std::function<void(std::optional<std::string>)> done) {
                    authSession_.validAccessToken(
                        [done = std::move(done)](AuthSessionManager::TokenResult token) {
                            done(token ? std::optional(*token) : std::nullopt);
                        });
                },
        };
    }

    AccountToneWiring::Rewrite rewriteHooks() {
        return {
            .configureShortcut =
                [this](uint32_t keyCode, uint32_t modifiers) {
                    return tone_->configureShortcut(keyCode, modifiers);
                },
            .start =
                [this] {
                    const bool registered = tone_->start();
                    toneWarmBuffer_.start();
                    return registered;
                },
            .stop =
                [this] {
                    tone_->stop();
                    toneWarmBuffer_.stop();
                },
            .trigger = [this] { tone_->triggerManually(); },
        };
    }

    AccountToneWiring::Views accountViews() {
        return {
            .settings =
                [this](const AuthSessionState& state) { settingsWindow_.model().update(state); },
            .onboarding =
                [this](bool signedIn) { onboardingWindow_.model().setSignedIn(signedIn); },
            .tray =
                [this](const std::optional<std::string>& email) { shell_.updateAuthState(email); },
            .trayShortcut =
                [this](const std::string& shortcut) {
                    shell_.setRewriteShortcutDisplay(shortcut);
                    // The ready slide keeps naming the configured shortcut
                    // while it is taken: it is the one to press once freed.
                    if (!shortcut.empty())
                        onboardingWindow_.model().setRewriteShortcutDisplay(shortcut);
                },
            .settingsShortcutActive =
                [this](bool active) { settingsWindow_.model().setToneHotKeyActive(active); },
            .openSettings = [this] { openSettingsWindow(); },
            .onboardingSigningIn =
                [this](bool signingIn) { onboardingWindow_.model().setSigningIn(signingIn); },
        };
    }

    MonitoringLifecycle::Hooks lifecycleHooks() {
        return {
            .isEnabled = [this] { return settingsStore_.mivoEnabled(); },
            .isPermissionGranted = [this] { return monitor_.isPermissionGranted(); },
            .requestPermission = [this] { requestAccessibilityPermission(); },
            .startComponents =
                [this] {
                    monitor_.start();
                    accountTone_.startRewriteEngine();
                },
            .stopComponents =
                [this] {
                    display_.clearCorrectionUIForContextChange();
                    monitor_.stop();
                    accountTone_.stopRewriteEngine();
                },
            .setMonitoring = [this](bool on) { shell_.setMonitoring(on); },
            .setPermissionNeeded = [this] { shell_.setPermissionNeeded(); },
            .isOnboardingCompleted =
                [this] {
                    const bool completed = onboardingStore_.hasCompleted();
                    if (completed) {
                        openSettingsOnceWithoutTray();
                    }
                    return completed;
                },
            // The onboarding window is a way in of its own, tray or not.
            .showOnboarding = [this] { onboardingWindow_.showCentered(); },
        };
    }

    void openSettingsOnceWithoutTray() {
        if (!trayAvailable_ && !openedForMissingTray_) {
            openedForMissingTray_ = true;
            openSettingsWindow();
        }
    }

    // "Trusted" is an enabled accessibility bus; asking for it switches the
    // bus on (what screen readers do), then the desktop's own accessibility
    // settings open where the desktop is known.
    void requestAccessibilityPermission() {
        auto& accessibility = desktop_.accessibility();
        if (!accessibility.isProcessTrusted()) {
            accessibility.isProcessTrustedWithPrompt();
        }
        const auto command = accessibilitySettingsCommand(
            environment("XDG_CURRENT_DESKTOP").value_or(""), [](std::string_view program) {
                return !QStandardPaths::findExecutable(
                            QString::fromUtf8(program.data(), program.size()))
                            .isEmpty();
            });
        if (!command) {
            log_.write("[Mivo] permission: no accessibility settings known for this desktop");
            return;
        }
        QStringList arguments;
        for (std::size_t i = 1; i < command->size(); ++i) {
            arguments << QString::fromStdString((*command)[i]);
        }
        QProcess::startDetached(QString::fromStdString(command->front()), arguments);
    }

    void openSettingsWindow() {
        accountTone_.refreshSettingsAccount();
        settingsWindow_.present();
    }

    bool openSupportMail(const std::string& subject, const std::optional<std::string>& body) {
        const auto url = supportMailURL(subject, body);
        if (!url) {
            log_.write("[Mivo][Settings] unable to form support mailto URL for subject=" + subject);
            return false;
        }
        return desktop_.workspace().openURL(*url);
    }

    void openScratchFile() {
        const auto path = prepareScratchFile(
            {.runtimeDir = environment("XDG_RUNTIME_DIR"), .tempDir = environment("TMPDIR")});
        if (!path) {
            log_.write("[Mivo] scratch file: " + path.error());
            return;
        }
        openInTextEditor(*path);
    }

    // The text/plain handler by name: opened by its type, the empty scratch
    // file would go to whatever handles inode/x-empty, often a browser.
    void openInTextEditor(const std::filesystem::path& path) {
        auto* query = new QProcess();
        auto finished = std::make_shared<bool>(false);
        const auto done = [this, query, finished, path](const QByteArray& answer) {
            if (std::exchange(*finished, true))
                return;
            query->deleteLater();
            const auto command =
                text_editor::openCommand(answer.toStdString(), path, editorSystem());
            if (command) {
                QStringList arguments;
                for (const auto& argument : command->arguments)
                    arguments << QString::fromStdString(argument);
                if (QProcess::startDetached(QString::fromStdString(command->program), arguments))
                    return;
            }
            log_.write("[Mivo] scratch file: no text editor for text/plain; opening by type");
            desktop_.workspace().openURL(fileURL(path));
        };
        QObject::connect(query, &QProcess::finished, query,
                         [query, done] { done(query->readAllStandardOutput()); });
        QObject::connect(query, &QProcess::errorOccurred, query, [done] { done({}); });
        // xdg-mime is a shell script that asks the desktop; it never needs
        // long, and a hung one must not keep the user waiting.
        QTimer::singleShot(5000, query, [query, done] {
            query->kill();
            done({});
        });
        query->start(
            QStringLiteral("xdg-mime"),
            {QStringLiteral("query"), QStringLiteral("default"), QStringLiteral("text/plain")});
    }

    text_editor::System editorSystem() const {
        return {
            .folders = text_editor::applicationFolders(
                environment("XDG_DATA_HOME"), environment("HOME"), environment("XDG_DATA_DIRS")),
            .isFile =
                [](const std::filesystem::path& p) {
                    std::error_code error;
                    return std::filesystem::is_regular_file(p, error);
                },
            .readFile = [](const std::filesystem::path& p) -> std::optional<std::string> {
                std::ifstream in(p);
                if (!in)
                    return std::nullopt;
                std::ostringstream text;
                text << in.rdbuf();
                return text.str();
            },
            .hasProgram =
                [](std::string_view program) {
                    return !QStandardPaths::findExecutable(
                                QString::fromUtf8(program.data(), program.size()))
                                .isEmpty();
                },
        };
    }

    // The development file when asked for; otherwise the keyring, called off
    // the main loop so that a stuck Secret Service freezes nothing.
    static KeychainStore makeKeychain(std::shared_ptr<SecretStore> secrets, Log& log,
                                      Scheduler& scheduler) {
        if (auto devFile = KeychainStore::devFileFromEnvironment())
            return KeychainStore("com.mivo.auth", *secrets, log, devFile);
        return KeychainStore("com.mivo.auth", secrets, log,
                             KeychainStore::Offload{.post = linux_desktop::qtMainLoopPost(),
                                                    .scheduler = &scheduler});
    }

    // One GET with the account requests' 12 s bound on the whole transfer.
    void fetch(const std::string& url, std::function<void(std::optional<std::string>)> done) {
        // A feed is a few hundred bytes; anything longer is refused.
        fetchFeed(network_, url,
                  {.maxBytes = kMaxAnswerBytes.updateFeed,
                   .idle = std::chrono::milliseconds(12'000),
                   .total = std::chrono::milliseconds(12'000)},
                  std::move(done));
    }

    linux_desktop::LinuxDesktop& desktop_;
    Log& log_;
    QtAlerts alerts_;
    QNetworkAccessManager network_;
    // Step 2, in order. The account session first, with what it talks
    // through.
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
    std::shared_ptr<ToneCoordinator> tone_ = std::make_shared<ToneCoordinator>(
        ToneCoordinator::Ports{desktop_.ports(), toneHotKeys_, alerts_, toneAPI_, tonePanel_,
                               static_cast<Pid>(::getpid())},
        &toneWarmBuffer_,
        [this](std::function<void(std::optional<std::string>)> done) {
            accountTone_.accessToken(std::move(done));
        },
        [this] { return accountTone_.isSignedOut(); }, [this] { accountTone_.beginSignIn(); });
    AccountToneWiring accountTone_{settingsStore_, alerts_,        log_,
                                   accountHooks(), rewriteHooks(), accountViews()};
    MivoMainMenu mainMenu_{buildVersion()};
    linux_desktop::X11TopLevelWindows topLevelWindows_{desktop_.x11()};
    OtherApplications otherApplications_{topLevelWindows_, static_cast<Pid>(::getpid())};
    // Step 3: the correction display between them.
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

}  // namespace

int runMivo(QApplication& app) {
    linux_desktop::SystemLog log;
    // Before anything else takes the tray, the hotkey or the accessibility
    // bus: a second Mivo would draw its own highlights over the first's.
    SingleInstance instance;
    std::string detail;
    switch (instance.claim(detail)) {
        case SingleInstance::Claim::handedOver:
            log.write("[Mivo] instance: " + detail);
            return 0;
        case SingleInstance::Claim::ownerSilent:
            log.write("[Mivo] instance: " + detail);
            std::fputs("Mivo is already running but does not answer; quit it and try again.\n",
                       stderr);
            return 1;
        case SingleInstance::Claim::first:
        case SingleInstance::Claim::noBus:
            log.write("[Mivo] instance: " + detail);
            break;
    }
    auto desktop = linux_desktop::LinuxDesktop::create(log);
    if (desktop == nullptr) {
        std::fputs("Mivo needs an X11 display (Xorg, or XWayland on a Wayland session).\n", stderr);
        return 1;
    }
    Root root(*desktop, log);
    root.launch();
    instance.onOpenSettings = [&root] { root.openSettingsForLaterLaunch(); };
    return app.exec();
}

}  // namespace mivo
