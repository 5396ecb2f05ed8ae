#include "shell/app_shell_controller.hpp"

#include <gmock/gmock.h>

#include <QAbstractTextDocumentLayout>
#include <QAction>
#include <QFontMetrics>
#include <QMenu>
#include <QTextBlock>
#include <QTextDocument>
#include <QTextLayout>

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

// The line of `document` laid out at `width` that holds the character at
// `at` of its plain text.
int lineOf(QTextDocument& document, int at) {
    const QTextBlock block = document.findBlock(at);
    const QTextLayout* layout = block.layout();
    const int line = layout->lineForTextPosition(at - block.position()).lineNumber();
    return block.firstLineNumber() + line;
}

// An address in an alert is read on one line at any width that holds it.
TEST(Alerts, AnAddressIsNeverBrokenAcrossLines) {
    const QString message = QStringLiteral(
        "The server at http://127.0.0.2:8080 could not be reached (Connection refused). The "
        "stand-in web service (scripts/run.sh) listens on 127.0.0.1 only: write "
        "http://127.0.0.1:8080 in MIVO_API_URL.");
    const QString shown = withUnbrokenAddresses(message);
    QTextDocument document;
    document.setPlainText(shown);
    const QFontMetrics metrics(document.defaultFont());
    for (const QString& address :
         {QStringLiteral("http://127.0.0.2:8080"), QStringLiteral("http://127.0.0.1:8080")}) {
        SCOPED_TRACE(address.toStdString());
        const int start = static_cast<int>(QString(shown).remove(QChar(0x2060)).indexOf(address));
        ASSERT_GE(start, 0);
        // Where it starts and ends in the shown text, joiners counted.
        const auto inShown = [&](int plain) {
            int i = 0;
            for (int seen = -1; i < shown.size(); ++i)
                if (shown[i] != QChar(0x2060) && ++seen == plain)
                    break;
            return i;
        };
        const int at = inShown(start);
        const int end = inShown(start + static_cast<int>(address.size()) - 1);
        for (int width = metrics.horizontalAdvance(address) + 12; width <= 480; width += 3) {
            document.setTextWidth(width);
            (void)document.documentLayout()->documentSize();
            EXPECT_EQ(lineOf(document, at), lineOf(document, end)) << "width " << width;
        }
    }
}

}  // namespace
}  // namespace mivo
