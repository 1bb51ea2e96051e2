#pragma once
// The window's 100 ms scheduler around the key commands: the focus timer gives the focus back to
// the tab control after mouse work, restarts a stalled stream, shows the audio CPU load and runs
// the play-position tick; and the help keyboard, whose keys name their function.
//
// Thread contract: GUI thread only.

#include <QObject>
#include <functional>

class QFrame;
class QLabel;
class QPushButton;
class QTabWidget;
class QTimer;

namespace velorixa {

class PlayControl;
class TransportPanel;
struct WindowState;
namespace util {
class TextFocus;
}

class KeyboardControl : public QObject {
    Q_OBJECT
  public:
    // frameHelp: the help frame of the "PlayBack" page; the help keyboard is built inside it.
    KeyboardControl(PlayControl& play, TransportPanel& transport, WindowState& state,
                    const util::TextFocus& textFocus, QTabWidget& menuTabs, QTimer& timerFoc,
                    QTimer& timerNet, QFrame& frameHelp, QObject* parent = nullptr);

    void TimerFoc_Timer();
    void ButKbdHlp_Click(int index);

    // The audio CPU load in percent; the audio layer's by default.
    std::function<double()> cpuLoad;
    // Whether the left mouse button is down; Qt's by default.
    std::function<bool()> leftButtonDown;
  signals:
    // The display pictures are to be painted again (the "PlayBack" page came to the front).
    void fftRedraw();

  public:
    // The page with the display came in front: its pictures are repainted at the next tick.
    void requestFftRedraw() { fftRedraw_ = true; }
    bool fftRedrawPending() const { return fftRedraw_; }

  private:
    void buildHelpKeyboard(QFrame& frameHelp);

    // The help keyboard: "FrmKbdHlp" with the keys "ButKbdHlp0".."ButKbdHlp103", the function
    // "TextHlp" and its detail "CommHlp".
    QFrame* FrmKbdHlp = nullptr;
    QLabel* TextHlp = nullptr;
    QLabel* CommHlp = nullptr;

    PlayControl& play_;
    TransportPanel& transport_;
    WindowState& state_;
    const util::TextFocus& textFocus_;
    bool fftRedraw_ = false;  // repaint the display pictures at the next tick
    QTabWidget& menuTabs_;
    QTimer& timerNet_;
};

}  // namespace velorixa
