#pragma once
// The controllers in the window: on the "Settings" page the "Learn" button (the F10 key does the
// same), a line telling what learn waits for or which knob waits for its controller (soft
// take-over), and "Controllers ...", which shows the controllers' window: the bindings of every
// controller present, one a line ("nanoKONTROL2: cc 1 20 = knob 2"), the target learn binds
// (the chosen one of "CmbMidiTarget", or a knob moved, a key pressed) and "Remove" for the
// chosen binding. The controllers' window never takes the keyboard: the keys keep playing.
//
// Object names: "CmdMidiLearn", "CmdMidi", "LblMidi"; in the controllers' window "FrmMidi",
// "LstMidi", "CmbMidiTarget", "CmdMidiRemove", "LblMidiLearn".
//
// Thread contract: GUI thread only.

#include <QObject>
#include <QRect>
#include <vector>

#include "midi/mapping.h"

class QComboBox;
class QLabel;
class QListWidget;
class QPushButton;
class QWidget;

namespace velorixa::midi {

class ControllerHub;

class ControllerPanel : public QObject {
    Q_OBJECT
  public:
    // Where the two buttons and the line go on host (the "Settings" page), in pixels.
    struct Places {
        QRect learn, open, status;
    };
    ControllerPanel(QWidget* host, const Places& places, ControllerHub& hub,
                    QObject* parent = nullptr);
    ~ControllerPanel() override;

    // Learn on or off (the button, the F10 key).
    void toggleLearn();
    void showWindow();

    QPushButton* learnButton() const { return learn_; }
    QLabel* statusLine() const { return status_; }
    QWidget* window() const { return window_; }
    QListWidget* bindingList() const { return list_; }
    QComboBox* targetChoice() const { return targets_; }
    QPushButton* removeButton() const { return remove_; }
    // The binding of row r of the list (controller, index in its mapping).
    std::pair<QString, int> bindingAt(int row) const;

  private:
    void refill();
    void removeChosen();

    ControllerHub& hub_;
    QPushButton* learn_ = nullptr;
    QPushButton* open_ = nullptr;
    QLabel* status_ = nullptr;
    QWidget* window_ = nullptr;
    QListWidget* list_ = nullptr;
    QComboBox* targets_ = nullptr;
    QPushButton* remove_ = nullptr;
    QLabel* learnLine_ = nullptr;
    std::vector<std::pair<QString, int>> rows_;
    QString learnText_, waitText_;
};

// Every target, in the order the choice lists them.
std::vector<Target> AllTargets();

}  // namespace velorixa::midi
