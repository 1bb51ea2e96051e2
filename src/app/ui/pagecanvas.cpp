#include "app/ui/pagecanvas.h"

#include <QEvent>

namespace velorixa {

PageCanvas::PageCanvas(QWidget* page, QWidget* window) : QWidget(page), window_(window) {
    page->installEventFilter(this);
    setAttribute(Qt::WA_TranslucentBackground);
    anchor();
}

void PageCanvas::anchor() {
    QWidget* page = parentWidget();
    QPoint origin = page->mapTo(window_, QPoint(0, 0));
    setGeometry(-origin.x(), -origin.y(), window_->width(), window_->height());
}

bool PageCanvas::eventFilter(QObject* watched, QEvent* event) {
    if (watched == parentWidget() &&
        (event->type() == QEvent::Move || event->type() == QEvent::Resize ||
         event->type() == QEvent::Show)) {
        anchor();
    }
    return QWidget::eventFilter(watched, event);
}

}  // namespace velorixa
