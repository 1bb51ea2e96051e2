#pragma once
// The performance layer in the window, put together from its parts: the keys
// (PerformanceKeys), the styles (StyleEditor) and the set files with F1..F8 (SetFiles), plus
// "Clear" and the settings file (MemoSett.ini) that carries the set bindings from one start to
// the next. It owns the key table (SKBD) and the style sequencer, and it is what the "Effects"
// page cancels when the operator takes the sound over.
//
// Object names of its own: "FrmClear", "CmdAppClr".
//
// Thread contract: GUI thread only.

#include <QObject>
#include <QString>
#include <array>
#include <functional>
#include <optional>

#include "controls/effectcontrols.h"
#include "perform/skbd.h"
#include "perform/styles.h"
#include "perform/ui/setfiles.h"

class QTabWidget;
class QWidget;

namespace velorixa {

namespace util {
class TextFocus;
class UndoStack;
}  // namespace util
namespace playback {
class Playback;
}

namespace perform {

class PERFOR;
class PerformanceKeys;
class StyleEditor;

// Where the panel's controls go.
struct PerformanceHosts {
    QWidget* keyboard = nullptr;  // `FrmKeybrd`, shown with pages 1 and 2
    QWidget* playBack = nullptr;  // the "PlayBack" page's canvas (window coordinates)
    QWidget* settings = nullptr;  // the "Settings" page's canvas
};

class PerformancePanel : public QObject, public controls::PerformanceCancel {
    Q_OBJECT
  public:
    PerformancePanel(const PerformanceHosts& hosts, const QString& appPath,
                     util::TextFocus& textFocus, controls::EffectControls& effects, PERFOR& perfor,
                     playback::Playback& playback, QTabWidget& menuTabs, QObject* parent = nullptr);
    ~PerformancePanel() override;

    // Message box (text, title); tests replace it.
    std::function<void(const QString& text, const QString& title)> messageBox;
    // The display's running level for quiet moments; 0 until a display provides it.
    void setBeatLevel(std::function<float()> level);

    SKBD& skbd() { return skbd_; }
    StyleSequencer& sequencer() { return sequencer_; }
    PerformanceKeys& keys() { return *keys_; }
    StyleEditor& styles() { return *styles_; }
    SetFiles& setFiles() { return *setFiles_; }

    // The key commands.
    bool keyEnabled(int k) const;
    void pressKey(int k, controls::Origin origin = controls::Origin::Operator);
    // Space released: "Initial Sound" comes up.
    void releaseInitialSound();
    // F1..F8: stop the style, release the keys, load the set bound to that key.
    void FunctionKey(int n);

    void InitTypPerf() override;
    void InitKbdPerf() override;
    // "Clear": every key and style emptied.
    void CmdAppClr_Click();

    // Settings file.
    void LoadMemoSett();
    void SaveMemoSett();

    // Where "Clear", an "Assign" over a key that held a setting and a set loaded over unsaved
    // keys record how to put the keys and styles back; none: they are not recorded.
    void setUndoStack(util::UndoStack* undo) { undo_ = undo; }

  private:
    // The keys, the styles and what the set files say about them, as one step puts them back.
    struct Snapshot {
        PerformanceSet set;
        SetFiles::FileState files;
    };
    Snapshot snapshot() const;
    void restore(const Snapshot& s);
    // Records before as the step name takes back, unless the keys and styles are unchanged.
    void record(const QString& name, Snapshot before);

    void message(const QString& text, const QString& title);

    controls::EffectControls& effects_;
    QTabWidget& menuTabs_;
    SKBD skbd_;
    StyleSequencer sequencer_;
    StyleEditor* styles_ = nullptr;
    SetFiles* setFiles_ = nullptr;
    PerformanceKeys* keys_ = nullptr;
    util::UndoStack* undo_ = nullptr;
    std::optional<Snapshot> beforeAssign_;  // while "Assign" replaces a key's setting
};

}  // namespace perform
}  // namespace velorixa
