#pragma once
// Window-level values that several subsystems read and write. The window owns one instance and
// hands it to each page and panel; nothing reaches it through a global. The header stands alone
// (no library behind it), so the panels of every subsystem can take it.
//
// Thread contract: GUI thread only.

namespace velorixa {

struct WindowState {
    bool FocTabs = false;  // the tab control holds the keyboard focus
    int PrevTab = 0;       // page shown before the current one
};

}  // namespace velorixa
