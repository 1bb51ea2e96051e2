#include "app/keys.h"

#include <gtest/gtest.h>

using namespace velorixa::app;

namespace {

int Vk(int qtKey, Qt::KeyboardModifiers mods = Qt::NoModifier, std::uint32_t scan = 0) {
    return VirtualKeyFromQt(qtKey, mods, scan);
}

KeyContext Page(int page, std::initializer_list<int> enabledKeys = {}) {
    KeyContext c;
    c.page = page;
    for (int k : enabledKeys)
        c.performanceEnabled.set(static_cast<size_t>(k));
    return c;
}

}  // namespace

TEST(VirtualKeyFromQt, NumericBlockByKeypadModifier) {
    const auto kp = Qt::KeypadModifier;
    EXPECT_EQ(Vk(Qt::Key_Slash, kp), 111);
    EXPECT_EQ(Vk(Qt::Key_Asterisk, kp), 106);
    EXPECT_EQ(Vk(Qt::Key_Minus, kp), 109);
    EXPECT_EQ(Vk(Qt::Key_Plus, kp), 107);
    EXPECT_EQ(Vk(Qt::Key_Enter, kp), 13);
    EXPECT_EQ(Vk(Qt::Key_Period, kp), 108);
    EXPECT_EQ(Vk(Qt::Key_Comma, kp), 108);   // layouts with a decimal comma
    EXPECT_EQ(Vk(Qt::Key_Delete, kp), 108);  // the same key with Num Lock off
    EXPECT_EQ(Vk(Qt::Key_NumLock), 144);
    for (int d = 0; d <= 9; ++d)
        EXPECT_EQ(Vk(Qt::Key_0 + d, kp), 96 + d) << d;
    EXPECT_EQ(Vk(Qt::Key_Up, kp), 38);  // Num Lock off: navigation, as on Windows
    EXPECT_EQ(Vk(Qt::Key_Home, kp), 36);
    // A keypad modifier wins over a scan code that happens to be in the digit-row range.
    EXPECT_EQ(Vk(Qt::Key_1, kp, 12), 97);
    // The main block's counterparts differ.
    EXPECT_EQ(Vk(Qt::Key_Slash), 191);
    EXPECT_EQ(Vk(Qt::Key_Minus), 189);
    EXPECT_EQ(Vk(Qt::Key_Return), 13);
    EXPECT_EQ(Vk(Qt::Key_Delete), 46);
}

TEST(VirtualKeyFromQt, LettersDigitsFunctionAndControlKeys) {
    for (int k = Qt::Key_A; k <= Qt::Key_Z; ++k)
        EXPECT_EQ(Vk(k), 65 + (k - Qt::Key_A));
    EXPECT_EQ(Vk(Qt::Key_Q, Qt::ShiftModifier), 81);
    for (int d = 0; d <= 9; ++d)
        EXPECT_EQ(Vk(Qt::Key_0 + d), 48 + d);
    for (int f = 0; f < 12; ++f)
        EXPECT_EQ(Vk(Qt::Key_F1 + f), 112 + f);
    EXPECT_EQ(Vk(Qt::Key_Tab), 9);
    EXPECT_EQ(Vk(Qt::Key_Backtab, Qt::ShiftModifier), 9);
    EXPECT_EQ(Vk(Qt::Key_Control), 17);
    EXPECT_EQ(Vk(Qt::Key_Alt), 18);
    EXPECT_EQ(Vk(Qt::Key_AltGr), 18);
    EXPECT_EQ(Vk(Qt::Key_Shift), 16);
    EXPECT_EQ(Vk(Qt::Key_Escape), 27);
    EXPECT_EQ(Vk(Qt::Key_Space), 32);
    EXPECT_EQ(Vk(Qt::Key_Backspace), 8);
    EXPECT_EQ(Vk(Qt::Key_Left), 37);
    EXPECT_EQ(Vk(Qt::Key_Up), 38);
    EXPECT_EQ(Vk(Qt::Key_Right), 39);
    EXPECT_EQ(Vk(Qt::Key_Down), 40);
    EXPECT_EQ(Vk(Qt::Key_Adiaeresis), 0);  // no code: ignored by the commands
    EXPECT_EQ(Vk(0), 0);
}

TEST(VirtualKeyFromQt, DigitRowAndKeyLeftOfOneByPosition) {
    EXPECT_EQ(Vk(Qt::Key_QuoteLeft), 192);                      // US
    EXPECT_EQ(Vk(Qt::Key_AsciiTilde, Qt::ShiftModifier), 192);  // US with Shift
    EXPECT_EQ(Vk(Qt::Key_Dead_Circumflex), 192);                // German
    EXPECT_EQ(Vk(Qt::Key_twosuperior), 192);                    // French
    EXPECT_EQ(Vk(Qt::Key_Exclam, Qt::ShiftModifier), 49);       // US Shift+1
    EXPECT_EQ(Vk(Qt::Key_ParenRight, Qt::ShiftModifier), 48);   // US Shift+0
    EXPECT_EQ(Vk(Qt::Key_AsciiCircum, Qt::ShiftModifier), 54);  // US Shift+6
    // xkb key codes place the row whatever the layout prints: AZERTY "&" and "à" are 1 and 0.
    EXPECT_EQ(Vk(Qt::Key_Ampersand, Qt::NoModifier, 10), 49);
    EXPECT_EQ(Vk(Qt::Key_Agrave, Qt::NoModifier, 19), 48);
    EXPECT_EQ(Vk(Qt::Key_5, Qt::NoModifier, 14), 53);
    EXPECT_EQ(Vk(Qt::Key_AsciiCircum, Qt::NoModifier, 49), 192);
    // Scan codes outside the row do not disturb other keys.
    EXPECT_EQ(Vk(Qt::Key_A, Qt::NoModifier, 38), 65);
}

TEST(CommandForKey, TransportAndListKeys) {
    const KeyContext p1 = Page(1);
    EXPECT_EQ(CommandForKey(8, p1), (KeyAction{KeyCommand::SwitchList, 0}));
    EXPECT_EQ(CommandForKey(144, p1), (KeyAction{KeyCommand::Stop, 0}));
    EXPECT_EQ(CommandForKey(111, p1), (KeyAction{KeyCommand::Previous, 0}));
    EXPECT_EQ(CommandForKey(106, p1), (KeyAction{KeyCommand::Play, 0}));
    EXPECT_EQ(CommandForKey(109, p1), (KeyAction{KeyCommand::Next, 0}));
    EXPECT_EQ(CommandForKey(107, p1), (KeyAction{KeyCommand::ToggleRepeat, 0}));
    EXPECT_EQ(CommandForKey(108, p1), (KeyAction{KeyCommand::TogglePause, 0}));
    EXPECT_EQ(CommandForKey(13, p1), (KeyAction{KeyCommand::TogglePause, 0}));
    EXPECT_EQ(CommandForKey(32, p1), (KeyAction{KeyCommand::InitialSound, 0}));
    // Up and Down only with page 0 in front.
    EXPECT_EQ(CommandForKey(38, Page(0)), (KeyAction{KeyCommand::ListUp, 0}));
    EXPECT_EQ(CommandForKey(40, Page(0)), (KeyAction{KeyCommand::ListDown, 0}));
    for (int page : {1, 2, 3}) {
        EXPECT_EQ(CommandForKey(38, Page(page)).command, KeyCommand::None) << page;
        EXPECT_EQ(CommandForKey(40, Page(page)).command, KeyCommand::None) << page;
    }
    // The transport works on every page, the hidden panels' pages included.
    for (int page : {0, 3})
        EXPECT_EQ(CommandForKey(106, Page(page)).command, KeyCommand::Play);
}

TEST(CommandForKey, SetsPerformanceKeysAndVolume) {
    for (int f = 1; f <= 8; ++f)
        EXPECT_EQ(CommandForKey(111 + f, Page(1)), (KeyAction{KeyCommand::LoadSet, f})) << f;
    EXPECT_EQ(CommandForKey(120, Page(1)).command, KeyCommand::None);  // F9
    EXPECT_EQ(CommandForKey(123, Page(1)).command, KeyCommand::None);  // F12

    const KeyContext ctx = Page(2, {1, 26});
    EXPECT_EQ(CommandForKey(65, ctx), (KeyAction{KeyCommand::PerformanceKey, 1}));   // A
    EXPECT_EQ(CommandForKey(90, ctx), (KeyAction{KeyCommand::PerformanceKey, 26}));  // Z
    EXPECT_EQ(CommandForKey(66, ctx).command, KeyCommand::None);                     // B disabled

    EXPECT_EQ(CommandForKey(192, Page(1)), (KeyAction{KeyCommand::MasterVolume, 0}));
    EXPECT_EQ(CommandForKey(48, Page(1)), (KeyAction{KeyCommand::MasterVolume, 10}));
    for (int d = 1; d <= 9; ++d)
        EXPECT_EQ(CommandForKey(48 + d, Page(1)), (KeyAction{KeyCommand::MasterVolume, d}));
    // Numeric-block digits are not volume keys.
    EXPECT_EQ(CommandForKey(97, Page(1)).command, KeyCommand::None);
    EXPECT_EQ(CommandForKey(27, Page(1)).command, KeyCommand::None);  // Escape acts on release
}

TEST(KeyCommands, OneCommandPerPressAndShiftAltNeverBlock) {
    KeyCommands keys;
    const KeyContext ctx = Page(1, {1, 2});
    // A held letter repeats its key-down: it fires once.
    EXPECT_EQ(keys.KeyDown(65, false, ctx).action.command, KeyCommand::PerformanceKey);
    EXPECT_EQ(keys.KeyDown(65, false, ctx).action.command, KeyCommand::None);
    // A second key while the first is held does nothing.
    EXPECT_EQ(keys.KeyDown(66, false, ctx).action.command, KeyCommand::None);
    // X11 auto-repeat releases do not end the press.
    EXPECT_EQ(keys.KeyUp(65, true), KeyRelease::None);
    EXPECT_TRUE(keys.KeyHeld());
    EXPECT_EQ(keys.KeyDown(65, false, ctx).action.command, KeyCommand::None);
    keys.KeyUp(65);
    EXPECT_EQ(keys.KeyDown(65, false, ctx).action, (KeyAction{KeyCommand::PerformanceKey, 1}));
    keys.KeyUp(65);

    // Shift down, then a letter: the letter fires.
    keys.KeyDown(16, false, ctx);
    EXPECT_FALSE(keys.KeyHeld());
    EXPECT_EQ(keys.KeyDown(66, false, ctx).action, (KeyAction{KeyCommand::PerformanceKey, 2}));
    keys.KeyUp(66);

    // Alt reaches the window first: it switches colours once per press and never holds
    // other keys when it comes through to the tab control.
    bool colour = false;
    EXPECT_TRUE(keys.FormKeyDown(18, &colour));
    EXPECT_TRUE(colour);
    EXPECT_TRUE(keys.FormKeyDown(18, &colour));
    EXPECT_FALSE(colour);
    keys.KeyUp(18);
    EXPECT_TRUE(keys.FormKeyDown(18, &colour));
    EXPECT_TRUE(colour);
    keys.KeyUp(18);
    EXPECT_FALSE(keys.FormKeyDown(65, &colour));
    EXPECT_FALSE(colour);
    keys.KeyDown(18, false, ctx);
    EXPECT_FALSE(keys.KeyHeld());
}

TEST(KeyCommands, TabCtrlAndTextFields) {
    KeyCommands keys;
    const KeyContext ctx = Page(1, {1});
    // Tab moves the page even while another key is held.
    keys.KeyDown(65, false, ctx);
    EXPECT_EQ(keys.KeyDown(9, false, ctx).tabMoveMode, 0);
    EXPECT_EQ(keys.KeyDown(17, false, ctx).tabMoveMode, -1);  // Ctrl is held off
    keys.KeyUp(65);
    EXPECT_EQ(keys.KeyDown(17, false, ctx).tabMoveMode, 1);
    EXPECT_EQ(keys.KeyDown(17, false, ctx).tabMoveMode, -1);  // held Ctrl: one move
    keys.KeyUp(17);

    // With a text field focused no command runs, but Ctrl and Tab still walk the pages.
    EXPECT_EQ(keys.KeyDown(65, true, ctx).action.command, KeyCommand::None);
    keys.KeyUp(65);
    EXPECT_EQ(keys.KeyDown(106, true, ctx).action.command, KeyCommand::None);
    keys.KeyUp(106);
    EXPECT_EQ(keys.KeyDown(17, true, ctx).tabMoveMode, 1);
    keys.KeyUp(17);
    EXPECT_EQ(keys.KeyDown(65, false, ctx).action.command, KeyCommand::PerformanceKey);
    keys.KeyUp(65);
}

TEST(KeyCommands, HeldArrowWalksTheListAndReleasesNameTheirButtons) {
    KeyCommands keys;
    const KeyContext ctx = Page(0);
    for (int i = 0; i < 3; ++i)
        EXPECT_EQ(keys.KeyDown(40, false, ctx).action.command, KeyCommand::ListDown) << i;
    keys.KeyUp(40);

    EXPECT_EQ(keys.KeyUp(32), KeyRelease::InitialSound);
    EXPECT_EQ(keys.KeyUp(8), KeyRelease::SwitchList);
    EXPECT_EQ(keys.KeyUp(144), KeyRelease::Stop);
    EXPECT_EQ(keys.KeyUp(111), KeyRelease::Previous);
    EXPECT_EQ(keys.KeyUp(106), KeyRelease::Play);
    EXPECT_EQ(keys.KeyUp(109), KeyRelease::Next);
    // Escape asks on the release of a press seen here, once: the release of the Escape that
    // answered the question (its press went to the question) asks nothing.
    EXPECT_EQ(keys.KeyUp(27), KeyRelease::None);
    keys.KeyDown(27, false, ctx);
    EXPECT_EQ(keys.KeyUp(27, true), KeyRelease::None);
    EXPECT_EQ(keys.KeyUp(27), KeyRelease::ExitQuestion);
    EXPECT_EQ(keys.KeyUp(27), KeyRelease::None);
    EXPECT_EQ(keys.KeyUp(65), KeyRelease::None);
    EXPECT_EQ(keys.KeyUp(107), KeyRelease::None);
}
