#include "util/ui/utilpanel.h"

#include <QDesktopServices>
#include <QEvent>
#include <QLabel>
#include <QMessageBox>
#include <QMouseEvent>

#include "util/sndvol.h"
#include "util/weblink.h"

namespace velorixa {

UtilPanel::UtilPanel(QWidget* window, QObject* parent)
    : QObject(parent), mixer_(std::make_unique<util::MixerLauncher>()) {
    messageBox = [this, window](const QString& text, const QString& title) {
        if (!box_) {
            box_ = new QMessageBox(QMessageBox::NoIcon, title, text, QMessageBox::Ok, window);
            box_->setAttribute(Qt::WA_DeleteOnClose);
            box_->setWindowModality(Qt::NonModal);
            // The keys stay with the window: the box waits beside it until OK is clicked.
            box_->setAttribute(Qt::WA_ShowWithoutActivating);
        }
        box_->setWindowTitle(title);
        box_->setText(text);
        box_->show();
    };
    openUrl = [](const QUrl& url) { return QDesktopServices::openUrl(url); };
}

UtilPanel::~UtilPanel() = default;

void UtilPanel::CmdSndVolExe_Click() {
    const util::MixerLauncher::Outcome out = mixer_->RunSndVol();
    if (!out.started) messageBox(out.message, QStringLiteral("Error"));
}

void UtilPanel::bindWebLink(QLabel* label) {
    link_ = label;
    label->setText(QString::fromLatin1(util::kMakerPageText));
    label->setToolTip(QString::fromLatin1(util::kMakerPageUrl));
    label->setCursor(Qt::PointingHandCursor);
    label->installEventFilter(this);
}

bool UtilPanel::eventFilter(QObject* watched, QEvent* event) {
    // A click is a release of the left button over the link, as with any button.
    if (watched == link_ && event->type() == QEvent::MouseButtonRelease) {
        auto* e = static_cast<QMouseEvent*>(event);
        if (e->button() == Qt::LeftButton && link_->rect().contains(e->position().toPoint())) {
            openUrl(QUrl(QString::fromLatin1(util::kMakerPageUrl)));
            return true;
        }
    }
    return QObject::eventFilter(watched, event);
}

}  // namespace velorixa
