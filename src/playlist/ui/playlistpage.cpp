#include "playlist/ui/playlistpage.h"

#include <QApplication>
#include <QComboBox>
#include <QEvent>
#include <QLabel>
#include <QLineEdit>
#include <QListWidget>
#include <QMouseEvent>
#include <QPushButton>
#include <QRadioButton>
#include <QScrollBar>
#include <QTimer>

#include "playlist/listfile.h"
#include "playlist/ui/listbox.h"
#include "util/fspath.h"
#include "util/twips.h"
#include "util/ui/notice.h"
#include "util/ui/textfocus.h"
#include "util/undostack.h"

namespace velorixa {

using namespace playlist;

namespace {

constexpr const char* kSwitchToNet = "Switch to NET";

template <class W>
W* place(W* w, const char* name, int x, int y, int width, int height) {
    w->setObjectName(name);
    w->setGeometry(x, y, width, height);
    return w;
}

QPushButton* button(QWidget* parent, const char* name, const QString& text, int x, int y, int width,
                    int height = 22) {
    auto* b = place(new QPushButton(text, parent), name, x, y, width, height);
    b->setFocusPolicy(Qt::NoFocus);
    return b;
}

// The picture at the list's place: a click on the disabled list reaches it and opens the list.
class ClickCatcher : public QWidget {
  public:
    ClickCatcher(QWidget* parent, std::function<void()> onClick)
        : QWidget(parent), onClick_(std::move(onClick)) {}

  protected:
    void mousePressEvent(QMouseEvent*) override { onClick_(); }

  private:
    std::function<void()> onClick_;
};

}  // namespace

PlayListPage::PlayListPage(QWidget* canvas, util::TextFocus& textFocus, PlayLists& lists,
                           QObject* parent)
    : QObject(parent), lists_(lists), textFocus_(textFocus) {
    // Never a modal loop: the list's messages come while music plays.
    messageBox = [canvas](const QString& text, const QString& title) {
        util::ShowNotice(canvas->window(), title, text);
    };
    home_ = HomeFolder();
    music_ = UserMusicFolder(home_);
    buildList(canvas);
    buildAddSav(canvas);
    search_ = new MusicSearch(lists_.PlayList, std::make_shared<util::FindFlag>(), this);
    connect(search_, &MusicSearch::linesAdded, this, [this] {
        searchAdded_ = true;
        PlayList->refresh();
        // The newest lines stay in view from 25 lines on.
        if (PlayList->model().count() >= 25) PlayList->scrollToBottom();
    });
    connect(search_, &MusicSearch::finished, this, [this](bool failed) { searchFinished(failed); });
    // The browser, and so the search, start where the music is: the user's music folder, or
    // the folder that is current when the window loads when there is none.
    if (music_.isEmpty() || !setBrowserFolder(music_)) setBrowserFolder(CurrentFolder());
    CloseAddSav();
}

void PlayListPage::setTags(TagCache* tags) {
    if (tags_) disconnect(tags_, nullptr, this, nullptr);
    tags_ = tags;
    if (!namesTimer_) {
        // Names come in batches while a big folder is read: the list is shown anew at most
        // a few times a second, never once per file.
        namesTimer_ = new QTimer(this);
        namesTimer_->setSingleShot(true);
        namesTimer_->setInterval(150);
        connect(namesTimer_, &QTimer::timeout, this, [this] { PlayList->namesChanged(); });
    }
    if (tags_)
        connect(tags_, &TagCache::tagsRead, this, [this] {
            if (!namesTimer_->isActive()) namesTimer_->start();
        });
    PlayList->setNames(tags_);
}

void PlayListPage::buildList(QWidget* canvas) {
    // The picture under the list: while the list is disabled it takes the click that opens it.
    PlayListBack = place(new ClickCatcher(canvas, [this] { CloseAddSav(); }), "PlayListBack", 12,
                         36, 346, 378);
    PlayList = place(new ListBox(lists_.PlayList, canvas), "PlayList", 12, 36, 346, 378);

    // The right column starts past the add/save panel, which lies over the list, and is wide
    // enough for "Switch to NET" with room at both ends.
    const int x = 360, w = 94;
    ChkEnterAddSav = button(canvas, "ChkEnterAddSav", "Add / Save ...", x, 36, w);
    connect(ChkEnterAddSav, &QPushButton::clicked, this, [this] { OpenAddSav(); });

    LblMov = place(new QLabel(QStringLiteral("Move Select.:"), canvas), "LblMov", x, 70, w, 16);
    // Two columns: one line up/down on the left, to top/bottom on the right.
    const char* names[5] = {nullptr, "CmdUpDn1", "CmdUpDn2", "CmdUpDn3", "CmdUpDn4"};
    const char* texts[5] = {nullptr, "Top", "Bottom", "Up", "Down"};
    const int bx[5] = {0, x + 43, x + 43, x, x};
    const int by[5] = {0, 88, 112, 88, 112};
    for (int i = 1; i <= 4; ++i) {
        CmdUpDn[i] = button(canvas, names[i], texts[i], bx[i], by[i], 41);
        QFont small = CmdUpDn[i]->font();
        small.setPointSize(7);
        CmdUpDn[i]->setFont(small);
        connect(CmdUpDn[i], &QPushButton::clicked, this, [this, i] { MoveSelect(i); });
    }
    CmdRemoveSelect = button(canvas, "CmdRemoveSelect", "Remove", x, 146, w);
    connect(CmdRemoveSelect, &QPushButton::clicked, this, [this] { CmdRemoveSelect_Click(); });
    CmdClearList = button(canvas, "CmdClearList", "Clear List", x, 172, w);
    connect(CmdClearList, &QPushButton::clicked, this, [this] { CmdClearList_Click(); });

    FrmQueue = place(new QFrame(canvas), "FrmQueue", x, 206, w, 92);
    FrmQueue->setFrameShape(QFrame::StyledPanel);
    place(new QLabel(QStringLiteral("Queue :"), FrmQueue), "LblQueue", 4, 2, 80, 16);
    const char* optNames[4] = {nullptr, "OptTurn1", "OptTurn2", "OptTurn3"};
    const char* optTexts[4] = {nullptr, "Up", "Random", "Down"};
    for (int i = 1; i <= 3; ++i) {
        OptTurn[i] =
            place(new QRadioButton(optTexts[i], FrmQueue), optNames[i], 6, 2 + 22 * i, 82, 20);
        OptTurn[i]->setFocusPolicy(Qt::NoFocus);
        connect(OptTurn[i], &QRadioButton::toggled, this, [this, i](bool on) {
            if (on && onListTurn) onListTurn(i);
        });
    }
    OptTurn[2]->setChecked(true);

    // What the last search or "Add Select." could not put into the list, in the free room of the
    // right column: read while the music goes on, gone at the next search.
    LblListNote = place(new QLabel(canvas), "LblListNote", x, 300, w, 88);
    LblListNote->setWordWrap(true);
    LblListNote->setAlignment(Qt::AlignLeft | Qt::AlignBottom);
    QFont noteFont = LblListNote->font();
    noteFont.setPointSize(7);
    LblListNote->setFont(noteFont);

    CmdSwitch = button(canvas, "CmdSwitch", kSwitchToNet, x, 390, w);
    connect(CmdSwitch, &QPushButton::pressed, this, [this] { requestSwitch(); });
}

void PlayListPage::buildAddSav(QWidget* canvas) {
    // The panel sits over the list, two pixels inside the box drawn around it.
    PicAddSav = place(new QFrame(canvas), "PicAddSav", px(600), px(840), px(4815), px(4695));
    PicAddSav->setFrameShape(QFrame::Box);
    FrmAddSav = place(new QFrame(canvas), "FrmAddSav", px(600) + 2, px(840) + 2, px(4815) - 4,
                      px(4695) - 4);
    FrmAddSav->setAutoFillBackground(true);
    QWidget* f = FrmAddSav;
    const int w = FrmAddSav->width();

    Drive0 = place(new QComboBox(f), "Drive0", 4, 4, 130, 22);
    DirectoryBox = place(new QListWidget(f), "DirectoryBox", 4, 30, 150, 200);
    FileTop = place(new ListBox(files_, f), "FileTop", 158, 30, w - 162, 200);
    // The two file types take the room their captions need, beside the narrower drive list.
    OptMusic =
        place(new QRadioButton(QStringLiteral("Music Files"), f), "OptMusic", 138, 4, 94, 22);
    OptLists = place(new QRadioButton(QStringLiteral("List Files"), f), "OptLists", 232, 4, 82, 22);
    OptMusic->setChecked(true);
    CmdSelAll = button(f, "CmdSelAll", "Select All", 158, 234, 72);
    CmdAddSel = button(f, "CmdAddSel", "Add Select.", 234, 234, 72);
    CmdExitAddSav = button(f, "CmdExitAddSav", "Close", 4, 234, 60);
    NameFileSave = place(new QLineEdit(f), "NameFileSave", 4, 268, 150, 22);
    CmdFileSave = button(f, "CmdFileSave", "Save List as ...", 158, 268, 110);
    // The browser's folder, shown in full in its tool tip and here from its end, which names it.
    lblFolder_ = place(new QLabel(f), "LblFolder", 4, 292, w - 8, 15);
    TogFindMusic =
        button(f, "TogFindMusic", "Music Search", kTogFindMusicX, kTogFindMusicY, kTogFindMusicW);
    TogFindMusic->setCheckable(true);
    connect(TogFindMusic, &QPushButton::clicked, this, [this](bool on) { TogFindMusic_Click(on); });
    for (QWidget* b : {static_cast<QWidget*>(OptMusic), static_cast<QWidget*>(OptLists)}) {
        b->setFocusPolicy(Qt::NoFocus);
    }
    DirectoryBox->setFocusPolicy(Qt::NoFocus);
    textFocus_.watch(NameFileSave);
    textFocus_.watch(Drive0);

    fillDrives();
    connect(Drive0, &QComboBox::activated, this,
            [this](int i) { Drive0_Change(Drive0->itemText(i)); });
    connect(DirectoryBox, &QListWidget::itemClicked, this, [this](QListWidgetItem* item) {
        QString target = item->data(Qt::UserRole).toString();
        if (!setBrowserFolder(target)) {
            // A folder that vanished or may not be read: the browser stays where it was.
            setBrowserFolder(folder_);
        }
    });
    connect(OptMusic, &QRadioButton::toggled, this, [this](bool on) {
        if (!on) return;
        pattern_ = BrowserPattern::Music;
        DirectoryBox_Change();
    });
    connect(OptLists, &QRadioButton::toggled, this, [this](bool on) {
        if (!on) return;
        pattern_ = BrowserPattern::Lists;
        DirectoryBox_Change();
    });
    connect(CmdSelAll, &QPushButton::clicked, this, [this] {
        FileTop->model().selectAll();
        FileTop->refreshSelection();
    });
    connect(CmdAddSel, &QPushButton::clicked, this, [this] { CmdAddSel_Click(); });
    connect(FileTop, &ListBox::lineDoubleClicked, this, [this](int) { CmdAddSel_Click(); });
    connect(CmdExitAddSav, &QPushButton::clicked, this, [this] { CloseAddSav(); });
    connect(CmdFileSave, &QPushButton::clicked, this, [this] { CmdFileSave_Click(); });
}

void PlayListPage::fillDrives() {
    Drive0->clear();
    roots_ = SearchRoots(home_, music_, ListDrives());
    Drive0->addItems(roots_);
}

void PlayListPage::showSwitchPressed(bool down) {
    CmdSwitch->setDown(down);
}

bool PlayListPage::enterRadioMode() {
    const bool panelOpen = FrmAddSav->isVisible();
    CmdSwitch->setText(QStringLiteral("Switch to MP3"));
    for (QWidget* w : std::initializer_list<QWidget*>{
             FrmAddSav, PicAddSav, ChkEnterAddSav, CmdClearList, Drive0, TogFindMusic, LblListNote})
        w->hide();
    PlayList->setEnabled(true);
    PlayList->raise();
    PlayList->refresh(/*fromTop=*/true);
    return panelOpen;
}

void PlayListPage::leaveRadioMode(bool reopenAddSav) {
    CmdSwitch->setText(QString::fromLatin1(kSwitchToNet));
    for (QWidget* w : std::initializer_list<QWidget*>{ChkEnterAddSav, CmdClearList, Drive0,
                                                      TogFindMusic, LblListNote})
        w->show();
    PlayList->refresh(/*fromTop=*/true);
    if (reopenAddSav) {
        OpenAddSav();
    } else {
        CloseAddSav();
    }
}

void PlayListPage::setSwitchEnabled(bool enabled) {
    CmdSwitch->setEnabled(enabled);
}

void PlayListPage::shownListChanged(bool toBottom) {
    PlayList->refresh();
    if (toBottom) PlayList->scrollToBottom();
}

void PlayListPage::addTextField(QWidget* field) {
    textFocus_.watch(field);
}

bool PlayListPage::setBrowserFolder(const QString& folder) {
    // The path stays the file system's bytes (util/fspath.h); only what is shown is decoded.
    const QString absolute = AbsoluteFolder(folder);
    if (!CanBrowse(absolute)) return false;
    folder_ = absolute;
    DirectoryBox->clear();
    // The way up first, then the sub-folders; a single click opens an entry.
    if (folder_ != QLatin1String("/")) {
        auto* up = new QListWidgetItem(QStringLiteral(".."), DirectoryBox);
        up->setData(Qt::UserRole, ParentFolder(folder_));
    }
    for (const QString& name : ListFolders(folder_)) {
        auto* item = new QListWidgetItem(util::PathForDisplay(name), DirectoryBox);
        item->setData(Qt::UserRole, FolderWithSlash(folder_) + name);
    }
    int driveIndex = Drive0->findText(DriveOf(folder_, roots_));
    if (driveIndex >= 0) Drive0->setCurrentIndex(driveIndex);
    const QString shown = util::PathForDisplay(folder_);
    DirectoryBox->setToolTip(shown);
    lblFolder_->setToolTip(shown);
    lblFolder_->setText(
        lblFolder_->fontMetrics().elidedText(shown, Qt::ElideLeft, lblFolder_->width()));
    DirectoryBox_Change();
    return true;
}

void PlayListPage::DirectoryBox_Change() {
    PlaylistModel& files = FileTop->model();
    files.setTexts(ListFiles(folder_, PatternText(pattern_)));
    FileTop->refresh(/*fromTop=*/true);
}

void PlayListPage::Drive0_Change(const QString& drive) {
    textFocus_.release();
    if (!setBrowserFolder(drive)) {
        messageBox(QStringLiteral("Drive Error"), QStringLiteral("Error"));
        fillDrives();
        int i = Drive0->findText(DriveOf(folder_, roots_));
        if (i >= 0) Drive0->setCurrentIndex(i);
    }
}

void PlayListPage::OpenAddSav() {
    FrmAddSav->show();
    PicAddSav->show();
    FrmAddSav->raise();
    PlayList->setEnabled(false);
}

void PlayListPage::CloseAddSav() {
    FrmAddSav->hide();
    PicAddSav->hide();
    PlayList->setEnabled(true);
    PlayList->raise();
}

void PlayListPage::CmdAddSel_Click() {
    int skipped = 0, hls = 0;
    AddBrowserSelection(PlayList->model(), folder_, FileTop->model(), pattern_, &skipped, &hls);
    PlayList->refresh();
    if (pattern_ == BrowserPattern::Music) {
        showListNote(ListNote(skipped, false, false));
        return;
    }
    QStringList parts;
    if (hls > 0)
        parts << QStringLiteral(
                     "%1 HLS playlist(s) not added: a stream, not a list of files; "
                     "add its address to the stations.")
                     .arg(hls);
    if (skipped > 0)
        parts << QStringLiteral("%1 playlist entries left out: they name no file or station.")
                     .arg(skipped);
    showListNote(parts.join(u'\n'));
}

void PlayListPage::showListNote(const QString& text) {
    LblListNote->setText(text);
    LblListNote->setToolTip(text);
}

void PlayListPage::CmdRemoveSelect_Click() {
    undoable(stepName(QStringLiteral("Remove")), [this] {
        if (RemoveSelected(PlayList->model())) PlayList->refresh(/*fromTop=*/true);
    });
}

void PlayListPage::CmdClearList_Click() {
    undoable(stepName(QStringLiteral("Clear List")), [this] {
        PlayList->model().clear();
        PlayList->refresh();
    });
}

void PlayListPage::MoveSelect(int index) {
    static const char* const kMoves[5] = {"Move", "Move to Top", "Move to Bottom", "Move Up",
                                          "Move Down"};
    const QString name = QString::fromLatin1(kMoves[index >= 1 && index <= 4 ? index : 0]);
    undoable(stepName(name), [this, index] {
        playlist::MoveSelect(PlayList->model(), index);
        PlayList->refresh();
    });
}

void PlayListPage::undoable(const QString& name, const std::function<void()>& edit) {
    const bool music = lists_.musicMode();
    PlaylistModel before = PlayList->model();
    edit();
    // A click that changed nothing (no selection, a block already at the top) is no step:
    // undo then takes back the last action that did.
    if (undo_ && !SameLines(before, PlayList->model()))
        undo_->push(name, restoreStep(music, std::move(before)));
}

std::function<void()> PlayListPage::restoreStep(bool music, PlaylistModel lines) {
    return [this, music, lines = std::move(lines)] {
        // The list may have gone to its hidden place since (the other list is shown): it is put
        // back there, and shown only when it is the list in front.
        (music ? lists_.musicList() : lists_.stationList()) = lines;
        if (music == lists_.musicMode()) PlayList->refresh();
    };
}

QString PlayListPage::stepName(const QString& action) const {
    return lists_.musicMode() ? action : action + QStringLiteral(" (station list)");
}

void PlayListPage::CursorMove(int mode) {
    if (!PlayList->isEnabled()) CloseAddSav();
    if (!playlist::CursorMove(PlayList->model(), mode)) {
        if (defineNext) defineNext();
    }
    PlayList->refreshSelection();
}

void PlayListPage::LoadMemoList(const QString& appPath) {
    const QString path = MemoListPath(appPath);
    ListFileRead info;
    playlist::LoadMemoList(path, PlayList->model(), &info);
    PlayList->refresh();
    // A saved list that was not read whole is never written over: the lines it holds beyond
    // what the list shows would be lost.
    memoListKept_ = MemoListUnreadable(path, info);
    if (memoListKept_) {
        messageBox(QStringLiteral("\"MemoList.ini\" could not be read. It is left as it is and "
                                  "the list will not be saved over it."),
                   QStringLiteral("Error"));
    } else if (info.truncated) {
        // The list holds at most kMaxLines lines, so the save at exit shortens the file: the
        // whole original stays beside it.
        const QString backup = path + QStringLiteral(".bak");
        QString error;
        memoListKept_ = !CopyListFile(path, backup, &error);
        const QString intro = QStringLiteral(
                                  "\"MemoList.ini\" holds more than %1 lines; only the "
                                  "first %1 were loaded. ")
                                  .arg(PlaylistModel::kMaxLines);
        messageBox(
            intro + (memoListKept_
                         ? QStringLiteral("It could not be copied (%1), so the list will "
                                          "not be saved over it.")
                               .arg(error)
                         : QStringLiteral("The whole file is kept as \"MemoList.ini.bak\".")),
            QStringLiteral("Error"));
    }
}

bool PlayListPage::SaveMemoList(const QString& appPath) {
    if (memoListKept_) return true;
    const PlaylistModel& music = lists_.musicList();
    QString error;
    if (!playlist::SaveMemoList(MemoListPath(appPath), music, &error)) {
        messageBox(
            QStringLiteral("The music list could not be saved to \"MemoList.ini\": ") + error,
            QStringLiteral("Error"));
        return false;
    }
    return true;
}

void PlayListPage::CmdFileSave_Click() {
    const QString name = NameFileSave->text();
    if (PlayList->model().isEmpty() || name.isEmpty()) return;
    CmdSwitch->setEnabled(false);
    const SaveTarget target = ListSaveTarget(folder_, name);
    const QString& path = target.path;
    QString error;
    const auto m3uInfo = [this](const QString& item) {
        M3uInfo info;
        if (const audio::TrackTags* t = tags_ ? tags_->find(item) : nullptr) {
            if (t->hasName()) info.title = ShownName(*t, item);
            if (t->lengthSec > 0) info.lengthSec = static_cast<int>(t->lengthSec + 0.5);
        }
        return info;
    };
    const bool saved = target.m3u ? WriteM3uFile(path, PlayList->model().texts(), m3uInfo, &error)
                                  : SaveListFile(path, PlayList->model(), &error);
    if (!saved) {
        messageBox(QStringLiteral("The list could not be saved as \"%1\": %2").arg(path, error),
                   QStringLiteral("Error"));
        CmdSwitch->setEnabled(true);
        return;
    }
    if (!OptLists->isChecked()) {
        OptLists->setChecked(true);  // its toggle shows the playlist files
    } else {
        DirectoryBox_Change();
    }
    CmdSwitch->setEnabled(true);
}

void PlayListPage::ShowListEnd() {
    const int n = PlayList->model().count();
    if (n <= 22) return;
    PlayList->scrollTo(PlayList->QListView::model()->index(n - 22, 0),
                       QAbstractItemView::PositionAtTop);
}

void PlayListPage::TogFindMusic_Click(bool on) {
    TogFindMusic->setChecked(on);
    if (!on) {
        StopFindMusic();
        return;
    }
    // The window stays usable during the search: the arrow with a busy sign, not a wait.
    if (!busyPointer_) QApplication::setOverrideCursor(Qt::BusyCursor);
    busyPointer_ = true;
    CloseAddSav();
    showListNote({});
    // The list before the search is the step to take back: recorded now, so that edits made
    // while the search runs come after it, and dropped at the end if nothing was found.
    searchAdded_ = false;
    const int search = ++searchCount_;
    searchStep_ = 0;
    if (undo_) {
        searchStep_ =
            undo_->push(QStringLiteral("Music Search"),
                        [this, search, restore = restoreStep(/*music=*/true, lists_.musicList())] {
                            // Taken back while it runs: it stops first, so nothing more comes in.
                            if (search == searchCount_ && search_->running()) StopFindMusic();
                            restore();
                        });
    }
    placeSearchToggle(true);
    search_->StartFindMusic(FolderWithSlash(Drive0->currentText()));
}

void PlayListPage::placeSearchToggle(bool running) {
    // The panel closes while the search runs, and the toggle that stops it would go with it: it
    // waits on the page instead, at the top of the note's room, until the search ends.
    const int h = TogFindMusic->height();
    if (running) {
        TogFindMusic->setParent(LblListNote->parentWidget());
        TogFindMusic->setGeometry(LblListNote->x(), LblListNote->y(), LblListNote->width(), h);
    } else {
        TogFindMusic->setParent(FrmAddSav);
        TogFindMusic->setGeometry(kTogFindMusicX, kTogFindMusicY, kTogFindMusicW, h);
    }
    TogFindMusic->show();
    TogFindMusic->raise();
}

void PlayListPage::StopFindMusic() {
    search_->StopFindMusic();
}

void PlayListPage::searchFinished(bool failed) {
    // In the window, not in a box: the music and the keys go on while it is read.
    showListNote(ListNote(search_->skippedNames(), search_->stoppedFull(), failed));
    ShowListEnd();
    if (!searchAdded_ && undo_) undo_->discard(searchStep_);
    if (busyPointer_) QApplication::restoreOverrideCursor();
    busyPointer_ = false;
    TogFindMusic->setChecked(false);
    placeSearchToggle(false);
}

}  // namespace velorixa
