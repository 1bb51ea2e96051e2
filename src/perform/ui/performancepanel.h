#pragma once
// The performance layer in the window: the on-screen keyboard (26 letter keys and "Initial
// Sound"), the style buttons and the set-file name on the "PlayBack" page, and on the
// "Settings" page the style editor, the set files with their F1..F8 bindings, "Assign" and
// "Clear". The key table (SKBD), the style sequencer and the file formats are window-free; this
// class binds the controls to them and holds the window's procedures and events.
//
// Thread contract: GUI thread only.

#include <QObject>
#include <QString>
#include <array>
#include <functional>
#include <memory>

#include "controls/effectcontrols.h"
#include "perform/skbd.h"
#include "perform/styles.h"

class QComboBox;
class QFrame;
class QLabel;
class QLineEdit;
class QListWidget;
class QPushButton;
class QTabWidget;
class QWidget;

namespace velorixa {

class PlayControl;
struct WindowState;

namespace perform {

class PERFOR;

// Where the panel's controls go.
struct PerformanceHosts {
    QWidget* keyboard = nullptr;  // `FrmKeybrd`, shown with pages 1 and 2
    QWidget* playBack = nullptr;  // the "PlayBack" page's canvas (window coordinates)
    QWidget* settings = nullptr;  // the "Settings" page's canvas
};

class PerformancePanel : public QObject, public controls::PerformanceCancel {
    Q_OBJECT
  public:
    PerformancePanel(const PerformanceHosts& hosts, const QString& appPath, WindowState& state,
                     controls::EffectControls& effects, PERFOR& perfor, PlayControl& play,
                     QTabWidget& menuTabs, QObject* parent = nullptr);
    ~PerformancePanel() override;

    // Message box (text, title); tests replace it.
    std::function<void(const QString& text, const QString& title)> messageBox;
    // The display's running level for quiet moments; 0 until a display provides it.
    std::function<float()> beatLevel = [] { return 0.0f; };

    SKBD& skbd() { return skbd_; }
    StyleSequencer& sequencer() { return sequencer_; }
    const std::array<QString, 9>& SetFile() const { return setFile_; }

    // The key commands.
    bool keyEnabled(int k) const;
    // `ButKbd(k).Value` = True, as a key or the style sequencer presses it.
    void pressKey(int k);
    // Space released: "Initial Sound" comes up.
    void releaseInitialSound();
    // F1..F8: stop the style, release the keys, load the set bound to that key.
    void FunctionKey(int n);

    // Performance keyboard.
    void ButKbd_Click(int Index);
    void ButKbdSet_Click(int Index);
    void CmdAppSet_Click();
    void CmdAppClr_Click();
    void InitSound();
    void InitKbdPerf() override;
    void CheckKeybd();
    // Styles.
    void InitTypPerf() override;
    void ButTyp_Click(int Index);
    void ShowContent();
    void ClosTabs();
    void FileUpdate();
    void ComboStyle_Click();
    void TxtTitle_Change();
    void TxtContent_Change();
    // Set files.
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
    // Settings file.
    void LoadMemoSett();
    void SaveMemoSett();

    // The controls, by their names.
    QPushButton* ButKbd(int i) const { return butKbd_[static_cast<size_t>(i)]; }
    QPushButton* ButKbdSet(int i) const { return butKbdSet_[static_cast<size_t>(i)]; }
    QPushButton* ButTyp(int i) const { return butTyp_[static_cast<size_t>(i)]; }
    QPushButton* CmdFunKey(int i) const { return cmdFunKey_[static_cast<size_t>(i)]; }
    QPushButton* CmdAppSet() const { return cmdAppSet_; }
    QPushButton* CmdAppClr() const { return cmdAppClr_; }
    QPushButton* CmdSaveFile() const { return cmdSaveFile_; }
    QComboBox* ComboStyle() const { return comboStyle_; }
    QLineEdit* TxtTitle() const { return txtTitle_; }
    QLineEdit* TxtContent() const { return txtContent_; }
    QLineEdit* TxtSaveFile() const { return txtSaveFile_; }
    QLineEdit* TxtPerfor2() const { return txtPerfor2_; }
    QLineEdit* TxtKbdFil2() const { return txtKbdFil2_; }
    QLineEdit* TxtKbdFil4() const { return txtKbdFil4_; }
    QListWidget* FileBoxSet() const { return fileBoxSet_; }

  protected:
    bool eventFilter(QObject* watched, QEvent* event) override;

  private:
    void buildKeyboard(QWidget* host);
    void buildPreSet(QWidget* page);
    void buildSettings(QWidget* page);
    bool loadSet(const QString& Name, bool quiet);
    // Presses one button of an option group and releases the others (no click).
    static void selectOption(QPushButton* const* buttons, int first, int last, int chosen);
    void onPositionTick(int t);
    void message(const QString& text, const QString& title);

    QString appPath_;
    WindowState& state_;
    controls::EffectControls& effects_;
    PERFOR& perfor_;
    PlayControl& play_;
    QTabWidget& menuTabs_;
    SKBD skbd_;
    StyleSequencer sequencer_;
    std::array<QString, 9> setFile_;
    int SelKey = 0;
    int EditStyle = 0;
    int EditLock = 0;

    std::array<QPushButton*, 27> butKbd_{};
    std::array<QPushButton*, 27> butKbdSet_{};
    std::array<QPushButton*, 13> butTyp_{};
    std::array<QPushButton*, 9> cmdFunKey_{};
    QPushButton* cmdAppSet_ = nullptr;
    QPushButton* cmdAppClr_ = nullptr;
    QPushButton* cmdSaveFile_ = nullptr;
    QPushButton* cmdFON_ = nullptr;
    QComboBox* comboStyle_ = nullptr;
    QLineEdit* txtTitle_ = nullptr;
    QLineEdit* txtContent_ = nullptr;
    QLineEdit* txtSaveFile_ = nullptr;
    QLineEdit* txtPerfor2_ = nullptr;
    QLineEdit* txtKbdFil2_ = nullptr;
    QLineEdit* txtKbdFil4_ = nullptr;
    QListWidget* fileBoxSet_ = nullptr;
};

}  // namespace perform
}  // namespace velorixa
