// Synthetic input through XTest into the real editor, the key-down monitor,
// and the clipboard's count of what other applications copy.

#include <signal.h>

#include <QElapsedTimer>

#include "desktop_test_support.hpp"
#include "platform/linux/atspi/atspi_element.hpp"
#include "platform/linux/atspi/gobject_ptr.hpp"
#include "platform/linux/x11/x11_connection.hpp"
#include "stand_in_xim_server.hpp"

#include <cstdlib>
#include <optional>
#include <string>

namespace mivo::desktop_test {
namespace {

using InputDesktopTest = DesktopTest;

// The editor copies the first three Characters of `view` itself, as a
// user's Ctrl+C there would.
void copyFirstThreeCharacters(const AXElement& view) {
    const auto* ref = linux_desktop::atspiRef(view);
    ASSERT_NE(ref, nullptr);
    linux_desktop::GObjectPtr<AtspiEditableText> editable(
        atspi_accessible_get_editable_text_iface(ref->accessible()));
    ASSERT_NE(editable, nullptr);
    linux_desktop::GErrorSlot error;
    ASSERT_TRUE(atspi_editable_text_copy_text(editable.get(), 0, 3, error.out()));
    ASSERT_FALSE(error.failed()) << error.message();
}

// Unsets a variable of our own environment for one test and puts it back.
class WithoutVariable {
  public:
    explicit WithoutVariable(const char* name) : name_(name) {
        if (const char* value = std::getenv(name))
            saved_ = value;
        unsetenv(name);
    }
    ~WithoutVariable() {
        if (saved_)
            setenv(name_, saved_->c_str(), 1);
    }
    WithoutVariable(const WithoutVariable&) = delete;
    WithoutVariable& operator=(const WithoutVariable&) = delete;

  private:
    const char* name_;
    std::optional<std::string> saved_;
};

TEST_F(InputDesktopTest, TypesJapaneseAndNonBmpCharactersIntoTheFocusedField) {
    auto editor = startEditor();
    ASSERT_NE(editor, nullptr);
    const AXElement view = textView(*editor);
    // More Characters than spare key codes are taken in turn, so the
    // remapped key codes come round again.
    const std::string typed = "今日は\U00020BB7野家で\U0001F600、Mivoを使いました。abcXYZ改行なし";
    typeText(typed);
    ASSERT_TRUE(waitForValue(view, typed)) << value(view).value_or("<nothing>");
    const auto length = text::utf16Length(typed);
    EXPECT_EQ(readRange(ax(), view, kAXSelectedTextRangeAttribute), (Utf16Range{length, 0}));
    EXPECT_EQ(readNumber(ax(), view, kAXNumberOfCharactersAttribute), length);
}

TEST_F(InputDesktopTest, DeleteRemovesTheCharacterBeforeTheCaretOrTheSelection) {
    auto editor = startEditor({.viewText = "ab\U0001F600"});
    ASSERT_NE(editor, nullptr);
    const AXElement view = textView(*editor);
    const auto pressDelete = [&] {
        ASSERT_TRUE(input().postKeyEvent(KeyEvent{kKeyCodeDelete, true, 0, {}}));
        ASSERT_TRUE(input().postKeyEvent(KeyEvent{kKeyCodeDelete, false, 0, {}}));
    };
    pressDelete();
    ASSERT_TRUE(waitForValue(view, "ab")) << value(view).value_or("<nothing>");
    ASSERT_EQ(ax().setAttributeValue(view, kAXSelectedTextRangeAttribute, Utf16Range{0, 1}),
              AXError::success);
    pressDelete();
    EXPECT_TRUE(waitForValue(view, "b")) << value(view).value_or("<nothing>");
}

TEST_F(InputDesktopTest, ClipboardCountsWhatOtherApplicationsCopy) {
    auto editor = startEditor({.viewText = "他のアプリ\U0001F4CB"});
    ASSERT_NE(editor, nullptr);
    const AXElement view = textView(*editor);
    Pasteboard& pb = pasteboard();
    pb.clearContents();
    ASSERT_TRUE(pb.writeItems({stringItem("ours")}));
    const int64_t ours = pb.changeCount();

    ASSERT_NO_FATAL_FAILURE(copyFirstThreeCharacters(view));

    EXPECT_TRUE(waitUntil([&] { return pb.changeCount() > ours; }));
    EXPECT_TRUE(waitUntil([&] { return pasteboardString(pb) == "他のア"; }))
        << pasteboardString(pb).value_or("<nothing>");
}

TEST_F(InputDesktopTest, AClipboardOwnerThatHangsCostsAFractionOfASecond) {
    auto editor = startEditor({.viewText = "止まる持ち主"});
    ASSERT_NE(editor, nullptr);
    const AXElement view = textView(*editor);
    Pasteboard& pb = pasteboard();
    const int64_t before = pb.changeCount();
    ASSERT_NO_FATAL_FAILURE(copyFirstThreeCharacters(view));
    ASSERT_TRUE(waitUntil([&] { return pb.changeCount() > before; }));
    ASSERT_TRUE(waitUntil([&] { return pasteboardString(pb) == "止まる"; }));
    // The owner stops answering: saving the clipboard must not wait for it
    // format by format.
    ASSERT_EQ(::kill(editor->pid(), SIGSTOP), 0);
    QElapsedTimer timer;
    timer.start();
    const auto items = pb.items();
    EXPECT_LT(timer.elapsed(), 1000);
    EXPECT_TRUE(items.empty());
    ::kill(editor->pid(), SIGCONT);
}

TEST_F(InputDesktopTest, KeyDownMonitorHearsKeysOfEveryApplicationUntilDisabled) {
    auto editor = startEditor();
    ASSERT_NE(editor, nullptr);
    int keyDowns = 0;
    auto monitor = input().installKeyDownMonitor([&](KeyDownMonitorEvent e) {
        if (e == KeyDownMonitorEvent::keyDown)
            ++keyDowns;
    });
    ASSERT_TRUE(monitor.has_value());
    typeText("あい");
    EXPECT_TRUE(waitUntil([&] { return keyDowns >= 2; }));
    (*monitor)->setEnabled(false);
    spinFor(0.2);
    const int heard = keyDowns;
    typeText("う");
    ASSERT_TRUE(waitForValue(textView(*editor), "あいう"));
    spinFor(0.2);
    EXPECT_EQ(keyDowns, heard);
}

TEST_F(InputDesktopTest, AnInputMethodIsSeenByTheSelectionItsXimServerOwns) {
    // The tests' session runs none: fast typing there is plain typing.
    const char* saved = std::getenv("XMODIFIERS");
    const std::string previous = saved != nullptr ? saved : "";
    setenv("XMODIFIERS", "@im=mivotest", 1);
    EXPECT_FALSE(input().inputMethodRunning());
    Display* d = session_->desktop().x11().display();
    const Window server = XCreateSimpleWindow(d, DefaultRootWindow(d), 0, 0, 1, 1, 0, 0, 0);
    XSetSelectionOwner(d, XInternAtom(d, "@server=mivotest", False), server, CurrentTime);
    XSync(d, False);
    EXPECT_TRUE(input().inputMethodRunning());
    XDestroyWindow(d, server);
    XSync(d, False);
    EXPECT_FALSE(input().inputMethodRunning());
    if (saved != nullptr)
        setenv("XMODIFIERS", previous.c_str(), 1);
    else
        unsetenv("XMODIFIERS");
}

TEST_F(InputDesktopTest, AListedXimServerRunsAndConvertsWhateverOurXmodifiersSay) {
    const WithoutVariable noModifiers("XMODIFIERS");
    const StandInXimServer server("mivolisted");
    ASSERT_TRUE(server.running());
    EXPECT_TRUE(input().inputMethodRunning());
    EXPECT_FALSE(input().postKeyEvent(KeyEvent{kKeyCodeUnicodeCarrier, true, 0, u"a"}));
    EXPECT_TRUE(
        session_->log().contains("the mivolisted input method would convert typed letters"));
}

}  // namespace
}  // namespace mivo::desktop_test
