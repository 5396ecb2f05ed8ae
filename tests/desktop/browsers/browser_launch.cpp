#include "browsers/browser_launch.hpp"

#include <QDir>
#include <QFile>
#include <QProcessEnvironment>
#include <QStringList>

#include <gtest/gtest.h>

#include <map>
#include <utility>
#include <vector>

#include "platform/ax_reads.hpp"

namespace mivo::desktop_test {
namespace {

std::map<std::pair<BrowserKind, std::string>, std::unique_ptr<Browser>>& sharedBrowsers() {
    static std::map<std::pair<BrowserKind, std::string>, std::unique_ptr<Browser>> running;
    return running;
}

class SharedBrowsersStop : public ::testing::Environment {
  public:
    void TearDown() override { sharedBrowsers().clear(); }
};
const auto* const kSharedBrowsersStop = ::testing::AddGlobalTestEnvironment(new SharedBrowsersStop);

std::optional<AXElement> findLabelled(Accessibility& ax, const AXElement& e, std::string_view label,
                                      int depth) {
    if (depth > 30)
        return std::nullopt;
    for (const auto& child :
         readElements(ax, e, kAXChildrenAttribute).value_or(std::vector<AXElement>{})) {
        if (readString(ax, child, kAXTitleAttribute) == label &&
            readsWithoutError(ax, child, kAXNumberOfCharactersAttribute))
            return child;
        if (auto found = findLabelled(ax, child, label, depth + 1))
            return found;
    }
    return std::nullopt;
}

void writeFirefoxPreferences(const QString& profile) {
    QFile prefs(QDir(profile).filePath("user.js"));
    if (!prefs.open(QIODevice::WriteOnly))
        return;
    // No first-run pages, no network, no update or report prompts: the
    // test page is the only tab.
    prefs.write(R"(user_pref("browser.shell.checkDefaultBrowser", false);
user_pref("browser.startup.page", 0);
user_pref("browser.startup.homepage_override.mstone", "ignore");
user_pref("startup.homepage_welcome_url", "");
user_pref("startup.homepage_welcome_url.additional", "");
user_pref("browser.aboutwelcome.enabled", false);
user_pref("datareporting.policy.dataSubmissionEnabled", false);
user_pref("datareporting.policy.firstRunURL", "");
user_pref("toolkit.telemetry.reportingpolicy.firstRun", false);
user_pref("app.update.auto", false);
user_pref("browser.sessionstore.resume_from_crash", false);
user_pref("browser.tabs.warnOnClose", false);
user_pref("network.captive-portal-service.enabled", false);
user_pref("network.connectivity-service.enabled", false);
user_pref("extensions.update.enabled", false);
user_pref("browser.safebrowsing.update.enabled", false);
)");
}

}  // namespace

const char* browserName(BrowserKind kind) {
    return kind == BrowserKind::firefox ? "Firefox" : "Chromium";
}

Browser::~Browser() {
    if (process && process->state() != QProcess::NotRunning) {
        process->terminate();
        if (!process->waitForFinished(3000)) {
            process->kill();
            process->waitForFinished(3000);
        }
    }
}

std::unique_ptr<Browser> launchBrowser(BrowserKind kind, const std::string& pagePath) {
    auto b = std::make_unique<Browser>();
    if (!b->profile.isValid()) {
        b->failure = "no temporary profile folder";
        return b;
    }
    const QString page = QString("file://") + QString::fromStdString(pagePath);
    QStringList args;
    QString program;
    QProcessEnvironment env = QProcessEnvironment::systemEnvironment();
    if (kind == BrowserKind::firefox) {
        writeFirefoxPreferences(b->profile.path());
        program = "firefox-esr";
        args << "--no-remote"
             << "--new-instance"
             << "--profile" << b->profile.path() << page;
        env.insert("MOZ_CRASHREPORTER_DISABLE", "1");
    } else {
        program = "chromium";
        // As root Chromium needs --no-sandbox; without the network flags it
        // keeps trying hosts this machine cannot reach.
        args << "--no-sandbox"
             << "--disable-gpu"
             << "--no-first-run"
             << "--no-default-browser-check"
             << "--disable-background-networking"
             << "--disable-component-update"
             << "--disable-sync"
             << "--password-store=basic"
             << "--user-data-dir=" + b->profile.path() << page;
    }
    b->process = std::make_unique<QProcess>();
    b->process->setProcessEnvironment(env);
    b->process->setStandardOutputFile(QProcess::nullDevice());
    b->process->setStandardErrorFile(QProcess::nullDevice());
    b->process->start(program, args);
    if (!b->process->waitForStarted(10000))
        b->failure = std::string(browserName(kind)) + " did not start";
    return b;
}

Browser& sharedBrowser(BrowserKind kind, const std::string& page) {
    auto& browser = sharedBrowsers()[{kind, page}];
    if (browser == nullptr)
        browser = launchBrowser(kind, page);
    return *browser;
}

void stopSharedBrowser(BrowserKind kind, const std::string& page) {
    sharedBrowsers().erase({kind, page});
}

std::optional<AXElement> pageField(Accessibility& ax, Pid pid, std::string_view label) {
    return findLabelled(ax, ax.applicationElement(pid), label, 0);
}

std::optional<AXElement> labelledInside(Accessibility& ax, const AXElement& within,
                                        std::string_view label) {
    return findLabelled(ax, within, label, 0);
}

}  // namespace mivo::desktop_test
