#pragma once
// The player's window started as the program starts it (deferred start included), on the audio
// layer's no-sound device, with message boxes recorded instead of shown.
#include <gtest/gtest.h>

#include <QComboBox>
#include <QElapsedTimer>
#include <QFile>
#include <QFileInfo>
#include <QListView>
#include <QPushButton>
#include <QRadioButton>
#include <QScrollBar>
#include <QSignalSpy>
#include <QStyle>
#include <QStyleOptionSlider>
#include <QTemporaryDir>
#include <QTest>
#include <memory>
#include <random>

#include "app/ui/velmix.h"
#include "audio/audiolib.h"
#include "audio/player.h"
#include "common/testmedia.h"
#include "common/waitfor.h"
#include "netradio/ui/radiopanel.h"
#include "perform/ui/performancepanel.h"
#include "playback/nextitem.h"
#include "playback/playback.h"
#include "playback/ui/playcontrol.h"
#include "playlist/ui/listbox.h"
#include "playlist/ui/playlistpage.h"

namespace velorixa::test {

// Where a part of a scroll bar (its thumb, its groove) lies, as the bar's style places it.
inline QRect scrollBarPart(QScrollBar* bar, QStyle::SubControl part) {
    QStyleOptionSlider opt;
    opt.initFrom(bar);
    opt.orientation = bar->orientation();
    opt.minimum = bar->minimum();
    opt.maximum = bar->maximum();
    opt.sliderPosition = opt.sliderValue = bar->value();
    opt.pageStep = bar->pageStep();
    opt.singleStep = bar->singleStep();
    return bar->style()->subControlRect(QStyle::CC_ScrollBar, &opt, part, bar);
}

// A file's bytes, empty if it cannot be read; writing one, false if it cannot be written.
inline QByteArray readFile(const QString& path) {
    QFile f(path);
    return f.open(QIODevice::ReadOnly) ? f.readAll() : QByteArray();
}
inline bool writeFile(const QString& path, const QByteArray& bytes) {
    QFile f(path);
    return f.open(QIODevice::WriteOnly) && f.write(bytes) == bytes.size();
}

// An MP3 file of pcm in a folder kept for the whole run, encoded the first time it is asked for.
inline QString mediaFile(const QString& name, const testmedia::Pcm& pcm) {
    static QTemporaryDir dir;
    const QString path = dir.path() + "/" + name;
    if (!QFileInfo::exists(path))
        testmedia::writeFile(path.toStdString(), testmedia::encodeMp3(pcm));
    return path;
}

// Loud broadband sound: white noise near full scale, 6 s at 44.1 kHz.
inline QString loudNoiseFile() {
    testmedia::Pcm noise;
    noise.samples.resize(2 * 44100 * 6);
    std::mt19937 rng(7);
    std::uniform_int_distribution<int> d(-29000, 29000);
    for (int16_t& s : noise.samples)
        s = static_cast<int16_t>(d(rng));
    return mediaFile("noise.mp3", noise);
}

// The music list on the PlayList page, as shown after the "Add / Save" panel closed.
inline void setList(PlayListPage& list, const QStringList& items) {
    list.PlayListView()->model().setTexts(items);
    list.PlayListView()->refresh();
    list.CloseAddSav();
}
// A click and a double click on a line of the list, as the operator gives them.
inline void clickRow(PlayListPage& list, int row, Qt::KeyboardModifiers mods = {}) {
    ListBox* view = list.PlayListView();
    const QPoint at = view->visualRect(view->QListView::model()->index(row, 0)).center();
    QTest::mouseClick(view->viewport(), Qt::LeftButton, mods, at);
}
inline void doubleClickRow(PlayListPage& list, int row) {
    clickRow(list, row);
    ListBox* view = list.PlayListView();
    const QPoint at = view->visualRect(view->QListView::model()->index(row, 0)).center();
    QTest::mouseDClick(view->viewport(), Qt::LeftButton, {}, at);
}
// Plays item row of the list of items by a double click, as the operator does, from the PlayList
// page; then shows the "Effects" page. False if it did not play.
inline bool playRow(VelMix& w, const QStringList& items, int row) {
    w.MenuTabs()->setCurrentIndex(0);
    setList(w.playListPage(), items);
    w.playListPage().PlayListView()->setEnabled(true);
    doubleClickRow(w.playListPage(), row);
    const bool playing = waitFor(
        [&] { return w.playQueue().NamePlay == items[row] && w.player().GetFilePlayPerf(); }, 4000);
    w.MenuTabs()->setCurrentIndex(2);
    return playing;
}

// Shows the window and runs its deferred start at once; false if it never came.
inline bool startWindow(VelMix& w) {
    w.Show();
    w.setStateLoaded(false);  // these tests never write MemoList.ini
    QSignalSpy started(&w, &VelMix::formStarted);
    w.TimerBeg()->setInterval(0);
    w.TimerBeg()->start();
    return started.wait(2000);
}

class WindowFixture : public ::testing::Test {
  protected:
    void SetUp() override {
        ASSERT_TRUE(BASS_Init(VX_DEVICE_NOSOUND, 44100, 0, nullptr));
        w_ = std::make_unique<VelMix>(appDir_.path() + "/");
        ASSERT_TRUE(startWindow(*w_));
        const auto record = [this](const QString& text, const QString& title) {
            messages_ << title + "|" + text;
        };
        // The transport's messages never block: they are shown in the window as well.
        play().messageBox = [record, shown = play().messageBox](const QString& text,
                                                                const QString& title) {
            record(text, title);
            shown(text, title);
        };
        list().messageBox = record;
        w_->radioPanel().messageBox = record;
        w_->performance().messageBox = record;
    }
    void TearDown() override {
        w_->Unload();  // frees the player and the audio layer
        w_.reset();
        BASS_Free();
    }

    PlayControl& play() { return w_->playControl(); }
    playback::Playback& playback() { return w_->playback(); }
    PlayListPage& list() { return w_->playListPage(); }
    PLAYER& player() { return w_->player(); }
    QString namePlay() { return w_->playQueue().NamePlay; }
    // A control of the window by its object name.
    template <class T>
    T* ui(const QString& name) {
        T* w = w_->findChild<T*>(name);
        EXPECT_NE(w, nullptr) << name.toStdString();
        return w;
    }
    QStringList lines() { return list().PlayListView()->model().texts(); }

    void setList(const QStringList& items) { test::setList(list(), items); }
    // Two short tones told apart by their pitch as the list, played down the list.
    void setTwoTones() {
        toneA_ = mediaFile("a tone, 440.mp3", testmedia::sine(440, 1.6, 22050, 2));
        toneB_ = mediaFile("b tone, 880.mp3", testmedia::sine(880, 1.6, 22050, 2));
        setList({toneA_, toneB_});
        ui<QRadioButton>("OptTurn3")->setChecked(true);
    }
    void clickRow(int row, Qt::KeyboardModifiers mods = {}) { test::clickRow(list(), row, mods); }
    void doubleClickRow(int row) { test::doubleClickRow(list(), row); }
    // The music search set to walk root, offered in the drive list, blind to the machine's mounts.
    void searchFrom(const QString& root) {
        auto* drives = ui<QComboBox>("Drive0");
        drives->addItem(root);
        drives->setCurrentIndex(drives->count() - 1);
        list().musicSearch().rules = [] { return util::WalkRules{}; };
    }
    // The operator's way to the search: "Add / Save ...", then the toggle.
    void clickMusicSearch() {
        QTest::mouseClick(ui<QPushButton>("ChkEnterAddSav"), Qt::LeftButton);
        QTest::mouseClick(ui<QPushButton>("TogFindMusic"), Qt::LeftButton);
    }
    void search() {
        clickMusicSearch();
        ASSERT_TRUE(waitFor([&] { return !list().musicSearch().running(); }, 10000));
    }
    template <class F>
    static bool waitFor(F cond, int ms) {
        return test::waitFor(cond, ms);
    }

    QTemporaryDir appDir_;
    std::unique_ptr<VelMix> w_;
    QStringList messages_;
    QString toneA_, toneB_;
};

}  // namespace velorixa::test
