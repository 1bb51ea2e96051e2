#include "app/ui/messageline.h"

#include <QMouseEvent>

namespace velorixa {

MessageLine::MessageLine(QWidget* window) : QLabel(window) {
    setObjectName("LblMessage");
    setFocusPolicy(Qt::NoFocus);
    setWordWrap(true);
    setAutoFillBackground(true);
    setFrameShape(QFrame::Box);
    setMargin(3);
    setTextFormat(Qt::PlainText);
    QPalette pal = palette();
    pal.setColor(QPalette::Window, QColor(255, 244, 196));
    pal.setColor(QPalette::WindowText, Qt::black);
    setPalette(pal);
    const int h = 40;
    setGeometry(2, window->height() - h - 2, window->width() - 4, h);
    setToolTip(QStringLiteral("Click to close"));
    hide();
    hideTimer_.setSingleShot(true);
    hideTimer_.setInterval(kShownMs);
    connect(&hideTimer_, &QTimer::timeout, this, &QWidget::hide);
}

void MessageLine::showMessage(const QString& text) {
    setText(text);
    show();
    raise();
    hideTimer_.start();
}

void MessageLine::mousePressEvent(QMouseEvent* event) {
    hide();
    event->accept();
}

}  // namespace velorixa
