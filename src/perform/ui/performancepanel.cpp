#include "perform/ui/performancepanel.h"

#include <QComboBox>
#include <QDir>
#include <QEvent>
#include <QFont>
#include <QLineEdit>
#include <QListWidget>
#include <QMessageBox>
#include <QPalette>
#include <QPushButton>
#include <QTabWidget>

#include "app/windowstate.h"
#include "perform/memosett.h"
#include "perform/perfor.h"
#include "perform/setfile.h"
#include "playback/ui/playcontrol.h"

namespace velorixa::perform {

namespace {
const QString kMemoSett = QStringLiteral("MemoSett.ini");
const QString kSetExtension = QStringLiteral(".PSF");
}  // namespace

PerformancePanel::PerformancePanel(const PerformanceHosts& hosts, const QString& appPath,
                                   WindowState& state, controls::EffectControls& effects,
                                   PERFOR& perfor, PlayControl& play, QTabWidget& menuTabs,
                                   QObject* parent)
    : QObject(parent),
      appPath_(appPath),
      state_(state),
      effects_(effects),
      perfor_(perfor),
      play_(play),
      menuTabs_(menuTabs),
      skbd_(effects) {
    if (!appPath_.isEmpty() && !appPath_.endsWith(QLatin1Char('/'))) appPath_ += QLatin1Char('/');
    messageBox = [this](const QString& text, const QString& title) {
        QMessageBox::information(menuTabs_.window(), title, text);
    };
    buildKeyboard(hosts.keyboard);
    buildPreSet(hosts.playBack);
    buildSettings(hosts.settings);
    sequencer_.fire = [this](int k) {
        ProgramChange mark(state_);
        if (keyEnabled(k)) pressKey(k);
    };
    connect(&play_.events(), &playback::TransportEvents::positionTick, this,
            &PerformancePanel::onPositionTick);
    effects_.setPerformance(this);
    // The load: an empty table, the set list, the initial sound.
    skbd_.InitSkbd();
    FileBoxSetFon_Click();
    InitSound();
    CheckKeybd();
}

PerformancePanel::~PerformancePanel() {
    effects_.setPerformance(nullptr);
}

void PerformancePanel::message(const QString& text, const QString& title) {
    if (messageBox) messageBox(text, title);
}

void PerformancePanel::selectOption(QPushButton* const* buttons, int first, int last, int chosen) {
    for (int i = first; i <= last; ++i)
        buttons[i]->setChecked(i == chosen);
}

bool PerformancePanel::keyEnabled(int k) const {
    return SKBD::valid(k) && butKbd_[static_cast<size_t>(k)]->isEnabled();
}

void PerformancePanel::pressKey(int k) {
    if (k < 0 || k > kKeyCount) return;
    selectOption(butKbd_.data(), 0, kKeyCount, k);
    ButKbd_Click(k);
}

void PerformancePanel::releaseInitialSound() {
    butKbd_[0]->setChecked(false);
}

void PerformancePanel::FunctionKey(int n) {
    InitTypPerf();
    InitKbdPerf();
    LoadSetSlot(n);
}

// --- The performance keyboard ---

void PerformancePanel::ButKbd_Click(int Index) {
    InitTypPerf();  // a key of the operator's stops the style; one of the style's does not
    if (SKBD::valid(Index)) {
        ProgramChange mark(state_);
        skbd_.ApplyKeySetting(Index);
    } else if (Index == 0) {
        sequencer_.StyleSel = 0;
        sequencer_.StyleDue = false;
        InitSound();
        // A click springs back at once; the space bar holds it down until it comes up.
        if (!state_.KeyHeld) butKbd_[0]->setChecked(false);
    }
}

void PerformancePanel::ButKbdSet_Click(int Index) {
    cmdAppSet_->setEnabled(true);
    SelKey = Index;
}

void PerformancePanel::CmdAppSet_Click() {
    const int k = SelKey;
    if (!SKBD::valid(k)) return;
    skbd_.StoreKeySetting(k);
    butKbd_[k]->setEnabled(skbd_.holdsSetting(k));
    cmdAppSet_->setEnabled(false);
    butKbdSet_[k]->setChecked(false);
    SelKey = 0;
    FileNameCler();
    CheckKeybd();
}

void PerformancePanel::CmdAppClr_Click() {
    menuTabs_.setFocus();
    {
        // The fields are emptied by the program: no style is edited.
        const int lock = EditLock;
        EditLock = 1;
        txtTitle_->clear();
        txtContent_->clear();
        EditLock = lock;
    }
    for (int i = 0; i < kStyleCount; ++i)
        comboStyle_->setItemText(i, QString());
    for (int i = 1; i <= kStyleCount; ++i)
        butTyp_[i]->setText(QString());
    skbd_.ClearSkbd();
    InitKbdPerf();
    InitTypPerf();
    txtKbdFil2_->clear();
    txtKbdFil4_->clear();
    CheckKeybd();
}

void PerformancePanel::InitSound() {
    ProgramChange mark(state_);
    perfor_.InitPerfor();
    for (int i = 1; i <= controls::kKnobCount; ++i)
        effects_.ZerBut_Click(i);
    effects_.SetScrROT(50);
    effects_.SetScrVOL(50);
    effects_.SetChkRot1(false);
    effects_.SetChkRot2(false);
    effects_.SetScrFRQ(50, 150);
}

void PerformancePanel::InitKbdPerf() {
    if (state_.CmdFON) return;
    for (int k = 1; k <= kKeyCount; ++k)
        butKbd_[k]->setChecked(false);
}

void PerformancePanel::CheckKeybd() {
    bool any = false;
    for (int k = 1; k <= kKeyCount; ++k) {
        const bool holds = skbd_.holdsSetting(k);
        butKbd_[k]->setEnabled(holds);
        any = any || holds;
    }
    if (any) return;
    FileNameCler();
    txtKbdFil2_->setText(QStringLiteral("No Settings"));
}

// --- Styles ---

void PerformancePanel::InitTypPerf() {
    if (state_.CmdFON) return;
    sequencer_.Stop();
    for (int i = 1; i <= kStyleCount; ++i)
        butTyp_[i]->setChecked(false);
    txtPerfor2_->clear();
}

void PerformancePanel::ButTyp_Click(int Index) {
    sequencer_.Select(Index);
    ShowContent();
}

void PerformancePanel::ShowContent() {
    if (sequencer_.StyleSel == 0) {
        txtPerfor2_->clear();
        return;
    }
    txtPerfor2_->setText(QStringLiteral("Performance Content :  ") +
                         ContentShown(skbd_.style(sequencer_.StyleSel).Content));
}

void PerformancePanel::ClosTabs() {
    for (int s = 1; s <= kStyleCount; ++s) {
        StyleRecord& st = skbd_.style(s);
        const QString title = NormalisedTitle(st.Title);
        comboStyle_->setItemText(s - 1, title);
        butTyp_[s]->setText(title);
        st.Title = title;
        st.Content = NormalisedContent(st.Content);
    }
    comboStyle_->setCurrentIndex(EditStyle);
    txtTitle_->setText(skbd_.style(EditStyle + 1).Title);
    txtContent_->setText(skbd_.style(EditStyle + 1).Content);
    if (sequencer_.StyleSel != 0) ShowContent();
}

void PerformancePanel::FileUpdate() {
    for (int i = 0; i < kStyleCount; ++i) {
        comboStyle_->setItemText(i, skbd_.style(i + 1).Title);
        butTyp_[i + 1]->setText(skbd_.style(i + 1).Title);
    }
    const int lock = EditLock;
    EditLock = 1;  // the editor shows the loaded set; nothing was edited
    comboStyle_->setCurrentIndex(EditStyle);
    txtTitle_->setText(skbd_.style(EditStyle + 1).Title);
    txtContent_->setText(skbd_.style(EditStyle + 1).Content);
    EditLock = lock;
}

void PerformancePanel::ComboStyle_Click() {
    EditLock = 1;
    EditStyle = std::max(0, comboStyle_->currentIndex());
    txtContent_->setText(skbd_.style(EditStyle + 1).Content);
    txtTitle_->setText(comboStyle_->currentText());
    EditLock = 0;
}

void PerformancePanel::TxtTitle_Change() {
    const QString text = txtTitle_->text();
    comboStyle_->setItemText(EditStyle, text);
    comboStyle_->setCurrentIndex(EditStyle);
    skbd_.style(EditStyle + 1).Title = text;
    if (!EditLock) FileNameCler();
}

void PerformancePanel::TxtContent_Change() {
    skbd_.style(EditStyle + 1).Content = txtContent_->text();
    if (!EditLock) FileNameCler();
}

void PerformancePanel::onPositionTick(int t) {
    if (sequencer_.StyleSel == 0) return;
    StyleTickInput in;
    in.t = t;
    in.isFile = play_.PlayKind() == playback::PlayKind::File;
    in.playLen = play_.PlayLen();
    in.beatLevel = beatLevel ? beatLevel() : 0.0f;
    sequencer_.PlayPosTick(in, skbd_.style(sequencer_.StyleSel).Content);
}

bool PerformancePanel::eventFilter(QObject* watched, QEvent* event) {
    if (event->type() == QEvent::FocusOut && (watched == txtTitle_ || watched == txtContent_)) {
        state_.FlagText = false;
        ClosTabs();
    }
    return QObject::eventFilter(watched, event);
}

// --- Set files ---

bool PerformancePanel::loadSet(const QString& Name, bool quiet) {
    const SetFileRead read = LoadSetFile(appPath_ + Name);
    if (read.status != SetFileStatus::Ok) {
        if (!quiet) {
            message(read.status == SetFileStatus::NotFound
                        ? QStringLiteral("Performance file not found")
                        : QStringLiteral("Wrong Performance file"),
                    Name);
        }
        CheckKeybd();
        return false;
    }
    // Read completely: only now does the table change, all of it at once.
    skbd_.takeSet(read.set);
    setFile_[0] = Name;
    InitTypPerf();
    InitKbdPerf();
    FileUpdate();
    FileNameNews(Name);
    txtPerfor2_->clear();
    CheckKeybd();
    return true;
}

bool PerformancePanel::LoadSet(const QString& Name) {
    return loadSet(Name, false);
}

bool PerformancePanel::LoadSetQuiet(const QString& Name) {
    return loadSet(Name, true);
}

void PerformancePanel::LoadSetSlot(int n) {
    if (n < 0 || n > 8 || setFile_[static_cast<size_t>(n)].isEmpty()) return;
    LoadSetQuiet(setFile_[static_cast<size_t>(n)]);
}

bool PerformancePanel::SaveSet(const QString& Name) {
    if (SaveSetFile(appPath_ + Name, skbd_.set())) return true;
    message(QStringLiteral("File Error"), Name);
    return false;
}

void PerformancePanel::CmdSaveFile_Click() {
    menuTabs_.setFocus();
    if (txtSaveFile_->text().isEmpty()) return;
    const QString name = txtSaveFile_->text() + kSetExtension;
    // A failed save keeps the name typed and claims no file.
    if (!SaveSet(name)) return;
    FileBoxSetFon_Click();
    FileNameNews(name);
    txtSaveFile_->clear();
}

void PerformancePanel::FileBoxSet_DblClick() {
    QListWidgetItem* item = fileBoxSet_->currentItem();
    if (item && !item->text().isEmpty()) LoadSet(item->text());
}

void PerformancePanel::FileBoxSetFon_Click() {
    fileBoxSet_->clear();
    fileBoxSet_->addItems(SetFilesIn(appPath_));
}

void PerformancePanel::CmdFunKey_Click(int Index) {
    if (Index < 1 || Index > 8) return;
    menuTabs_.setFocus();
    QListWidgetItem* item = fileBoxSet_->currentItem();
    QString n = item ? item->text() : QString();
    if (setFile_[static_cast<size_t>(Index)] == n) n.clear();
    setFile_[static_cast<size_t>(Index)] = n;
    CheckFKey();
}

void PerformancePanel::CheckFKey() {
    for (int i = 1; i <= 8; ++i) {
        const QString& name = setFile_[static_cast<size_t>(i)];
        QFont f = cmdFunKey_[i]->font();
        f.setBold(!name.isEmpty());
        cmdFunKey_[i]->setFont(f);
        cmdFunKey_[i]->setToolTip(name);
    }
}

namespace {
void setTextColour(QLineEdit* e, QPalette::ColorRole role) {
    QPalette p = e->palette();
    p.setColor(QPalette::Text, e->palette().color(role));
    e->setPalette(p);
}
}  // namespace

void PerformancePanel::FileNameNews(const QString& Name) {
    setTextColour(txtKbdFil2_, QPalette::ButtonText);
    setTextColour(txtKbdFil4_, QPalette::ButtonText);
    txtKbdFil2_->setText(QStringLiteral("Set File :  ") + Name);
    txtKbdFil4_->setText(Name);
}

void PerformancePanel::FileNameCler() {
    // Grey: what is played no longer equals the file named.
    setTextColour(txtKbdFil2_, QPalette::Dark);
    setTextColour(txtKbdFil4_, QPalette::Dark);
}

// --- Settings file ---

void PerformancePanel::LoadMemoSett() {
    setFile_ = ReadMemoSett(appPath_ + kMemoSett);
    if (setFile_[0].isEmpty() && fileBoxSet_->count() > 0)
        setFile_[0] = fileBoxSet_->item(0)->text();
    LoadSetSlot(0);
    CheckFKey();
}

void PerformancePanel::SaveMemoSett() {
    if (!WriteMemoSett(appPath_ + kMemoSett, setFile_))
        message(QStringLiteral("File Error"), kMemoSett);
}

}  // namespace velorixa::perform
