#include "perform/ui/performancepanel.h"

#include <QPushButton>
#include <QTabWidget>

#include "perform/memosett.h"
#include "perform/ui/layout.h"
#include "perform/ui/performancekeys.h"
#include "perform/ui/setfiles.h"
#include "perform/ui/styleeditor.h"
#include "util/ui/notice.h"
#include "util/undostack.h"

namespace velorixa::perform {

using namespace layout;

namespace {
const QString kMemoSett = QStringLiteral("MemoSett.ini");
}  // namespace

PerformancePanel::PerformancePanel(const PerformanceHosts& hosts, const QString& appPath,
                                   util::TextFocus& textFocus, controls::EffectControls& effects,
                                   PERFOR& perfor, playback::Playback& playback,
                                   QTabWidget& menuTabs, QObject* parent)
    : QObject(parent), effects_(effects), menuTabs_(menuTabs), skbd_(effects) {
    messageBox = [this](const QString& text, const QString& title) {
        // Never a modal loop: a set loads from F1 .. F8 while music plays.
        util::ShowNotice(menuTabs_.window(), title, text);
    };
    // The "Settings" page's two background frames first: the parts' frames lie over them.
    frame(hosts.settings, "Frame5", 240, 360, 3015, 5775);
    frame(hosts.settings, "Frame3", 3480, 360, 3135, 5775);
    styles_ = new StyleEditor(hosts.playBack, hosts.settings, skbd_, sequencer_, playback,
                              textFocus, this);
    setFiles_ = new SetFiles(styles_->preSetFrame(), hosts.settings, appPath, skbd_, menuTabs,
                             textFocus, this);
    setFiles_->message = [this](const QString& text, const QString& title) {
        message(text, title);
    };
    keys_ =
        new PerformanceKeys(hosts.keyboard, hosts.settings, skbd_, effects_, perfor, *this, this);
    QFrame* clear = frame(hosts.settings, "FrmClear", 3600, 4800, 2895, 1215,
                          QStringLiteral("Clear All Styles and  Settings :"));
    auto* cmdAppClr = button(clear, "CmdAppClr", QStringLiteral("Clear"), 8, 30, 80, 24);
    connect(cmdAppClr, &QPushButton::clicked, this, [this] { CmdAppClr_Click(); });

    // What one part changes, the others show.
    connect(styles_, &StyleEditor::edited, setFiles_, &SetFiles::FileNameCler);
    connect(keys_, &PerformanceKeys::assigned, setFiles_, &SetFiles::FileNameCler);
    connect(keys_, &PerformanceKeys::noSettings, setFiles_, &SetFiles::ShowNoSettings);
    connect(setFiles_, &SetFiles::loadFailed, keys_, &PerformanceKeys::CheckKeybd);
    // The actions that lose keys or styles no file holds can be taken back.
    connect(keys_, &PerformanceKeys::assigning, this, [this](int k) {
        if (skbd_.holdsSetting(k)) beforeAssign_ = snapshot();
    });
    connect(keys_, &PerformanceKeys::assigned, this, [this] {
        if (!beforeAssign_) return;
        record(QStringLiteral("Assign"), std::move(*beforeAssign_));
        beforeAssign_.reset();
    });
    connect(setFiles_, &SetFiles::replacingUnsaved, this, [this] {
        if (undo_) undo_->push(QStringLiteral("Load Set"), [this, s = snapshot()] { restore(s); });
    });
    connect(setFiles_, &SetFiles::setLoaded, this, [this] {
        InitTypPerf();
        InitKbdPerf();
        styles_->FileUpdate();
        keys_->CheckKeybd();
    });
    sequencer_.fire = [this](int k) {
        if (keyEnabled(k)) pressKey(k, controls::Origin::Style);
    };
    effects_.setPerformance(this);
    // The load: an empty table, the set list, the initial sound.
    skbd_.InitSkbd();
    setFiles_->FileBoxSetFon_Click();
    keys_->InitSound(controls::Origin::Program);
    keys_->CheckKeybd();
}

PerformancePanel::~PerformancePanel() {
    effects_.setPerformance(nullptr);
}

void PerformancePanel::setBeatLevel(std::function<float()> level) {
    styles_->beatLevel = std::move(level);
}

void PerformancePanel::message(const QString& text, const QString& title) {
    if (messageBox) messageBox(text, title);
}

bool PerformancePanel::keyEnabled(int k) const {
    return keys_->keyEnabled(k);
}

void PerformancePanel::pressKey(int k, controls::Origin origin) {
    keys_->pressKey(k, origin);
}

void PerformancePanel::releaseInitialSound() {
    keys_->releaseInitialSound();
}

void PerformancePanel::FunctionKey(int n) {
    InitTypPerf();
    InitKbdPerf();
    setFiles_->LoadSetSlot(n);
}

void PerformancePanel::InitTypPerf() {
    styles_->InitTypPerf();
}

void PerformancePanel::InitKbdPerf() {
    keys_->InitKbdPerf();
}

void PerformancePanel::CmdAppClr_Click() {
    menuTabs_.setFocus();
    Snapshot before = snapshot();
    styles_->ClearStyles();
    skbd_.ClearSkbd();
    InitKbdPerf();
    InitTypPerf();
    setFiles_->ClearNames();
    keys_->CheckKeybd();
    record(QStringLiteral("Clear"), std::move(before));
}

PerformancePanel::Snapshot PerformancePanel::snapshot() const {
    return {skbd_.set(), setFiles_->fileState()};
}

void PerformancePanel::restore(const Snapshot& s) {
    skbd_.takeSet(s.set);
    styles_->FileUpdate();
    keys_->CheckKeybd();
    // Last: the key check may have said "No Settings"; the names are shown as they were.
    setFiles_->restoreFileState(s.files);
}

void PerformancePanel::record(const QString& name, Snapshot before) {
    // Only a change of the keys or styles is a step: names shown grey alone are not.
    if (!undo_ || before.set == skbd_.set()) return;
    undo_->push(name, [this, before = std::move(before)] { restore(before); });
}

void PerformancePanel::LoadMemoSett() {
    std::array<QString, 9> names = ReadMemoSett(setFiles_->appPath() + kMemoSett);
    if (names[0].isEmpty()) names[0] = setFiles_->firstListed();
    setFiles_->setSetFiles(names);
    setFiles_->LoadSetSlot(0);
    setFiles_->CheckFKey();
}

void PerformancePanel::SaveMemoSett() {
    if (!WriteMemoSett(setFiles_->appPath() + kMemoSett, setFiles_->SetFile()))
        message(QStringLiteral("File Error"), kMemoSett);
}

}  // namespace velorixa::perform
