#pragma once
// The performance styles in the window: the twelve style buttons and the running style's
// content on the "PlayBack" page (`FrmPreSet`), and the style editor on the "Settings" page
// (`FrmStyle`). The style sequencer fires a key of the running style at every due play-position
// tick.
//
// Object names: "ButTyp_1".."ButTyp_12", "TxtPerfor2", "ComboStyle", "TxtTitle", "TxtContent".
//
// Thread contract: GUI thread only.

#include <QObject>
#include <array>
#include <functional>

class QComboBox;
class QFrame;
class QLineEdit;
class QPushButton;
class QWidget;

namespace velorixa {

namespace util {
class TextFocus;
}
namespace playback {
class Playback;
}

namespace perform {

class SKBD;
class StyleSequencer;

class StyleEditor : public QObject {
    Q_OBJECT
  public:
    // playBack, settings: the pages' canvases (window coordinates).
    StyleEditor(QWidget* playBack, QWidget* settings, SKBD& skbd, StyleSequencer& sequencer,
                playback::Playback& playback, util::TextFocus& textFocus,
                QObject* parent = nullptr);

    // The display's running level for quiet moments; 0 until a display provides it.
    std::function<float()> beatLevel = [] { return 0.0f; };

    // `FrmPreSet` on the "PlayBack" page, which the set-file name shares.
    QFrame* preSetFrame() const { return preSet_; }

    void InitTypPerf();
    void ButTyp_Click(int Index);
    // A style chosen as its button's click chooses it (a controller's pad).
    void pressStyle(int Index);
    void ShowContent();
    void ClosTabs();
    // The editor and the buttons show the styles of a set just loaded.
    void FileUpdate();
    // The editor, the list and the buttons emptied ("Clear").
    void ClearStyles();
    void ComboStyle_Click();
    void TxtTitle_Change();
    void TxtContent_Change();

  signals:
    // The operator changed a style: the set differs from its file.
    void edited();

  protected:
    bool eventFilter(QObject* watched, QEvent* event) override;

  private:
    void buildPreSet(QWidget* page);
    void buildEditor(QWidget* page);
    // Shows a style in the editor's fields as the program's own change: no edit.
    void showInEditor(const QString& title, const QString& content);
    void onPositionTick(int t);

    SKBD& skbd_;
    StyleSequencer& sequencer_;
    playback::Playback& playback_;
    util::TextFocus& textFocus_;
    int EditStyle = 0;
    QFrame* preSet_ = nullptr;
    std::array<QPushButton*, 13> butTyp_{};
    QComboBox* comboStyle_ = nullptr;
    QLineEdit* txtTitle_ = nullptr;
    QLineEdit* txtContent_ = nullptr;
    QLineEdit* txtPerfor2_ = nullptr;
};

}  // namespace perform
}  // namespace velorixa
