#pragma once
// The levels controls on the "Settings" page: the check box `ChkLevels` ("Even out levels") and
// the label `LblLevel`, which shows the gain the playing item plays at and where it comes from
// ("Level -4.2 dB (tag)"). Only controls: the option and the gains are LevelControl's. Both
// take the page's palette, so they read as the rest of the page in a light or a dark desktop.
//
// Thread contract: GUI thread only.

#include <QObject>
#include <functional>

class QCheckBox;
class QLabel;
class QWidget;

namespace velorixa::levels {

class LevelControl;

class LevelsPanel : public QObject {
    Q_OBJECT
  public:
    // settings: the page's canvas (controls in window coordinates, at the page's foot).
    LevelsPanel(QWidget& settings, LevelControl& control, QObject* parent = nullptr);

    // A message for the message line (the option could not be saved).
    std::function<void(const QString&)> onMessage;

    QCheckBox* ChkLevels = nullptr;
    QLabel* LblLevel = nullptr;

  private:
    LevelControl& control_;
};

}  // namespace velorixa::levels
