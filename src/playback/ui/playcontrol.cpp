#include "playback/ui/playcontrol.h"

#include <QApplication>
#include <QLabel>
#include <QLineEdit>
#include <QPushButton>
#include <QScrollBar>
#include <QTabWidget>
#include <QTimer>

#include "playback/ui/transportpanel.h"

namespace velorixa {

using playback::PlayState;

PlayControl::PlayControl(playback::Playback& playback, TransportPanel& panel, QTabWidget& menuTabs,
                         QTimer& timerTik, QObject* parent)
    : QObject(parent),
      playback_(playback),
      panel_(panel),
      menuTabs_(menuTabs),
      timerTik_(timerTik) {
    // The transport buttons act on the press and spring back on the release.
    auto pressRelease = [this](QPushButton* b, std::function<void()> action) {
        connect(b, &QPushButton::pressed, this, [action = std::move(action)] { action(); });
        connect(b, &QPushButton::released, b, [b] { b->setChecked(false); });
    };
    pressRelease(panel_.CmdPlay, [this] { playback_.play(); });
    pressRelease(panel_.CmdNext, [this] { playback_.next(); });
    pressRelease(panel_.CmdPrev, [this] { playback_.previous(); });
    pressRelease(panel_.CmdStop, [this] { playback_.stop(); });
    connect(panel_.TglRept, &QPushButton::clicked, this,
            [this](bool on) { playback_.setRepeat(on); });
    connect(panel_.TglPaus, &QPushButton::clicked, this,
            [this](bool on) { playback_.setPaused(on); });

    // Change comes when a drag ends or a click or key moves the bar; Scroll while dragging.
    panel_.ScrPlay->setTracking(false);
    connect(panel_.ScrPlay, &QScrollBar::valueChanged, this, [this](int v) { ScrPlay_Change(v); });
    connect(panel_.ScrPlay, &QScrollBar::sliderMoved, this, [this](int v) {
        panel_.TxtPos->setText(playback::TimeText(v));
        dragging_ = true;  // the tick keeps off the bar while the operator holds it
        playback_.setPositionHeld(true);
    });
    connect(panel_.ScrPlay, &QScrollBar::sliderPressed, this, [this] {
        dragging_ = true;
        playback_.setPositionHeld(true);
    });
    connect(panel_.ScrPlay, &QScrollBar::sliderReleased, this, [this] {
        dragging_ = false;
        playback_.setPositionHeld(false);
    });
    connect(panel_.ScrMasVol, &QScrollBar::valueChanged, this,
            [this](int v) { playback_.setMasterVolume(v); });
    connect(&playback_, &playback::Playback::masterVolumeChanged, this,
            [this](int v) { panel_.ScrMasVol->setValue(v); });

    connect(&playback_, &playback::Playback::itemChanged, this,
            [this](const QString& item) { panel_.showName(item); });
    connect(&playback_.events(), &playback::TransportEvents::requestStarted, this,
            [this](playback::PlayKind kind) { requestStarted(kind); });
    connect(&playback_.events(), &playback::TransportEvents::opened, this,
            [this](playback::PlayKind kind) { opened(kind); });
    connect(&playback_, &playback::Playback::stateChanged, this,
            [this](PlayState s) { stateChanged(s); });
    connect(&playback_.events(), &playback::TransportEvents::pauseChanged, this, [this](bool on) {
        panel_.TglPaus->setChecked(on);
        if (on) {
            panel_.ScrPlay->setEnabled(false);
        } else if (playback_.kind() == playback::PlayKind::File &&
                   playback_.state() == PlayState::Playing) {
            panel_.ScrPlay->setEnabled(true);
        }
    });
    connect(&playback_, &playback::Playback::repeatChanged, this, [this](bool on, bool enabled) {
        panel_.TglRept->setChecked(on);
        panel_.TglRept->setEnabled(enabled);
    });
    connect(&playback_, &playback::Playback::positionChanged, this, [this](int t) {
        if (dragging_) return;
        if (playback_.kind() == playback::PlayKind::File && t != lastShownSec_ && t >= 0 &&
            t <= panel_.ScrPlay->maximum())
            setPositionBarValue(t);
        if (t > 0) panel_.TxtPos->setText(playback::TimeText(t));
        lastShownSec_ = t;
    });
    connect(&playback_, &playback::Playback::failed, this, [this](const playback::Failure& f) {
        if (messageBox) messageBox(playback::FailureText(f), playback::kErrorTitle);
    });
}

PlayControl::~PlayControl() {
    setBusyCursor(false);
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

void PlayControl::requestStarted(playback::PlayKind kind) {
    dragging_ = false;
    panel_.LblFreq->clear();
    setPositionBarValue(0);
    panel_.TglPaus->setChecked(false);
    panel_.TxtLen->clear();
    panel_.TxtPos->clear();
    panel_.showName(playback_.item());
    if (kind == playback::PlayKind::Stream) panel_.LblNET->setText(playback::kConnectingText);
    panel_.ScrPlay->setEnabled(kind == playback::PlayKind::File);
    panel_.FrmNETNAME->setVisible(kind == playback::PlayKind::Stream);
}

void PlayControl::opened(playback::PlayKind kind) {
    panel_.LblNET->clear();
    panel_.LblFreq->setText(playback::FreqLabel(playback_.rateHz()));
    lastShownSec_ = 0;
    if (kind == playback::PlayKind::Stream) {
        panel_.showLength(QStringLiteral("stream"));
        return;
    }
    const playback::PositionBar bar = playback::PositionBarFor(playback_.length());
    panel_.showLength(playback::TimeText(bar.PlayLen));
    moveGuard_ = true;  // a new range is not a seek
    panel_.ScrPlay->setMaximum(bar.PlayLen);
    moveGuard_ = false;
    panel_.ScrPlay->setSingleStep(bar.SmallChange);
    panel_.ScrPlay->setPageStep(bar.LargeChange);
}

void PlayControl::stateChanged(PlayState s) {
    setBusyCursor(s == PlayState::Opening);
    if (s != PlayState::Stopped) return;
    panel_.ScrPlay->setEnabled(false);
    panel_.LblNET->clear();
    panel_.LblFreq->clear();
    panel_.TglPaus->setChecked(false);
    panel_.CmdPlay->setChecked(false);
    panel_.CmdNext->setChecked(false);
    panel_.CmdPrev->setChecked(false);
}

void PlayControl::setPositionBarValue(int value) {
    moveGuard_ = true;
    panel_.ScrPlay->setValue(value);
    moveGuard_ = false;
}

void PlayControl::ScrPlay_Change(int value) {
    QScrollBar* bar = panel_.ScrPlay;
    const playback::BarAction action = playback::PositionBarChange(
        value, bar->minimum(), bar->maximum(), moveGuard_, playback_.repeat());
    if (action == playback::BarAction::None) return;
    panel_.TxtPos->setText(playback::TimeText(value));
    timerTik_.setInterval(10);
    switch (action) {
        case playback::BarAction::Restart:
        case playback::BarAction::Repeat:
            playback_.play();
            break;
        case playback::BarAction::Next:
            playback_.next();
            break;
        case playback::BarAction::Seek:
            playback_.seek(value);
            timerTik_.setInterval(50);
            break;
        case playback::BarAction::None:
            break;
    }
}

}  // namespace velorixa
