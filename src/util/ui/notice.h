#pragma once
// A message that never stops the window: a box without a modal loop of its own, shown without
// taking the keyboard focus, so keys and playback go on while it stands; it goes away when
// closed.
//
// Thread contract: GUI thread only.

#include <QString>

class QWidget;

namespace velorixa::util {

void ShowNotice(QWidget* parent, const QString& title, const QString& text);

}  // namespace velorixa::util
