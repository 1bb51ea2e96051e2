#pragma once
// The main window's keyboard, without the window: Qt key events translated into the Windows
// virtual-key codes the key commands are written in, the command table of the tab control, and
// the key-held logic that gives one command per physical key press.
//
// Thread contract: KeyCommands is a plain object owned by the main window; window thread only.
// The free functions are pure.

#include <Qt>

#include <bitset>
#include <cstdint>

namespace velorixa::app {

// The virtual-key codes the commands use.
namespace vk {
inline constexpr int kBack = 8;
inline constexpr int kTab = 9;
inline constexpr int kReturn = 13;
inline constexpr int kShift = 16;
inline constexpr int kControl = 17;
inline constexpr int kAlt = 18;
inline constexpr int kEscape = 27;
inline constexpr int kSpace = 32;
inline constexpr int kPageUp = 33;
inline constexpr int kPageDown = 34;
inline constexpr int kLeft = 37;
inline constexpr int kUp = 38;
inline constexpr int kRight = 39;
inline constexpr int kDown = 40;
inline constexpr int kNumpad0 = 96;  // .. 105 numeric block 9
inline constexpr int kMultiply = 106;
inline constexpr int kAdd = 107;
inline constexpr int kSeparator = 108;
inline constexpr int kSubtract = 109;
inline constexpr int kDivide = 111;
inline constexpr int kF1 = 112;   // .. 123 F12
inline constexpr int kF9 = 120;   // recording on / off
inline constexpr int kF10 = 121;  // controller learn on / off
inline constexpr int kNumLock = 144;
inline constexpr int kLeftOf1 = 192;
}  // namespace vk

// The virtual-key code of a Qt key event; 0 when the key has none.
// - The numeric block is told by Qt::KeypadModifier: digits 96..105, "*" 106, "+" 107, "-" 109,
//   "/" 111, Enter 13; its decimal key is 108 (the commands' separator) with Num Lock on or off,
//   because Num Lock itself is the Stop key and toggles that key's meaning with every stop.
//   With Num Lock off the other keys of the block give their navigation codes, as on Windows.
// - nativeScanCode, when given (an X11/Wayland xkb key code, as QKeyEvent reports it on Linux),
//   places the digit row and the key left of 1 (192) by position, whatever the layout prints on
//   them (AZERTY digits need Shift; a German layout has "^" left of 1). Without it the Qt key
//   decides, and the US shifted symbols of the digit row count as their digits when Shift is
//   held.
// - Letters 65..90, digits 48..57, F1..F24 112..135, arrows 37..40, Tab (and Backtab) 9,
//   Backspace 8, Return 13, Shift 16, Ctrl 17, Alt and AltGr 18, Escape 27, Space 32, and the
//   other usual keys with their Windows codes.
int VirtualKeyFromQt(int qtKey, Qt::KeyboardModifiers modifiers, std::uint32_t nativeScanCode = 0);

// Ctrl+Z (by the key's label, without Shift, Alt or Meta): take back the last destructive
// action. Ctrl alone keeps its own command on its key-down (the page switch); the window puts
// the page back when Z follows while Ctrl is held.
bool IsUndoKey(int qtKey, Qt::KeyboardModifiers modifiers);

// The commands of the tab control's key-down table.
enum class KeyCommand {
    None,
    SwitchList,       // Backspace: music list <-> station list; `CmdSwitch` shown pressed
    Stop,             // Num Lock; `CmdStop` shown pressed
    Previous,         // numeric "/"; `CmdPrev` shown pressed
    Play,             // numeric "*"; `CmdPlay` shown pressed
    Next,             // numeric "-"; `CmdNext` shown pressed
    ToggleRepeat,     // numeric "+"
    TogglePause,      // numeric separator or Enter
    InitialSound,     // Space: `ButKbd(0)` pressed
    ListUp,           // Up on page 0: `CursorMove` 1
    ListDown,         // Down on page 0: `CursorMove` 2
    LoadSet,          // F1..F8: stop the style, release the keys, `LoadSetSlot` arg 1..8
    PerformanceKey,   // A..Z with its button enabled: press `ButKbd` arg 1..26
    MasterVolume,     // digits and the key left of 1: `MasVolKey` arg N 0..10
    Seek,             // Shift with Left/Right (arg -5/+5) or Page Up/Down (arg -30/+30): the
                      // playing file moves by arg seconds
    Record,           // F9: start or stop recording the output as heard
    ControllerLearn,  // F10: learn a controller binding on or off
};

// The seek keys: Shift with an arrow moves a file by this many seconds, Shift with Page Up or
// Page Down by the longer step. Without Shift these keys keep their own meaning (the arrows walk
// the pages, Page Up/Down do nothing).
inline constexpr int kSeekShortSec = 5;
inline constexpr int kSeekLongSec = 30;

struct KeyAction {
    KeyCommand command = KeyCommand::None;
    int arg = 0;  // slot 1..8, key 1..26, N 0..10 or seconds to seek; 0 otherwise
    bool operator==(const KeyAction&) const = default;
};

// What the command table asks of the window besides the command.
struct KeyContext {
    int page = 0;                        // page of `MenuTabs` in front, 0..3
    std::bitset<27> performanceEnabled;  // bit k: `ButKbd(k)` enabled, k = 1..26
    bool shift = false;                  // Shift is held with the key
};

// The command of a key-down on the tab control, by the table alone (no key-held or text-field
// logic; KeyCommands adds those).
KeyAction CommandForKey(int virtualKey, const KeyContext& context);

// The button a key-up releases, or the exit question of Escape.
enum class KeyRelease { None, InitialSound, SwitchList, Stop, Previous, Play, Next, ExitQuestion };
KeyRelease ReleaseForKey(int virtualKey);
// The release that goes with a command's key (a controller's pad let go).
KeyRelease ReleaseOfCommand(KeyCommand command);

// The key-down / key-up handling of `MenuTabs` and the window's own Alt handling.
class KeyCommands {
  public:
    KeyCommands() = default;
    KeyCommands(const KeyCommands&) = delete;
    KeyCommands& operator=(const KeyCommands&) = delete;

    struct Down {
        int tabMoveMode = -1;  // 0 (Tab) or 1 (Ctrl): run `TabMove` with it; -1: none
        KeyAction action;      // the command to run, if any
    };
    // KeyDown of the tab control. flagText: a text field has the focus (`FlagText`).
    // Auto-repeated key-downs come here like the first one; KeyHeld drops them.
    Down KeyDown(int virtualKey, bool flagText, const KeyContext& context);

    // KeyUp of the tab control. Clears KeyHeld (the window then gives `MenuTabs` the focus).
    // Auto-repeat key-ups, which X11 sends before every repeated key-down, are ignored:
    // Windows sends none, and taking them would fire a held key again and again. Escape asks
    // the exit question only when its key-down came here too.
    KeyRelease KeyUp(int virtualKey, bool autoRepeat = false);

    // The window's key-down, before its controls. Returns true when the key is the Alt key:
    // it is consumed (goes no further). *colourSwitch is set when `CmdMonitor_Click` must run,
    // i.e. at the first Alt key-down of a press.
    bool FormKeyDown(int virtualKey, bool* colourSwitch);

    // `KeyHeld`: a key is down.
    bool KeyHeld() const { return keyHeld_; }
    // `CursorMove` clears it, so a held Up or Down key walks the list.
    void ClearKeyHeld() { keyHeld_ = false; }

  private:
    bool keyHeld_ = false;
    bool escapeDown_ = false;  // an Escape key-down reached the tab control since its last key-up
};

}  // namespace velorixa::app
