#pragma once
// The transport of the window: the two-step play request, Next, Previous, Stop, Pause, Repeat,
// the position bar with its seek and the master volume bar, and the play-position tick that
// follows the playing file and starts the next item at its end. Decisions come from the
// window-free playback logic (playrequest.h, nextitem.h); this class applies them to the
// controls and to the player. Opening a source runs off the window's thread (SourceOpener): the
// request's second step starts the open and the rest of it runs when the open ends.
//
// Thread contract: GUI thread only.

#include <QElapsedTimer>
#include <QObject>
#include <QString>
#include <array>
#include <functional>

#include "playback/nextitem.h"
#include "playback/playrequest.h"
#include "playback/sourceopener.h"
#include "playback/transportevents.h"

class QTabWidget;
class QTimer;

namespace velorixa {

namespace controls {
class SoundControl;
}
class PLAYER;
class ListBox;
class TransportPanel;
struct WindowState;

class PlayControl : public QObject {
    Q_OBJECT
  public:
    PlayControl(PLAYER& player, const controls::SoundControl& sound, TransportPanel& panel,
                ListBox& playList, WindowState& state, QTabWidget& menuTabs, QTimer& timerNet,
                QTimer& timerTik, playback::PlayQueue& queue, QObject* parent = nullptr);

    void PlaySelected();
    void PlayNext();
    void PlayPrev();
    void StopPlayback();
    void RestartPlay();
    void ButtonsUp();
    void ClearFFT();
    void PlayList_DblClick();
    // The key commands' toggles: repeat only while its button is enabled.
    void ToggleRepeat();
    void TogglePause();
    // Called by the focus timer every 100 ms.
    void PlayPosTick();
    // The focus timer's stall check: a station that delivers nothing is opened again, and so is
    // one whose server closed the stream, once it has been over for kDroppedStationWaitMs.
    void RestartIfStalled();
    static constexpr int kDroppedStationWaitMs = 5000;
    // Forgets an open under way (the window is closing).
    void CancelOpen() { opener_.cancel(); }
    // An open is under way: the request's second step has not finished.
    bool Opening() const { return opener_.busy(); }

    playback::TransportEvents& events() { return events_; }

    playback::PlayKind PlayKind() const { return playKind_; }
    const QString& PlayName() const { return playName_; }
    int PlayLen() const { return playLen_; }
    QString LastMeta;

    // A message box with an OK button and no icon; tests replace it.
    std::function<void(const QString& text, const QString& title)> messageBox;

  private:
    void requestStep1();
    void openStep2();
    void TglRept_Click();
    void TglPaus_Click();
    void ScrPlay_Change(int value);
    void setPositionBarValue(int value);
    void startOpen();
    void openDone(uint32_t source);
    // The source could not be opened: stopped, buttons released, the message when reported.
    void openFailed(bool report);
    void setBusyCursor(bool busy);
    bool guardEmpty() const;

    PLAYER& player_;
    const controls::SoundControl& sound_;
    TransportPanel& panel_;
    ListBox& playList_;
    WindowState& state_;
    QTabWidget& menuTabs_;
    QTimer& timerNet_;
    QTimer& timerTik_;
    playback::PlayQueue& queue_;

    QString playName_;
    playback::PlayKind playKind_ = playback::PlayKind::Invalid;
    int playLen_ = 1;
    bool moveGuard_ = false;
    bool busyCursor_ = false;
    int lastShownSec_ = 0;     // L of the position tick
    bool restarting_ = false;  // the open under way brings back the same item
    // Since when the playing station's stream has ended by itself (its server closed it).
    QElapsedTimer droppedFor_;
    playback::TransportEvents events_;
    playback::SourceOpener opener_;
};

}  // namespace velorixa
