#include "perform/keyhelp.h"

#include <QStringList>

#include "util/rounding.h"

namespace velorixa::perform {

KeyHelp HelpForKey(int i) {
    if (i == 0) return {"Exit", "Program"};
    if (i >= 1 && i <= 8) return {"Load Set", QStringLiteral("File %1").arg(i)};
    if (i == 9) return {"Record", "Start / Stop"};
    if (i == 10) return {"Controller", "Learn"};
    if (i == 16) return {"Volume Min", ""};
    if (i >= 17 && i <= 25) {
        int percent = (i - 16) * 10;
        return {QStringLiteral("Volume %1%").arg(percent), percent == 50 ? "Nominal" : ""};
    }
    if (i == 26) return {"Volume Max", ""};
    if (i == 29) return {"Switch", " MP3 / NET"};
    if (i == 30 || i == 84 || i == 86) return {"Switch", "All Tabs"};
    if ((i >= 31 && i <= 40) || (i >= 45 && i <= 53) || (i >= 58 && i <= 64)) {
        return {"Performance", "Sample"};
    }
    if (i == 56 || i == 103) return {"Playback", "Pause"};
    if (i == 69 || i == 76) return {"Switch", "2,3 Tabs"};
    if (i == 71 || i == 73) return {"Switch", "Color"};
    if (i == 72) return {"Initial", "Sound"};
    // The seek keys: Shift with the arrows (5 s) or with Page Up / Page Down (30 s).
    if (i == 57 || i == 68) return {"Seek", QStringLiteral("with \u2190 \u2192 PgUp PgDn")};
    if (i == 79) return {"Seek", "Shift: back 30 s"};
    if (i == 82) return {"Seek", "Shift: on 30 s"};
    if (i == 83) return {"PlayList Line", "Move Up"};
    if (i == 85) return {"PlayList Line", "Move Down"};
    if (i == 87) return {"Playback", "Stop"};
    if (i == 88) return {"Playback", "Previous"};
    if (i == 89) return {"Playback", "Start"};
    if (i == 90) return {"Playback", "Next"};
    if (i == 102) return {"Playback", "Repeat"};
    return {};
}

QString KeyCaption(int i) {
    static const QStringList captions = [] {
        QStringList c;
        c << "Esc";
        for (int f = 1; f <= 12; ++f)
            c << QStringLiteral("F%1").arg(f);
        c << "Prt"
          << "Scr"
          << "Brk";  // 13..15 complete the top row
        c << "`";
        for (const char* d : {"1", "2", "3", "4", "5", "6", "7", "8", "9", "0"})
            c << d;
        c << "-"
          << "="
          << "Bksp"
          << "Tab";
        for (QChar ch : QStringLiteral("QWERTYUIOP"))
            c << QString(ch);
        c << "["
          << "]"
          << "\\"
          << "Caps";
        for (QChar ch : QStringLiteral("ASDFGHJKL"))
            c << QString(ch);
        c << ";"
          << "'"
          << "Enter"
          << "Shift";
        for (QChar ch : QStringLiteral("ZXCVBNM"))
            c << QString(ch);
        c << ","
          << "."
          << "/"
          << "Shift"
          << "Ctrl"
          << "Win"
          << "Alt"
          << "Space"
          << "Alt"
          << "Win"
          << "Menu"
          << "Ctrl"
          << "Ins"
          << "Home"
          << "PgUp"
          << "Del"
          << "End"
          << "PgDn" << QStringLiteral("\u2191")  // the arrows, as printed on the keys
          << QStringLiteral("\u2190") << QStringLiteral("\u2193") << QStringLiteral("\u2192")
          << "Num"
          << "/"
          << "*"
          << "-";
        for (const char* d : {"7", "8", "9", "4", "5", "6", "1", "2", "3", "0", "."})
            c << d;
        c << "+"
          << "Enter";
        return c;
    }();
    return i >= 0 && i < captions.size() ? captions[i] : QString();
}

QString CpuLabel(double percent) {
    return QString::number(util::RoundHalfEvenClamped(percent, 0, 1000000)) + " ";
}

}  // namespace velorixa::perform
