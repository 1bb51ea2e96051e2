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

TEST(VirtualKeyFromQt, KeysThatLookAlikeAreToldApart) {
    const auto kp = Qt::KeypadModifier;
    const auto shift = Qt::ShiftModifier;
    struct Case {
        int qtKey;
        Qt::KeyboardModifiers mods;
        std::uint32_t scan;
        int vk;
        const char* what;
    } cases[] = {
        // The numeric block by the keypad modifier, and its main-block twins.
        {Qt::Key_Slash, kp, 0, 111, "numeric /"},
        {Qt::Key_Slash, {}, 0, 191, "main /"},
        {Qt::Key_Enter, kp, 0, 13, "numeric Enter"},
        {Qt::Key_Comma, kp, 0, 108, "decimal comma"},
        {Qt::Key_Delete, kp, 0, 108, "decimal key with Num Lock off"},
        {Qt::Key_Delete, {}, 0, 46, "Delete"},
        {Qt::Key_Up, kp, 0, 38, "keypad 8 with Num Lock off"},
        {Qt::Key_1, kp, 12, 97, "keypad modifier wins over a digit-row scan code"},
        {Qt::Key_Backtab, shift, 0, 9, "Shift+Tab"},
        {Qt::Key_AltGr, {}, 0, 18, "AltGr"},
        {Qt::Key_Adiaeresis, {}, 0, 0, "no code"},
        // The digit row and the key left of 1 by position, whatever the layout prints.
        {Qt::Key_QuoteLeft, {}, 0, 192, "US key left of 1"},
        {Qt::Key_Dead_Circumflex, {}, 0, 192, "German key left of 1"},
        {Qt::Key_Exclam, shift, 0, 49, "US Shift+1"},
        {Qt::Key_Ampersand, {}, 10, 49, "AZERTY 1"},
        {Qt::Key_Agrave, {}, 19, 48, "AZERTY 0"},
        {Qt::Key_AsciiCircum, {}, 49, 192, "key left of 1 by scan code"},
        {Qt::Key_A, {}, 38, 65, "a scan code outside the row changes nothing"},
    };
    for (const Case& c : cases)
        EXPECT_EQ(Vk(c.qtKey, c.mods, c.scan), c.vk) << c.what;
}

TEST(CommandForKey, PageAndEnabledKeysDecide) {
    struct Case {
        int vk;
        KeyContext ctx;
        KeyAction action;
    } cases[] = {
        {144, Page(1), {KeyCommand::Stop, 0}},
        {106, Page(0), {KeyCommand::Play, 0}},   // the transport works on every page
        {38, Page(0), {KeyCommand::ListUp, 0}},  // Up and Down only on page 0
        {40, Page(2), {KeyCommand::None, 0}},
        {112, Page(1), {KeyCommand::LoadSet, 1}},
        {119, Page(1), {KeyCommand::LoadSet, 8}},
        {120, Page(1), {KeyCommand::Record, 0}},  // F9: recording, on every page
        {120, Page(0), {KeyCommand::Record, 0}},
        {121, Page(1), {KeyCommand::ControllerLearn, 0}},  // F10
        {122, Page(1), {KeyCommand::None, 0}},             // F11
        {90, Page(2, {1, 26}), {KeyCommand::PerformanceKey, 26}},
        {66, Page(2, {1, 26}), {KeyCommand::None, 0}},  // B holds nothing
        {192, Page(1), {KeyCommand::MasterVolume, 0}},
        {97, Page(1), {KeyCommand::None, 0}},  // numeric digits are not volume keys
        {27, Page(1), {KeyCommand::None, 0}},  // Escape acts on its release
    };
    for (const Case& c : cases)
        EXPECT_EQ(CommandForKey(c.vk, c.ctx), c.action) << c.vk << " on page " << c.ctx.page;
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

    // Alt switches colours once per press (the display tests press it through the window) and
    // never holds other keys when it comes through to the tab control.
    bool colour = false;
    EXPECT_FALSE(keys.FormKeyDown(65, &colour));
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

    // With a text field focused no command runs (the window's text-field test types into one),
    // but Ctrl still walks the pages.
    EXPECT_EQ(keys.KeyDown(17, true, ctx).tabMoveMode, 1);
}

TEST(KeyCommands, HeldArrowWalksTheListAndReleasesNameTheirButtons) {
    KeyCommands keys;
    const KeyContext ctx = Page(0);
    for (int i = 0; i < 3; ++i)
        EXPECT_EQ(keys.KeyDown(40, false, ctx).action.command, KeyCommand::ListDown) << i;
    keys.KeyUp(40);

    const std::pair<int, KeyRelease> releases[] = {
        {32, KeyRelease::InitialSound}, {8, KeyRelease::SwitchList}, {144, KeyRelease::Stop},
        {111, KeyRelease::Previous},    {106, KeyRelease::Play},     {109, KeyRelease::Next},
        {65, KeyRelease::None},         {107, KeyRelease::None}};
    for (auto [vk, release] : releases)
        EXPECT_EQ(keys.KeyUp(vk), release) << vk;
    // Escape asks on the release of a press seen here, once: the release of the Escape that
    // answered the question (its press went to the question) asks nothing.
    EXPECT_EQ(keys.KeyUp(27), KeyRelease::None);
    keys.KeyDown(27, false, ctx);
    EXPECT_EQ(keys.KeyUp(27, true), KeyRelease::None);
    EXPECT_EQ(keys.KeyUp(27), KeyRelease::ExitQuestion);
    EXPECT_EQ(keys.KeyUp(27), KeyRelease::None);
}

// Shift with the arrows and Page Up / Page Down seeks; with Shift every other key does what it
// does without it, on every page, with and without enabled performance keys.
TEST(CommandForKey, ShiftSeeksWithArrowsAndPagesAndLeavesEveryOtherKeyAsItWas) {
    const struct {
        int vk;
        int seconds;
    } seeks[] = {{37, -5}, {39, 5}, {33, -30}, {34, 30}};
    for (const KeyContext& base : {Page(0), Page(1, {1, 5, 26}), Page(2), Page(3, {2})}) {
        KeyContext shifted = base;
        shifted.shift = true;
        for (int vk = 0; vk < 256; ++vk) {
            const KeyAction plain = CommandForKey(vk, base);
            KeyAction expected = plain;
            for (const auto& s : seeks) {
                if (s.vk == vk) {
                    EXPECT_EQ(plain, KeyAction{}) << vk << ": a seek key has no command of its own";
                    expected = {KeyCommand::Seek, s.seconds};
                }
            }
            EXPECT_EQ(CommandForKey(vk, shifted), expected) << vk << " on page " << base.page;
        }
    }
}

TEST(KeyCommands, AHeldSeekKeyGoesOnSeekingAndTypingSeeksNothing) {
    KeyCommands keys;
    KeyContext ctx = Page(1);
    ctx.shift = true;
    keys.KeyDown(16, false, ctx);  // Shift first
    for (int i = 0; i < 3; ++i)
        EXPECT_EQ(keys.KeyDown(39, false, ctx).action, (KeyAction{KeyCommand::Seek, 5})) << i;
    keys.KeyUp(39);
    EXPECT_EQ(keys.KeyDown(34, true, ctx).action, KeyAction{}) << "a text field has the focus";
    keys.KeyUp(34);
    // A letter held before: the seek key waits for it, as every key does.
    keys.KeyDown(65, false, Page(1, {1}));
    EXPECT_EQ(keys.KeyDown(37, false, ctx).action, KeyAction{});
}

// A controller's pad let go releases what the key of its command releases when it comes up.
TEST(KeyTable, ReleaseOfACommandIsThatOfItsKey) {
    KeyContext ctx;
    ctx.performanceEnabled.set();
    int paired = 0;
    for (int vk = 1; vk < 256; ++vk) {
        const KeyAction a = CommandForKey(vk, ctx);
        if (a.command == KeyCommand::None) continue;
        EXPECT_EQ(ReleaseOfCommand(a.command), ReleaseForKey(vk)) << vk;
        paired += ReleaseForKey(vk) != KeyRelease::None;
    }
    EXPECT_EQ(paired, 6);  // Space, Backspace, Num Lock, numeric "/", "*" and "-"
}

TEST(IsUndoKey, OnlyCtrlWithZ) {
    const auto ctrl = Qt::ControlModifier;
    const struct {
        int qtKey;
        Qt::KeyboardModifiers mods;
        bool undo;
    } cases[] = {
        {Qt::Key_Z, ctrl, true},
        {Qt::Key_Z, ctrl | Qt::KeypadModifier, true},
        {Qt::Key_Z, {}, false},  // the letter key Z
        {Qt::Key_Z, Qt::ShiftModifier, false},
        {Qt::Key_Z, ctrl | Qt::ShiftModifier, false},  // redo elsewhere; nothing here
        {Qt::Key_Z, ctrl | Qt::AltModifier, false},
        {Qt::Key_Z, ctrl | Qt::MetaModifier, false},
        {Qt::Key_Y, ctrl, false},
        {Qt::Key_Control, ctrl, false},
    };
    for (const auto& c : cases)
        EXPECT_EQ(IsUndoKey(c.qtKey, c.mods), c.undo) << c.qtKey << " " << c.mods.toInt();
}

TEST(IsUndoKey, CtrlAndZKeepTheirCommandsInTheTable) {
    // Ctrl alone still switches pages on its key-down; Z alone is still a performance key.
    KeyCommands keys;
    KeyContext ctx = Page(0, {26});
    EXPECT_EQ(keys.KeyDown(vk::kControl, false, ctx).tabMoveMode, 1);
    keys.KeyUp(vk::kControl);
    EXPECT_EQ(keys.KeyDown(90, false, ctx).action, (KeyAction{KeyCommand::PerformanceKey, 26}));
}
