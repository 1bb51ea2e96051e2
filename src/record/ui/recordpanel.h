#pragma once
// The record controls: the toggle `TglRec` and the status `LblRec` (elapsed time and file size
// while recording) on the "PlayBack" page, and the recording's format and folder on the
// "Settings" page (`ComboRecFormat`, `TxtRecFolder`, `CmdRecFolder`). Only controls: the
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
class QLineEdit;
class QPushButton;
class QWidget;

namespace velorixa::record {

class RecordSession;

class RecordPanel : public QObject {
    Q_OBJECT
  public:
    // playBack and settings: the canvases of the two pages; settingsPath: where the format and
    // folder are kept.
    RecordPanel(QWidget& playBack, QWidget& settings, RecordSession& session, QString settingsPath,
                QObject* parent = nullptr);

    // Called with true when a recording starts and false when it ends (the window's title).
    std::function<void(bool)> onRecording;
    // A message for the message line (the settings could not be saved).
    std::function<void(const QString&)> onMessage;

    QPushButton* TglRec = nullptr;
    QLabel* LblRec = nullptr;
    QComboBox* ComboRecFormat = nullptr;
    QLineEdit* TxtRecFolder = nullptr;
    QPushButton* CmdRecFolder = nullptr;

  private:
    void refresh();
    void saveSettings();
    void chooseFolder();

    RecordSession& session_;
    QString settingsPath_;
    QTimer timer_;
    QPointer<QFileDialog> dialog_;
};

}  // namespace velorixa::record
