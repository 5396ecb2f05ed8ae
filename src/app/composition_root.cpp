#include "app/composition_root.hpp"

#include <QApplication>
#include <cstdio>
#include <cstdlib>

#include "app/root.hpp"
#include "app/single_instance.hpp"
#include "platform/linux/system_log.hpp"

namespace mivo {

std::optional<std::string> Root::environment(const char* name) {
    const char* value = std::getenv(name);
    if (value == nullptr || *value == '\0') {
        return std::nullopt;
    }
    return std::string(value);
}

Root::Root(linux_desktop::LinuxDesktop& desktop, Log& log)
    : desktop_(desktop),
      log_(log),
      defaults_(JsonFileUserDefaults::defaultPath(), log),
      settingsStore_(defaults_, desktop.scheduler()),
      updates_(updateEnvironment()),
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

// Each group is connected in turn; the calls that set something going keep
// one order: the tray (whether there is one decides if Settings opens once
// instead), the stored hotkey, the stored session (its answer goes to every
// place that shows the account, so all of them are connected by then), the
// first start, the menu bar, the update check.
void Root::launch() {
    if (!serviceAddress_)
        log_.write("[Mivo] " + serviceAddress_.error());
    if (auto feed = environment("MIVO_UPDATE_FEED_URL"); feed && !isHttpsOrLoopbackHttp(*feed))
        log_.write(
            "[Mivo] update feed: MIVO_UPDATE_FEED_URL must be https (plain http only to "
            "this machine); it is not fetched");
    wireCorrectionRoad();
    launchTray();
    wireAccount();
    wireWindows();
    wireMonitoringSwitch();
    wireRewriteRoad();
    // The stored session comes back in the background.
    accountTone_.restoreSession();
    // The first start, 0.3 s from now.
    lifecycle_.scheduleDeferredStart();
    installMainMenu();
    updates_.start();
}

void Root::openSettingsForLaterLaunch() {
    laterLaunches_.request();
}

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
