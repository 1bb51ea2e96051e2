#include "playback/ui/transportpanel.h"

#include <QFontMetrics>
#include <QLabel>
#include <QLineEdit>
#include <QPushButton>
#include <QScrollBar>

#include "playlist/tagcache.h"
#include "util/fspath.h"

namespace velorixa {

namespace {

template <class W>
W* named(W* w, const char* name, int x, int y, int width, int height) {
    w->setObjectName(name);
    w->setGeometry(x, y, width, height);
    return w;
}

QPushButton* button(QWidget* parent, const char* name, const char* text, int x, int y, int width,
                    bool checkable) {
    auto* b = named(new QPushButton(QString::fromUtf8(text), parent), name, x, y, width, 22);
    b->setCheckable(checkable);
    b->setFocusPolicy(Qt::NoFocus);
    return b;
}

QLineEdit* textField(QWidget* parent, const char* name, int x, int y, int width) {
    auto* t = named(new QLineEdit(parent), name, x, y, width, 20);
    t->setReadOnly(true);
    t->setFocusPolicy(Qt::NoFocus);
    return t;
}

}  // namespace

TransportPanel::TransportPanel(QFrame* frm) : FrmSystem(frm) {
    // The panel is 425 x 89 pixels.
    NamePlay = textField(frm, "NamePlay", 4, 4, 313);
    TxtPos = textField(frm, "TxtPos", 321, 4, 48);
    TxtLen = textField(frm, "TxtLen", 373, 4, 48);
    TxtPos->setAlignment(Qt::AlignRight);
    TxtLen->setAlignment(Qt::AlignRight);

    // The position bar sits two pixels inside its border.
    TxtScrPlay = named(new QFrame(frm), "TxtScrPlay", 4, 28, 417, 20);
    TxtScrPlay->setFrameShape(QFrame::Panel);
    TxtScrPlay->setFrameShadow(QFrame::Sunken);
    ScrPlay = named(new QScrollBar(Qt::Horizontal, frm), "ScrPlay", 6, 30, 413, 16);
    ScrPlay->setRange(0, 1);
    ScrPlay->setEnabled(false);

    // A stream's status lies over the position bar, which streams do not use.
    FrmNETNAME = named(new QFrame(frm), "FrmNETNAME", 4, 28, 417, 20);
    FrmNETNAME->setAutoFillBackground(true);
    LblNET = named(new QLabel(FrmNETNAME), "LblNET", 4, 1, 409, 18);
    FrmNETNAME->hide();

    int y = 56;
    CmdPrev = button(frm, "CmdPrev", "|<", 4, y, 34, true);
    CmdPlay = button(frm, "CmdPlay", ">", 40, y, 34, true);
    CmdNext = button(frm, "CmdNext", ">|", 76, y, 34, true);
    CmdStop = button(frm, "CmdStop", "[]", 112, y, 34, true);
    TglPaus = button(frm, "TglPaus", "||", 152, y, 34, true);
    TglRept = button(frm, "TglRept", "Rep", 188, y, 38, true);

    PicMasVol = named(new QFrame(frm), "PicMasVol", 232, y, 90, 22);
    PicMasVol->setFrameShape(QFrame::Panel);
    PicMasVol->setFrameShadow(QFrame::Sunken);
    ScrMasVol = named(new QScrollBar(Qt::Horizontal, frm), "ScrMasVol", 235, y + 3, 84, 16);
    ScrMasVol->setRange(0, 100);
    ScrMasVol->setSingleStep(1);
    ScrMasVol->setPageStep(10);
    ScrMasVol->setToolTip(QStringLiteral("Master volume"));

    LblFreq = named(new QLabel(frm), "LblFreq", 326, y - 2, 70, 12);
    TitCPU = named(new QLabel(QStringLiteral(" CPU"), frm), "TitCPU", 326, y + 10, 26, 12);
    LblCPU = named(new QLabel(QStringLiteral("100 "), frm), "LblCPU", 352, y + 10, 40, 12);
    CmdSndVolExe = button(frm, "CmdSndVolExe", "Mix", 394, y, 27, false);
    for (QLabel* l : {LblFreq, TitCPU, LblCPU}) {
        QFont f = l->font();
        f.setPointSize(7);
        l->setFont(f);
    }
}

void TransportPanel::showPressed(TransportButton button, bool down) {
    QPushButton* b = button == TransportButton::Play   ? CmdPlay
                     : button == TransportButton::Stop ? CmdStop
                     : button == TransportButton::Prev ? CmdPrev
                                                       : CmdNext;
    b->setChecked(down);
}

void TransportPanel::setMasterVolume(int value) {
    ScrMasVol->setValue(value);
}

int TransportPanel::masterVolume() const {
    return ScrMasVol->value();
}

void TransportPanel::showName(const QString& name) {
    item_ = name;
    // A file name that is not UTF-8 on disk in its readable form.
    const QString path = util::PathForDisplay(name);
    NamePlay->setText(names_ ? names_->shownName(name) : path);
    NamePlay->setCursorPosition(0);
    NamePlay->setToolTip(path);
}

void TransportPanel::setNames(playlist::TagCache* names) {
    names_ = names;
    if (names_)
        QObject::connect(names_, &playlist::TagCache::tagsRead, NamePlay,
                         [this](const QStringList& paths) {
                             if (!item_.isEmpty() && paths.contains(item_)) showName(item_);
                         });
    showName(item_);
}

void TransportPanel::showCpu(const QString& text) {
    LblCPU->setText(text);
}

void TransportPanel::clearPosition() {
    TxtPos->clear();
}

void TransportPanel::showLength(const QString& text) {
    // A station's "bitrate 128" is wider than a file's seconds: the box's font shrinks to fit.
    QFont font = FrmSystem->font();
    const int room = TxtLen->width() - 8;
    for (qreal pt = font.pointSizeF(); pt > 5 && QFontMetrics(font).horizontalAdvance(text) > room;
         pt -= 0.5)
        font.setPointSizeF(pt - 0.5);
    TxtLen->setFont(font);
    TxtLen->setText(text);
}

void TransportPanel::showNetText(const QString& text) {
    LblNET->setText(text);
}

void TransportPanel::onMixerClicked(QObject* context, std::function<void()> action) {
    QObject::connect(CmdSndVolExe, &QPushButton::clicked, context,
                     [action = std::move(action)] { action(); });
}

void TransportPanel::onMasterVolumeChanged(QObject* context, std::function<void(int)> action) {
    QObject::connect(ScrMasVol, &QScrollBar::valueChanged, context,
                     [action = std::move(action)](int value) { action(value); });
}

}  // namespace velorixa
