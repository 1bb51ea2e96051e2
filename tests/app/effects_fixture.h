#pragma once
// The window with a generated tone playing, for the "Effects" page tests: the page's own
// widgets are driven, the result is read back from the audio layer.

#include <QApplication>
#include <QPushButton>
#include <QScrollBar>

#include "common/testmedia.h"
#include "controls/effectcontrols.h"
#include "controls/ui/effectspage.h"
#include "windowfixture.h"

namespace velorixa::testing {

class EffectsWindow {
  public:
    // device: VX_DEVICE_NOSOUND (real time) or VX_DEVICE_OFFLINE (the test renders).
    explicit EffectsWindow(int device) {
        ok = BASS_Init(device, 44100, 0, nullptr) != 0;
        w = std::make_unique<VelMix>("/tmp/");
        ok = test::startWindow(*w) && ok;
        w->playControl().messageBox = [](const QString&, const QString&) {};
        w->MenuTabs()->setCurrentIndex(2);
    }
    ~EffectsWindow() {
        w->Unload();
        w.reset();
        BASS_Free();
    }

    // Plays item row of the list of items, by a double click as the operator does.
    bool play(const QStringList& items, int row) { return test::playRow(*w, items, row); }

    PLAYER& player() { return w->player(); }
    controls::EffectsPage& page() { return w->effectsPage(); }
    controls::EffectControls& logic() { return w->effectControls(); }
    QScrollBar* bar(int knob) { return page().knob(knob)->bar(); }
    void clickRotate(int knob) { QTest::mouseClick(page().knob(knob)->rotBut(), Qt::LeftButton); }
    void clickZero(int knob) { QTest::mouseClick(page().knob(knob)->zerBut(), Qt::LeftButton); }

    bool ok = false;
    std::unique_ptr<VelMix> w;
};

}  // namespace velorixa::testing
