// Typing through spare key codes on the simulated clock: keys go out from
// the next turn of the loop, in order, and a key code is lent to another
// keysym only after its quarantine, by a timer rather than a wait.

#include <gtest/gtest.h>

#include <map>
#include <string>
#include <vector>

#include "platform/linux/input_method.hpp"
#include "platform/linux/key_typing.hpp"
#include "platform/sim/captured_log.hpp"
#include "platform/sim/virtual_clock.hpp"

namespace mivo::linux_desktop {
namespace {

// Keysyms with no key of the layout, and two a layout types.
constexpr unsigned long kA = 0x1003042;  // あ
constexpr unsigned long kI = 0x1003044;  // い
constexpr unsigned long kU = 0x1003046;  // う
constexpr unsigned long kE = 0x1003048;  // え
constexpr unsigned long kLatinX = 'x';
constexpr unsigned long kBackSpace = 0xff08;

struct Stroke {
    std::string what;  // "remap", "press", "down", "up"
    unsigned keycode = 0;
    unsigned long keysym = 0;
    double at = 0;
    bool operator==(const Stroke&) const = default;
};

class RecordingStrokes : public KeyStrokes {
  public:
    explicit RecordingStrokes(sim::VirtualClock& clock) : clock_(clock) {}

    std::optional<unsigned char> layoutKeycode(unsigned long keysym) override {
        if (keysym == kLatinX)
            return 53;
        if (keysym == kBackSpace)
            return 22;
        return std::nullopt;
    }
    bool remap(unsigned char keycode, unsigned long keysym) override {
        mapped[keycode] = keysym;
        strokes.push_back({"remap", keycode, keysym, clock_.elapsed()});
        return true;
    }
    bool press(unsigned char keycode) override {
        const unsigned long keysym = keycode == 53 ? kLatinX : mapped[keycode];
        strokes.push_back({"press", keycode, keysym, clock_.elapsed()});
        typed.push_back(keysym);
        return keycode != refusedKeycode;
    }
    bool key(unsigned long keysym, bool down) override {
        strokes.push_back({down ? "down" : "up", 0, keysym, clock_.elapsed()});
        return true;
    }

    std::vector<Stroke> strokes;
    std::vector<unsigned long> typed;
    std::map<unsigned, unsigned long> mapped;
    unsigned refusedKeycode = 0;

  private:
    sim::VirtualClock& clock_;
};

class KeyTypingTest : public ::testing::Test {
  protected:
    sim::VirtualClock clock;
    sim::CapturedLog log;
    RecordingStrokes strokes{clock};
};

TEST_F(KeyTypingTest, KeysGoOutOnTheNextTurnInOrder) {
    KeyTypingSequence typing(strokes, {200, 199, 198}, clock, log);
    typing.type(kA);
    typing.type(kLatinX);
    typing.type(kI);
    typing.key(kBackSpace, true);
    typing.key(kBackSpace, false);
    EXPECT_TRUE(strokes.strokes.empty());
    clock.advance(0);
    EXPECT_EQ(strokes.strokes, (std::vector<Stroke>{{"remap", 200, kA, 0},
                                                    {"press", 200, kA, 0},
                                                    {"press", 53, kLatinX, 0},
                                                    {"remap", 199, kI, 0},
                                                    {"press", 199, kI, 0},
                                                    {"down", 0, kBackSpace, 0},
                                                    {"up", 0, kBackSpace, 0}}));
    EXPECT_EQ(typing.pending(), 0u);
}

TEST_F(KeyTypingTest, MoreKeysymsThanSpareKeysWaitOutTheQuarantineOnATimer) {
    KeyTypingSequence typing(strokes, {200, 199}, clock, log);
    for (unsigned long k : {kA, kI, kA, kU, kE})
        typing.type(k);
    typing.key(kBackSpace, true);
    clock.advance(0);
    // あ い あ typed at once (あ finds its key still mapped); う needs a key
    // pressed a moment ago and waits, with everything after it.
    EXPECT_EQ(strokes.typed, (std::vector<unsigned long>{kA, kI, kA}));
    EXPECT_EQ(typing.pending(), 3u);
    clock.advance(kRemapQuarantineSeconds - 0.01);
    EXPECT_EQ(strokes.typed.size(), 3u);
    clock.advance(0.01);
    EXPECT_EQ(strokes.typed, (std::vector<unsigned long>{kA, kI, kA, kU, kE}));
    EXPECT_EQ(typing.pending(), 0u);
    EXPECT_EQ(strokes.strokes.back(), (Stroke{"down", 0, kBackSpace, kRemapQuarantineSeconds}));

    // No key code took another keysym within the quarantine of its last
    // press, so a lagging target never reads a later character's keysym.
    std::map<unsigned, double> lastPress;
    for (const Stroke& s : strokes.strokes) {
        if (s.what == "press")
            lastPress[s.keycode] = s.at;
        if (s.what == "remap" && lastPress.contains(s.keycode)) {
            EXPECT_GE(s.at - lastPress[s.keycode], kRemapQuarantineSeconds - 1e-9)
                << "key code " << s.keycode;
        }
    }
}

TEST_F(KeyTypingTest, KeysQueuedWhileATimerWaitsComeAfterTheWaitingOnes) {
    KeyTypingSequence typing(strokes, {200}, clock, log);
    typing.type(kA);
    typing.type(kI);
    clock.advance(0.1);
    ASSERT_EQ(strokes.typed, (std::vector<unsigned long>{kA}));
    typing.type(kLatinX);  // has its own key, yet waits behind い
    clock.advance(0);
    EXPECT_EQ(strokes.typed, (std::vector<unsigned long>{kA}));
    clock.advance(0.3);
    EXPECT_EQ(strokes.typed, (std::vector<unsigned long>{kA, kI, kLatinX}));
}

TEST_F(KeyTypingTest, DroppedKeysOfThisTurnNeverReachTheTarget) {
    KeyTypingSequence typing(strokes, {200, 199}, clock, log);
    typing.type(kA);
    clock.advance(0);
    typing.type(kI);
    typing.type(kU);
    ASSERT_TRUE(typing.holding());
    typing.dropHeld();
    clock.advance(1);
    EXPECT_EQ(strokes.typed, (std::vector<unsigned long>{kA}));
    EXPECT_EQ(typing.pending(), 0u);
}

TEST_F(KeyTypingTest, ARefusedPressDropsTheRestAndSaysSo) {
    KeyTypingSequence typing(strokes, {200, 199}, clock, log);
    strokes.refusedKeycode = 199;
    for (unsigned long k : {kA, kI, kU})
        typing.type(k);
    clock.advance(1);
    EXPECT_EQ(strokes.typed, (std::vector<unsigned long>{kA, kI}));
    EXPECT_EQ(typing.pending(), 0u);
    EXPECT_TRUE(log.contains("a synthetic key press was refused"));
}

TEST_F(KeyTypingTest, WhatCanBeTyped) {
    KeyTypingSequence withSpare(strokes, {200}, clock, log);
    KeyTypingSequence withoutSpare(strokes, {}, clock, log);
    EXPECT_TRUE(withSpare.canType(kA));
    EXPECT_TRUE(withSpare.canType(kLatinX));
    EXPECT_FALSE(withSpare.canType(0));
    EXPECT_FALSE(withoutSpare.canType(kA));
    EXPECT_TRUE(withoutSpare.canType(kLatinX));
}

TEST_F(KeyTypingTest, AWaitingSequenceDestroyedTypesNothingMore) {
    auto typing =
        std::make_unique<KeyTypingSequence>(strokes, std::vector<unsigned char>{200}, clock, log);
    typing->type(kA);
    typing->type(kI);
    clock.advance(0);
    typing.reset();
    clock.advance(1);
    EXPECT_EQ(strokes.typed, (std::vector<unsigned long>{kA}));
}

TEST(InputMethod, WhichInputMethodConverts) {
    struct Row {
        std::map<std::string, std::string> environment;
        std::vector<std::string> servers;
        std::string expected;
    };
    const Row rows[] = {
        {{}, {}, ""},
        {{{"GTK_IM_MODULE", "ibus"}}, {}, "ibus"},
        {{{"QT_IM_MODULE", "fcitx"}}, {}, "fcitx"},
        {{{"GTK_IM_MODULE", "fcitx5:ibus"}}, {}, "fcitx5"},
        {{{"GTK_IM_MODULE", "IBus"}}, {}, "ibus"},
        {{{"GTK_IM_MODULE", "simple"}, {"QT_IM_MODULE", "compose"}}, {}, ""},
        // XIM converts only through a running server.
        {{{"GTK_IM_MODULE", "xim"}, {"XMODIFIERS", "@im=ibus"}}, {}, ""},
        {{{"GTK_IM_MODULE", "xim"}, {"XMODIFIERS", "@im=ibus"}}, {"ibus"}, "ibus"},
        // GTK takes a running IBus without being told.
        {{}, {"ibus"}, "ibus"},
        {{{"GTK_IM_MODULE", "simple"}}, {"fcitx"}, "fcitx"},
    };
    for (const Row& row : rows) {
        EXPECT_EQ(convertingInputMethod({row.environment, row.servers}), row.expected)
            << row.expected;
    }
}

TEST(InputMethod, RunningAndConvertingReadTheSameSignals) {
    struct Row {
        const char* why;
        std::map<std::string, std::string> environment;
        std::vector<std::string> servers;
        std::vector<std::string> busNames;
        bool running;
        std::string converting;
    };
    const Row rows[] = {
        {"nothing at all", {}, {}, {}, false, ""},
        // A server converts whatever our own XMODIFIERS says.
        {"a listed XIM server", {}, {"fcitx"}, {}, true, "fcitx"},
        {"a daemon and its module",
         {{"GTK_IM_MODULE", "ibus"}},
         {},
         {"org.freedesktop.IBus"},
         true,
         "ibus"},
        // The desktop's own settings may hand the target's keys to it.
        {"a daemon alone", {}, {}, {"org.fcitx.Fcitx5"}, true, "fcitx"},
        {"an IBus daemon alone", {}, {}, {"org.freedesktop.IBus"}, true, "ibus"},
        // Typing stays careful while bursts count as plain typing.
        {"a module with nothing behind it", {{"QT_IM_MODULE", "fcitx"}}, {}, {}, false, "fcitx"},
        {"XIM asked for and not running",
         {{"GTK_IM_MODULE", "xim"}, {"XMODIFIERS", "@im=ibus"}},
         {},
         {},
         false,
         ""},
    };
    for (const Row& row : rows) {
        const InputMethodSignals seen{row.environment, row.servers, row.busNames};
        EXPECT_EQ(inputMethodRunning(seen), row.running) << row.why;
        EXPECT_EQ(convertingInputMethod(seen), row.converting) << row.why;
    }
}

TEST(InputMethod, WhatAConverterTakes) {
    for (char32_t c : {U'a', U'Z', U'0', U' ', U'-', U',', U'.', U'~', U'\u00A5'})
        EXPECT_TRUE(convertedByInputMethod(c)) << static_cast<unsigned>(c);
    for (char32_t c :
         {U'\n', U'\t', U'あ', U'ア', U'雨', U'、', U'。', U'\U0001F600', U'\U00020BB7', U'\uFF41'})
        EXPECT_FALSE(convertedByInputMethod(c)) << static_cast<unsigned>(c);
}

}  // namespace
}  // namespace mivo::linux_desktop
