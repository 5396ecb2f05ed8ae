// A rewrite as a user has it: the real `mivo` under openbox with the
// accessibility bus and mivo-api-stub on loopback. The user presses
// Super+Shift+J in our GTK test editor, signs in from the rewrite panel
// through the stand-in sign-in page, presses the hotkey again on a selected
// sentence, takes "Improve" with Return and applies the preview with Return;
// the editor then holds the rewrite and the clipboard what it held before.

#include <QDir>
#include <QFile>
#include <QProcess>

#include <fstream>
#include <string>

#include "desktop_test_support.hpp"
#include "mivo_child.hpp"
#include "platform/pasteboard.hpp"
#include "stub_process.hpp"
#include "x_windows.hpp"

#include "accessible_buttons.hpp"

// Last: Xlib's macros (None, Bool, Status) clash with GoogleTest and Qt.
#include <X11/Xlib.h>
#include <X11/extensions/XTest.h>
#include <X11/keysym.h>

namespace mivo::desktop_test {
namespace {

constexpr const char* kText = "今日は会議があります。私はは学生です。";
constexpr const char* kSentence = "私はは学生です。";
constexpr const char* kRewritten = "今日は会議があります。私は学生です。";

class RewriteDesktopTest : public MivoChildTest {
  protected:
    // `mivo` with its own folders, past onboarding, talking to the stub, with
    // a stand-in browser that opens the sign-in page and follows its
    // redirect back to Mivo's loopback port.
    void startMivo(const std::string& apiURL, const std::string& updateFeedURL = {}) {
        ASSERT_NO_FATAL_FAILURE(prepareHome());
        const QString bin = home_.path() + "/bin";
        QDir().mkpath(bin);
        const QString browser = bin + "/xdg-open";
        std::ofstream(browser.toStdString())
            << "#!/bin/sh\nexec curl -s -o /dev/null -L --max-time 20 \"$1\"\n";
        QFile::setPermissions(browser, QFile::ReadOwner | QFile::WriteOwner | QFile::ExeOwner);

        auto env = mivoEnvironment();
        env.insert("PATH", bin + ":" + env.value("PATH"));
        env.insert("MIVO_API_URL", QString::fromStdString(apiURL));
        env.insert("MIVO_DEV_AUTH_FILE", "1");
        if (!updateFeedURL.empty())
            env.insert("MIVO_UPDATE_FEED_URL", QString::fromStdString(updateFeedURL));
        ASSERT_NO_FATAL_FAILURE(launchMivo(env));
        ASSERT_NO_FATAL_FAILURE(waitUntilMonitoring());
    }

    // Counts lines of mivo's log containing `fragment`.
    int logged(const QString& fragment) const { return static_cast<int>(log_.count(fragment)); }

    void key(KeySym symbol, bool down) {
        XTestFakeKeyEvent(display(), XKeysymToKeycode(display(), symbol), down ? 1 : 0,
                          CurrentTime);
        XFlush(display());
    }
    void press(KeySym symbol) {
        key(symbol, true);
        key(symbol, false);
    }
    void pressRewriteHotKey() {
        key(XK_Super_L, true);
        key(XK_Shift_L, true);
        press(XK_j);
        key(XK_Shift_L, false);
        key(XK_Super_L, false);
    }

    void click(int x, int y) {
        XTestFakeMotionEvent(display(), -1, x, y, CurrentTime);
        XFlush(display());
        spinFor(0.15);
        XTestFakeButtonEvent(display(), 1, True, CurrentTime);
        XFlush(display());
        spinFor(0.05);
        XTestFakeButtonEvent(display(), 1, False, CurrentTime);
        XFlush(display());
    }

    // The editor in front with `kSentence` selected.
    bool editorInFrontWithSentenceSelected(const TestEditor& editor, const AXElement& view) {
        const auto origin = readPoint(ax(), view, kAXPositionAttribute);
        if (!origin)
            return false;
        return waitUntil(
            [&] {
                const auto front = workspace().frontmostApplication();
                if (!front || front->pid != editor.pid()) {
                    click(static_cast<int>(origin->x) + 30, static_cast<int>(origin->y) + 15);
                    spinFor(0.3);
                }
                const int64_t start = text::utf16Length("今日は会議があります。");
                ax().setAttributeValue(view, kAXSelectedTextRangeAttribute,
                                       AXValue(Utf16Range{start, text::utf16Length(kSentence)}));
                spinFor(0.2);
                const auto now = workspace().frontmostApplication();
                return now && now->pid == editor.pid() &&
                       readString(ax(), view, kAXSelectedTextAttribute) == kSentence;
            },
            10);
    }
};

TEST_F(RewriteDesktopTest, SignInThenImproveASelectedSentenceInTheEditor) {
    testing::StubProcess stub;
    auto editor = startEditor({.title = "Mivo rewrite", .viewText = kText});
    ASSERT_NE(editor, nullptr);
    const AXElement view = textView(*editor);
    ASSERT_TRUE(waitForValue(view, kText));
    startMivo(stub.baseURL());

    // Signed out, the hotkey opens the panel's sign-in; the stand-in browser
    // brings the grant back to Mivo.
    ASSERT_TRUE(editorInFrontWithSentenceSelected(*editor, view));
    pressRewriteHotKey();
    std::optional<std::pair<int, int>> signIn;
    ASSERT_TRUE(waitUntil(
        [&] { return (signIn = pushButtonCentre(mivoPid(), "Sign in with Google")).has_value(); },
        8))
        << "the signed-out panel did not open";
    screenshot("rewrite-signed-out.png");
    click(signIn->first, signIn->second);
    ASSERT_TRUE(waitUntil([&] { return !stub.requestsTo("/v1/me").empty(); }, 20))
        << "the sign-in did not complete";
    spinFor(0.5);

    // Signed in: the hotkey on the selected sentence opens the picker.
    ASSERT_TRUE(editorInFrontWithSentenceSelected(*editor, view));
    pasteboard().writeItems({stringItem("the user's clipboard")});
    pressRewriteHotKey();
    ASSERT_TRUE(waitUntil([&] { return logged("[Mivo][Tone] Tone: panel opened") > 0; }, 8));
    spinFor(0.5);
    screenshot("rewrite-picking.png");
    press(XK_Return);  // "Improve" is selected
    ASSERT_TRUE(
        waitUntil([&] { return logged("[Mivo][Tone] Rewrite: improve preview ready") > 0; }, 15));
    const auto sent = stub.requestsTo("/v1/rewrite/convert");
    ASSERT_EQ(sent.size(), 1u);
    EXPECT_NE(sent[0]["body"].get<std::string>().find(kSentence), std::string::npos);
    spinFor(0.3);
    screenshot("rewrite-preview.png");
    press(XK_Return);  // apply

    ASSERT_TRUE(waitForValue(view, kRewritten, 8)) << value(view).value_or("?");
    // The log line follows the write; it reaches this process a little later.
    EXPECT_TRUE(waitUntil([&] { return logged("[Mivo][Tone] Tone: applied via") == 1; }, 3));
    // Whatever way it was written, the user's clipboard comes back.
    EXPECT_TRUE(waitUntil(
        [&] { return pasteboardString(pasteboard()) == std::string("the user's clipboard"); }, 5))
        << pasteboardString(pasteboard()).value_or("(nothing)");
    screenshot("rewrite-applied.png");
}

// With an update feed (served by the stub) the settings window's "Check Now"
// reads it and announces the newer version with its release notes.
TEST_F(RewriteDesktopTest, CheckNowReadsTheFeedAndAnnouncesANewerVersion) {
    testing::StubProcess stub(
        {"--update-version", "99.0.0", "--update-notes-url", "https://mivo.test/notes"});
    startMivo(stub.baseURL(), stub.baseURL() + "/update/feed.json");
    // Without a tray the settings window opens by itself.
    std::optional<std::pair<int, int>> about;
    ASSERT_TRUE(
        waitUntil([&] { return (about = pushButtonCentre(mivoPid(), "About")).has_value(); }, 10))
        << "the settings window did not open";
    click(about->first, about->second);
    std::optional<std::pair<int, int>> checkNow;
    ASSERT_TRUE(waitUntil(
        [&] { return (checkNow = pushButtonCentre(mivoPid(), "Check Now")).has_value(); }, 5));
    click(checkNow->first, checkNow->second);
    EXPECT_TRUE(waitUntil(
        [&] { return pushButtonCentre(mivoPid(), "View Release Notes").has_value(); }, 10))
        << "no new-version alert";
    EXPECT_EQ(stub.requestsTo("/update/feed.json").size(), 1u);
    screenshot("update-available.png");
}

}  // namespace
}  // namespace mivo::desktop_test
