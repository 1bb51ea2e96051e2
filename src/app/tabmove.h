#pragma once
// Page walking of the tab control by keyboard: Tab sweeps 0, 1, 2, 3, 2, 1, 0, 1, ... and Ctrl
// alternates between the performance pages 1 and 2.
//
// Thread contract: a pure function; any thread.

namespace velorixa::app {

inline constexpr int kPageCount = 4;

// `TabMove`: the page to show after the Tab key (mode 0) or the Ctrl key (mode 1) with page in
// front and prevTab the page shown before it (`PrevTab`). Where the sweep's direction cannot be
// told from prevTab (it equals page, or is out of 0..3) it goes on towards page 3. A page out of
// 0..3 goes to page 0.
int TabMove(int mode, int page, int prevTab);

}  // namespace velorixa::app
