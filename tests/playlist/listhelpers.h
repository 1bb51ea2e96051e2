#pragma once
// Builds lists from a compact text form and prints them back, so a test states the whole
// expected list (order, selection, current row) in one line.

#include <QStringList>

#include <string>

#include "playlist/playlistmodel.h"

namespace listtest {

// "a *b c": lines a, b, c with b selected.
inline velorixa::playlist::PlaylistModel Make(const QString& spec) {
    velorixa::playlist::PlaylistModel m;
    for (const QString& word : spec.split(u' ', Qt::SkipEmptyParts)) {
        const bool sel = word.startsWith(u'*');
        m.append(sel ? word.mid(1) : word, sel);
    }
    return m;
}

inline std::string Show(const velorixa::playlist::PlaylistModel& m) {
    QStringList words;
    for (int i = 0; i < m.count(); ++i)
        words << (m.isSelected(i) ? QStringLiteral("*") : QString()) + m.text(i);
    return words.join(u' ').toStdString();
}

}  // namespace listtest
