#pragma once
// The help keyboard: a 104-key picture whose keys name their function when clicked. Index
// layout: 0 Esc, 1..8 F1..F8, 9..15 the rest of the top row, 16 the key left of 1, 17..26 the
// digits 1..9 and 0, 27 -, 28 =, 29 Backspace, 30 Tab, 31..40 Q..P, 41..43 [ ] \, 44 Caps Lock,
// 45..53 A..L, 54 ;, 55 ', 56 Enter, 57 left Shift, 58..64 Z..M, 65..67 , . /, 68 right Shift,
// 69 left Ctrl, 70 left Windows, 71 left Alt, 72 Space, 73 right Alt, 74 right Windows,
// 75 Menu, 76 right Ctrl, 77..79 Insert Home PgUp, 80..82 Delete End PgDn, 83 Up, 84 Left,
// 85 Down, 86 Right, 87 Num Lock, 88 numeric /, 89 *, 90 -, 91..101 numeric 7 8 9 4 5 6 1 2 3 0
// and the point, 102 numeric +, 103 numeric Enter.
//
// Thread contract: pure functions; any thread.

#include <QString>

namespace velorixa::perform {

inline constexpr int kHelpKeyCount = 104;

struct KeyHelp {
    QString function;  // `TextHlp`
    QString detail;    // `CommHlp`
};

// The two help texts of a key of the picture; both empty for a key without a function.
KeyHelp HelpForKey(int index);

// The caption printed on a key of the picture.
QString KeyCaption(int index);

// `LblCPU`: the load in percent, halves to the even neighbour, then one blank.
QString CpuLabel(double percent);

}  // namespace velorixa::perform
