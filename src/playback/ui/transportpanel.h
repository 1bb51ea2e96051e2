#pragma once
// The transport panel FrmSystem: play buttons, pause and repeat toggles, the position bar, the
// master volume bar and the status texts. Only controls: what they do is PlayControl's, which
// binds them; everybody else goes through the intent methods below.
//
// Thread contract: GUI thread only.

#include <QFrame>
#include <QString>
#include <functional>

class QLabel;
class QLineEdit;
class QPushButton;
class QScrollBar;

namespace velorixa {
namespace playlist {
class TagCache;
}

enum class TransportButton { Play, Stop, Prev, Next };

class TransportPanel {
  public:
    // Fills the frame (the window's FrmSystem) with the panel's controls.
    explicit TransportPanel(QFrame* frmSystem);

    // A transport button drawn pressed or released (the numeric-block keys show them so).
    void showPressed(TransportButton button, bool down);
    // The master volume bar; its change sets the player's master volume.
    void setMasterVolume(int value);
    int masterVolume() const;
    // action runs with the new value at every change of the master volume bar while context
    // lives.
    void onMasterVolumeChanged(QObject* context, std::function<void(int)> action);
    // The item playing or next: by its tags' name when names are given ("Artist - Title", a
    // file's name without folder and extension), else readably (util::PathForDisplay); the
    // path itself in the tool tip. Shown anew when its tags come in.
    void showName(const QString& name);
    // Where the shown names come from; names must outlive the panel.
    void setNames(playlist::TagCache* names);
    void showCpu(const QString& text);
    void clearPosition();
    // The length box (a file's seconds, "stream", a station's bit rate).
    void showLength(const QString& text);
    // The station status line (`LblNET`).
    void showNetText(const QString& text);
    // action runs at every click of the mixer button (`CmdSndVolExe`) while context lives.
    void onMixerClicked(QObject* context, std::function<void()> action);

  private:
    friend class PlayControl;

    QFrame* FrmSystem;
    QPushButton* CmdPlay;
    QPushButton* CmdStop;
    QPushButton* CmdPrev;
    QPushButton* CmdNext;
    QPushButton* TglPaus;
    QPushButton* TglRept;
    QLineEdit* NamePlay;
    QLineEdit* TxtPos;
    QLineEdit* TxtLen;
    QFrame* TxtScrPlay;
    QScrollBar* ScrPlay;
    QFrame* PicMasVol;
    QScrollBar* ScrMasVol;
    QFrame* FrmNETNAME;
    QLabel* LblNET;
    QLabel* LblFreq;
    QLabel* TitCPU;
    QLabel* LblCPU;
    QPushButton* CmdSndVolExe;
    playlist::TagCache* names_ = nullptr;
    QString item_;  // the item shown
};

}  // namespace velorixa
