#pragma once
// The transport panel FrmSystem: play buttons, pause and repeat toggles, the position bar, the
// master volume bar and the status texts. Only controls: what they do is PlayControl's.
//
// Thread contract: GUI thread only.

#include <QFrame>

class QLabel;
class QLineEdit;
class QPushButton;
class QScrollBar;

namespace velorixa {

class TransportPanel {
  public:
    // Fills the frame (the window's FrmSystem) with the panel's controls.
    explicit TransportPanel(QFrame* frmSystem);

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
};

}  // namespace velorixa
