#pragma once
// The window's message line: a strip along the window's bottom edge that tells the operator what
// went wrong (an item that could not be played, and why) without stopping anything. It takes no
// focus and no keys, so the keys and the music go on while it is shown; a click on it or the
// next message replaces it, and it goes by itself after a while.
//
// Thread contract: GUI thread only.

#include <QLabel>
#include <QTimer>

namespace velorixa {

class MessageLine : public QLabel {
    Q_OBJECT
  public:
    static constexpr int kShownMs = 15000;
    explicit MessageLine(QWidget* window);
    void showMessage(const QString& text);

  protected:
    void mousePressEvent(QMouseEvent* event) override;

  private:
    QTimer hideTimer_;
};

}  // namespace velorixa
