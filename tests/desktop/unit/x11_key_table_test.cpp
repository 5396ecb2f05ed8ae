// Stored key codes and modifier masks against X keysyms and modifier masks.

#include <gtest/gtest.h>

#include <X11/X.h>
#include <X11/keysym.h>

#include <set>

#include "platform/linux/x11/x11_key_table.hpp"
#include "platform/linux/x11/x11_view_gestures.hpp"
#include "shared/hotkey_config.hpp"

namespace mivo::linux_desktop {
namespace {

TEST(KeyTable, KeyCodesAndKeysyms) {
    struct Row {
        uint32_t keyCode;
        unsigned long keysym;
    };
    const Row rows[] = {
        {38, XK_j},     {0, XK_a},       {9, XK_v},          {18, XK_1},        {29, XK_0},
        {49, XK_space}, {36, XK_Return}, {51, XK_BackSpace}, {117, XK_Delete},  {122, XK_F1},
        {123, XK_Left}, {126, XK_Up},    {93, XK_yen},       {76, XK_KP_Enter},
    };
    for (const auto& row : rows) {
        EXPECT_EQ(keysymForVirtualKey(row.keyCode), row.keysym) << row.keyCode;
        EXPECT_EQ(virtualKeyForKeysym(row.keysym), row.keyCode) << row.keyCode;
    }
    EXPECT_EQ(keysymForVirtualKey(0x34), std::nullopt);  // no key has 52
}

TEST(KeyTable, ShiftedKeysymsNameTheirKey) {
    EXPECT_EQ(virtualKeyForKeysym(XK_J), 38u);
    EXPECT_EQ(virtualKeyForKeysym(XK_exclam), 18u);
    EXPECT_EQ(virtualKeyForKeysym(XK_question), 44u);
    EXPECT_EQ(virtualKeyForKeysym(XK_ISO_Left_Tab), 48u);
    EXPECT_EQ(virtualKeyForKeysym(XK_Shift_L), std::nullopt);
}

TEST(KeyTable, EveryKeyCodeHasItsOwnKeysym) {
    // Two rows with one keysym would make one of the keys unrecordable.
    std::set<unsigned long> seen;
    for (uint32_t code = 0; code < 128; ++code) {
        const auto keysym = keysymForVirtualKey(code);
        if (!keysym)
            continue;
        EXPECT_TRUE(seen.insert(*keysym).second) << code;
        EXPECT_EQ(virtualKeyForKeysym(*keysym), code) << code;
    }
    EXPECT_GT(seen.size(), 100u);
}

TEST(KeyTable, CommandIsSuperAndOptionIsAlt) {
    using H = HotKeyConfig;
    EXPECT_EQ(x11ModifiersForMask(H::commandMask | H::shiftMask), Mod4Mask | ShiftMask);
    EXPECT_EQ(x11ModifiersForMask(H::optionMask | H::controlMask), Mod1Mask | ControlMask);
    EXPECT_EQ(x11ModifiersForMask(0x400), 0u);  // Caps Lock has no part in a shortcut
    EXPECT_EQ(modifierMaskForX11(Mod4Mask | ShiftMask | LockMask | Mod2Mask),
              H::commandMask | H::shiftMask);
    EXPECT_EQ(modifierMaskForX11(ControlMask | Mod1Mask), H::controlMask | H::optionMask);
}

// Keys that move a document or bring another page to the front hide the
// boxes before the application tells; keys that only type or move the
// caret in its line never do (the boxes would blink at every word).
TEST(KeyTable, KeysThatMoveTheView) {
    struct Row {
        unsigned long keysym;
        bool control;
        bool alt;
        bool moves;
    };
    const Row rows[] = {
        {XK_Page_Down, false, false, true},
        {XK_Page_Up, false, false, true},
        {XK_KP_Page_Down, false, false, true},
        {XK_Page_Down, true, false, true},
        {XK_Home, true, false, true},
        {XK_End, true, false, true},
        {XK_Home, false, false, false},
        {XK_End, false, false, false},
        {XK_t, true, false, true},
        {XK_t, false, false, false},
        {XK_t, true, true, false},  // a terminal's own shortcut
        {XK_n, true, false, true},
        {XK_w, true, false, true},
        {XK_Tab, true, false, true},
        {XK_Tab, false, false, false},
        {XK_Left, false, true, true},
        {XK_Left, false, false, false},
        {XK_Right, true, false, false},
        {XK_space, false, false, false},
        {XK_Return, true, false, false},
    };
    for (const auto& row : rows) {
        EXPECT_EQ(keyMovesView(row.keysym, row.control, row.alt), row.moves)
            << std::hex << row.keysym << " control " << row.control << " alt " << row.alt;
    }
}

TEST(KeyTable, APressIsADragFromThePointersFirstPixel) {
    // A scrollbar's thumb moves the page with its first pixel: the boxes
    // go then, not a few pixels of scrolled page later.
    struct Row {
        int distance;
        int motions;
        bool drag;
    };
    const Row rows[] = {
        {0, 0, false},  // a click
        {1, 1, true},   // the thumb taken one pixel on
        {0, 1, false},  // a move heard before the press was
        {0, 2, true},   // and the pointer goes on moving
    };
    for (const auto& row : rows) {
        EXPECT_EQ(pressIsDrag(row.distance, row.motions), row.drag)
            << row.distance << " px in " << row.motions << " moves";
    }
}

}  // namespace
}  // namespace mivo::linux_desktop
