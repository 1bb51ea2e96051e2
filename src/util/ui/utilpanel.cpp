#include "util/ui/utilpanel.h"

#include <QDesktopServices>
#include <QEvent>
#include <QLabel>
#include <QMessageBox>
#include <QMouseEvent>

#include "util/sndvol.h"
#include "util/weblink.h"

namespace velorixa {

UtilPanel::UtilPanel(std::shared_ptr<util::FindFlag> flag, QWidget* window, QObject* parent)
    : QObject(parent), mixer_(new util::MixerLauncher(std::move(flag), this)) {
    messageBox = [window](const QString& text, const QString& title) {
        QMessageBox box(QMessageBox::NoIcon, title, text, QMessageBox::Ok, window);
        box.exec();
    };
    openUrl = [](const QUrl& url) { return QDesktopServices::openUrl(url); };
    connect(mixer_, &util::MixerLauncher::listingFailed, this, [this] {
        messageBox(QStringLiteral("Wrong system DLL libraries"), QStringLiteral("Error"));
    });
    connect(mixer_, &util::MixerLauncher::searchEnded, this, [this](bool started) {
        if (!started) {
            messageBox(QString::fromLatin1(util::kSndVolNotFoundText), QStringLiteral("Error"));
        }
    });
}

void UtilPanel::CmdSndVolExe_Click() {
    mixer_->RunSndVol();
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
