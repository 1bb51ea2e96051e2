#include "app/ui/keyrouter.h"

#include <QApplication>
#include <QKeyEvent>
#include <QMessageBox>
#include <QPushButton>
#include <QScrollBar>
#include <QTabBar>
#include <QTabWidget>

#include "app/tabmove.h"
#include "app/ui/messageline.h"
#include "app/ui/velmix.h"
#include "perform/ui/performancepanel.h"
#include "playback//playback.h"
#include "playback/playrequest.h"
#include "playback/ui/transportpanel.h"
#include "playlist/ui/listbox.h"
#include "playlist/ui/playlistpage.h"
#include "util/ui/textfocus.h"

namespace velorixa {

using app::KeyCommand;
using app::KeyRelease;

KeyRouter::KeyRouter(VelMix& window, playback::Playback& playback, PlayListPage& list,
                     TransportPanel& transport, perform::PerformancePanel& performance,
                     QObject* parent)
    : QObject(parent),
      w_(window),
      playback_(playback),
      list_(list),
      transport_(transport),
      performance_(performance),
      textFocus_(window.textFocus()) {
    askExit = [this] {
        if (exitQuestion_) {
            exitQuestion_->raise();
            exitQuestion_->activateWindow();
            return;
        }
        // No is the default and the answer of Escape: quitting takes a deliberate Y (or a click
        // on Yes), never a stray Enter (the pause key) or a second Escape.
        auto* box = new QMessageBox(QMessageBox::Question, QStringLiteral("Exit"),
                                    QStringLiteral("Exit Velorixa"),
                                    QMessageBox::Yes | QMessageBox::No, &w_);
        box->setDefaultButton(QMessageBox::No);
        box->setEscapeButton(QMessageBox::No);
        box->setWindowModality(Qt::NonModal);
        box->setAttribute(Qt::WA_DeleteOnClose);
        connect(box, &QMessageBox::finished, this, [this](int answer) {
            if (answer == QMessageBox::Yes) w_.close();
        });
        exitQuestion_ = box;
        box->show();
    };
    // A question still up when the window unloads (a stop signal) goes with it.
    w_.addShutdownStep([question = QPointer<QObject>(this), this] {
        if (question && exitQuestion_) exitQuestion_->close();
    });
    // The tab control hands its focus to its tab bar, so both are watched; the window sees the
    // Alt key before its controls.
    w_.MenuTabs()->installEventFilter(this);
    w_.MenuTabs()->tabBar()->installEventFilter(this);
    w_.installEventFilter(this);
}

bool KeyRouter::tabsHaveFocus() const {
    // No focus at all: the key went to the window, which hands the focus back to the tab
    // control at the next focus tick.
    const QWidget* focus = QApplication::focusWidget();
    return focus == nullptr || focus == w_.MenuTabs() || focus == w_.MenuTabs()->tabBar();
}

bool KeyRouter::eventFilter(QObject* watched, QEvent* event) {
    QTabWidget* tabs = w_.MenuTabs();
    const bool onTabs = watched == tabs || watched == tabs->tabBar();
    switch (event->type()) {
        case QEvent::FocusIn:
            if (onTabs) w_.state().FocTabs = true;
            break;
        case QEvent::FocusOut:
            if (onTabs) w_.state().FocTabs = false;
            break;
        case QEvent::ShortcutOverride:
        case QEvent::KeyPress:
        case QEvent::KeyRelease: {
            if (!onTabs && watched != &w_) break;
            auto* ke = static_cast<QKeyEvent*>(event);
            int vk = app::VirtualKeyFromQt(ke->key(), ke->modifiers(), ke->nativeScanCode());
            if (vk == app::vk::kControl && event->type() == QEvent::KeyRelease)
                ctrlSwitched_ = false;
            // The pages lie inside the tab control, so a key that a text field (or any other
            // control holding the focus) does not take bubbles up to here: only keys typed while
            // the tab control itself has the focus are commands. Alt is the window's in any case.
            if (!tabsHaveFocus() && vk != app::vk::kAlt) {
                if (event->type() == QEvent::KeyRelease) {
                    // A key pressed on the tab control may come up elsewhere: it is up now.
                    keys_.KeyUp(vk, ke->isAutoRepeat());
                }
                break;
            }
            if (event->type() == QEvent::ShortcutOverride) {
                // Tab and Ctrl+Tab are ours, not focus moves or tab switches.
                if (vk == app::vk::kTab) {
                    event->accept();
                    return true;
                }
                break;
            }
            const bool shift = ke->modifiers().testFlag(Qt::ShiftModifier);
            // Left and Right stay with the tab bar: they walk the pages as it does by itself.
            // With Shift they are seek keys, and the pages stay.
            if ((vk == app::vk::kLeft || vk == app::vk::kRight) && !shift) break;
            if (event->type() == QEvent::KeyPress && app::IsUndoKey(ke->key(), ke->modifiers()) &&
                !textFocus_.active()) {
                // One step per press: a held Z does not empty the stack.
                if (!ke->isAutoRepeat()) UndoKey();
                return true;
            }
            if (event->type() == QEvent::KeyPress) {
                bool colourSwitch = false;
                if (keys_.FormKeyDown(vk, &colourSwitch)) {
                    if (colourSwitch) emit colourSwitchPressed();
                    return true;  // Alt goes no further
                }
                MenuTabs_KeyDown(vk, shift);
            } else if (!tabsHaveFocus()) {
                keys_.KeyUp(vk, ke->isAutoRepeat());  // Alt released in a field: it stays there
            } else {
                MenuTabs_KeyUp(vk, ke->isAutoRepeat());
            }
            return true;
        }
        default:
            break;
    }
    return QObject::eventFilter(watched, event);
}

void KeyRouter::MenuTabs_KeyDown(int vk, bool shift) {
    app::KeyContext ctx;
    ctx.page = w_.MenuTabs()->currentIndex();
    ctx.shift = shift;
    for (int k = 1; k <= perform::kKeyCount; ++k)
        ctx.performanceEnabled.set(static_cast<size_t>(k), performance_.keyEnabled(k));
    app::KeyCommands::Down down = keys_.KeyDown(vk, textFocus_.active(), ctx);
    if (down.tabMoveMode == 1) {
        ctrlSwitched_ = true;
        pageBeforeCtrl_ = w_.MenuTabs()->currentIndex();
        prevTabBeforeCtrl_ = w_.state().PrevTab;
    }
    if (down.tabMoveMode >= 0) TabMove(down.tabMoveMode);
    if (down.action.command != KeyCommand::None && learnKey && learnKey(down.action)) return;
    Command(down.action);
}

void KeyRouter::Command(const app::KeyAction& action, controls::Origin origin) {
    const int arg = action.arg;
    switch (action.command) {
        case KeyCommand::Stop:
            transport_.showPressed(TransportButton::Stop, true);
            playback_.stop();
            break;
        case KeyCommand::Previous:
            transport_.showPressed(TransportButton::Prev, true);
            playback_.previous();
            break;
        case KeyCommand::Play:
            transport_.showPressed(TransportButton::Play, true);
            playback_.play();
            break;
        case KeyCommand::Next:
            transport_.showPressed(TransportButton::Next, true);
            playback_.next();
            break;
        case KeyCommand::ToggleRepeat:
            playback_.toggleRepeat();
            break;
        case KeyCommand::TogglePause:
            playback_.togglePause();
            break;
        case KeyCommand::ListUp:
        case KeyCommand::ListDown:
            w_.MenuTabs()->setFocus();
            keys_.ClearKeyHeld();
            list_.CursorMove(action.command == KeyCommand::ListUp ? 1 : 2);
            break;
        case KeyCommand::MasterVolume:
            MasVolKey(arg);
            break;
        case KeyCommand::Seek:
            // A station, a pause or nothing playing: the key does nothing.
            playback_.seekBy(arg);
            break;
        case KeyCommand::SwitchList:
            list_.showSwitchPressed(true);
            list_.requestSwitch();
            break;
        case KeyCommand::InitialSound:
            performance_.pressKey(0, origin);
            break;
        case KeyCommand::LoadSet:
            performance_.FunctionKey(arg);
            break;
        case KeyCommand::PerformanceKey:
            performance_.pressKey(arg, origin);
            break;
        case KeyCommand::ControllerLearn:
            emit controllerLearnPressed();
            break;
        case KeyCommand::Record:
            emit recordPressed();
            break;
        case KeyCommand::None:
            break;
    }
}

void KeyRouter::MenuTabs_KeyUp(int vk, bool autoRepeat) {
    KeyRelease release = keys_.KeyUp(vk, autoRepeat);
    if (autoRepeat) return;
    w_.MenuTabs()->setFocus();
    Release(release);
}

void KeyRouter::Release(KeyRelease release) {
    switch (release) {
        case KeyRelease::SwitchList:
            list_.showSwitchPressed(false);
            break;
        case KeyRelease::Stop:
            transport_.showPressed(TransportButton::Stop, false);
            break;
        case KeyRelease::Previous:
            transport_.showPressed(TransportButton::Prev, false);
            break;
        case KeyRelease::Play:
            transport_.showPressed(TransportButton::Play, false);
            break;
        case KeyRelease::Next:
            transport_.showPressed(TransportButton::Next, false);
            break;
        case KeyRelease::ExitQuestion:
            askExit();
            break;
        case KeyRelease::InitialSound:
            performance_.releaseInitialSound();
            break;
        case KeyRelease::None:
            break;
    }
}

void KeyRouter::TabMove(int mode) {
    QTabWidget* tabs = w_.MenuTabs();
    tabs->setCurrentIndex(app::TabMove(mode, tabs->currentIndex(), w_.state().PrevTab));
    tabs->setFocus();
}

void KeyRouter::UndoKey() {
    if (ctrlSwitched_) {
        ctrlSwitched_ = false;
        w_.MenuTabs()->setCurrentIndex(pageBeforeCtrl_);
        w_.state().PrevTab = prevTabBeforeCtrl_;
        w_.MenuTabs()->setFocus();
    }
    const QString name = w_.undoStack().undo();
    w_.messageLine().showMessage(name.isEmpty() ? QStringLiteral("Nothing to undo")
                                                : QStringLiteral("Undone: ") + name);
}

void KeyRouter::MasVolKey(int n) {
    playback_.setMasterVolume(playback::MasterVolumeForKey(n));
}

}  // namespace velorixa
