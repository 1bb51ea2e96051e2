#pragma once
// A page of the tab control whose children are placed in window coordinates: the canvas keeps
// itself at the window's origin, so every control sits at its fixed place whatever the height
// of the tab row.
//
// Thread contract: GUI thread only.

#include <QWidget>

namespace velorixa {

class PageCanvas : public QWidget {
  public:
    explicit PageCanvas(QWidget* page, QWidget* window);
    // Re-anchors the canvas at the window's origin.
    void anchor();

  protected:
    bool eventFilter(QObject* watched, QEvent* event) override;

  private:
    QWidget* window_;
};

}  // namespace velorixa
