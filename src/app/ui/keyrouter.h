#pragma once
// Routes the keyboard to the window's commands: every key stroke arrives at the tab control
// (the only control that keeps the focus), goes through the key table (app/keys.h) and reaches
// the transport (Playback), the play list, the master volume, the page walk and the exit
// question.
//
// Thread contract: GUI thread only.

#include <QObject>
#include <QPointer>
#include <functional>

#include "app/keys.h"
#include "controls/origin.h"

namespace velorixa {

class VelMix;
class PlayListPage;
class TransportPanel;
namespace perform {
class PerformancePanel;
}
namespace playback {
class Playback;
}

namespace util {
class TextFocus;
}

class KeyRouter : public QObject {
    Q_OBJECT
  public:
    // The transport commands go to playback; transport only draws the buttons the keys press.
    KeyRouter(VelMix& window, playback::Playback& playback, PlayListPage& list,
              TransportPanel& transport, perform::PerformancePanel& performance,
              QObject* parent = nullptr);

    // Puts the exit question ("Exit Velorixa", Yes/No) up; Yes closes the window. The question
    // does not stop the window: the music, the display and the scheduler go on while it is up,
    // and a second Escape brings the same question to the front. Tests replace it.
    std::function<void()> askExit;
    // While a controller binding is learnt, the key commands name its target instead of acting:
    // given the command, true when learn took it. Unset: every command acts.
    std::function<bool(const app::KeyAction&)> learnKey;

    app::KeyCommands& keys() { return keys_; }
    // Key-down and key-up of the tab control with virtual-key codes (what the event filter
    // calls after translating the Qt event).
    // shift: Shift is held with the key.
    void MenuTabs_KeyDown(int virtualKey, bool shift = false);
    void MenuTabs_KeyUp(int virtualKey, bool autoRepeat);
    // What a key command does, and what its key's release does: the keys and the hardware
    // controllers (origin "controller") run the same.
    void Command(const app::KeyAction& action,
                 controls::Origin origin = controls::Origin::Operator);
    void Release(app::KeyRelease release);
    // `TabMove`: Mode 0 from the Tab key, 1 from Ctrl.
    void TabMove(int mode);
    // `MasVolKey`: the master volume bar to 10 x N.
    void MasVolKey(int n);
    // Ctrl+Z: the last destructive action taken back, and the message line says which (or that
    // there was nothing to take back). The page that Ctrl's own key-down switched to goes back
    // to the one the operator was on.
    void UndoKey();

  signals:
    // The Alt key went down (once per press): the colour scheme is to switch.
    void colourSwitchPressed();
    // F9 went down: recording is to start or stop.
    void recordPressed();
    // F10: controller learn on or off.
    void controllerLearnPressed();

  protected:
    bool eventFilter(QObject* watched, QEvent* event) override;

  private:
    // The tab control (or its tab bar) holds the keyboard focus.
    bool tabsHaveFocus() const;

    VelMix& w_;
    playback::Playback& playback_;
    PlayListPage& list_;
    TransportPanel& transport_;
    perform::PerformancePanel& performance_;
    app::KeyCommands keys_;
    const util::TextFocus& textFocus_;
    QPointer<QWidget> exitQuestion_;
    // The page and `PrevTab` before the page switch of the Ctrl key held down now, if it made
    // one.
    bool ctrlSwitched_ = false;
    int pageBeforeCtrl_ = 0, prevTabBeforeCtrl_ = 0;
};

}  // namespace velorixa
