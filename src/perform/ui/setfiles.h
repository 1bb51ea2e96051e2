#pragma once
// The performance set files in the window: on the "Settings" page the list of set files with the
// current set's name, the F1..F8 bindings (`FrmStore`) and "Save Set as ..." (`Frame4`); on the
// "PlayBack" page the current set's name under the style buttons. Loading a set takes the whole
// table over in one go (SKBD::takeSet) once the file is read completely.
//
// Object names: "TxtKbdFil2", "TxtKbdFil4", "FileBoxSet", "CmdFunKey_1".."CmdFunKey_8",
// "TxtSaveFile", "CmdSaveFile".
//
// Thread contract: GUI thread only.

#include <QObject>
#include <QString>
#include <array>
#include <functional>

#include "perform/keytable.h"

class QFrame;
class QLineEdit;
class QListWidget;
class QPushButton;
class QTabWidget;
class QWidget;

namespace velorixa {
namespace util {
class TextFocus;
}

namespace perform {

class SKBD;

class SetFiles : public QObject {
    Q_OBJECT
  public:
    // preSet: the "PlayBack" page's `FrmPreSet`; settings: the "Settings" page's canvas;
    // appPath: the folder of the set files, with or without its final '/'.
    SetFiles(QFrame* preSet, QWidget* settings, const QString& appPath, SKBD& skbd,
             QTabWidget& menuTabs, util::TextFocus& textFocus, QObject* parent = nullptr);

    // Message box (text, title).
    std::function<void(const QString& text, const QString& title)> message;

    const QString& appPath() const { return appPath_; }
    // `SetFile(0)`: the current set; 1..8: the sets bound to F1..F8.
    const std::array<QString, 9>& SetFile() const { return setFile_; }
    void setSetFiles(const std::array<QString, 9>& names) { setFile_ = names; }
    // The first set file of the list, empty when there is none.
    QString firstListed() const;

    bool LoadSet(const QString& Name);
    bool LoadSetQuiet(const QString& Name);
    void LoadSetSlot(int n);
    bool SaveSet(const QString& Name);
    void CmdSaveFile_Click();
    void FileBoxSet_DblClick();
    void FileBoxSetFon_Click();
    void CmdFunKey_Click(int Index);
    void CheckFKey();
    void FileNameNews(const QString& Name);
    void FileNameCler();
    // No key holds a setting: the names grey, "No Settings" under the style buttons.
    void ShowNoSettings();
    // Both names emptied ("Clear").
    void ClearNames();

    // What the set files say about the table: the current set, the names shown and whether
    // they are grey (the table differs from the file), and the table as last loaded or saved.
    // Taking back a change puts all of it back with the table.
    struct FileState {
        QString current;  // `SetFile(0)`
        QString shownUnderStyles, shownAsCurrent;
        bool grey = false;
        PerformanceSet saved;
        friend bool operator==(const FileState&, const FileState&) = default;
    };
    FileState fileState() const;
    void restoreFileState(const FileState& state);
    // The table holds what no set file has: it differs from the set last loaded or saved.
    bool unsaved() const;

  signals:
    // A set was read and taken over.
    void setLoaded();
    // A set could not be read; the table is as it was.
    void loadFailed();
    // A set that was read is about to replace a table that holds unsaved changes.
    void replacingUnsaved();

  private:
    bool loadSet(const QString& Name, bool quiet);
    void showGrey(bool grey);

    QString appPath_;
    SKBD& skbd_;
    QTabWidget& menuTabs_;
    std::array<QString, 9> setFile_;
    bool grey_ = false;
    PerformanceSet saved_;  // the table as last loaded or saved (empty at start)
    std::array<QPushButton*, 9> cmdFunKey_{};
    QLineEdit* txtKbdFil2_ = nullptr;
    QLineEdit* txtKbdFil4_ = nullptr;
    QLineEdit* txtSaveFile_ = nullptr;
    QListWidget* fileBoxSet_ = nullptr;
};

}  // namespace perform
}  // namespace velorixa
