#include "levels/ui/levelspanel.h"

#include <QCheckBox>
#include <QLabel>

#include "levels/levelcontrol.h"

namespace velorixa::levels {

LevelsPanel::LevelsPanel(QWidget& settings, LevelControl& control, QObject* parent)
    : QObject(parent), control_(control) {
    // A row under the page's two halves.
    ChkLevels = new QCheckBox(QStringLiteral("Even out levels"), &settings);
    ChkLevels->setObjectName("ChkLevels");
    ChkLevels->setFocusPolicy(Qt::NoFocus);
    ChkLevels->setToolTip(
        QStringLiteral("Play every file at the same loudness (-18 LUFS): its ReplayGain tag, or "
                       "its loudness measured in the background; stations as they come"));
    ChkLevels->setGeometry(24, 409, 120, 16);
    ChkLevels->setChecked(control_.evenOut());
    LblLevel = new QLabel(&settings);
    LblLevel->setObjectName("LblLevel");
    LblLevel->setGeometry(148, 409, 200, 16);
    LblLevel->setText(LevelText(control_.playingLevel()));

    connect(ChkLevels, &QCheckBox::toggled, this, [this](bool on) {
        QString error;
        if (!control_.setEvenOut(on, &error) && onMessage)
            onMessage(QStringLiteral("Levels setting not saved: ") + error);
    });
    // The box follows the option wherever it was changed from; an echo changes nothing.
    connect(&control_, &LevelControl::evenOutChanged, ChkLevels, [this](bool on) {
        if (ChkLevels->isChecked() != on) ChkLevels->setChecked(on);
    });
    connect(&control_, &LevelControl::playingLevelChanged, LblLevel,
            [this](const Level& level) { LblLevel->setText(LevelText(level)); });
}

}  // namespace velorixa::levels
