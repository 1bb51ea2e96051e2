#pragma once
// The sound output's controls on the "Settings" page: the output `ComboOutput` ("Default
// output", then the server's outputs as it names them, its default first), the buffer
// `ComboOutputBuffer` and the latency it gives as the server measures it `LblOutputLatency`. A
// choice moves the sound at once and is kept for the next start; what happens to the output (gone,
// back, none left) goes to the message line. Only controls: the output itself is the audio layer's.
//
// Thread contract: GUI thread only. It polls the audio layer on its own timer; every call it
// makes answers at once.

#include <QObject>
#include <QTimer>

#include <functional>
#include <string>
#include <vector>

#include "app/outputsettings.h"

class QComboBox;
class QLabel;
class QWidget;

namespace velorixa {

class OutputPanel : public QObject {
    Q_OBJECT
  public:
    // settings: what was loaded at the start (and applied before the output opened);
    // settingsPath: where a new choice is kept.
    OutputPanel(QWidget& settingsPage, OutputSettings settings, QString settingsPath,
                QObject* parent = nullptr);

    // A message for the message line.
    std::function<void(const QString&)> onMessage;
    // Reads the outputs, the latency and the messages now (the timer does it twice a second).
    void poll();

    QComboBox* ComboOutput = nullptr;
    QComboBox* ComboOutputBuffer = nullptr;
    QLabel* LblOutputLatency = nullptr;

  private:
    void fillOutputs();
    void save();

    OutputSettings settings_;
    QString settingsPath_;
    std::vector<std::string> shown_;  // the outputs in the list, by name, to see a change
    QTimer timer_;
};

}  // namespace velorixa
