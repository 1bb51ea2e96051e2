#pragma once
// The station list on the "PlayList" page: the switch between the music list and the station
// list (`SwitchList`), adding, editing and saving stations, the station file read at start, and
// what a playing station shows (its bit rate and the title now playing). The lists themselves
// are the window-free PlayLists; the page's own controls change through its intent methods.
//
// Thread contract: GUI thread only.

#include <QObject>
#include <QString>
#include <QStringList>
#include <functional>

class QFrame;
class QLineEdit;
class QPushButton;
class QWidget;

namespace velorixa {

class PLAYER;
namespace playback {
class Playback;
}
namespace playlist {
class ListHost;
}
namespace util {
class TextFocus;
}

class RadioPanel : public QObject {
    Q_OBJECT
  public:
    // canvas: the "PlayList" page's canvas (window coordinates).
    // The station's bit rate is read from player's headers; its title comes from the transport.
    RadioPanel(QWidget* canvas, playlist::ListHost& page, util::TextFocus& textFocus,
               playback::Playback& playback, PLAYER& player, QObject* parent = nullptr);

    void SwitchList();
    void CmdRadioAdd_Click();
    void CmdRadioEdit_Click();
    void CmdRadioSave_Click();
    // `LoadNetRadio`: the station file of appPath into the hidden station list (the starter
    // list written there when there is none); one message when something went wrong.
    void LoadNetRadio(const QString& appPath);
    // At exit: the station list written back when it changed since it was loaded or saved,
    // unless the file was not read whole. False (and a message) when it could not be written.
    bool SaveNetRadioAtExit();
    void ShowBitRate();
    // The status line: the transport's station title and address, or "no meta data".
    void ShowNetMeta();

    // A message box with an OK button and no icon; tests replace it.
    std::function<void(const QString& text, const QString& title)> messageBox;

  signals:
    // What the transport panel shows of a playing station: its bit rate in the length box,
    // its title and address on the status line.
    void bitRateShown(const QString& text);
    void netTextShown(const QString& text);

  public:
  private:
    playlist::ListHost& page_;
    playback::Playback& playback_;
    PLAYER& player_;
    QString appPath_;
    QStringList savedStations_;     // the list as the file holds it
    bool keepStationFile_ = false;  // the file was not read whole: not written at exit
    bool flagAddSav_ = false;       // the add/save panel was open when the stations came in

    QLineEdit* NameRadioAdd;
    QPushButton* CmdRadioAdd;
    QPushButton* CmdRadioEdit;
    QPushButton* CmdRadioSave;
    QFrame* LineCntr;
};

}  // namespace velorixa
