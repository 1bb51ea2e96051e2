#include "perform/ui/setfiles.h"

#include <QListWidget>
#include <QPalette>
#include <QTabWidget>

#include "perform/setfile.h"
#include "perform/skbd.h"
#include "perform/ui/layout.h"
#include "util/ui/textfocus.h"

namespace velorixa::perform {

using namespace layout;

namespace {
const QString kSetExtension = QStringLiteral(".PSF");

void setTextColour(QLineEdit* e, QPalette::ColorRole role) {
    QPalette p = e->palette();
    p.setColor(QPalette::Text, e->palette().color(role));
    e->setPalette(p);
}
}  // namespace

SetFiles::SetFiles(QFrame* preSet, QWidget* page, const QString& appPath, SKBD& skbd,
                   QTabWidget& menuTabs, util::TextFocus& textFocus, QObject* parent)
    : QObject(parent), appPath_(appPath), skbd_(skbd), menuTabs_(menuTabs) {
    if (!appPath_.isEmpty() && !appPath_.endsWith(QLatin1Char('/'))) appPath_ += QLatin1Char('/');
    txtKbdFil2_ = field(preSet, "TxtKbdFil2", 4, 56, preSet->width() - 8, true);
    txtKbdFil2_->setFixedHeight(14);

    // Left on the "Settings" page: the set files and "Save Set as ...".
    QFrame* store = frame(page, "FrmStore", 360, 480, 2775, 4335);
    label(store, QStringLiteral("Current Set File :"), 6, 4, 170);
    txtKbdFil4_ = field(store, "TxtKbdFil4", 6, 19, store->width() - 12, true);
    fileBoxSet_ = place(new QListWidget(store), "FileBoxSet", 6, 42, store->width() - 12, 150);
    fileBoxSet_->setFont(smallFont());
    fileBoxSet_->setFocusPolicy(Qt::NoFocus);
    fileBoxSet_->setHorizontalScrollBarPolicy(Qt::ScrollBarAsNeeded);
    connect(fileBoxSet_, &QListWidget::itemDoubleClicked, this, [this] { FileBoxSet_DblClick(); });
    label(store, QStringLiteral("Assign Selected File to Key :"), 6, 198, 170);
    for (int i = 1; i <= 8; ++i) {
        const int col = (i - 1) % 4, row = (i - 1) / 4;
        cmdFunKey_[i] = button(store, QStringLiteral("CmdFunKey_%1").arg(i),
                               QStringLiteral("F%1").arg(i), 6 + 43 * col, 216 + 26 * row, 41, 22);
        connect(cmdFunKey_[i], &QPushButton::clicked, this, [this, i] { CmdFunKey_Click(i); });
    }
    QFrame* save = frame(page, "Frame4", 360, 4800, 2775, 1215);
    txtSaveFile_ = field(save, "TxtSaveFile", 6, 8, save->width() - 12);
    textFocus.watch(txtSaveFile_);
    auto* cmdSaveFile = button(save, "CmdSaveFile", QStringLiteral("Save Set as ..."), 6, 34,
                               save->width() - 12, 24);
    connect(cmdSaveFile, &QPushButton::clicked, this, [this] { CmdSaveFile_Click(); });
}

QString SetFiles::firstListed() const {
    return fileBoxSet_->count() > 0 ? fileBoxSet_->item(0)->text() : QString();
}

bool SetFiles::loadSet(const QString& Name, bool quiet) {
    const SetFileRead read = LoadSetFile(appPath_ + Name);
    if (read.status != SetFileStatus::Ok) {
        if (!quiet && message) {
            message(read.status == SetFileStatus::NotFound
                        ? QStringLiteral("Performance file not found")
                        : QStringLiteral("Wrong Performance file"),
                    Name);
        }
        emit loadFailed();
        return false;
    }
    // Read completely: only now does the table change, all of it at once.
    if (unsaved() && !(read.set == skbd_.set())) emit replacingUnsaved();
    skbd_.takeSet(read.set);
    saved_ = read.set;
    setFile_[0] = Name;
    FileNameNews(Name);
    emit setLoaded();
    return true;
}

bool SetFiles::LoadSet(const QString& Name) {
    return loadSet(Name, false);
}

bool SetFiles::LoadSetQuiet(const QString& Name) {
    return loadSet(Name, true);
}

void SetFiles::LoadSetSlot(int n) {
    if (n < 0 || n > 8 || setFile_[static_cast<size_t>(n)].isEmpty()) return;
    LoadSetQuiet(setFile_[static_cast<size_t>(n)]);
}

bool SetFiles::SaveSet(const QString& Name) {
    if (SaveSetFile(appPath_ + Name, skbd_.set())) return true;
    if (message) message(QStringLiteral("File Error"), Name);
    return false;
}

void SetFiles::CmdSaveFile_Click() {
    menuTabs_.setFocus();
    if (txtSaveFile_->text().isEmpty()) return;
    const QString name = txtSaveFile_->text() + kSetExtension;
    // A failed save keeps the name typed and claims no file.
    if (!SaveSet(name)) return;
    saved_ = skbd_.set();
    FileBoxSetFon_Click();
    FileNameNews(name);
    txtSaveFile_->clear();
}

void SetFiles::FileBoxSet_DblClick() {
    QListWidgetItem* item = fileBoxSet_->currentItem();
    if (item && !item->text().isEmpty()) LoadSet(item->text());
}

void SetFiles::FileBoxSetFon_Click() {
    fileBoxSet_->clear();
    fileBoxSet_->addItems(SetFilesIn(appPath_));
}

void SetFiles::CmdFunKey_Click(int Index) {
    if (Index < 1 || Index > 8) return;
    menuTabs_.setFocus();
    QListWidgetItem* item = fileBoxSet_->currentItem();
    QString n = item ? item->text() : QString();
    if (setFile_[static_cast<size_t>(Index)] == n) n.clear();
    setFile_[static_cast<size_t>(Index)] = n;
    CheckFKey();
}

void SetFiles::CheckFKey() {
    for (int i = 1; i <= 8; ++i) {
        const QString& name = setFile_[static_cast<size_t>(i)];
        QFont f = cmdFunKey_[i]->font();
        f.setBold(!name.isEmpty());
        cmdFunKey_[i]->setFont(f);
        cmdFunKey_[i]->setToolTip(name);
    }
}

void SetFiles::showGrey(bool grey) {
    grey_ = grey;
    const QPalette::ColorRole role = grey ? QPalette::Dark : QPalette::ButtonText;
    setTextColour(txtKbdFil2_, role);
    setTextColour(txtKbdFil4_, role);
}

void SetFiles::FileNameNews(const QString& Name) {
    showGrey(false);
    txtKbdFil2_->setText(QStringLiteral("Set File :  ") + Name);
    txtKbdFil4_->setText(Name);
}

void SetFiles::FileNameCler() {
    // Grey: what is played no longer equals the file named.
    showGrey(true);
}

void SetFiles::ShowNoSettings() {
    FileNameCler();
    txtKbdFil2_->setText(QStringLiteral("No Settings"));
}

void SetFiles::ClearNames() {
    txtKbdFil2_->clear();
    txtKbdFil4_->clear();
}

SetFiles::FileState SetFiles::fileState() const {
    return {setFile_[0], txtKbdFil2_->text(), txtKbdFil4_->text(), grey_, saved_};
}

void SetFiles::restoreFileState(const FileState& state) {
    setFile_[0] = state.current;
    txtKbdFil2_->setText(state.shownUnderStyles);
    txtKbdFil4_->setText(state.shownAsCurrent);
    showGrey(state.grey);
    saved_ = state.saved;
}

bool SetFiles::unsaved() const {
    return !(skbd_.set() == saved_);
}

}  // namespace velorixa::perform
