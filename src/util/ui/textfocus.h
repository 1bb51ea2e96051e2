#pragma once
// Whether one of the window's text entry fields holds the keyboard focus: while one does, the
// key commands and the position tick pause, so the operator can type. One instance for the
// window; each page hands it the fields it builds, and anyone who cares follows `changed`.
//
// Thread contract: GUI thread only.

#include <QObject>

class QWidget;

namespace velorixa::util {

class TextFocus : public QObject {
    Q_OBJECT
  public:
    explicit TextFocus(QObject* parent = nullptr) : QObject(parent) {}

    bool active() const { return active_; }
    // The field's focus now counts.
    void watch(QWidget* field);
    // The focus went elsewhere by the program's doing (a page change, a field hidden).
    void release() { set(false); }
    void set(bool on);

  signals:
    void changed(bool active);

  protected:
    bool eventFilter(QObject* o, QEvent* e) override;

  private:
    bool active_ = false;
};

}  // namespace velorixa::util
