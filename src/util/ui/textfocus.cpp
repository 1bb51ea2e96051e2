#include "util/ui/textfocus.h"

#include <QEvent>
#include <QWidget>

namespace velorixa::util {

void TextFocus::watch(QWidget* field) {
    field->installEventFilter(this);
}

bool TextFocus::eventFilter(QObject* o, QEvent* e) {
    if (e->type() == QEvent::FocusIn) set(true);
    if (e->type() == QEvent::FocusOut) set(false);
    return QObject::eventFilter(o, e);
}

void TextFocus::set(bool on) {
    if (on == active_) return;
    active_ = on;
    emit changed(on);
}

}  // namespace velorixa::util
