#include <gtest/gtest.h>

#include <QAction>
#include <QApplication>
#include <QKeyEvent>
#include <QTest>
#include <QVBoxLayout>

#include "platform/sim/recorded_alerts.hpp"
#include "settings/qt_key_press.hpp"
#include "settings/shortcut_recorder.hpp"
#include "ui/appearance.hpp"
#include "ui_artifacts.hpp"

namespace mivo {
namespace {

using sim::RecordedAlerts;

class ShortcutRecorderTest : public ::testing::Test {
  protected:
    ShortcutRecorderTest() {
        auto* layout = new QVBoxLayout(&window);
        recorder = new ShortcutRecorder(alerts, &window);
        layout->addWidget(recorder);
        other = new QWidget(&window);
        other->setFocusPolicy(Qt::StrongFocus);
        layout->addWidget(other);
        recorder->onConfigChanged = [this](const HotKeyConfig& c) { recorded.push_back(c); };
        recorder->onInvalid = [this] { ++invalid; };
    }

    // A key press as the window system delivers it: shortcut override
    // first, then the press.
    void press(int key, Qt::KeyboardModifiers modifiers) {
        QTest::keyPress(recorder, static_cast<Qt::Key>(key), modifiers);
    }

    void startRecording() {
        QTest::mouseClick(recorder, Qt::LeftButton, {}, recorder->rect().center());
        ASSERT_TRUE(recorder->isRecording());
    }

    sim::RecordedAlerts alerts;
    QWidget window;
    ShortcutRecorder* recorder;
    QWidget* other;
    std::vector<HotKeyConfig> recorded;
    int invalid = 0;
};

struct KeyCase {
    const char* name;
    int key;
    Qt::KeyboardModifiers modifiers;
    uint32_t keyCode;
    uint32_t mask;
    const char* display;  // stored
    const char* shown;    // what the field reads
};

class RecordedKeys : public ShortcutRecorderTest, public ::testing::WithParamInterface<KeyCase> {};

TEST_P(RecordedKeys, StoreKeyCodeMaskAndDisplay) {
    const KeyCase& c = GetParam();
    startRecording();
    press(c.key, c.modifiers);
    ASSERT_EQ(recorded.size(), 1u);
    EXPECT_EQ(recorded[0].keyCode, c.keyCode);
    EXPECT_EQ(recorded[0].carbonModifiers, c.mask);
    EXPECT_EQ(recorded[0].display, c.display);
    EXPECT_FALSE(recorder->isRecording());
    EXPECT_EQ(recorder->displayText().toStdString(), c.shown);
    EXPECT_EQ(alerts.beeps, 0);
}

INSTANTIATE_TEST_SUITE_P(
    Recorder, RecordedKeys,
    ::testing::Values(
        KeyCase{"ControlAltSpace", Qt::Key_Space, Qt::ControlModifier | Qt::AltModifier, 49, 0x1800,
                "⌃⌥Space", "Ctrl+Alt+Space"},
        // Super is Command.
        KeyCase{"SuperShiftJ", Qt::Key_J, Qt::MetaModifier | Qt::ShiftModifier, 38, 0x300, "⇧⌘J",
                "Shift+Super+J"},
        // Ctrl+J types a line feed; the glyph comes from the key.
        KeyCase{"ControlJ", Qt::Key_J, Qt::ControlModifier, 38, 0x1000, "⌃J", "Ctrl+J"},
        KeyCase{"ControlW", Qt::Key_W, Qt::ControlModifier, 13, 0x1000, "⌃W", "Ctrl+W"},
        KeyCase{"ControlTab", Qt::Key_Tab, Qt::ControlModifier, 48, 0x1000, "⌃⇥", "Ctrl+Tab"},
        KeyCase{"SuperReturn", Qt::Key_Return, Qt::MetaModifier, 36, 0x100, "⌘↩", "Super+Return"},
        KeyCase{"AltLeft", Qt::Key_Left, Qt::AltModifier, 123, 0x800, "⌥←", "Alt+Left"},
        KeyCase{"SuperShiftOne", Qt::Key_Exclam, Qt::MetaModifier | Qt::ShiftModifier, 18, 0x300,
                "⇧⌘!", "Shift+Super+!"},
        KeyCase{"SuperF1", Qt::Key_F1, Qt::MetaModifier, 122, 0x100, "⌘Key 122", "Super+Key 122"},
        KeyCase{"SuperKeypadFive", Qt::Key_5, Qt::MetaModifier | Qt::KeypadModifier, 87, 0x100,
                "⌘5", "Super+5"}),
    [](const auto& info) { return std::string(info.param.name); });

TEST_F(ShortcutRecorderTest, ShiftWithALetterBeepsAndRecordsNothing) {
    startRecording();
    press(Qt::Key_A, Qt::ShiftModifier);
    EXPECT_EQ(alerts.beeps, 1);
    EXPECT_EQ(invalid, 1);
    EXPECT_TRUE(recorded.empty());
    EXPECT_FALSE(recorder->isRecording());
    EXPECT_EQ(recorder->config(), HotKeyConfig::defaultConfig());
}

TEST_F(ShortcutRecorderTest, PlainTabIsRefusedInsteadOfMovingTheFocus) {
    window.show();
    QApplication::setActiveWindow(&window);
    ASSERT_TRUE(QTest::qWaitForWindowActive(&window));
    startRecording();
    ASSERT_TRUE(recorder->hasFocus());
    press(Qt::Key_Tab, Qt::NoModifier);
    EXPECT_EQ(alerts.beeps, 1);
    EXPECT_TRUE(recorder->hasFocus());
    EXPECT_FALSE(other->hasFocus());
}

TEST_F(ShortcutRecorderTest, EscapeCancelsSilently) {
    for (Qt::KeyboardModifiers modifiers :
         {Qt::KeyboardModifiers{}, Qt::KeyboardModifiers{Qt::MetaModifier}}) {
        startRecording();
        press(Qt::Key_Escape, modifiers);
        EXPECT_FALSE(recorder->isRecording());
    }
    EXPECT_EQ(alerts.beeps, 0);
    EXPECT_TRUE(recorded.empty());
}

TEST_F(ShortcutRecorderTest, ModifierPressedAloneKeepsRecording) {
    startRecording();
    press(Qt::Key_Meta, Qt::MetaModifier);
    press(Qt::Key_Shift, Qt::MetaModifier | Qt::ShiftModifier);
    press(Qt::Key_Control, Qt::ControlModifier);
    press(Qt::Key_Alt, Qt::AltModifier);
    EXPECT_TRUE(recorder->isRecording());
    EXPECT_TRUE(recorded.empty());
    EXPECT_EQ(alerts.beeps, 0);
    press(Qt::Key_K, Qt::MetaModifier | Qt::ShiftModifier);
    ASSERT_EQ(recorded.size(), 1u);
    EXPECT_EQ(recorded[0].display, "⇧⌘K");
}

TEST_F(ShortcutRecorderTest, SecondClickEndsRecordingWithoutChange) {
    startRecording();
    QTest::mouseClick(recorder, Qt::LeftButton, {}, recorder->rect().center());
    EXPECT_FALSE(recorder->isRecording());
    EXPECT_TRUE(recorded.empty());
    EXPECT_EQ(recorder->config(), HotKeyConfig::defaultConfig());
}

TEST_F(ShortcutRecorderTest, RecordingClaimsWindowShortcuts) {
    // Ctrl+W closes the window elsewhere; while recording it is a shortcut
    // to record, and the window's own action must not fire.
    int closes = 0;
    auto* close = new QAction(&window);
    close->setShortcut(QKeySequence(Qt::CTRL | Qt::Key_W));
    close->setShortcutContext(Qt::WindowShortcut);
    window.addAction(close);
    QObject::connect(close, &QAction::triggered, [&] { ++closes; });
    window.show();
    QApplication::setActiveWindow(&window);
    ASSERT_TRUE(QTest::qWaitForWindowActive(&window));

    QKeyEvent override(QEvent::ShortcutOverride, Qt::Key_W, Qt::ControlModifier);
    QApplication::sendEvent(recorder, &override);
    EXPECT_FALSE(override.isAccepted());  // idle: the window's shortcut wins

    startRecording();
    QKeyEvent claimed(QEvent::ShortcutOverride, Qt::Key_W, Qt::ControlModifier);
    claimed.ignore();
    QApplication::sendEvent(recorder, &claimed);
    EXPECT_TRUE(claimed.isAccepted());
    QTest::keyClick(recorder, Qt::Key_W, Qt::ControlModifier);
    EXPECT_EQ(closes, 0);
    ASSERT_EQ(recorded.size(), 1u);
    EXPECT_EQ(recorded[0].display, "⌃W");
}

TEST_F(ShortcutRecorderTest, FocusTakenElsewhereEndsRecording) {
    window.show();
    QApplication::setActiveWindow(&window);
    ASSERT_TRUE(QTest::qWaitForWindowActive(&window));
    startRecording();
    recorder->releaseKeyboard();
    other->setFocus(Qt::MouseFocusReason);
    EXPECT_FALSE(recorder->isRecording());
}

TEST(QtKeyPress, KeysWithoutAnAnsiPlaceHaveNoKeyCode) {
    EXPECT_EQ(capturedKeyPress(Qt::Key_Eacute, Qt::MetaModifier).keyCode, std::nullopt);
    EXPECT_EQ(capturedKeyPress(Qt::Key_VolumeUp, Qt::MetaModifier).keyCode, std::nullopt);
    EXPECT_TRUE(capturedKeyPress(Qt::Key_Super_L, Qt::MetaModifier).modifierOnly);
    EXPECT_EQ(capturedKeyPress(Qt::Key_Backtab, Qt::ShiftModifier | Qt::ControlModifier).keyCode,
              48);
}

TEST(ShortcutRecorderLook, IdleAndRecordingInLightAndDark) {
    sim::RecordedAlerts alerts;
    for (auto scheme : {ui::ColorScheme::light, ui::ColorScheme::dark}) {
        ui::Appearance::shared().setOverride(scheme);
        const std::string suffix = scheme == ui::ColorScheme::dark ? "dark" : "light";
        ShortcutRecorder recorder(alerts);
        recorder.resize(recorder.sizeHint());
        EXPECT_GE(recorder.width(), 120);
        EXPECT_EQ(recorder.height(), 32);
        QImage idle = mivo::testing::renderArtifact(recorder, "settings-recorder-idle-" + suffix);
        // The field's middle is the control background, not the accent.
        const QColor middle = mivo::testing::pixelAt(idle, recorder.width() - 4, 16);
        EXPECT_EQ(middle.lightness() > 128, scheme == ui::ColorScheme::light);
        recorder.setRecording(true);
        recorder.resize(recorder.sizeHint());
        QImage recording =
            mivo::testing::renderArtifact(recorder, "settings-recorder-recording-" + suffix);
        // The thick accent border on the left edge.
        const QColor edge = mivo::testing::pixelAt(recording, 1, 16);
        EXPECT_GT(edge.blue(), edge.red() + 80) << edge.name().toStdString();
        recorder.setRecording(false);
    }
    ui::Appearance::shared().setOverride(ui::ColorScheme::light);
}

}  // namespace
}  // namespace mivo
