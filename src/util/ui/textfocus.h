#pragma once
// Keeps `FlagText` in step with the focus of the window's text entry fields: set while one of
// them holds the focus, so the key commands and the position tick pause while the operator types.
//
// Thread contract: GUI thread only.

#include <QEvent>
#include <QObject>

#include "app/windowstate.h"

namespace velorixa {

class TextFocusFilter : public QObject {
  public:
    TextFocusFilter(WindowState& state, QObject* parent) : QObject(parent), state_(state) {}
    bool eventFilter(QObject* o, QEvent* e) override {
        if (e->type() == QEvent::FocusIn) state_.FlagText = true;
        if (e->type() == QEvent::FocusOut) state_.FlagText = false;
        return QObject::eventFilter(o, e);
    }

  private:
    WindowState& state_;
};

}  // namespace velorixa
