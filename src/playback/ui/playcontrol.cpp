#include "playback/ui/playcontrol.h"

#include <QApplication>
#include <QLabel>
#include <QLineEdit>
#include <QMessageBox>
#include <QPushButton>
#include <QScrollBar>
#include <QTabWidget>
#include <QTimer>

#include "app/windowstate.h"
#include "audio/player.h"
#include "controls/soundcontrol.h"
#include "playback/ui/transportpanel.h"
#include "playlist/ui/listbox.h"
#include "util/rounding.h"

namespace velorixa {

using playback::PlayKind;

PlayControl::PlayControl(PLAYER& player, const controls::SoundControl& sound, TransportPanel& panel,
                         ListBox& playList, WindowState& state, QTabWidget& menuTabs,
                         QTimer& timerNet, QTimer& timerTik, playback::PlayQueue& queue,
                         QObject* parent)
    : QObject(parent),
      player_(player),
      sound_(sound),
      panel_(panel),
      playList_(playList),
      state_(state),
      menuTabs_(menuTabs),
      timerNet_(timerNet),
      timerTik_(timerTik),
      queue_(queue),
      opener_(&PLAYER::OpenSource, &PLAYER::DiscardSource) {
    connect(&opener_, &playback::SourceOpener::finished, this,
            [this](uint32_t source) { openDone(source); });
    messageBox = [this](const QString& text, const QString& title) {
        QMessageBox box(QMessageBox::NoIcon, title, text, QMessageBox::Ok,
                        panel_.FrmSystem->window());
        box.exec();
    };
    connect(&timerNet_, &QTimer::timeout, this, [this] { PlaySelected(); });

    // The transport buttons act on the press and spring back on the release.
    auto pressRelease = [this](QPushButton* b, void (PlayControl::*action)()) {
        connect(b, &QPushButton::pressed, this, action);
        connect(b, &QPushButton::released, b, [b] { b->setChecked(false); });
    };
    pressRelease(panel_.CmdPlay, &PlayControl::PlaySelected);
    pressRelease(panel_.CmdNext, &PlayControl::PlayNext);
    pressRelease(panel_.CmdPrev, &PlayControl::PlayPrev);
    pressRelease(panel_.CmdStop, &PlayControl::StopPlayback);
    connect(panel_.TglRept, &QPushButton::clicked, this, [this] { TglRept_Click(); });
    connect(panel_.TglPaus, &QPushButton::clicked, this, [this] { TglPaus_Click(); });

    // Change comes when a drag ends or a click or key moves the bar; Scroll while dragging.
    panel_.ScrPlay->setTracking(false);
    connect(panel_.ScrPlay, &QScrollBar::valueChanged, this, [this](int v) { ScrPlay_Change(v); });
    connect(panel_.ScrPlay, &QScrollBar::sliderMoved, this, [this](int v) {
        panel_.TxtPos->setText(QString::number(v));
        state_.FlagDrag = true;  // the tick keeps off the bar while the operator holds it
    });
    connect(panel_.ScrPlay, &QScrollBar::sliderPressed, this, [this] { state_.FlagDrag = true; });
    connect(panel_.ScrPlay, &QScrollBar::sliderReleased, this, [this] { state_.FlagDrag = false; });
    connect(panel_.ScrMasVol, &QScrollBar::valueChanged, this,
            [this](int v) { player_.SetMasterVolume(v); });

    connect(&playList_, &ListBox::lineDoubleClicked, this, [this](int) { PlayList_DblClick(); });
}

bool PlayControl::guardEmpty() const {
    return playback::NothingToPlay(queue_.NamePlay, playList_.model().count());
}

void PlayControl::setBusyCursor(bool busy) {
    if (busy == busyCursor_) return;
    busyCursor_ = busy;
    if (busy) {
        QApplication::setOverrideCursor(Qt::WaitCursor);
    } else {
        QApplication::restoreOverrideCursor();
    }
}

void PlayControl::PlaySelected() {
    if (guardEmpty()) return;
    // A second request while the first waits for its step timer opens at once.
    if (timerNet_.interval() == 0) {
        requestStep1();
    } else {
        openStep2();
    }
}

void PlayControl::requestStep1() {
    state_.FlagDrag = false;
    if (queue_.NamePlay.isEmpty()) {
        queue_.DefineNext(playList_.model());
        playList_.refreshSelection();
        panel_.showName(queue_.NamePlay);
    }
    playback::PlayRequest req = playback::PlanRequest(queue_.NamePlay);
    playName_ = req.playName;
    playKind_ = req.kind;
    if (req.kind == PlayKind::Invalid) {
        messageBox(playback::kInvalidNameText, playback::kErrorTitle);
        return;
    }
    opener_.cancel();  // a newer request wins over an open under way
    restarting_ = false;
    emit events_.requestStarted(req.kind);
    panel_.LblFreq->clear();
    setPositionBarValue(0);
    panel_.TglPaus->setChecked(false);
    panel_.TxtLen->clear();
    panel_.TxtPos->clear();
    player_.StopPlay();
    setBusyCursor(true);
    ClearFFT();
    if (req.kind == PlayKind::Stream) {
        panel_.LblNET->setText(playback::kConnectingText);
        LastMeta.clear();
    }
    panel_.TglRept->setEnabled(req.repeatEnabled);
    panel_.ScrPlay->setEnabled(req.positionBarEnabled);
    panel_.FrmNETNAME->setVisible(req.showStreamStatus);
    timerNet_.setInterval(req.stepIntervalMs);
    timerNet_.start();
}

void PlayControl::startOpen() {
    opener_.start(playName_, static_cast<int>(playKind_));
}

void PlayControl::openStep2() {
    state_.FlagDrag = false;
    timerNet_.stop();
    timerNet_.setInterval(0);
    // "connecting ..." stays up while the station answers; the step goes on in openDone.
    startOpen();
}

void PlayControl::openDone(uint32_t source) {
    const controls::StartValues v = sound_.startValues();
    const bool ok = player_.StartOpened(source, v.FRQ, v.VOL, v.PAN, v.EqlArr, v.EffArr);
    setBusyCursor(false);
    if (restarting_) {
        restarting_ = false;
        // A failed file restart is silent; a stream that cannot come back is reported.
        if (!ok) openFailed(/*report=*/playKind_ == PlayKind::Stream);
        return;
    }
    panel_.LblNET->clear();
    if (!ok) {
        openFailed(/*report=*/true);
        return;
    }
    panel_.LblFreq->setText(playback::FreqLabel(player_.GetFreqStr()));
    lastShownSec_ = 0;
    if (playKind_ == PlayKind::Stream) {
        panel_.showLength(QStringLiteral("stream"));
    } else {
        playback::PositionBar bar = playback::PositionBarFor(player_.GetFileLen());
        playLen_ = bar.PlayLen;
        panel_.showLength(QString::number(playLen_));
        moveGuard_ = true;  // a new range is not a seek
        panel_.ScrPlay->setMaximum(bar.PlayLen);
        moveGuard_ = false;
        panel_.ScrPlay->setSingleStep(bar.SmallChange);
        panel_.ScrPlay->setPageStep(bar.LargeChange);
    }
    emit events_.opened(playKind_);
}

void PlayControl::PlayNext() {
    if (guardEmpty()) return;
    queue_.DefineNext(playList_.model());
    playList_.refreshSelection();
    panel_.showName(queue_.NamePlay);
    PlaySelected();
}

void PlayControl::PlayPrev() {
    if (guardEmpty()) return;
    if (!queue_.CanTakePrev()) return;
    queue_.TakePrev(playList_.model());
    playList_.refreshSelection();
    panel_.showName(queue_.NamePlay);
    PlaySelected();
}

void PlayControl::StopPlayback() {
    if (queue_.NamePlay.isEmpty()) return;
    if (opener_.busy()) {
        opener_.cancel();
        setBusyCursor(false);
    }
    player_.StopPlay();
    panel_.ScrPlay->setEnabled(false);
    state_.FlagDrag = true;
    ClearFFT();
    emit events_.stopped();
    panel_.LblNET->clear();
    panel_.LblFreq->clear();
    panel_.TglPaus->setChecked(false);
}

void PlayControl::RestartPlay() {
    if (opener_.busy()) return;
    setBusyCursor(true);
    player_.StopPlay();
    restarting_ = true;
    startOpen();
}

void PlayControl::RestartIfStalled() {
    if (playKind_ != PlayKind::Stream || opener_.busy()) return;
    // A station whose server closed the connection has ended; it is connected again once it
    // has been silent as long as a stalled one (the server may be back by then).
    const bool dropped = !state_.FlagDrag && player_.GetFileEnd();
    if (!dropped) {
        droppedFor_.invalidate();
    } else if (!droppedFor_.isValid()) {
        droppedFor_.start();
    }
    const bool longDropped = dropped && droppedFor_.elapsed() >= kDroppedStationWaitMs;
    if (!longDropped && !player_.GetChannelStalled()) return;
    droppedFor_.invalidate();
    emit events_.stalled();
    RestartPlay();
}

void PlayControl::openFailed(bool report) {
    ClearFFT();
    StopPlayback();
    ButtonsUp();
    emit events_.openFailed(playKind_);
    if (report) messageBox(playback::OpenFailureText(playKind_), playback::kErrorTitle);
}

void PlayControl::ButtonsUp() {
    panel_.CmdPlay->setChecked(false);
    panel_.CmdNext->setChecked(false);
    panel_.CmdPrev->setChecked(false);
}

void PlayControl::ClearFFT() {
    emit events_.displayCleared();
}

void PlayControl::PlayList_DblClick() {
    if (guardEmpty()) return;
    const playlist::PlaylistModel& m = playList_.model();
    int row = m.firstSelected();
    if (row >= 0 && m.text(row) == queue_.NamePlay) return;  // the current item is not restarted
    queue_.DefineNext(playList_.model());
    playList_.refreshSelection();
    panel_.showName(queue_.NamePlay);
    PlaySelected();
    menuTabs_.setCurrentIndex(1);
}

void PlayControl::TglRept_Click() {
    if (queue_.NamePlay.isEmpty()) panel_.TglRept->setChecked(false);
}

void PlayControl::TglPaus_Click() {
    if (queue_.NamePlay.isEmpty()) {
        panel_.TglPaus->setChecked(false);
        return;
    }
    if (panel_.TglPaus->isChecked()) {
        panel_.ScrPlay->setEnabled(false);
        player_.PausPlay();
    } else {
        player_.ResuPlay();
        if (player_.GetFilePlayPerf()) panel_.ScrPlay->setEnabled(true);
    }
    emit events_.pauseChanged(panel_.TglPaus->isChecked());
}

void PlayControl::ToggleRepeat() {
    if (!panel_.TglRept->isEnabled()) return;
    panel_.TglRept->setChecked(!panel_.TglRept->isChecked());
    TglRept_Click();
}

void PlayControl::TogglePause() {
    panel_.TglPaus->setChecked(!panel_.TglPaus->isChecked());
    TglPaus_Click();
}

void PlayControl::setPositionBarValue(int value) {
    moveGuard_ = true;
    panel_.ScrPlay->setValue(value);
    moveGuard_ = false;
}

void PlayControl::ScrPlay_Change(int value) {
    QScrollBar* bar = panel_.ScrPlay;
    playback::BarAction action = playback::PositionBarChange(
        value, bar->minimum(), bar->maximum(), moveGuard_, panel_.TglRept->isChecked());
    if (action == playback::BarAction::None) return;
    panel_.TxtPos->setText(QString::number(value));
    timerTik_.setInterval(10);
    switch (action) {
        case playback::BarAction::Restart:
        case playback::BarAction::Repeat:
            PlaySelected();
            break;
        case playback::BarAction::Next:
            PlayNext();
            break;
        case playback::BarAction::Seek:
            player_.SetPPlay(static_cast<float>(value));
            timerTik_.setInterval(50);
            break;
        case playback::BarAction::None:
            break;
    }
}

void PlayControl::PlayPosTick() {
    if (opener_.busy()) return;  // nothing plays yet, and nothing has ended
    float p = player_.GetFilePos();
    int t = util::RoundHalfEvenClamped(p, -1, 1 << 30);
    if (playKind_ == PlayKind::File) {
        if (p == -1.0f && player_.GetFileEnd()) {
            if (playback::AtFileEnd(panel_.TglRept->isChecked()) ==
                playback::FileEndAction::Repeat) {
                PlaySelected();
            } else {
                PlayNext();
            }
            return;
        }
        if (t != lastShownSec_ && t >= 0 && t <= panel_.ScrPlay->maximum()) {
            setPositionBarValue(t);
        }
    }
    emit events_.positionTick(t);
    if (p > 0) panel_.TxtPos->setText(QString::number(t));
    lastShownSec_ = t;
    if (playKind_ == PlayKind::Stream && lastShownSec_ > 1800) RestartPlay();
}

}  // namespace velorixa
