#pragma once
// The "PlayList" page: the play list with its editing buttons and play order, and the add/save
// panel with the file browser and "Save List as ...". The editing algorithms and file formats
// are the window-free playlist logic; this class binds the controls to them.
//
// Thread contract: GUI thread only.

#include <QObject>

#include <QString>
#include <functional>
#include "playlist/listhost.h"

#include "playlist/browser.h"
#include "playlist/musicsearch.h"
#include "playlist/playlistmodel.h"
#include "playlist/playlists.h"
#include "playlist/tagcache.h"

class QCheckBox;
class QComboBox;
class QFrame;
class QLabel;
class QLineEdit;
class QListWidget;
class QPushButton;
class QRadioButton;
class QTimer;
class QWidget;

namespace velorixa {
namespace util {
class TextFocus;
class UndoStack;
}  // namespace util

class ListBox;

class PlayListPage : public QObject, public playlist::ListHost {
    Q_OBJECT
  public:
    // canvas: the page's canvas (window coordinates); lists: the play lists the page shows.
    PlayListPage(QWidget* canvas, util::TextFocus& textFocus, playlist::PlayLists& lists,
                 QObject* parent = nullptr);

    // The list view on the page: the play control and the station list work on its selection.
    ListBox* PlayListView() const { return PlayList; }
    // The list shows its files by their tags (read by tags as lines come in); the tool tip
    // and everything else keep the path. tags must outlive the page.
    void setTags(playlist::TagCache* tags);
    // `CmdSwitch` may be used (the station list disables it while it saves).
    void setSwitchEnabled(bool enabled) override;

    playlist::PlayLists& lists() override { return lists_; }
    void shownListChanged(bool toBottom) override;
    // Music mode: `CmdSwitch` offers the station list.
    bool musicMode() const { return lists_.musicMode(); }
    // `CmdSwitch` drawn pressed or released (the Backspace key shows it so).
    void showSwitchPressed(bool down);
    // The switch between the music list and the station list was asked for (`CmdSwitch` went
    // down, or its key): switchRequested() tells the station list.
    void requestSwitch() { emit switchRequested(); }
    // The page's controls for the station list: the music list's own tools hidden, the list
    // enabled. Returns whether the add/save panel was open (`FlagAddSav`).
    bool enterRadioMode() override;
    // Back to the music list; the add/save panel opens again when it was open before.
    void leaveRadioMode(bool reopenAddSav) override;
    // A text field of the page: while it has the focus, keys type and command nothing.
    void addTextField(QWidget* field);
    // The browser's folder (`DirectoryBox` path).
    const QString& browserFolder() const { return folder_; }
    // Moves the browser to folder; false (browser unchanged) when it cannot be listed.
    bool setBrowserFolder(const QString& folder);
    // Refresh of the browser: the file list from the folder and the pattern.
    void DirectoryBox_Change();

    // Reads "MemoList.ini"; one message when it could not be read whole (it is then kept as it
    // is) or held more lines than a list takes (the original is copied to "MemoList.ini.bak").
    void LoadMemoList(const QString& appPath);
    // Writes the music list to "MemoList.ini"; false (and a message) when it cannot be written.
    // Nothing is written over a saved list that was not read whole.
    bool SaveMemoList(const QString& appPath);
    // "Save List as ..." into the browser's folder.
    void CmdFileSave_Click();
    void CmdAddSel_Click();
    void CmdRemoveSelect_Click();
    void CmdClearList_Click();
    void MoveSelect(int index);
    void OpenAddSav();
    void CloseAddSav();
    void Drive0_Change(const QString& drive);
    // Up (1) and Down (2) keys on page 0.
    void CursorMove(int mode);
    // `ShowListEnd`: the last 22 lines of the list in view.
    void ShowListEnd();
    // `TogFindMusic` click, on: the panel closes and the search of the drive chosen in `Drive0`
    // starts, with a busy pointer; off: `StopFindMusic`.
    void TogFindMusic_Click(bool on);
    // Ends a running music search (the toggle goes off; the lines found so far stay). Nothing
    // happens when none runs.
    void StopFindMusic() override;
    playlist::MusicSearch& musicSearch() { return *search_; }
    // Where "Clear List", "Remove", the moves and the music search's additions record how to put
    // the list back (the list with its selection); none: they are not recorded.
    void setUndoStack(util::UndoStack* undo) { undo_ = undo; }

    // A message box with an OK button and no icon; tests replace it.
    std::function<void(const QString& text, const QString& title)> messageBox;
    // `DefineNext` for the cursor keys when no line is selected (the play queue's).
    std::function<void()> defineNext;
    // The play order chosen with `OptTurn` (1 up, 2 random, 3 down).
    std::function<void(int)> onListTurn;

  signals:
    void switchRequested();

  private:
    // The page's controls; other classes reach them through the intent methods above, tests
    // by their object names.
    ListBox* PlayList;
    QWidget* PlayListBack;
    QFrame* PicAddSav;
    QPushButton* ChkEnterAddSav;
    QLabel* LblMov;
    QPushButton* CmdUpDn[5] = {};  // 1 top, 2 bottom, 3 one up, 4 one down
    QPushButton* CmdRemoveSelect;
    QPushButton* CmdClearList;
    QFrame* FrmQueue;
    QRadioButton* OptTurn[4] = {};  // 1 up, 2 random, 3 down
    QPushButton* CmdSwitch;
    QFrame* FrmAddSav;
    QComboBox* Drive0;
    QListWidget* DirectoryBox;
    ListBox* FileTop;
    QRadioButton* OptMusic;
    QRadioButton* OptLists;
    QPushButton* CmdSelAll;
    QPushButton* CmdAddSel;
    QPushButton* CmdExitAddSav;
    QLineEdit* NameFileSave;
    QPushButton* CmdFileSave;
    QPushButton* TogFindMusic;  // "Music Search", a toggle: on while a search runs
    QLabel* LblListNote;        // what the last search or addition left out, and why

    void buildList(QWidget* canvas);
    void buildAddSav(QWidget* canvas);
    void fillDrives();
    void searchFinished(bool failed);
    // The search toggle on the page while a search runs (running), in the panel otherwise.
    void placeSearchToggle(bool running);
    static constexpr int kTogFindMusicX = 68, kTogFindMusicY = 234, kTogFindMusicW = 86;
    void showListNote(const QString& text);
    // Runs an edit of the shown list and records it as a step to take back when it changed the
    // lines or their selection.
    void undoable(const QString& name, const std::function<void()>& edit);
    // The step that puts lines back as the music list (music) or the station list, wherever
    // that list is at the time.
    std::function<void()> restoreStep(bool music, playlist::PlaylistModel lines);
    // The step's name, with the list it was made in when that was the station list.
    QString stepName(const QString& action) const;

    playlist::PlayLists& lists_;
    playlist::PlaylistModel files_;  // the browser's file list
    util::TextFocus& textFocus_;     // the text fields' focus
    QString folder_;
    QString home_, music_;         // the user's home and music folders, found once at start
    QStringList roots_;            // what the drive list offers
    bool memoListKept_ = false;    // "MemoList.ini" was not read whole: never saved over
    QLabel* lblFolder_ = nullptr;  // the browser's folder
    playlist::BrowserPattern pattern_ = playlist::BrowserPattern::Music;
    playlist::MusicSearch* search_ = nullptr;
    playlist::TagCache* tags_ = nullptr;
    QTimer* namesTimer_ = nullptr;  // gathers the batches of tags read into one repaint
    bool busyPointer_ = false;
    util::UndoStack* undo_ = nullptr;
    int searchStep_ = 0;        // the running (or last) search's step on the undo stack
    int searchCount_ = 0;       // searches started, so a step knows whether its search still runs
    bool searchAdded_ = false;  // the running search appended lines
};

}  // namespace velorixa
