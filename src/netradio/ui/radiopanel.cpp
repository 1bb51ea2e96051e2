#include "netradio/ui/radiopanel.h"

#include <QFrame>
#include <QIcon>
#include <QLineEdit>
#include <QPainter>
#include <QPixmap>
#include <QPushButton>

#include "audio/player.h"
#include "netradio/stationlist.h"
#include "netradio/streammeta.h"
#include "playback/playback.h"
#include "playlist/listhost.h"
#include "playlist/playlists.h"
#include "util/ui/notice.h"
#include "util/ui/textfocus.h"

namespace velorixa {

namespace {

// The two picture buttons: a plus (add the typed station) and a pen over a line (take the
// selected station out for editing).
QIcon drawnIcon(bool pen) {
    QPixmap pm(16, 16);
    pm.fill(Qt::transparent);
    QPainter p(&pm);
    p.setRenderHint(QPainter::Antialiasing);
    p.setPen(QPen(QColor(20, 60, 140), 2.2, Qt::SolidLine, Qt::RoundCap));
    if (pen) {
        p.drawLine(QPointF(4, 12), QPointF(12, 4));
        p.setPen(QPen(QColor(20, 60, 140), 1.2));
        p.drawLine(QPointF(2, 14.5), QPointF(14, 14.5));
    } else {
        p.drawLine(QPointF(8, 3), QPointF(8, 13));
        p.drawLine(QPointF(3, 8), QPointF(13, 8));
    }
    return QIcon(pm);
}

QPushButton* button(QWidget* parent, const char* name, int x, int y, int w) {
    auto* b = new QPushButton(parent);
    b->setObjectName(name);
    b->setGeometry(x, y, w, 22);
    b->setFocusPolicy(Qt::NoFocus);
    b->hide();
    return b;
}

}  // namespace

RadioPanel::RadioPanel(QWidget* canvas, playlist::ListHost& page, util::TextFocus& textFocus,
                       playback::Playback& playback, PLAYER& player, QObject* parent)
    : QObject(parent), page_(page), playback_(playback), player_(player) {
    // Never a modal loop: the station list's messages come at start and while music plays.
    messageBox = [canvas](const QString& text, const QString& title) {
        util::ShowNotice(canvas->window(), title, text);
    };
    // In the right column, where the music list's own tools stand in music mode.
    const int x = 360, w = 94;
    NameRadioAdd = new QLineEdit(QStringLiteral("http://"), canvas);
    NameRadioAdd->setObjectName("NameRadioAdd");
    NameRadioAdd->setGeometry(x, 36, w, 22);
    NameRadioAdd->setToolTip(QStringLiteral("Address of a station, then a blank and its name"));
    NameRadioAdd->hide();
    textFocus.watch(NameRadioAdd);
    CmdRadioAdd = button(canvas, "CmdRadioAdd", x, 172, 45);
    CmdRadioAdd->setIcon(drawnIcon(false));
    CmdRadioAdd->setToolTip(QStringLiteral("Add the station typed above"));
    CmdRadioEdit = button(canvas, "CmdRadioEdit", x + 49, 172, 45);
    CmdRadioEdit->setIcon(drawnIcon(true));
    CmdRadioEdit->setToolTip(QStringLiteral("Take the selected station out for editing"));
    LineCntr = new QFrame(canvas);
    LineCntr->setObjectName("LineCntr");
    LineCntr->setFrameShape(QFrame::HLine);
    LineCntr->setGeometry(x, 302, w, 4);
    LineCntr->hide();
    CmdRadioSave = button(canvas, "CmdRadioSave", x, 310, w);
    CmdRadioSave->setText(QStringLiteral("Save List"));

    connect(CmdRadioAdd, &QPushButton::clicked, this, [this] { CmdRadioAdd_Click(); });
    connect(CmdRadioEdit, &QPushButton::clicked, this, [this] { CmdRadioEdit_Click(); });
    connect(CmdRadioSave, &QPushButton::clicked, this, [this] { CmdRadioSave_Click(); });

    // What a playing station shows: its bit rate and title once it plays, the title again at
    // each change the transport tells.
    connect(&playback_.events(), &playback::TransportEvents::opened, this,
            [this](playback::PlayKind kind) {
                if (kind != playback::PlayKind::Stream) return;
                ShowBitRate();
                ShowNetMeta();
            });
    connect(&playback_, &playback::Playback::titleChanged, this, [this] {
        if (playback_.kind() == playback::PlayKind::Stream &&
            playback_.state() == playback::PlayState::Playing)
            ShowNetMeta();
    });
}

void RadioPanel::SwitchList() {
    page_.StopFindMusic();  // a running search ends before the lists change
    playlist::PlayLists& lists = page_.lists();
    lists.SwitchList();
    const bool radio = !lists.musicMode();
    if (radio) {
        flagAddSav_ = page_.enterRadioMode();
    } else {
        page_.leaveRadioMode(flagAddSav_);
    }
    for (QWidget* w : std::initializer_list<QWidget*>{NameRadioAdd, CmdRadioAdd, CmdRadioEdit,
                                                      CmdRadioSave, LineCntr})
        w->setVisible(radio);
}

void RadioPanel::CmdRadioAdd_Click() {
    const QString text = NameRadioAdd->text();
    if (!netradio::StationNameAccepted(text)) {
        messageBox(QStringLiteral("Invalid Name"), QStringLiteral("Error"));
        return;
    }
    if (!page_.lists().PlayList.append(text)) return;  // the list is full
    page_.shownListChanged(/*toBottom=*/true);
}

void RadioPanel::CmdRadioEdit_Click() {
    playlist::PlaylistModel& m = page_.lists().PlayList;
    if (m.isEmpty() || m.selectedCount() != 1) return;
    const int row = m.firstSelected();
    NameRadioAdd->setText(m.text(row));
    m.removeAt(row);
    page_.shownListChanged(/*toBottom=*/false);
}

void RadioPanel::CmdRadioSave_Click() {
    const playlist::PlaylistModel& stations = page_.lists().PlayList;
    if (stations.isEmpty()) return;
    page_.setSwitchEnabled(false);
    QString error;
    if (!netradio::SaveNetRadio(netradio::NetRadioPath(appPath_), stations, &error)) {
        messageBox(
            QStringLiteral("The station list could not be saved to \"NetRadio.ini\": ") + error,
            QStringLiteral("Error"));
    } else {
        savedStations_ = stations.texts();
    }
    page_.setSwitchEnabled(true);
}

void RadioPanel::LoadNetRadio(const QString& appPath) {
    appPath_ = appPath;
    playlist::PlaylistModel& stations = page_.lists().stationList();
    const netradio::StationListStart start =
        netradio::StartStationList(netradio::NetRadioPath(appPath), stations);
    keepStationFile_ = start.keepFile;
    savedStations_ = stations.texts();
    if (!start.message.isEmpty()) messageBox(start.message, QStringLiteral("Station list"));
}

bool RadioPanel::SaveNetRadioAtExit() {
    const playlist::PlaylistModel& stations = page_.lists().stationList();
    if (appPath_.isEmpty() || keepStationFile_ || stations.texts() == savedStations_) return true;
    QString error;
    if (!netradio::SaveNetRadio(netradio::NetRadioPath(appPath_), stations, &error)) {
        messageBox(
            QStringLiteral("The station list could not be saved to \"NetRadio.ini\": ") + error,
            QStringLiteral("Error"));
        return false;
    }
    savedStations_ = stations.texts();
    return true;
}

void RadioPanel::ShowBitRate() {
    const char* block = nullptr;
    player_.GetICY(block);
    if (auto text = netradio::BitRateText(netradio::HeaderLines(block))) {
        emit bitRateShown(*text);
    }
}

void RadioPanel::ShowNetMeta() {
    emit netTextShown(netradio::NetMetaText(playback_.streamMeta()));
}

}  // namespace velorixa
