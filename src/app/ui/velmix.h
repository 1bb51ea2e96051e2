#pragma once
// VELMIX, the player's one window: a fixed 457 x 425 pixel frame around the tab control
// `MenuTabs` and its four pages, the panels drawn over the pages, the title cover and the
// window's timers. It is the composition root: each subsystem's page or panel class is created
// here and given the shared window state; this class holds no subsystem logic itself.
//
// Thread contract: GUI thread only.

#include <QFrame>
#include <QString>
#include <QTimer>
#include <QWidget>
#include <functional>
#include <memory>
#include <vector>

#include "app/windowstate.h"
#include "playlist/playlists.h"
#include "playlist/tagcache.h"
#include "util/ui/textfocus.h"
#include "util/undostack.h"

class QTabWidget;
class QLabel;
class QPushButton;

namespace velorixa {

class PageCanvas;
class PLAYER;
class TransportPanel;
class PlayListPage;
class PlayControl;
class KeyRouter;
class KeyboardControl;
class Controllers;
class RadioPanel;
class UtilPanel;
class MessageLine;
class OutputPanel;
namespace playback {
class PlayQueue;
class Playback;
class AudioPlayerPort;
}  // namespace playback
namespace controls {
class PlayerSoundTarget;
class SoundControl;
class EffectControls;
class EffectsPage;
}  // namespace controls
namespace display {
class DisplayPanel;
}  // namespace display
namespace perform {
class PERFOR;
class PerformancePanel;
}  // namespace perform
namespace record {
class RecordSession;
class RecordPanel;
}  // namespace record
namespace levels {
class LoudnessScanner;
class LevelControl;
class LevelsPanel;
}  // namespace levels

class VelMix : public QWidget {
    Q_OBJECT
  public:
    static constexpr int kClientWidth = 457;
    static constexpr int kClientHeight = 425;
    // The tab captions exactly as stored, trailing blanks included.
    static const char* const kPageCaptions[4];

    explicit VelMix(const QString& appPath, QWidget* parent = nullptr);
    ~VelMix() override;

    // Shows the window; the load event runs first, once.
    void Show();
    // Runs the unload steps (once) and closes the window.
    void Unload();

    // The saved state was loaded at start-up, so the unload steps may write it back. On the
    // start-up failure paths it never was, and the files on disk must stay as they are.
    void setStateLoaded(bool loaded) { stateLoaded_ = loaded; }
    bool stateLoaded() const { return stateLoaded_; }
    // Steps the unload event runs in order after the player is shut down: the savers run only
    // when the state was loaded.
    void addStateSaver(std::function<void()> saver) { savers_.push_back(std::move(saver)); }
    void addShutdownStep(std::function<void()> step) { shutdownSteps_.push_back(std::move(step)); }
    int unloadCount() const { return unloadCount_; }

    WindowState& state() { return state_; }
    // Whether a text field has the focus (key commands and the position tick pause).
    util::TextFocus& textFocus() { return textFocus_; }
    const QString& AppPath() const { return appPath_; }
    double TwipX() const { return twipX_; }
    double TwipY() const { return twipY_; }

    QTabWidget* MenuTabs() const { return menuTabs_; }
    // The canvas of a page (0..3): controls on it are placed in window coordinates.
    QWidget* page(int index) const;
    QFrame* FrmSystem() const { return frmSystem_; }
    QFrame* FrmKeybrd() const { return frmKeybrd_; }
    QFrame* FrameTit() const { return frameTit_; }
    QFrame* FrameHelp() const { return frameHelp_; }
    QFrame* Frame1() const { return frame1_; }
    QTimer* TimerBeg() { return &timerBeg_; }
    QTimer* TimerFoc() { return &timerFoc_; }
    QTimer* TimerTik() { return &timerTik_; }
    QTimer* TimerNet() { return &timerNet_; }
    int formStartCount() const { return formStartCount_; }

    // The subsystems the window is composed of.
    PLAYER& player() { return *player_; }
    TransportPanel& transport() { return *transport_; }
    PlayListPage& playListPage() { return *playListPage_; }
    PlayControl& playControl() { return *playControl_; }
    // The transport: every command that plays goes through it.
    playback::Playback& playback() { return *playback_; }
    MessageLine& messageLine() { return *messageLine_; }
    KeyRouter& keyRouter() { return *keyRouter_; }
    KeyboardControl& keyboardControl() { return *keyboardControl_; }
    // The hardware controllers (MIDI).
    Controllers& controllers() { return *controllers_; }
    RadioPanel& radioPanel() { return *radioPanel_; }
    UtilPanel& utilPanel() { return *utilPanel_; }
    playback::PlayQueue& playQueue();
    playlist::PlayLists& playLists() { return playLists_; }
    // The music files' tags, read off this thread; what the list, the transport and the
    // desktop's media controls show of an item.
    playlist::TagCache& tags() { return *tags_; }
    controls::SoundControl& soundControl() { return *soundControl_; }
    display::DisplayPanel& display() { return *display_; }
    // The "Effects" page, its handlers and the wave generator its knobs follow.
    controls::EffectsPage& effectsPage() { return *effectsPage_; }
    controls::EffectControls& effectControls() { return *effectControls_; }
    perform::PERFOR& perfor() { return *perfor_; }
    // The performance keys, styles and set files.
    perform::PerformancePanel& performance() { return *performance_; }
    // Recording the output as heard: the toggle, F9 and the settings.
    record::RecordSession& recordSession() { return *recordSession_; }
    record::RecordPanel& recordPanel() { return *recordPanel_; }
    // Evening out levels: the option, the gains, the background measurement and their controls.
    levels::LevelControl& levelControl() { return *levelControl_; }
    levels::LoudnessScanner& loudnessScanner() { return *loudnessScanner_; }
    levels::LevelsPanel& levelsPanel() { return *levelsPanel_; }

    // The destructive actions of the list and the performance keys, newest first; Ctrl+Z takes
    // the newest back. Kept for this run only.
    util::UndoStack& undoStack() { return undo_; }

    // The start-up loaders of the saved state, in order.
    void LoadSavedState();

    // The knob wave tick, called by the main loop every waveTickMs(): while a knob rotates and
    // the sound plays, the wave moves one step and the nine knobs follow it (origin: the wave).
    void PerforTimer();
    // The wave tick period in ms, as the rotation speed last reported it.
    int waveTickMs() const { return waveTickMs_; }
    int perforTicks() const { return perforTicks_; }

    // Fits a bar into its border frame one pixel in from every side.
    void ScrFrm(QWidget* scr, QWidget* frm);
    void ClrLevels();

  signals:
    // The page in front changed (after the panels were shown or hidden).
    void pageChanged(int page, int previous);
    void formStarted();
    void perforTick();

  protected:
    void closeEvent(QCloseEvent* event) override;

  private:
    void Form_Load();
    void FormStart();
    void MenuTabs_Click(int previousTab);
    void CmdLayout_Click();
    void buildTitleCover();
    void buildOverlayPanels();

    QString appPath_;
    WindowState state_;
    util::TextFocus textFocus_;
    double twipX_ = 15, twipY_ = 15;
    bool loaded_ = false;
    bool stateLoaded_ = false;
    bool unloaded_ = false;
    int unloadCount_ = 0;
    int formStartCount_ = 0;
    int perforTicks_ = 0;
    int waveTickMs_ = 101;      // the rotation speed's wave tick period
    bool knobsRotate_ = false;  // a knob's rotate button is down
    int currentTab_ = 0;
    std::vector<std::function<void()>> savers_;
    std::vector<std::function<void()>> shutdownSteps_;

    QTabWidget* menuTabs_ = nullptr;
    PageCanvas* canvases_[4] = {};
    QFrame* frmSystem_ = nullptr;
    QFrame* frmKeybrd_ = nullptr;
    QFrame* frmVMIX_ = nullptr;
    QFrame* frameTit_ = nullptr;
    QFrame* frameHelp_ = nullptr;
    QFrame* frame1_ = nullptr;
    QPushButton* cmdLayout_ = nullptr;
    QTimer timerBeg_, timerFoc_, timerTik_, timerNet_;

    playlist::PlayLists playLists_;
    playlist::TagCache* tags_ = nullptr;
    util::UndoStack undo_;
    std::unique_ptr<PLAYER> player_;
    std::unique_ptr<controls::PlayerSoundTarget> soundTarget_;
    controls::SoundControl* soundControl_ = nullptr;
    std::unique_ptr<perform::PERFOR> perfor_;
    std::unique_ptr<controls::EffectControls> effectControls_;
    controls::EffectsPage* effectsPage_ = nullptr;
    std::unique_ptr<playback::AudioPlayerPort> playerPort_;
    playback::Playback* playback_ = nullptr;
    MessageLine* messageLine_ = nullptr;
    OutputPanel* outputPanel_ = nullptr;
    std::unique_ptr<TransportPanel> transport_;
    PlayListPage* playListPage_ = nullptr;
    PlayControl* playControl_ = nullptr;
    KeyRouter* keyRouter_ = nullptr;
    KeyboardControl* keyboardControl_ = nullptr;
    Controllers* controllers_ = nullptr;
    RadioPanel* radioPanel_ = nullptr;
    UtilPanel* utilPanel_ = nullptr;
    display::DisplayPanel* display_ = nullptr;
    perform::PerformancePanel* performance_ = nullptr;
    record::RecordSession* recordSession_ = nullptr;
    record::RecordPanel* recordPanel_ = nullptr;
    levels::LoudnessScanner* loudnessScanner_ = nullptr;
    levels::LevelControl* levelControl_ = nullptr;
    levels::LevelsPanel* levelsPanel_ = nullptr;
};

}  // namespace velorixa
