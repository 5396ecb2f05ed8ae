// The shell: the tray, the application menu, the settings and onboarding
// windows with what they open (support mail, the scratch file in a text
// editor), and the update check.

#include <QProcess>
#include <QStandardPaths>
#include <QTimer>
#include <filesystem>
#include <fstream>
#include <sstream>

#include "app/root.hpp"
#include "app/scratch_file.hpp"
#include "app/text_editor_launch.hpp"
#include "platform/answer_limits.hpp"
#include "settings/install_kind.hpp"
#include "settings/support_mail.hpp"
#include "shell/qt_feed_fetch.hpp"

namespace mivo {

namespace {

// Where this process's binary lives (a package's, a build tree's, a home
// install's); empty when the system does not say.
std::filesystem::path runningExecutable() {
    std::error_code error;
    return std::filesystem::read_symlink("/proc/self/exe", error);
}

bool hasProgram(std::string_view program) {
    return !QStandardPaths::findExecutable(QString::fromUtf8(program.data(), program.size()))
                .isEmpty();
}

text_editor::System editorSystem() {
    return {
        .folders = text_editor::applicationFolders(Root::environment("XDG_DATA_HOME"),
                                                   Root::environment("HOME"),
                                                   Root::environment("XDG_DATA_DIRS")),
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
        .hasProgram = hasProgram,
    };
}

// The text/plain handler by name: opened by its type, the empty scratch
// file would go to whatever handles inode/x-empty, often a browser.
void openInTextEditor(const std::filesystem::path& path, Workspace& workspace, Log& log) {
    auto* query = new QProcess();
    auto finished = std::make_shared<bool>(false);
    const auto done = [&workspace, &log, query, finished, path](const QByteArray& answer) {
        if (std::exchange(*finished, true))
            return;
        query->deleteLater();
        const auto command = text_editor::openCommand(answer.toStdString(), path, editorSystem());
        if (command) {
            QStringList arguments;
            for (const auto& argument : command->arguments)
                arguments << QString::fromStdString(argument);
            if (QProcess::startDetached(QString::fromStdString(command->program), arguments))
                return;
        }
        log.write("[Mivo] scratch file: no text editor for text/plain; opening by type");
        workspace.openURL(fileURL(path));
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
    query->start(QStringLiteral("xdg-mime"), {QStringLiteral("query"), QStringLiteral("default"),
                                              QStringLiteral("text/plain")});
}

}  // namespace

// Without a system tray the settings window opens once instead, so that
// Mivo can be reached at all.
void Root::launchTray() {
    shell_.onRequestPermission = [this] { requestAccessibilityPermission(); };
    trayAvailable_ = shell_.launch();
    onboardingWindow_.model().setHasTray(trayAvailable_);
    if (!trayAvailable_) {
        log_.write(
            "[Mivo] shell: no system tray on this desktop; the settings window opens "
            "once so that Mivo can be reached");
    }
    shell_.onOpenSettings = [this] { openSettingsWindow(); };
    shell_.onCheckForUpdates = [this] { updates_.checkForUpdates(); };
}

// What the settings and onboarding windows open outside Mivo.
void Root::wireWindows() {
    auto& model = settingsWindow_.model();
    model.setSignInPossible(serviceAddress_.has_value());
    model.onRequestAccountDeletion = [this] {
        openSupportMail("Mivo account deletion request", std::nullopt);
    };
    model.onSendFeedback = [this](const std::string& text) {
        return openSupportMail("Mivo feedback", text);
    };
    onboardingWindow_.model().onTryItNow = [this] { openScratchFile(); };
    // A change that cannot be written shows as made and is gone at the next
    // start: said once, where the user is looking.
    defaults_.onNotSaved = [this](const std::filesystem::path& folder, const std::string& reason) {
        const std::string where =
            folder.empty() ? std::string(": ") : " in " + folder.string() + " (";
        alerts_.show({.title = "Settings Not Saved",
                      .message = "Mivo cannot save its settings" + where + reason +
                                 (folder.empty() ? "" : ")") +
                                 ". Your changes last until Mivo quits; check that the folder "
                                 "is yours and writable.",
                      .style = AlertRequest::Style::warning},
                     {});
    };
}

void Root::installMainMenu() {
    auto& menu = mainMenu_.model();
    menu.onOpenSettings = [this] { openSettingsWindow(); };
    menu.onCheckForUpdates = [this] { updates_.checkForUpdates(); };
    menu.canCheckForUpdates = [this] { return updates_.canCheckForUpdates(); };
    menu.onHideOthers = [this] {
        otherApplications_.hideOthers();
        // The field followed is minimised with its application: its text
        // shows nowhere, so neither do its boxes. Mivo in front is no change
        // of application the monitor would report.
        display_.clearCorrectionUIForContextChange();
    };
    menu.onShowAll = [this] { otherApplications_.showAll(); };
    mainMenu_.install();
    // The menu bar lives on the settings window; the onboarding, a
    // first-run dialog of fixed size, carries only the shortcuts.
    settingsWindow_.setMenuBar(mainMenu_.createMenuBar(&settingsWindow_.window()));
    mainMenu_.attach(&onboardingWindow_.window());
}

void Root::openSettingsOnceWithoutTray() {
    if (!trayAvailable_ && !openedForMissingTray_) {
        openedForMissingTray_ = true;
        openSettingsWindow();
    }
}

void Root::openSettingsWindow() {
    accountTone_.refreshSettingsAccount();
    settingsWindow_.present();
}

bool Root::openSupportMail(const std::string& subject, const std::optional<std::string>& body) {
    const auto url = supportMailURL(subject, body);
    if (!url) {
        log_.write("[Mivo][Settings] unable to form support mailto URL for subject=" + subject);
        return false;
    }
    return desktop_.workspace().openURL(*url);
}

void Root::openScratchFile() {
    const auto path = prepareScratchFile(
        {.runtimeDir = environment("XDG_RUNTIME_DIR"), .tempDir = environment("TMPDIR")});
    if (!path) {
        log_.write("[Mivo] scratch file: " + path.error());
        return;
    }
    openInTextEditor(*path, desktop_.workspace(), log_);
}

UpdateController::Environment Root::updateEnvironment() {
    return {
        .scheduler = desktop_.scheduler(),
        .defaults = defaults_,
        .alerts = alerts_,
        .fetch =
            [this](const std::string& url, std::function<void(std::optional<std::string>)> done) {
                fetch(url, std::move(done));
            },
        .openURL = [this](const std::string& url) { desktop_.workspace().openURL(url); },
        .currentVersion = MIVO_VERSION,
        .feedURL = environment("MIVO_UPDATE_FEED_URL"),
        .installKind = installKindOf(runningExecutable()),
    };
}

// One GET with the account requests' 12 s bound on the whole transfer.
void Root::fetch(const std::string& url, std::function<void(std::optional<std::string>)> done) {
    // A feed is a few hundred bytes; anything longer is refused.
    fetchFeed(network_, url,
              {.maxBytes = kMaxAnswerBytes.updateFeed,
               .idle = std::chrono::milliseconds(12'000),
               .total = std::chrono::milliseconds(12'000)},
              std::move(done));
}

}  // namespace mivo
