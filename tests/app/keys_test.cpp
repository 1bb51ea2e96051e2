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
        {120, Page(1), {KeyCommand::None, 0}},  // F9
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
