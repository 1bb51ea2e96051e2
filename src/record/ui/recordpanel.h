#pragma once
// The record controls on the "PlayBack" page: the toggle `TglRec`, the status `LblRec` (elapsed
// time and file size while recording), the format of the next recording `ComboRecFormat` and
// the folder chooser `CmdRecFolder` (its tool tip names the folder). Only controls: the
// recording itself is RecordSession's.
//
// Thread contract: GUI thread only.

#include <QObject>
#include <QPointer>
#include <QTimer>
#include <functional>

class QComboBox;
class QFileDialog;
class QLabel;
class QPushButton;
class QWidget;

namespace velorixa::record {

class RecordSession;

class RecordPanel : public QObject {
    Q_OBJECT
  public:
    // playBack: the page's canvas; settingsPath: where the format and folder are kept.
    RecordPanel(QWidget& playBack, RecordSession& session, QString settingsPath,
                QObject* parent = nullptr);

    // Called with true when a recording starts and false when it ends (the window's title).
    std::function<void(bool)> onRecording;
    // A message for the message line (the settings could not be saved).
    std::function<void(const QString&)> onMessage;

    QPushButton* TglRec = nullptr;
    QLabel* LblRec = nullptr;
    QComboBox* ComboRecFormat = nullptr;
    QPushButton* CmdRecFolder = nullptr;

  private:
    void refresh();
    void showFolder();
    void saveSettings();
    void chooseFolder();

    RecordSession& session_;
    QString settingsPath_;
    QString folder_;
    bool shownOn_ = true;  // what the toggle's colours show; the first refresh sets them
    QTimer timer_;
    QPointer<QFileDialog> dialog_;
};

}  // namespace velorixa::record
