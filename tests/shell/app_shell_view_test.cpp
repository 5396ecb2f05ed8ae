#include "shell/app_shell_controller.hpp"

#include <gmock/gmock.h>

#include <algorithm>

#include <QAction>
#include <QApplication>
#include <QFontMetrics>
#include <QLabel>
#include <QMenu>
#include <QMessageBox>

#include "shared/service_address.hpp"
#include "shell/qt_alerts.hpp"

namespace mivo {
namespace {

QAction* action(const AppShellController& shell, const char* name) {
    return shell.menu()->findChild<QAction*>(name);
}

QStringList visibleTitles(const QMenu& menu) {
    QStringList titles;
    for (QAction* a : menu.actions()) {
        if (a->isVisible()) {
            titles << (a->isSeparator() ? QStringLiteral("—") : a->text());
        }
    }
    return titles;
}

TEST(AppShell, MenuInOrderWithRewriteDisabledUntilMonitoring) {
    AppShellController shell;
    shell.launch();
    EXPECT_EQ(
        visibleTitles(*shell.menu()),
        (QStringList{"Mivo", "—", "Sign In with Google…", "—", "Settings…", "Check for Updates…",
                     "Rewrite (Shift+Super+J)", "Open Accessibility Settings…", "—", "Quit Mivo"}));
    EXPECT_FALSE(action(shell, "header")->isEnabled());
    EXPECT_FALSE(action(shell, "rewrite")->isEnabled());
    EXPECT_EQ(shell.toolTip(), "Mivo — Idle");

    const struct {
        std::function<void()> change;
        QString tooltip;
        bool rewriteEnabled;
    } steps[] = {
        {[&] { shell.setMonitoring(true); }, "Mivo — Monitoring", true},
        {[&] { shell.setPermissionNeeded(); }, "Mivo — Permission needed", false},
        {[&] { shell.setMonitoring(false); }, "Mivo — Paused", false},
        {[&] { shell.setError("bus gone"); }, "Mivo — Error: bus gone", false},
    };
    for (const auto& step : steps) {
        step.change();
        EXPECT_EQ(shell.toolTip(), step.tooltip);
        EXPECT_EQ(action(shell, "rewrite")->isEnabled(), step.rewriteEnabled)
            << step.tooltip.toStdString();
    }
}

TEST(AppShell, AccountLineAndShortcutFollowTheRoot) {
    AppShellController shell;
    int signIns = 0;
    shell.onSignIn = [&] { ++signIns; };
    shell.launch();
    shell.setRewriteShortcutDisplay("Ctrl+Alt+Space");
    EXPECT_EQ(action(shell, "rewrite")->text(), "Rewrite (Ctrl+Alt+Space)");
    // No shortcut registered: the item still rewrites, named without one.
    shell.setRewriteShortcutDisplay("");
    EXPECT_EQ(action(shell, "rewrite")->text(), "Rewrite");

    shell.updateAuthState("mika@example.com");
    EXPECT_EQ(action(shell, "authStatus")->text(), "Signed in as mika@example.com");
    EXPECT_FALSE(action(shell, "authStatus")->isEnabled());
    EXPECT_TRUE(action(shell, "signOut")->isVisible());
    action(shell, "authStatus")->trigger();  // a disabled line does nothing
    EXPECT_EQ(signIns, 0);

    shell.updateAuthState(std::nullopt);
    EXPECT_EQ(action(shell, "authStatus")->text(), "Sign In with Google…");
    EXPECT_FALSE(action(shell, "signOut")->isVisible());
    action(shell, "authStatus")->trigger();
    EXPECT_EQ(signIns, 1);

    // A sign-in kept in the locked keyring is said, and waits for it.
    shell.updateAuthState(AuthSessionState::keyringLocked());
    EXPECT_EQ(action(shell, "authStatus")->text(),
              "Sign-in kept in the locked keyring; back once it is unlocked");
    EXPECT_FALSE(action(shell, "authStatus")->isEnabled());
    EXPECT_FALSE(action(shell, "signOut")->isVisible());
    shell.updateAuthState(AuthSessionState::signedIn("u-1", "mika@example.com"));
    EXPECT_EQ(action(shell, "authStatus")->text(), "Signed in as mika@example.com");
    shell.updateAuthState(AuthSessionState::signedOut());
    EXPECT_EQ(action(shell, "authStatus")->text(), "Sign In with Google…");
    shell.updateAuthState(std::nullopt, true);
    EXPECT_EQ(action(shell, "authStatus")->text(), "Session Ended — Sign In Again…");
    EXPECT_FALSE(action(shell, "signOut")->isVisible());
    action(shell, "authStatus")->trigger();
    EXPECT_EQ(signIns, 2);
}

TEST(AppShell, BrandLogoIsDrawnAtTheAskedSize) {
    const auto logo = AppShellController::brandLogo(QSize(64, 64));
    ASSERT_TRUE(logo.has_value());
    EXPECT_EQ(logo->size(), QSize(64, 64));
    // The outline is drawn, the middle of the square's side is empty.
    EXPECT_GT(logo->pixelColor(6, 32).alpha(), 200);
    EXPECT_EQ(logo->pixelColor(32, 14).alpha(), 0);
    EXPECT_FALSE(AppShellController::brandLogo(QSize(0, 0)).has_value());
}

const QString kAdvice = QStringLiteral(
    "The server at http://127.0.0.2:8080 could not be reached (Connection refused). The "
    "stand-in web service (scripts/run.sh) listens on 127.0.0.1 only: write "
    "http://127.0.0.1:8080 in MIVO_API_URL.");

// An address in an alert is read on one line at any width, and only the
// spaces where lines end differ from the message.
TEST(Alerts, AnAddressIsNeverBrokenAcrossLines) {
    const QFontMetrics metrics(QApplication::font());
    const int widestWord = metrics.horizontalAdvance(QStringLiteral("http://127.0.0.2:8080"));
    for (int width = widestWord; width <= 480; width += 3) {
        SCOPED_TRACE(width);
        const QString shown = withUnbrokenAddresses(kAdvice, metrics, width);
        EXPECT_EQ(QString(shown).replace(QLatin1Char('\n'), QLatin1Char(' ')), kAdvice);
        const QStringList lines = shown.split(QLatin1Char('\n'));
        for (const QString& address :
             {QStringLiteral("http://127.0.0.2:8080"), QStringLiteral("http://127.0.0.1:8080")})
            EXPECT_TRUE(std::ranges::any_of(lines, [&](const QString& line) {
                return line.contains(address);
            })) << address.toStdString();
        for (const QString& line : lines) {
            EXPECT_LE(metrics.horizontalAdvance(line), width) << line.toStdString();
        }
    }
}

// The advised address, selected in an alert and copied, is the address
// Mivo takes: nothing invisible travels with it, and the label itself
// breaks no line.
TEST(Alerts, AnAddressCopiedFromAnAlertIsTheAddress) {
    QtAlerts alerts;
    alerts.show({.title = "Sign In Failed", .message = kAdvice.toStdString(), .buttons = {"OK"}},
                {});
    QMessageBox* box = nullptr;
    for (QWidget* widget : QApplication::topLevelWidgets())
        if (widget->objectName() == "mivoAlert" && widget->isVisible())
            box = qobject_cast<QMessageBox*>(widget);
    ASSERT_NE(box, nullptr);
    auto* label = box->findChild<QLabel*>("qt_msgbox_informativelabel");
    ASSERT_NE(label, nullptr);
    EXPECT_FALSE(label->wordWrap());
    EXPECT_EQ(label->accessibleName(), kAdvice);
    ASSERT_TRUE(label->textInteractionFlags() & Qt::TextSelectableByMouse);
    const QString advised = QStringLiteral("http://127.0.0.1:8080");
    const int at = static_cast<int>(label->text().indexOf(advised));
    ASSERT_GE(at, 0);
    label->setSelection(at, static_cast<int>(advised.size()));
    EXPECT_EQ(label->selectedText(), advised);
    EXPECT_TRUE(isHttpsOrLoopbackHttp(label->selectedText().toStdString()));
    box->close();
}

}  // namespace
}  // namespace mivo
