#pragma once
// The "Effects" page: the volume and rotation-speed bars, the nine knobs (balance and pitch
// horizontal, three equaliser bands and four effects vertical), the pitch knob's two range
// bars and the "Jump"/"Beat" boxes, at their places on the page. The widgets show the sound
// setting: the page follows its change signals with the widgets' own signals blocked, so a value
// the program sets never comes back as a move. Only the operator's moves and clicks reach the
// logic (EffectControls), with the origin Operator.
//
// Object names: the groups and single controls carry their own names (`PicEql`, `ScrVOL`,
// `ChkRot1`, ...); a knob's controls carry the name of their control array and the knob number
// after an underscore: "FrmSld_3", "FonPic_3", "ScrBarV_3", "RotBut_3", "ZerBut_3" (knobs 1 and
// 2 have "ScrBarH_1", "ScrBarH_2").
//
// Read-outs: the line `LblValue` across the page, between the knobs and the pitch group, says
// what a control does to the sound in the sound's units (controls/valuetext.h). It shows the
// control under the pointer; otherwise the control last moved, whoever moved it (the operator,
// a recalled key, a style, a controller). Of the knobs the wave moves it follows the one it
// shows. Resting on a control also brings its value up as a tool tip that follows the value.
// The zero buttons say what they reset to in the same way.
//
// Thread contract: GUI thread only.

#include <QFrame>
#include <QPoint>
#include <QPointer>
#include <QTimer>
#include <array>

#include "controls/effectcontrols.h"

class QCheckBox;
class QLabel;
class QPushButton;
class QScrollBar;

namespace velorixa::controls {

class FramePainter;
class SoundControl;

// One knob's group `FrmSld(i)`: its bar inside the sunken border `FonPic(i)`, the rotate
// toggle `RotBut(i)` and the zero button `ZerBut(i)`.
class KnobGroup : public QFrame {
  public:
    // painter: paints the bar's moves once per display frame (none: at once).
    KnobGroup(int index, Qt::Orientation orientation, QWidget* parent,
              FramePainter* painter = nullptr);

    QScrollBar* bar() const { return bar_; }
    QPushButton* rotBut() const { return rotBut_; }
    QPushButton* zerBut() const { return zerBut_; }

  private:
    QFrame* fonPic_ = nullptr;
    QScrollBar* bar_ = nullptr;
    QPushButton* rotBut_ = nullptr;
    QPushButton* zerBut_ = nullptr;
};

class EffectsPage : public QObject {
    Q_OBJECT
  public:
    // Builds the page's controls on canvas (window coordinates) and binds them to logic.
    EffectsPage(QWidget* canvas, EffectControls& logic, QObject* parent = nullptr);
    ~EffectsPage() override;

    KnobGroup* knob(int Index) const { return knobs_[static_cast<size_t>(Index)]; }
    QScrollBar* ScrVOL() const { return scrVOL_; }
    QScrollBar* ScrROT() const { return scrROT_; }
    QScrollBar* ScrFRQ1() const { return scrFRQ1_; }
    QScrollBar* ScrFRQ2() const { return scrFRQ2_; }
    QCheckBox* ChkRot1() const { return chkRot1_; }
    QCheckBox* ChkRot2() const { return chkRot2_; }
    QFrame* FrmEffect() const { return frmEffect_; }
    QLabel* LblValue() const { return lblValue_; }

    // What the read-out line and the tool tip say about a control of the page (empty for
    // others).
    QString readoutOf(const QWidget* control) const;

  protected:
    bool eventFilter(QObject* watched, QEvent* event) override;

  private:
    // What a read-out is about: knobs 1..9, then the page's other bars, then the zero buttons.
    enum Readout { kNone = 0, kVolume = 10, kRotation, kRange, kZeroFirst = 20 };
    QString readout(int id) const;
    int readoutIdOf(const QWidget* control) const;
    void watch(QWidget* control);
    // A value changed; origin: who changed it.
    void changed(int id, Origin origin);
    void showReadout(int id);
    void buildReadout();
    void buildEql();
    void buildPan();
    void buildRotVol();
    void buildPitch();
    void connectKnob(int Index);
    // The widgets follow the sound setting.
    void follow(SoundControl& sound);
    void showSetting(const SoundSetting& s);

    EffectControls& logic_;
    FramePainter* painter_ = nullptr;
    QFrame* frmEffect_ = nullptr;
    std::array<KnobGroup*, kKnobCount + 1> knobs_{};
    QScrollBar* scrVOL_ = nullptr;
    QScrollBar* scrROT_ = nullptr;
    QScrollBar* scrFRQ1_ = nullptr;
    QScrollBar* scrFRQ2_ = nullptr;
    QCheckBox* chkRot1_ = nullptr;
    QCheckBox* chkRot2_ = nullptr;
    QLabel* lblValue_ = nullptr;
    int shown_ = kNone;    // what the line shows
    int hovered_ = kNone;  // what the pointer rests on
    // The tool tip showing a value, while it is up.
    QPointer<QWidget> tipWidget_;
    int tipId_ = kNone;
    QPoint tipPos_;
    // Brings the wave's moves to the line once per display frame.
    QTimer waveFrame_;
    // The rotation bar's thumb while it is dragged (the speed itself changes on release).
    int rotationDrag_ = -1;
};

}  // namespace velorixa::controls
