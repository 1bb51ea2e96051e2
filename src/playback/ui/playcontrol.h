#pragma once
// The transport of the window: the two-step play request, Next, Previous, Stop, Pause, Repeat,
// the position bar with its seek and the master volume bar, and the play-position tick that
// follows the playing file and starts the next item at its end. Decisions come from the
// window-free playback logic (playrequest.h, nextitem.h); this class applies them to the
// controls and to the player.
//
// Thread contract: GUI thread only.

#include <QObject>
#include <QString>
#include <array>
#include <functional>

#include "playback/nextitem.h"
#include "playback/playrequest.h"

class QTabWidget;
class QTimer;

namespace velorixa {

class PLAYER;
class ListBox;
class TransportPanel;
struct WindowState;

// The sound values handed to the player with every start (the window's sound controls keep them).
struct SoundValues {
    double FRQ = 100;  // speed knob bar value, 100 = the source's own rate
    double VOL = 50;   // channel volume bar value
    double PAN = 0;    // balance: bar value - 100
    std::array<uint8_t, 4> EqlVal{0, 50, 50, 50};
    std::array<uint8_t, 5> EffVal{0, 100, 100, 100, 100};
};

class PlayControl : public QObject {
    Q_OBJECT
  public:
    PlayControl(PLAYER& player, TransportPanel& panel, ListBox& playList, WindowState& state,
                QTabWidget& menuTabs, QTimer& timerNet, QTimer& timerTik,
                playback::PlayQueue& queue, QObject* parent = nullptr);

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

    playback::PlayKind PlayKind() const { return playKind_; }
    const QString& PlayName() const { return playName_; }
    int PlayLen() const { return playLen_; }
    QString LastMeta;
    SoundValues sound;

    // A message box with an OK button and no icon; tests replace it.
    std::function<void(const QString& text, const QString& title)> messageBox;
    // Hooks of the subsystems around the transport: the display reset, the level bars, the
    // performance sequence and the stream's header and title display.
    std::function<void()> onResetDisplay;
    std::function<void()> onClrLevels;
    std::function<void()> onInitPerfor;
    std::function<void()> onStreamOpened;
    std::function<void()> onStreamTick;

  private:
    void requestStep1();
    void openStep2();
    void TglRept_Click();
    void TglPaus_Click();
    void ScrPlay_Change(int value);
    void setPositionBarValue(int value);
    bool startPlayer();
    // The source could not be opened: stopped, buttons released, the message when reported.
    void openFailed(bool report);
    void setBusyCursor(bool busy);
    bool guardEmpty() const;

    PLAYER& player_;
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
    int lastShownSec_ = 0;  // L of the position tick
};

}  // namespace velorixa
