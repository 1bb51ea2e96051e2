#pragma once
// Binds the transport panel's controls to the window-free transport (Playback): the buttons,
// the pause and repeat toggles, the position bar with its seek and the master volume bar call
// its commands; its signals draw the names, the times, the status line and the toggles. The
// position bar's drag and the guard that tells the program's own moves of the bar from the
// operator's live here, beside the bar. A failed open is told through messageBox, which never
// blocks: the music and the keys go on while it is shown.
//
// Thread contract: GUI thread only.

#include <QObject>
#include <QString>
#include <functional>

#include "playback/playback.h"

class QTabWidget;
class QTimer;

namespace velorixa {

class TransportPanel;

class PlayControl : public QObject {
    Q_OBJECT
  public:
    // timerTik: the display's tick, quickened around a seek so the picture follows at once.
    PlayControl(playback::Playback& playback, TransportPanel& panel, QTabWidget& menuTabs,
                QTimer& timerTik, QObject* parent = nullptr);
    ~PlayControl() override;

    playback::Playback& playback() { return playback_; }

    // The scheduler's calls (every 100 ms), forwarded to the transport.
    void PlayPosTick() { playback_.tick(); }
    void RestartIfStalled() { playback_.restartIfStalled(); }
    bool Opening() const { return playback_.opening(); }

    // Shows a message without blocking (by default in the window's message line); tests
    // record it.
    std::function<void(const QString& text, const QString& title)> messageBox;

  private:
    void ScrPlay_Change(int value);
    void setPositionBarValue(int value);
    void requestStarted(playback::PlayKind kind);
    void opened(playback::PlayKind kind);
    void stateChanged(playback::PlayState state);
    void setBusyCursor(bool busy);

    playback::Playback& playback_;
    TransportPanel& panel_;
    QTabWidget& menuTabs_;
    QTimer& timerTik_;

    // The program itself moves the bar (the position tick, a new range): not a seek.
    bool moveGuard_ = false;
    // The operator holds the bar.
    bool dragging_ = false;
    bool busyCursor_ = false;
    int lastShownSec_ = 0;
};

}  // namespace velorixa
