// The music search, the mixer launcher and the web link, driven through the window's own
// controls, on trees built under a temporary folder.
#include <QApplication>
#include <QComboBox>
#include <QDir>
#include <QLabel>
#include <QPushButton>
#include <QThread>

#include <atomic>
#include <semaphore>

#include "playlist/listfile.h"
#include "util/sndvol.h"
#include "util/ui/utilpanel.h"
#include "windowfixture.h"

namespace velorixa::test {
namespace {

void makeFile(const QString& path, bool executable = false) {
    QDir().mkpath(QFileInfo(path).path());
    QFile f(path);
    ASSERT_TRUE(f.open(QIODevice::WriteOnly));
    if (executable) f.setPermissions(f.permissions() | QFile::ExeOwner);
}

// Holds the search's worker after its n-th file until released.
struct Gate {
    explicit Gate(int n) : holdAt(n) {}
    void operator()(int n) {
        calls = n;
        if (n == holdAt) open.acquire();
    }
    void release() {
        if (!released.exchange(true)) open.release();
    }
    const int holdAt;
    std::atomic<int> calls = 0;
    std::atomic<bool> released = false;
    std::binary_semaphore open{0};
};

class MusicSearchTest : public WindowFixture {
  protected:
    void SetUp() override {
        WindowFixture::SetUp();
        root_ = tree_.path() + "/drive";
        // The drive list offers the test's tree; the walk sees no mount table of the machine.
        ui<QComboBox>("Drive0")->addItem(root_);
        ui<QComboBox>("Drive0")->setCurrentIndex(ui<QComboBox>("Drive0")->count() - 1);
        list().musicSearch().rules = [] { return util::WalkRules{}; };
    }
    void TearDown() override {
        if (gate_) gate_->release();
        WindowFixture::TearDown();
    }
    // n music files in folders of four: root/f0/s000.mp3 ...; every file also has a text twin.
    QStringList makeMusic(int n) {
        QStringList paths;
        for (int i = 0; i < n; ++i) {
            const QString p =
                QString("%1/f%2/s%3.mp3").arg(root_).arg(i / 4).arg(i, 3, 10, QChar('0'));
            makeFile(p);
            makeFile(p + ".txt");
            paths << p;
        }
        return paths;
    }
    // The operator's way: "Add / Save ...", then the toggle.
    void clickMusicSearch() {
        QTest::mouseClick(ui<QPushButton>("ChkEnterAddSav"), Qt::LeftButton);
        QTest::mouseClick(ui<QPushButton>("TogFindMusic"), Qt::LeftButton);
    }
    // The walk holds after its n-th file until the gate is released.
    Gate& holdAt(int n) {
        gate_ = std::make_shared<Gate>(n);
        list().musicSearch().afterFile = [gate = gate_](int k) { (*gate)(k); };
        return *gate_;
    }
    QStringList lines() { return list().PlayListView()->model().texts(); }

    QTemporaryDir tree_;
    QString root_;
    std::shared_ptr<Gate> gate_;
};

TEST_F(MusicSearchTest, ThirtyFilesEndWithTheLastLinesInViewAndTheToggleOff) {
    const QStringList music = makeMusic(30);
    setList({});
    clickMusicSearch();
    EXPECT_FALSE(ui<QFrame>("FrmAddSav")->isVisible());  // the panel closed, the list in view
    ASSERT_TRUE(waitFor([&] { return !list().musicSearch().running(); }, 5000));
    EXPECT_EQ(lines(), music);
    EXPECT_FALSE(ui<QPushButton>("TogFindMusic")->isChecked());
    ListBox* v = list().PlayListView();
    EXPECT_TRUE(v->viewport()->rect().contains(v->visualRect(v->QListView::model()->index(29, 0))));
}

TEST_F(MusicSearchTest, AClickBetweenTwoFilesEndsTheWalkWithTheLinesFoundSoFar) {
    const QStringList music = makeMusic(12);
    setList({"/kept/first.mp3"});
    Gate& gate = holdAt(3);
    clickMusicSearch();
    ASSERT_TRUE(waitFor([&] { return lines().size() == 4; }, 5000));
    ASSERT_NE(QApplication::overrideCursor(), nullptr);
    clickMusicSearch();  // the panel again, the toggle off
    EXPECT_FALSE(list().musicSearch().running());
    gate.release();
    ASSERT_TRUE(waitFor([&] { return !list().musicSearch().walking(); }, 5000));
    EXPECT_EQ(gate.calls, 3);  // the worker never handed over a fourth file
    EXPECT_EQ(lines(), QStringList{"/kept/first.mp3"} + music.mid(0, 3));
    EXPECT_FALSE(ui<QPushButton>("TogFindMusic")->isChecked());
    EXPECT_EQ(QApplication::overrideCursor(), nullptr);
}

TEST_F(MusicSearchTest, ClosingTheWindowDuringAWalkSavesTheLinesFound) {
    const QStringList music = makeMusic(12);
    setList({});
    w_->setStateLoaded(true);
    Gate& gate = holdAt(5);
    clickMusicSearch();
    // The worker has handed five files over; the window has not looked for them yet.
    for (int i = 0; i < 500 && gate.calls < 5; ++i)
        QThread::msleep(10);
    ASSERT_EQ(gate.calls, 5);
    w_->close();
    gate.release();
    playlist::PlaylistModel saved;
    playlist::LoadMemoList(playlist::MemoListPath(appDir_.path() + "/"), saved);
    EXPECT_EQ(saved.texts(), music.mid(0, 5));
}

TEST_F(MusicSearchTest, TheListSwitchEndsTheSearchBeforeTheListsChange) {
    makeMusic(12);
    setList({});
    Gate& gate = holdAt(2);
    clickMusicSearch();
    ASSERT_TRUE(waitFor([&] { return lines().size() == 2; }, 5000));
    QTest::mouseClick(ui<QPushButton>("CmdSwitch"), Qt::LeftButton);
    gate.release();
    ASSERT_TRUE(waitFor([&] { return !list().musicSearch().walking(); }, 5000));
    EXPECT_TRUE(ui<QPushButton>("TogFindMusic")->isHidden());
    EXPECT_TRUE(w_->playLists().stationList().texts().filter(".mp3").isEmpty());
    EXPECT_EQ(w_->playLists().musicList().count(), 2);
}

TEST_F(MusicSearchTest, AFolderThatCannotBeListedEndsTheSearchWithAMessage) {
    const QStringList music = makeMusic(8);  // folders f0 and f1
    list().musicSearch().rules = [] {
        util::WalkRules r;
        r.openFolder = [](const QByteArray& path, bool root) {
            if (!path.endsWith("/f1/")) return util::WalkRules::OpenFolder(path, root);
            errno = EMFILE;
            return -1;
        };
        return r;
    };
    setList({});
    clickMusicSearch();
    ASSERT_TRUE(waitFor([&] { return !list().musicSearch().running(); }, 5000));
    EXPECT_EQ(messages_, QStringList{"Error|Wrong system DLL libraries"});
    EXPECT_EQ(lines(), music.mid(0, 4));
}

class MixerTest : public MusicSearchTest {
  protected:
    void SetUp() override {
        MusicSearchTest::SetUp();
        util::MixerLauncher& mixer = w_->utilPanel().mixer();
        mixer.places.fixed = {root_ + "/usr/bin/pavucontrol", root_ + "/opt/pavucontrol"};
        mixer.places.searchRoot = root_;
        mixer.rules = [] { return util::WalkRules{}; };
        // A start succeeds when the file is there and may be run.
        mixer.startProgram = [this](const QString& path) {
            started_ << path.mid(root_.size());
            return QFileInfo(path).isExecutable();
        };
        w_->utilPanel().messageBox = [this](const QString& text, const QString& title) {
            messages_ << title + "|" + text;
        };
        w_->MenuTabs()->setCurrentIndex(1);  // the transport panel with the mixer button
    }
    QStringList started_;
};

TEST_F(MixerTest, FixedPlacesFirstThenTheFirstCopyInWalkOrderThenTheMessage) {
    const struct Case {
        const char* name;
        QStringList executables;
        QStringList started;
        QStringList messages;
    } cases[] = {
        {"at the first fixed place: started once, no search",
         {"/usr/bin/pavucontrol", "/b/pavucontrol"},
         {"/usr/bin/pavucontrol"},
         {}},
        {"only found by the search: the first of two copies in walk order",
         {"/b/pavucontrol", "/a/deep/pavucontrol"},
         {"/usr/bin/pavucontrol", "/opt/pavucontrol", "/a/deep/pavucontrol"},
         {}},
        {"nowhere: the message",
         {},
         {"/usr/bin/pavucontrol", "/opt/pavucontrol"},
         {"Error|File pavucontrol not found"}},
    };
    for (const Case& c : cases) {
        SCOPED_TRACE(c.name);
        QDir(root_).removeRecursively();
        makeFile(root_ + "/a/pavucontrol/readme");  // a folder of that name is not the program
        makeFile(root_ + "/a/deep/notes");
        for (const QString& e : c.executables)
            makeFile(root_ + e, true);
        started_.clear();
        messages_.clear();
        QTest::mouseClick(ui<QPushButton>("CmdSndVolExe"), Qt::LeftButton);
        ASSERT_TRUE(waitFor([&] { return !w_->utilPanel().mixer().searching(); }, 5000));
        EXPECT_EQ(started_, c.started);
        EXPECT_EQ(messages_, c.messages);
    }
}

TEST_F(MixerTest, TheLinkOpensTheMakersPage) {
    QList<QUrl> opened;
    w_->utilPanel().openUrl = [&](const QUrl& url) {
        opened << url;
        return false;  // a failure is not reported
    };
    QTest::mouseClick(ui<QLabel>("LblVMIX"), Qt::LeftButton);
    EXPECT_EQ(opened.size(), 1);
    EXPECT_TRUE(messages_.isEmpty());
}

}  // namespace
}  // namespace velorixa::test
