#include "app/keys.h"

namespace velorixa::app {

namespace {

// xkb key codes (Linux evdev code + 8) of the digit row and the key left of 1.
int VirtualKeyFromScanCode(std::uint32_t scanCode) {
    if (scanCode == 49) return vk::kLeftOf1;
    if (scanCode >= 10 && scanCode <= 18) return 49 + static_cast<int>(scanCode - 10);  // 1..9
    if (scanCode == 19) return 48;                                                      // 0
    return 0;
}

int KeypadKey(int qtKey) {
    if (qtKey >= Qt::Key_0 && qtKey <= Qt::Key_9) return vk::kNumpad0 + (qtKey - Qt::Key_0);
    switch (qtKey) {
        case Qt::Key_Asterisk:
            return vk::kMultiply;
        case Qt::Key_Plus:
            return vk::kAdd;
        case Qt::Key_Minus:
            return vk::kSubtract;
        case Qt::Key_Slash:
            return vk::kDivide;
        case Qt::Key_Enter:
        case Qt::Key_Return:
            return vk::kReturn;
        case Qt::Key_Period:
        case Qt::Key_Comma:
        case Qt::Key_Delete:  // the decimal key with Num Lock off
            return vk::kSeparator;
        default:
            return 0;  // navigation keys of the block: their ordinary codes
    }
}

// The US digit-row symbols typed with Shift, for events that carry no scan code.
int ShiftedDigitRow(int qtKey) {
    switch (qtKey) {
        case Qt::Key_Exclam:
            return 49;
        case Qt::Key_At:
            return 50;
        case Qt::Key_NumberSign:
            return 51;
        case Qt::Key_Dollar:
            return 52;
        case Qt::Key_Percent:
            return 53;
        case Qt::Key_AsciiCircum:
            return 54;
        case Qt::Key_Ampersand:
            return 55;
        case Qt::Key_Asterisk:
            return 56;
        case Qt::Key_ParenLeft:
            return 57;
        case Qt::Key_ParenRight:
            return 48;
        case Qt::Key_AsciiTilde:
            return vk::kLeftOf1;
        case Qt::Key_Underscore:
            return 189;
        case Qt::Key_Plus:
            return 187;
        case Qt::Key_Colon:
            return 186;
        case Qt::Key_Less:
            return 188;
        case Qt::Key_Greater:
            return 190;
        case Qt::Key_Question:
            return 191;
        case Qt::Key_BraceLeft:
            return 219;
        case Qt::Key_Bar:
            return 220;
        case Qt::Key_BraceRight:
            return 221;
        case Qt::Key_QuoteDbl:
            return 222;
        default:
            return 0;
    }
}

int OrdinaryKey(int qtKey) {
    if (qtKey >= Qt::Key_A && qtKey <= Qt::Key_Z) return qtKey;  // same codes: 65..90
    if (qtKey >= Qt::Key_0 && qtKey <= Qt::Key_9) return qtKey;  // 48..57
    if (qtKey >= Qt::Key_F1 && qtKey <= Qt::Key_F24) return vk::kF1 + (qtKey - Qt::Key_F1);
    switch (qtKey) {
        case Qt::Key_Backspace:
            return vk::kBack;
        case Qt::Key_Tab:
        case Qt::Key_Backtab:  // Shift+Tab
            return vk::kTab;
        case Qt::Key_Clear:
            return 12;
        case Qt::Key_Return:
        case Qt::Key_Enter:
            return vk::kReturn;
        case Qt::Key_Shift:
            return vk::kShift;
        case Qt::Key_Control:
            return vk::kControl;
        case Qt::Key_Alt:
        case Qt::Key_AltGr:  // the right Alt key of most European layouts
            return vk::kAlt;
        case Qt::Key_Pause:
            return 19;
        case Qt::Key_CapsLock:
            return 20;
        case Qt::Key_Escape:
            return vk::kEscape;
        case Qt::Key_Space:
            return vk::kSpace;
        case Qt::Key_PageUp:
            return 33;
        case Qt::Key_PageDown:
            return 34;
        case Qt::Key_End:
            return 35;
        case Qt::Key_Home:
            return 36;
        case Qt::Key_Left:
            return 37;
        case Qt::Key_Up:
            return vk::kUp;
        case Qt::Key_Right:
            return 39;
        case Qt::Key_Down:
            return vk::kDown;
        case Qt::Key_Print:
            return 44;
        case Qt::Key_Insert:
            return 45;
        case Qt::Key_Delete:
            return 46;
        case Qt::Key_Meta:
        case Qt::Key_Super_L:
            return 91;
        case Qt::Key_Super_R:
            return 92;
        case Qt::Key_Menu:
            return 93;
        case Qt::Key_NumLock:
            return vk::kNumLock;
        case Qt::Key_ScrollLock:
            return 145;
        case Qt::Key_Semicolon:
            return 186;
        case Qt::Key_Equal:
        case Qt::Key_Plus:  // a key of its own on German and Nordic layouts
            return 187;
        case Qt::Key_Comma:
            return 188;
        case Qt::Key_Minus:
            return 189;
        case Qt::Key_Period:
            return 190;
        case Qt::Key_Slash:
            return 191;
        case Qt::Key_QuoteLeft:
        case Qt::Key_Dead_Circumflex:  // German "^"
        case Qt::Key_AsciiCircum:      // German "^" without dead keys
        case Qt::Key_twosuperior:      // French "²"
            return vk::kLeftOf1;
        case Qt::Key_BracketLeft:
            return 219;
        case Qt::Key_Backslash:
            return 220;
        case Qt::Key_BracketRight:
            return 221;
        case Qt::Key_Apostrophe:
            return 222;
        default:
            return 0;
    }
}

}  // namespace

int VirtualKeyFromQt(int qtKey, Qt::KeyboardModifiers modifiers, std::uint32_t nativeScanCode) {
    if (modifiers & Qt::KeypadModifier) {
        if (const int code = KeypadKey(qtKey)) return code;
    } else if (const int code = VirtualKeyFromScanCode(nativeScanCode)) {
        return code;
    }
    if (modifiers & Qt::ShiftModifier) {
        if (const int code = ShiftedDigitRow(qtKey)) return code;
    }
    return OrdinaryKey(qtKey);
}

bool IsUndoKey(int qtKey, Qt::KeyboardModifiers modifiers) {
    const Qt::KeyboardModifiers chord =
        modifiers & (Qt::ControlModifier | Qt::ShiftModifier | Qt::AltModifier | Qt::MetaModifier);
    return qtKey == Qt::Key_Z && chord == Qt::ControlModifier;
}

KeyAction CommandForKey(int virtualKey, const KeyContext& context) {
    const int k = virtualKey;
    if (context.shift) {
        // Keys no command uses with Shift: the table below stays as it is for every key.
        switch (k) {
            case vk::kLeft:
                return {KeyCommand::Seek, -kSeekShortSec};
            case vk::kRight:
                return {KeyCommand::Seek, kSeekShortSec};
            case vk::kPageUp:
                return {KeyCommand::Seek, -kSeekLongSec};
            case vk::kPageDown:
                return {KeyCommand::Seek, kSeekLongSec};
            default:
                break;
        }
    }
    switch (k) {
        case vk::kBack:
            return {KeyCommand::SwitchList, 0};
        case vk::kNumLock:
            return {KeyCommand::Stop, 0};
        case vk::kDivide:
            return {KeyCommand::Previous, 0};
        case vk::kMultiply:
            return {KeyCommand::Play, 0};
        case vk::kSubtract:
            return {KeyCommand::Next, 0};
        case vk::kAdd:
            return {KeyCommand::ToggleRepeat, 0};
        case vk::kSeparator:
        case vk::kReturn:
            return {KeyCommand::TogglePause, 0};
        case vk::kSpace:
            return {KeyCommand::InitialSound, 0};
        case vk::kUp:
            return context.page == 0 ? KeyAction{KeyCommand::ListUp, 0} : KeyAction{};
        case vk::kDown:
            return context.page == 0 ? KeyAction{KeyCommand::ListDown, 0} : KeyAction{};
        case vk::kLeftOf1:
            return {KeyCommand::MasterVolume, 0};
        case 48:
            return {KeyCommand::MasterVolume, 10};
        case vk::kF9:
            return {KeyCommand::Record, 0};
        case vk::kF10:
            return {KeyCommand::ControllerLearn, 0};
        default:
            break;
    }
    if (k >= vk::kF1 && k <= vk::kF1 + 7) return {KeyCommand::LoadSet, k - (vk::kF1 - 1)};
    if (k >= 65 && k <= 90) {
        const int key = k - 64;
        return context.performanceEnabled.test(static_cast<size_t>(key))
                   ? KeyAction{KeyCommand::PerformanceKey, key}
                   : KeyAction{};
    }
    if (k >= 49 && k <= 57) return {KeyCommand::MasterVolume, k - 48};
    return {};
}

KeyRelease ReleaseOfCommand(KeyCommand command) {
    switch (command) {
        case KeyCommand::InitialSound:
            return KeyRelease::InitialSound;
        case KeyCommand::SwitchList:
            return KeyRelease::SwitchList;
        case KeyCommand::Stop:
            return KeyRelease::Stop;
        case KeyCommand::Previous:
            return KeyRelease::Previous;
        case KeyCommand::Play:
            return KeyRelease::Play;
        case KeyCommand::Next:
            return KeyRelease::Next;
        default:
            return KeyRelease::None;
    }
}

KeyRelease ReleaseForKey(int virtualKey) {
    switch (virtualKey) {
        case vk::kSpace:
            return KeyRelease::InitialSound;
        case vk::kBack:
            return KeyRelease::SwitchList;
        case vk::kNumLock:
            return KeyRelease::Stop;
        case vk::kDivide:
            return KeyRelease::Previous;
        case vk::kMultiply:
            return KeyRelease::Play;
        case vk::kSubtract:
            return KeyRelease::Next;
        case vk::kEscape:
            return KeyRelease::ExitQuestion;
        default:
            return KeyRelease::None;
    }
}

KeyCommands::Down KeyCommands::KeyDown(int virtualKey, bool flagText, const KeyContext& context) {
    Down down;
    if (virtualKey == vk::kTab) down.tabMoveMode = 0;  // also while another key is held
    if (virtualKey == vk::kEscape) escapeDown_ = true;
    if (keyHeld_) return down;
    // Alt never holds the keys (the window consumes it before); Shift alone must not block the
    // letter it is pressed with.
    if (virtualKey != vk::kAlt && virtualKey != vk::kShift) keyHeld_ = true;
    if (virtualKey == vk::kControl) down.tabMoveMode = 1;
    if (flagText) return down;
    down.action = CommandForKey(virtualKey, context);
    // The cursor move clears the held flag, so a held arrow key walks the list; a held seek key
    // goes on seeking the same way.
    if (down.action.command == KeyCommand::ListUp || down.action.command == KeyCommand::ListDown ||
        down.action.command == KeyCommand::Seek)
        keyHeld_ = false;
    return down;
}

KeyRelease KeyCommands::KeyUp(int virtualKey, bool autoRepeat) {
    if (autoRepeat) return KeyRelease::None;
    keyHeld_ = false;
    if (virtualKey == vk::kEscape) {
        // Only an Escape pressed here asks; the release of an Escape that answered the question
        // (or was typed elsewhere) must not ask again.
        const bool pressedHere = escapeDown_;
        escapeDown_ = false;
        if (!pressedHere) return KeyRelease::None;
    }
    return ReleaseForKey(virtualKey);
}

bool KeyCommands::FormKeyDown(int virtualKey, bool* colourSwitch) {
    if (colourSwitch) *colourSwitch = false;
    if (virtualKey != vk::kAlt) return false;
    if (!keyHeld_) {
        keyHeld_ = true;
        if (colourSwitch) *colourSwitch = true;
    }
    return true;
}

}  // namespace velorixa::app
