#include "perform/ui/performancekeys.h"

#include <QPushButton>

#include "controls/effectcontrols.h"
#include "perform/perfor.h"
#include "perform/skbd.h"
#include "perform/ui/layout.h"

namespace velorixa::perform {

using controls::Origin;
using namespace layout;

PerformanceKeys::PerformanceKeys(QWidget* keyboard, QWidget* settings, SKBD& skbd,
                                 controls::EffectControls& effects, PERFOR& perfor,
                                 controls::PerformanceCancel& cancel, QObject* parent)
    : QObject(parent), skbd_(skbd), effects_(effects), perfor_(perfor), cancel_(cancel) {
    buildKeyboard(keyboard);
    buildAssign(settings);
}

void PerformanceKeys::buildKeyboard(QWidget* host) {
    // 161 x 73 pixels: three letter rows, "<" and ">" beside the last one, "Initial Sound" as
    // the space bar.
    letterRows(5, 3, 15, 16, 5, [&](int k, int x, int y) {
        butKbd_[k] = button(host, QStringLiteral("ButKbd_%1").arg(k), QString(QChar('A' + k - 1)),
                            x, y, 15, 16, true);
        butKbd_[k]->setEnabled(false);
    });
    button(host, "ButKbdMin", "<", 122, 35, 17, 16);
    button(host, "ButKbdMax", ">", 139, 35, 17, 16);
    butKbd_[0] = button(host, "ButKbd_0", "Initial Sound", 20, 53, 121, 16, true);
    for (int k = 0; k <= kKeyCount; ++k) {
        connect(butKbd_[k], &QPushButton::clicked, this, [this, k] {
            selectOption(butKbd_.data(), 0, kKeyCount, k);
            ButKbd_Click(k, Origin::Operator, /*held=*/false);
        });
    }
}

void PerformanceKeys::buildAssign(QWidget* page) {
    QFrame* apply = frame(page, "FrmApply", 3600, 2640, 2895, 2175,
                          QStringLiteral("Assign Current Setting to Key :"));
    letterRows(8, 24, 17, 22, 6, [&](int k, int x, int y) {
        butKbdSet_[k] = button(apply, QStringLiteral("ButKbdSet_%1").arg(k),
                               QString(QChar('A' + k - 1)), x, y, 17, 20, true);
        connect(butKbdSet_[k], &QPushButton::clicked, this, [this, k] {
            selectOption(butKbdSet_.data(), 1, kKeyCount, k);
            ButKbdSet_Click(k);
        });
    });
    cmdAppSet_ = button(apply, "CmdAppSet", QStringLiteral("Assign"), 8, 100, 80, 24);
    cmdAppSet_->setEnabled(false);
    connect(cmdAppSet_, &QPushButton::clicked, this, [this] { CmdAppSet_Click(); });
}

bool PerformanceKeys::keyEnabled(int k) const {
    return SKBD::valid(k) && butKbd_[static_cast<size_t>(k)]->isEnabled();
}

bool PerformanceKeys::keyDown(int k) const {
    return k >= 0 && k <= kKeyCount && butKbd_[static_cast<size_t>(k)]->isChecked();
}

void PerformanceKeys::pressKey(int k, Origin origin) {
    if (k < 0 || k > kKeyCount) return;
    selectOption(butKbd_.data(), 0, kKeyCount, k);
    ButKbd_Click(k, origin, /*held=*/true);
}

void PerformanceKeys::releaseInitialSound() {
    butKbd_[0]->setChecked(false);
}

void PerformanceKeys::ButKbd_Click(int Index, Origin origin, bool held) {
    // A key of the operator's stops the style; one of the style's does not.
    if (controls::TakesOver(origin)) cancel_.InitTypPerf();
    if (SKBD::valid(Index)) {
        skbd_.ApplyKeySetting(Index, origin == Origin::Style ? Origin::Style : Origin::KeyRecall);
    } else if (Index == 0) {
        InitSound(Origin::KeyRecall);
        // A click springs back at once; the space bar holds it down until it comes up.
        if (!held) butKbd_[0]->setChecked(false);
    }
}

void PerformanceKeys::ButKbdSet_Click(int Index) {
    cmdAppSet_->setEnabled(true);
    SelKey = Index;
}

void PerformanceKeys::CmdAppSet_Click() {
    const int k = SelKey;
    if (!SKBD::valid(k)) return;
    emit assigning(k);
    skbd_.StoreKeySetting(k);
    butKbd_[k]->setEnabled(skbd_.holdsSetting(k));
    cmdAppSet_->setEnabled(false);
    butKbdSet_[k]->setChecked(false);
    SelKey = 0;
    emit assigned();
    CheckKeybd();
}

void PerformanceKeys::InitSound(Origin origin) {
    perfor_.InitPerfor();
    for (int i = 1; i <= controls::kKnobCount; ++i)
        effects_.ZerBut_Click(i, origin);
    effects_.SetScrROT(50, origin);
    effects_.SetScrVOL(50, origin);
    effects_.SetChkRot1(false, origin);
    effects_.SetChkRot2(false, origin);
    effects_.SetScrFRQ(50, 150, origin);
}

void PerformanceKeys::InitKbdPerf() {
    for (int k = 1; k <= kKeyCount; ++k)
        butKbd_[k]->setChecked(false);
}

void PerformanceKeys::CheckKeybd() {
    bool any = false;
    for (int k = 1; k <= kKeyCount; ++k) {
        const bool holds = skbd_.holdsSetting(k);
        butKbd_[k]->setEnabled(holds);
        any = any || holds;
    }
    if (!any) emit noSettings();
}

}  // namespace velorixa::perform
