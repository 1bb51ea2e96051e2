#pragma once
// Window-level values that several subsystems read and write. The window owns one instance and
// hands it to each page and panel; nothing reaches it through a global. The header stands alone
// (no library behind it), so the panels of every subsystem can take it.
//
// Thread contract: GUI thread only.

namespace velorixa {

struct WindowState {
    bool FlagText = false;  // a text entry has the focus: key commands and the position tick pause
    bool KeyHeld = false;   // a key is down on the tab control; written by the key commands only
    bool FlagDrag = false;  // the position bar is in use, or playback was stopped
    bool FocTabs = false;   // the tab control holds the keyboard focus
    int FftRedraw = 0;      // 1: repaint the display pictures at the next focus tick
    int PrevTab = 0;        // page shown before the current one
};

}  // namespace velorixa
