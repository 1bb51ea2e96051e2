#include "util/ui/notice.h"

#include <QMessageBox>
#include <QWidget>

namespace velorixa::util {

void ShowNotice(QWidget* parent, const QString& title, const QString& text) {
    auto* box = new QMessageBox(QMessageBox::NoIcon, title, text, QMessageBox::Ok, parent);
    box->setObjectName(QStringLiteral("Notice"));
    box->setWindowModality(Qt::NonModal);
    box->setAttribute(Qt::WA_DeleteOnClose);
    box->setAttribute(Qt::WA_ShowWithoutActivating);
    // Its button must not take the keys meant for the window (Enter, Space).
    for (QWidget* w : box->findChildren<QWidget*>())
        w->setFocusPolicy(Qt::NoFocus);
    box->show();
}

}  // namespace velorixa::util
