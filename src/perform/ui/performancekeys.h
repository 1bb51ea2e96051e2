#pragma once
// The performance keys in the window: the on-screen keyboard (26 letter keys and "Initial
// Sound", `FrmKeybrd`) and on the "Settings" page the frame that assigns the current sound to a
// key ("Assign"). A key fired recalls its setting through the key table (SKBD).
//
// Object names: "ButKbd_0".."ButKbd_26", "ButKbdSet_1".."ButKbdSet_26", "CmdAppSet".
//
// Thread contract: GUI thread only.

#include <QObject>
#include <array>

#include "controls/origin.h"

class QPushButton;
class QWidget;

namespace velorixa {

namespace controls {
class EffectControls;
class PerformanceCancel;
}  // namespace controls

namespace perform {

class PERFOR;
class SKBD;

class PerformanceKeys : public QObject {
    Q_OBJECT
  public:
    // keyboard: `FrmKeybrd`; settings: the "Settings" page's canvas. cancel stops the running
    // style when the operator fires a key.
    PerformanceKeys(QWidget* keyboard, QWidget* settings, SKBD& skbd,
                    controls::EffectControls& effects, PERFOR& perfor,
                    controls::PerformanceCancel& cancel, QObject* parent = nullptr);

    bool keyEnabled(int k) const;
    // `ButKbd(k).Value`: the key is shown down.
    bool keyDown(int k) const;
    // `ButKbd(k).Value` = True: by the operator (a click, a key) or by the running style.
    void pressKey(int k, controls::Origin origin);
    // Space released: "Initial Sound" comes up.
    void releaseInitialSound();

    // held: pressed by a key that stays down until releaseInitialSound (the space bar).
    void ButKbd_Click(int Index, controls::Origin origin, bool held);
    void ButKbdSet_Click(int Index);
    void CmdAppSet_Click();
    // The initial sound: every knob still at its zero position, rotation speed and volume 50,
    // both wave boxes clear, the pitch range 50..150, the wave from its start.
    void InitSound(controls::Origin origin);
    void InitKbdPerf();
    void CheckKeybd();

  signals:
    // "Assign" is about to store the current setting in key k (the key may hold one already).
    void assigning(int k);
    // A key took the current setting: the table differs from its set file.
    void assigned();
    // No key holds a setting.
    void noSettings();

  private:
    void buildKeyboard(QWidget* host);
    void buildAssign(QWidget* page);

    SKBD& skbd_;
    controls::EffectControls& effects_;
    PERFOR& perfor_;
    controls::PerformanceCancel& cancel_;
    int SelKey = 0;
    std::array<QPushButton*, 27> butKbd_{};
    std::array<QPushButton*, 27> butKbdSet_{};
    QPushButton* cmdAppSet_ = nullptr;
};

}  // namespace perform
}  // namespace velorixa
