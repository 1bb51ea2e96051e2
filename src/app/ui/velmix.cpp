#include "app/ui/velmix.h"

#include <QAbstractButton>
#include <QCloseEvent>
#include <QFont>
#include <QLabel>
#include <QLineEdit>
#include <QPushButton>
#include <QScreen>
#include <QScrollBar>
#include <QTabBar>
#include <QTabWidget>

#include <algorithm>

#include "app/ui/controllers.h"
#include "app/ui/keyboardcontrol.h"
#include "app/ui/keyrouter.h"
#include "app/ui/messageline.h"
#include "app/ui/outputpanel.h"
#include "app/ui/pagecanvas.h"
#include "audio/player.h"
#include "controls/effectcontrols.h"
#include "controls/soundcontrol.h"
#include "controls/ui/effectspage.h"
#include "display/ui/displaypanel.h"
#include "display/ui/windowlook.h"
#include "levels/levelcontrol.h"
#include "levels/loudnessscanner.h"
#include "levels/ui/levelspanel.h"
#include "netradio/ui/radiopanel.h"
#include "perform/perfor.h"
#include "perform/ui/performancepanel.h"
#include "playback/audioplayerport.h"
#include "playback/nextitem.h"
#include "playback/playback.h"
#include "playback/ui/playcontrol.h"
#include "playback/ui/transportpanel.h"
#include "playlist/ui/listbox.h"
#include "playlist/ui/playlistpage.h"
#include "record/recordsession.h"
#include "record/ui/recordpanel.h"
#include "util/sndvol.h"
#include "util/twips.h"
#include "util/ui/utilpanel.h"

namespace velorixa {

const char* const VelMix::kPageCaptions[4] = {"PlayList     ", "PlayBack   ", "Effects      ",
                                              "Settings    "};

namespace {

// A group frame at its rectangle in twips.
QFrame* makeFrame(QWidget* parent, const char* name, int left, int top, int width, int height) {
    auto* f = new QFrame(parent);
    f->setObjectName(name);
    f->setGeometry(px(left), px(top), px(width), px(height));
    return f;
}

QFont sansSerif(int pointSize, bool bold) {
    QFont f(QStringLiteral("Sans Serif"), pointSize);
    f.setStyleHint(QFont::SansSerif);
    f.setBold(bold);
    return f;
}

}  // namespace

VelMix::VelMix(const QString& appPath, QWidget* parent) : QWidget(parent), appPath_(appPath) {
    setObjectName("VELMIX");
    setWindowTitle("VELORIXA");
    // The window's own colours, whatever the desktop's theme; set first, so every control and
    // every colour taken from the palette below follows them.
    display::ApplyWindowPalette(*this);
    setFixedSize(kClientWidth, kClientHeight);
    setWindowFlags(windowFlags() & ~Qt::WindowMaximizeButtonHint);

    timerBeg_.setObjectName("TimerBeg");
    timerFoc_.setObjectName("TimerFoc");
    timerTik_.setObjectName("TimerTik");
    timerNet_.setObjectName("TimerNet");
    timerBeg_.setInterval(500);
    timerFoc_.setInterval(100);
    timerTik_.setInterval(10);
    timerNet_.setInterval(0);
    connect(&timerBeg_, &QTimer::timeout, this, [this] {
        // Fires once: the cover comes off half a second after start-up enabled it.
        timerBeg_.stop();
        FormStart();
    });

    menuTabs_ = new QTabWidget(this);
    menuTabs_->setObjectName("MenuTabs");
    menuTabs_->setGeometry(0, 0, kClientWidth, kClientHeight);
    menuTabs_->tabBar()->setFont(sansSerif(8, true));
    static const char* const pageNames[4] = {"PagePlayList", "PagePlayBack", "PageEffects",
                                             "PageSettings"};
    for (int i = 0; i < 4; ++i) {
        auto* page = new QWidget;
        page->setObjectName(pageNames[i]);
        menuTabs_->addTab(page, QString::fromLatin1(kPageCaptions[i]));
        canvases_[i] = new PageCanvas(page, this);
    }
    connect(menuTabs_, &QTabWidget::currentChanged, this, [this](int) {
        int previous = currentTab_;
        currentTab_ = menuTabs_->currentIndex();
        MenuTabs_Click(previous);
    });

    // Page 1: the display frame and the keyboard help laid over it, and the help toggle.
    frame1_ = makeFrame(page(1), "Frame1", 240, 2160, 6375, 2055);
    frameHelp_ = makeFrame(page(1), "FrameHelp", 240, 2040, 5895, 2175);
    frameHelp_->setFrameShape(QFrame::Box);
    frameHelp_->setAutoFillBackground(true);
    frameHelp_->hide();
    cmdLayout_ = new QPushButton(QStringLiteral("?"), page(1));
    cmdLayout_->setObjectName("CmdLayout");
    cmdLayout_->setGeometry(px(6180), px(2040), px(435), px(255));
    cmdLayout_->setFocusPolicy(Qt::NoFocus);
    connect(cmdLayout_, &QPushButton::clicked, this, [this] { CmdLayout_Click(); });

    buildOverlayPanels();
    buildTitleCover();
}

void VelMix::LoadSavedState() {
    radioPanel_->LoadNetRadio(appPath_);
    playListPage_->LoadMemoList(appPath_);
    performance_->LoadMemoSett();
}

VelMix::~VelMix() {
    // The subsystem objects watch the window's controls and read its members: they go first,
    // while everything they refer to still exists.
    delete display_;
    delete recordPanel_;
    delete recordSession_;
    delete controllers_;
    delete keyRouter_;
    delete performance_;
    delete keyboardControl_;
    delete radioPanel_;
    delete utilPanel_;
    delete playControl_;
    delete playback_;
    delete effectsPage_;
    delete soundControl_;
    delete playListPage_;
}

playback::PlayQueue& VelMix::playQueue() {
    return playback_->queue();
}

QWidget* VelMix::page(int index) const {
    return index >= 0 && index < 4 ? canvases_[index] : nullptr;
}

void VelMix::buildOverlayPanels() {
    frmSystem_ = makeFrame(this, "FrmSystem", 240, 480, 6375, 1335);
    frmSystem_->setFrameShape(QFrame::StyledPanel);
    frmSystem_->hide();
    frmKeybrd_ = makeFrame(this, "FrmKeybrd", 4200, 5040, 2415, 1095);
    frmKeybrd_->setFrameShape(QFrame::StyledPanel);
    frmKeybrd_->hide();

    // The link sits at the right end of the tab row, past the last tab, so that it never takes
    // a click meant for a tab.
    frmVMIX_ = makeFrame(this, "FrmVMIX", 4800, 0, 1815, 255);
    auto* link = new QLabel(QStringLiteral("velorixa.org"), frmVMIX_);
    link->setObjectName("LblVMIX");
    QFont f = sansSerif(8, true);
    f.setUnderline(true);
    link->setFont(f);
    link->setAlignment(Qt::AlignRight | Qt::AlignVCenter);
    const int stripEnd = menuTabs_->tabBar()->sizeHint().width();
    const int right = kClientWidth - 4;
    const int left =
        std::max(stripEnd + 2, right - QFontMetrics(f).horizontalAdvance(link->text()) - 4);
    frmVMIX_->setGeometry(left, frmVMIX_->y(), std::max(0, right - left), frmVMIX_->height());
    link->setGeometry(0, 0, frmVMIX_->width(), frmVMIX_->height());

    // Controls that nothing uses stay hidden in one frame.
}

void VelMix::buildTitleCover() {
    frameTit_ = makeFrame(this, "FrameTit", 0, 0, 1, 1);
    frameTit_->setAutoFillBackground(true);
    auto* pic = new QWidget(frameTit_);
    pic->setObjectName("PicTitFon");
    pic->setAutoFillBackground(true);
    QPalette pal = pic->palette();
    pal.setColor(QPalette::Window, QColor(0, 0, 64));
    pic->setPalette(pal);
    // The shadow (120 twips lower, another colour) is drawn first so the title lies over it.
    QFont titleFont = sansSerif(48, true);
    auto* shadow = new QLabel(QStringLiteral("velorixa"), pic);
    shadow->setObjectName("Label11");
    auto* title = new QLabel(QStringLiteral("velorixa"), pic);
    title->setObjectName("Label12");
    for (QLabel* l : {title, shadow}) {
        l->setFont(titleFont);
        l->setAlignment(Qt::AlignCenter);
    }
    // Colours through the palette: a style sheet on any widget brings in the whole style-sheet
    // machinery (its parser and a style wrapping every widget's painting) for two colours.
    const auto textColour = [](QLabel* l, QColor c) {
        QPalette p = l->palette();
        p.setColor(QPalette::WindowText, c);
        l->setPalette(p);
    };
    textColour(title, QColor(159, 199, 255));
    textColour(shadow, QColor(20, 20, 40));
    title->setGeometry(0, 150, kClientWidth, 90);
    shadow->setGeometry(0, 150 + px(120), kClientWidth, 90);
    title->raise();
    frameTit_->setProperty("pic", QVariant::fromValue<QObject*>(pic));
}

void VelMix::Show() {
    if (!loaded_) Form_Load();
    show();
}

void VelMix::Form_Load() {
    loaded_ = true;
    // Twips per pixel from the screen's logical DPI.
    if (QScreen* s = screen()) {
        twipX_ = twipsPerPixel(s->logicalDotsPerInchX());
        twipY_ = twipsPerPixel(s->logicalDotsPerInchY());
    }
    // The title cover takes the whole window until the deferred start.
    frameTit_->setGeometry(menuTabs_->geometry());
    if (auto* pic = qobject_cast<QWidget*>(frameTit_->property("pic").value<QObject*>())) {
        pic->setGeometry(0, 0, frameTit_->width(), frameTit_->height());
    }
    frameTit_->raise();
    frameTit_->show();
    // The player and the subsystems around it.
    player_ = std::make_unique<PLAYER>();
    transport_ = std::make_unique<TransportPanel>(frmSystem_);
    soundTarget_ = std::make_unique<controls::PlayerSoundTarget>(*player_);
    soundControl_ = new controls::SoundControl(*soundTarget_, this);
    // The wave tick runs at the rotation speed's period, and moves knobs only while one rotates.
    connect(soundControl_, &controls::SoundControl::rotationSpeedChanged, this,
            [this](int, int waveTickMs) { waveTickMs_ = waveTickMs; });
    connect(soundControl_, &controls::SoundControl::rotationActiveChanged, this,
            [this](bool active) { knobsRotate_ = active; });
    playListPage_ = new PlayListPage(page(0), textFocus_, playLists_, this);
    tags_ = new playlist::TagCache(&audio::ReadTags, this);
    playListPage_->setTags(tags_);
    transport_->setNames(tags_);
    playerPort_ = std::make_unique<playback::AudioPlayerPort>(
        *player_, [this] { return soundControl_->startValues(); });
    playback_ = new playback::Playback(*playerPort_, playLists_.PlayList, timerNet_,
                                       playback::ClockSeededRandom(), this);
    playControl_ = new PlayControl(*playback_, *transport_, *menuTabs_, timerTik_, this);
    // The item about to play is read before the rest of the list.
    connect(playback_, &playback::Playback::itemChanged, tags_,
            [this](const QString& item) { tags_->wantFirst(item); });
    // A double click on a line plays it (the current item goes on) and shows the "PlayBack" page.
    ListBox* listView = playListPage_->PlayListView();
    connect(listView, &ListBox::lineDoubleClicked, this, [this, listView](int) {
        if (!playback_->canPlay()) return;
        const playlist::PlaylistModel& m = listView->model();
        const int row = m.firstSelected();
        if (row >= 0 && m.text(row) == playback_->item()) return;
        playback_->playSelected();
        menuTabs_->setCurrentIndex(1);
    });
    connect(playback_, &playback::Playback::selectionChanged, listView, &ListBox::refreshSelection);
    messageLine_ = new MessageLine(this);
    playControl_->messageBox = [this](const QString& text, const QString&) {
        messageLine_->showMessage(text);
    };
    connect(&playback_->events(), &playback::TransportEvents::displayCleared, this,
            [this] { ClrLevels(); });
    playListPage_->defineNext = [this] {
        playback_->queue().DefineNext(playLists_.PlayList);
        transport_->showName(playback_->item());
    };
    playListPage_->onListTurn = [this](int turn) {
        playback_->queue().ListTurn = static_cast<playback::PlayOrder>(turn);
    };
    radioPanel_ = new RadioPanel(page(0), *playListPage_, textFocus_, *playback_, *player_, this);
    connect(playListPage_, &PlayListPage::switchRequested, radioPanel_, &RadioPanel::SwitchList);
    connect(radioPanel_, &RadioPanel::bitRateShown, this,
            [this](const QString& text) { transport_->showLength(text); });
    connect(radioPanel_, &RadioPanel::netTextShown, this,
            [this](const QString& text) { transport_->showNetText(text); });
    // The station list's messages too come in the message line: they never stop the music.
    radioPanel_->messageBox = [this](const QString& text, const QString& title) {
        messageLine_->showMessage(title + QStringLiteral(": ") + text);
    };
    // Items opened from outside go into the music list.
    connect(playback_, &playback::Playback::musicListNeeded, this, [this] {
        if (!playListPage_->musicMode()) radioPanel_->SwitchList();
    });
    utilPanel_ = new UtilPanel(this, this);
    utilPanel_->bindWebLink(frmVMIX_->findChild<QLabel*>("LblVMIX"));
    transport_->onMixerClicked(utilPanel_, [this] { utilPanel_->CmdSndVolExe_Click(); });
    // The "Effects" page; every play request starts the knobs' wave from the beginning.
    perfor_ = std::make_unique<perform::PERFOR>();
    effectControls_ = std::make_unique<controls::EffectControls>(*soundControl_, *perfor_);
    effectsPage_ = new controls::EffectsPage(page(2), *effectControls_, this);
    connect(&playback_->events(), &playback::TransportEvents::requestStarted, this,
            [this] { perfor_->InitPerfor(); });
    // The performance keys recall settings through the "Effects" page's procedures.
    performance_ =
        new perform::PerformancePanel({frmKeybrd_, page(1), page(3)}, appPath_, textFocus_,
                                      *effectControls_, *perfor_, *playback_, *menuTabs_, this);
    playListPage_->setUndoStack(&undo_);
    performance_->setUndoStack(&undo_);
    keyRouter_ = new KeyRouter(*this, *playback_, *playListPage_, *transport_, *performance_, this);
    keyboardControl_ = new KeyboardControl(*playControl_, *transport_, state_, textFocus_,
                                           *menuTabs_, timerFoc_, timerNet_, *frameHelp_, this);
    // Hardware controllers press what the keys press; their inputs stop first at unload.
    controllers_ = new Controllers(*this, {}, this);
    // The display follows the transport: cleared with it, painting once the new stream runs.
    display_ = new display::DisplayPanel(*player_, timerTik_, *frame1_, *page(2), *frameHelp_,
                                         twipX_, this);
    connect(&playback_->events(), &playback::TransportEvents::displayCleared, display_,
            &display::DisplayPanel::ClearFFT);
    connect(&playback_->events(), &playback::TransportEvents::opened, display_,
            &display::DisplayPanel::StreamRunning);
    connect(&playback_->events(), &playback::TransportEvents::positionTick, display_,
            [this](int seconds) {
                if (seconds >= 0) display_->Wake();
            });
    connect(keyboardControl_, &KeyboardControl::fftRedraw, display_,
            &display::DisplayPanel::PaintFft);
    connect(keyRouter_, &KeyRouter::colourSwitchPressed, display_,
            &display::DisplayPanel::CmdMonitor_Click);
    performance_->setBeatLevel([this] { return display_->BeatLevelNow(); });
    // The sound output: its choice and buffer on "Settings", what happens to it on the message
    // line.
    outputPanel_ = new OutputPanel(*page(3), OutputSettings::Load(OutputSettings::DefaultPath()),
                                   OutputSettings::DefaultPath(), this);
    outputPanel_->onMessage = [this](const QString& text) { messageLine_->showMessage(text); };
    // Recording the output as heard: the toggle, format and folder on "PlayBack", and F9; the
    // title says that it records, the message line how it ended.
    const QString recordSettings = record::RecordSettings::DefaultPath();
    recordSession_ =
        new record::RecordSession(record::RecordSettings::Load(recordSettings), {}, this);
    recordPanel_ = new record::RecordPanel(*page(1), *recordSession_, recordSettings, this);
    recordPanel_->onRecording = [this](bool on) {
        setWindowTitle(on ? QStringLiteral("VELORIXA - REC") : QStringLiteral("VELORIXA"));
    };
    recordPanel_->onMessage = [this](const QString& text) { messageLine_->showMessage(text); };
    connect(recordSession_, &record::RecordSession::message, messageLine_,
            &MessageLine::showMessage);
    connect(keyRouter_, &KeyRouter::recordPressed, recordSession_, &record::RecordSession::toggle);
    // Evening out levels: the gain of the playing item goes to the player's level stage, which
    // leaves the volume knob as it is; files are measured as their tags come in.
    loudnessScanner_ = new levels::LoudnessScanner(levels::LoudnessStore::DefaultPath(),
                                                   &levels::MeasureLoudness, this);
    const QString levelSettings = levels::LevelSettings::DefaultPath();
    levelControl_ = new levels::LevelControl(
        *loudnessScanner_, [this](const QString& item) { return tags_->find(item); },
        levels::LevelSettings::Load(levelSettings), levelSettings, this);
    connect(tags_, &playlist::TagCache::tagsRead, levelControl_, &levels::LevelControl::tagsRead);
    connect(playback_, &playback::Playback::itemChanged, levelControl_,
            &levels::LevelControl::setPlaying);
    connect(&playback_->events(), &playback::TransportEvents::requestStarted, levelControl_,
            [this] { levelControl_->setPlaying(playback_->item()); });
    connect(levelControl_, &levels::LevelControl::playingLevelChanged, this,
            [this](const levels::Level& level) {
                player_->SetLevelDb(static_cast<float>(level.gainDb));
            });
    levelsPanel_ = new levels::LevelsPanel(*page(3), *levelControl_, this);
    levelsPanel_->onMessage = [this](const QString& text) { messageLine_->showMessage(text); };
    // A recording running at unload is finished before the audio layer goes.
    addShutdownStep([this] { recordSession_->stop(); });
    // Unload: the player first, then the music list.
    addShutdownStep([this] { player_->ExitForm(); });
    // A running search ends before the music list is saved, with the lines it found.
    addShutdownStep([this] { playListPage_->StopFindMusic(); });
    addStateSaver([this] { playListPage_->SaveMemoList(appPath_); });
    addStateSaver([this] { radioPanel_->SaveNetRadioAtExit(); });
    addStateSaver([this] { performance_->SaveMemoSett(); });

    ClrLevels();
    display_->ClearFFT();
    // Every scroll bar exists now: their thumbs in the window's colours.
    display::ApplyWindowStyle(*this);
    timerFoc_.start();
    timerTik_.start();
}

void VelMix::FormStart() {
    ++formStartCount_;
    // The display's first scheme takes the title picture's colour.
    if (auto* pic = qobject_cast<QWidget*>(frameTit_->property("pic").value<QObject*>())) {
        QRgb c = pic->grab(QRect(px(300), px(300), 1, 1)).toImage().pixel(0, 0);
        display_->SampleFftBase(display::ColourValue(qRed(c), qGreen(c), qBlue(c)));
    }
    // Only the tab control takes the keyboard focus; every other control stays out of the tab
    // chain and no button of any kind (push, toggle, check, option, tool) takes the focus.
    for (QWidget* w : findChildren<QWidget*>()) {
        if (w == menuTabs_) continue;
        if (qobject_cast<QAbstractButton*>(w)) {
            w->setFocusPolicy(Qt::NoFocus);
        } else if (w->focusPolicy() & Qt::TabFocus) {
            w->setFocusPolicy(Qt::ClickFocus);
        }
    }
    menuTabs_->setFocusPolicy(Qt::StrongFocus);
    playListPage_->PlayListView()->setEnabled(false);
    playback_->setMasterVolume(100);
    soundControl_->setVolume(50, controls::Origin::Program);
    soundControl_->sendGlobalVolume();
    menuTabs_->setCurrentIndex(0);
    frameTit_->hide();
    menuTabs_->setFocus();
    display_->InitFft();
    emit formStarted();
}

void VelMix::MenuTabs_Click(int previousTab) {
    int tab = menuTabs_->currentIndex();
    bool panels = tab == 1 || tab == 2;
    frmSystem_->setVisible(panels);
    frmKeybrd_->setVisible(panels);
    if (panels) {
        frmSystem_->raise();
        frmKeybrd_->raise();
    }
    if (messageLine_ && messageLine_->isVisible()) messageLine_->raise();
    if (tab == 1) keyboardControl_->requestFftRedraw();
    display_->setShown(panels);
    textFocus_.release();
    state_.PrevTab = previousTab;
    emit pageChanged(tab, previousTab);
}

void VelMix::CmdLayout_Click() {
    frameHelp_->setVisible(!frameHelp_->isVisible());
    if (frameHelp_->isVisible()) frameHelp_->raise();
}

void VelMix::PerforTimer() {
    ++perforTicks_;
    emit perforTick();
    if (!knobsRotate_) return;
    // Knobs stand still while nothing plays or playback is paused.
    if (!player_ || !player_->GetFilePlayPerf()) return;
    perfor_->MovNext();
    effectControls_->WaveTick();
}

void VelMix::ScrFrm(QWidget* scr, QWidget* frm) {
    // In pixels, one twip-per-pixel unit is one pixel.
    frm->resize(frm->width() + 1, frm->height() + 1);
    scr->setGeometry(frm->x() + 1, frm->y() + 1, frm->width() - 2, frm->height() - 2);
}

void VelMix::ClrLevels() {
    // The level bars fall with the meters when the display is present.
    if (transport_) transport_->clearPosition();
    if (display_) display_->ClrLevels();
}

void VelMix::Unload() {
    if (unloaded_) return;
    unloaded_ = true;
    ++unloadCount_;
    // No timer may reach the player once it has let the audio layer go, not even while a
    // message box of a failed save runs its own event loop.
    timerBeg_.stop();
    timerFoc_.stop();
    timerTik_.stop();
    timerNet_.stop();
    if (playback_) playback_->cancelOpen();
    for (auto& step : shutdownSteps_)
        step();
    if (stateLoaded_) {
        for (auto& save : savers_)
            save();
    }
    hide();
}

void VelMix::closeEvent(QCloseEvent* event) {
    Unload();
    event->accept();
}

}  // namespace velorixa
