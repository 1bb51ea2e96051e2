#pragma once
// Window-level values that several subsystems read and write. The window owns one instance and
// hands it to each page and panel; nothing reaches it through a global.
//
// Thread contract: GUI thread only.

#include <QString>

namespace velorixa {

struct WindowState {
    bool FlagText = false;   // a text entry has the focus: key commands and the position tick pause
    bool KeyHeld = false;    // a key is down on the tab control: blocks key repeat
    bool RotActive = false;  // at least one knob rotates
    bool FlagDrag = false;   // the position bar is in use, or playback was stopped
    bool FocTabs = false;    // the tab control holds the keyboard focus
    int FftRedraw = 0;       // 1: repaint the display pictures at the next focus tick
    int PrevTab = 0;         // page shown before the current one
    QString CmdFONTag;       // "1": a control change is made by the program itself
    int TimePerf = 101;      // wave tick interval in ms, read by the main loop at every pass
};

}  // namespace velorixa
