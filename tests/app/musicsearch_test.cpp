// The music search, the browser's way in, the mixer launcher and the web link, driven through
// the window's own controls, on trees built under a temporary folder.
#include <QApplication>
#include <QComboBox>
#include <QDir>
#include <QLabel>
#include <QLineEdit>
#include <QMessageBox>
#include <QPushButton>
#include <QThread>

#include <atomic>
#include <optional>
#include <semaphore>

#include "common/bytenames.h"
#include "common/scopedenv.h"
#include "playlist/listfile.h"
#include "util/fspath.h"
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
        searchFrom(root_);
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
    // The walk holds after its n-th file until the gate is released.
    Gate& holdAt(int n) {
        gate_ = std::make_shared<Gate>(n);
        list().musicSearch().afterFile = [gate = gate_](int k) { (*gate)(k); };
        return *gate_;
    }

    QTemporaryDir tree_;
    QString root_;
    std::shared_ptr<Gate> gate_;
};

TEST_F(MusicSearchTest, ThirtyFilesEndWithTheLastLinesInViewAndTheToggleOff) {
    const QStringList music = makeMusic(30);
    setList({});
    search();
    EXPECT_FALSE(ui<QFrame>("FrmAddSav")->isVisible());  // the panel closed, the list in view
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
    EXPECT_TRUE(ui<QLabel>("LblListNote")->isHidden()) << "the music list's note goes with it";
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
    search();
    // Said in the window, not in a box that would hold the keys.
    EXPECT_TRUE(messages_.isEmpty()) << messages_.join("; ").toStdString();
    EXPECT_EQ(ui<QLabel>("LblListNote")->text(), "Wrong system DLL libraries");
    EXPECT_EQ(lines(), music.mid(0, 4));
}

// A short tone named by raw bytes under folder; its path as the list carries it.
QString makeToneNamed(const QString& folder, const QByteArray& name) {
    static const std::vector<uint8_t> tone =
        testmedia::encodeMp3(testmedia::sine(440, 2, 22050, 2));
    const QByteArray path = test::rawPath(folder, name);
    EXPECT_TRUE(testmedia::writeFile(test::rawString(path), tone));
    return util::PathFromBytes(path);
}

// Every name is found, kept in the list byte for byte and plays: the search hands the walk's
// bytes through, the player hands them to the audio layer.
TEST_F(MusicSearchTest, NamesThatAreNotUtf8AreFoundKeptByteForByteAndPlay) {
    QDir().mkpath(root_);
    QList<QByteArray> expected;
    for (const auto& n : test::kByteNames) {
        makeToneNamed(root_, n.bytes + ".mp3");
        expected << test::rawPath(root_, n.bytes + ".mp3");
    }
    setList({});
    search();
    ASSERT_EQ(lines().size(), expected.size());
    for (int row = 0; row < lines().size(); ++row) {
        const QByteArray bytes = util::PathToBytes(lines()[row]);
        SCOPED_TRACE(bytes.toStdString());
        EXPECT_TRUE(expected.contains(bytes));
        QTest::mouseClick(ui<QPushButton>("CmdStop"), Qt::LeftButton);
        doubleClickRow(row);
        EXPECT_TRUE(waitFor(
            [&] { return player().GetFilePlayPerf() && player().GetFilePos() > 0.2f; }, 3000));
        EXPECT_EQ(namePlay(), lines()[row]);
        EXPECT_TRUE(messages_.isEmpty()) << messages_.join("; ").toStdString();
    }
    EXPECT_TRUE(ui<QLabel>("LblListNote")->text().isEmpty());
}

// The operator's way through the browser: the Latin-1 name shown readably, added with
// "Add Select." and played with a double click.
TEST_F(MusicSearchTest, ALatin1NameFromTheBrowserPlays) {
    QDir().mkpath(root_);
    const QString path = makeToneNamed(root_, test::kByteNames[0].bytes + ".mp3");
    setList({});
    ASSERT_TRUE(list().setBrowserFolder(root_));
    QTest::mouseClick(ui<QPushButton>("ChkEnterAddSav"), Qt::LeftButton);
    ListBox* fileTop = ui<ListBox>("FileTop");
    const QModelIndex first = fileTop->QListView::model()->index(0, 0);
    EXPECT_EQ(first.data().toString(), test::kByteNames[0].shown + ".mp3");
    QTest::mouseClick(fileTop->viewport(), Qt::LeftButton, {}, fileTop->visualRect(first).center());
    QTest::mouseClick(ui<QPushButton>("CmdAddSel"), Qt::LeftButton);
    QTest::mouseClick(ui<QPushButton>("CmdExitAddSav"), Qt::LeftButton);
    ASSERT_EQ(lines().size(), 1);
    EXPECT_EQ(util::PathToBytes(lines()[0]), util::PathToBytes(path));
    doubleClickRow(0);
    EXPECT_TRUE(waitFor([&] { return player().GetFilePos() > 0.2f; }, 3000));
    EXPECT_TRUE(messages_.isEmpty()) << messages_.join("; ").toStdString();
    // A file without tags is named by its file name, readably; the path is in the tool tip.
    EXPECT_EQ(ui<QLineEdit>("NamePlay")->text(), test::kByteNames[0].shown)
        << "the transport names it readably";
    EXPECT_EQ(ui<QLineEdit>("NamePlay")->toolTip(), util::PathForDisplay(path));
}

// A name with a line break would come back from the saved list as two lines: it is left out,
// and the window says how many were.
TEST_F(MusicSearchTest, NamesWithALineBreakAreSkippedAndCounted) {
    const QStringList music = makeMusic(2);
    for (const QByteArray& name :
         {QByteArray("two\nlines.mp3"), QByteArray("cr\ronly.mp3"),
          QByteArray("sub\nfolder/inside.mp3"), QByteArray("notes\n.txt")}) {
        QDir().mkpath(QFileInfo(util::PathFromBytes(test::rawPath(root_, name))).path());
        ASSERT_TRUE(testmedia::writeFile(test::rawString(test::rawPath(root_, name)), "x"));
    }
    setList({});
    search();
    EXPECT_EQ(lines(), music);
    EXPECT_EQ(list().musicSearch().skippedNames(), 3) << "the text file is no music";
    EXPECT_EQ(ui<QLabel>("LblListNote")->text(),
              "3 names with a line break skipped: a list line cannot hold them.");
    EXPECT_TRUE(messages_.isEmpty());
}

// A search that fills the list stops there and says so; the next search clears the note.
TEST_F(MusicSearchTest, ASearchThatFillsTheListSaysSo) {
    const QStringList music = makeMusic(5);
    QStringList full;
    for (int i = 0; i < playlist::PlaylistModel::kMaxLines - 2; ++i)
        full << QStringLiteral("/kept/%1.mp3").arg(i);
    setList(full);
    search();
    EXPECT_EQ(lines().mid(full.size()), music.mid(0, 2));
    EXPECT_EQ(ui<QLabel>("LblListNote")->text(), "Search stopped: the list is full (32767 lines).");
    EXPECT_TRUE(messages_.isEmpty());
    setList(music.mid(0, 1));
    search();
    EXPECT_EQ(lines().size(), 6);
    EXPECT_TRUE(ui<QLabel>("LblListNote")->text().isEmpty());
}

// The user's home and music folder (as xdg-user-dir names it) in a home of the test's own: the
// drive list offers them first, the music folder is chosen at start, and a search from it finds
// the music below it and nothing else of home.
class MusicFolderTest : public WindowFixture {
  protected:
    void SetUp() override {
        home_ = dir_.path() + "/home";
        ASSERT_TRUE(QDir().mkpath(dir_.path() + "/config"));
        ASSERT_TRUE(
            writeFile(dir_.path() + "/config/user-dirs.dirs", "XDG_MUSIC_DIR=\"$HOME/Tunes\"\n"));
        for (const char* f :
             {"Tunes/b.mp3", "Tunes/a.mp3", "Tunes/live/c.MP3", "Tunes/live/notes.txt",
              "Tunes/.hidden/d.mp3", "home.mp3", "Downloads/e.mp3"})
            makeFile(home_ + "/" + f);
        homeEnv_.emplace("HOME", home_.toUtf8());
        configEnv_.emplace("XDG_CONFIG_HOME", (dir_.path() + "/config").toUtf8());
        WindowFixture::SetUp();
    }

    QTemporaryDir dir_;
    QString home_;
    std::optional<testmedia::ScopedEnv> homeEnv_,
        configEnv_;  // put back after the window's TearDown
};

TEST_F(MusicFolderTest, HomeAndMusicComeFirstTheMusicFolderIsChosenAndItsSearchFindsItsMusic) {
    auto* drives = ui<QComboBox>("Drive0");
    ASSERT_GE(drives->count(), 3);
    EXPECT_EQ(drives->itemText(0), home_);
    EXPECT_EQ(drives->itemText(1), home_ + "/Tunes");
    EXPECT_EQ(drives->itemText(2), "/");
    EXPECT_EQ(drives->currentText(), home_ + "/Tunes") << "chosen at start";
    setList({});
    search();
    EXPECT_EQ(lines(), QStringList({home_ + "/Tunes/a.mp3", home_ + "/Tunes/b.mp3",
                                    home_ + "/Tunes/live/c.MP3"}));
    EXPECT_TRUE(ui<QLabel>("LblListNote")->text().isEmpty());
}

// While it walks, the toggle waits on the page (the panel closed over the list): a click on it
// stops the search, and it goes back into the panel.
TEST_F(MusicFolderTest, TheToggleStaysInReachWhileTheSearchRuns) {
    Gate gate(1);
    list().musicSearch().afterFile = [&](int n) { gate(n); };
    setList({});
    clickMusicSearch();
    auto* toggle = ui<QPushButton>("TogFindMusic");
    ASSERT_TRUE(waitFor([&] { return gate.calls == 1; }, 5000));
    EXPECT_FALSE(ui<QFrame>("FrmAddSav")->isVisible());
    EXPECT_TRUE(toggle->isVisible());
    EXPECT_TRUE(toggle->isChecked());
    EXPECT_EQ(w_->childAt(toggle->mapTo(w_.get(), toggle->rect().center())), toggle)
        << "nothing lies over it";
    QTest::mouseClick(toggle, Qt::LeftButton);
    EXPECT_FALSE(list().musicSearch().running());
    gate.release();
    EXPECT_FALSE(toggle->isChecked());
    EXPECT_EQ(toggle->parentWidget(), ui<QFrame>("FrmAddSav"));
    ASSERT_TRUE(waitFor([&] { return !list().musicSearch().walking(); }, 5000));
    list().musicSearch().afterFile = nullptr;
}

// A search from "/" walks none of the temporary and system folders and passes over folders it
// may not read without a word. The tree outside /tmp and a tree inside it are the only folders
// the walk may open; everything else of the machine answers "permission denied".
TEST_F(MusicFolderTest, FromTheRootNothingComesFromTmpAndUnreadableFoldersAreSkippedQuietly) {
    QTemporaryDir outside(QDir::currentPath() + "/walk-XXXXXX");
    ASSERT_TRUE(outside.isValid());
    if (outside.path().startsWith("/tmp/")) GTEST_SKIP() << "the build folder lies in /tmp";
    const QString inTmp = dir_.path();  // a QTemporaryDir: below /tmp
    ASSERT_TRUE(inTmp.startsWith("/tmp/"));
    for (const char* f : {"music/x.mp3", "other user/y.mp3"})
        makeFile(outside.path() + "/" + f);
    makeFile(inTmp + "/z.mp3");
    const auto opens = [&](const QString& path) {
        for (const QString& tree : {outside.path(), inTmp}) {
            if (path == tree || path.startsWith(tree + "/")) return true;
            if (tree.startsWith(path + "/") || path.isEmpty()) return true;  // on the way to it
        }
        return false;
    };
    list().musicSearch().rules = [&] {
        util::WalkRules r;
        r.openFolder = [&](const QByteArray& bytes, bool root) {
            QString path = util::PathFromBytes(bytes);
            while (path.endsWith('/'))
                path.chop(1);
            if (!opens(path) || path.endsWith("/other user")) {
                errno = EACCES;
                return -1;
            }
            return util::WalkRules::OpenFolder(bytes, root);
        };
        return r;
    };
    setList({});
    auto* drives = ui<QComboBox>("Drive0");
    drives->setCurrentIndex(drives->findText("/"));
    search();
    EXPECT_EQ(lines(), QStringList{outside.path() + "/music/x.mp3"});
    EXPECT_TRUE(ui<QLabel>("LblListNote")->text().isEmpty()) << "no word of the folders skipped";
    EXPECT_TRUE(messages_.isEmpty()) << messages_.join("; ").toStdString();

    // Started inside /tmp, the search walks what is below it.
    drives->addItem(inTmp);
    drives->setCurrentIndex(drives->count() - 1);
    setList({});
    search();
    EXPECT_TRUE(lines().contains(inTmp + "/z.mp3"));
}

TEST(ListNote, SaysWhatTheListDoesNotHold) {
    const struct {
        int skipped;
        bool full, failed;
        const char* text;
    } cases[] = {
        {1, false, false, "1 name with a line break skipped: a list line cannot hold it."},
        {4, true, true,
         "Wrong system DLL libraries\nSearch stopped: the list is full (32767 lines).\n"
         "4 names with a line break skipped: a list line cannot hold them."},
    };
    for (const auto& c : cases)
        EXPECT_EQ(playlist::ListNote(c.skipped, c.full, c.failed), c.text);
}

class MixerTest : public MusicSearchTest {
  protected:
    void SetUp() override {
        MusicSearchTest::SetUp();
        util::MixerLauncher& mixer = w_->utilPanel().mixer();
        mixer.places.fixed = {root_ + "/usr/bin/pavucontrol", root_ + "/opt/pwvucontrol"};
        mixer.pathVar = [this] { return util::PathToBytes(path_); };
        w_->MenuTabs()->setCurrentIndex(1);  // the transport panel with the mixer button
    }
    // Starts are recorded; a start succeeds unless the case says otherwise.
    void recordStarts(bool succeed) {
        w_->utilPanel().mixer().startProgram = [this, succeed](const QString& path,
                                                               QString* error) {
            started_ << path.mid(root_.size());
            if (!succeed) *error = "Permission denied";
            return succeed;
        };
    }
    void recordMessages() {
        w_->utilPanel().messageBox = [this](const QString& text, const QString& title) {
            messages_ << title + "|" + text;
        };
    }
    void clickMixer() { QTest::mouseClick(ui<QPushButton>("CmdSndVolExe"), Qt::LeftButton); }
    static QList<QMessageBox*> shownBoxes() {
        QList<QMessageBox*> boxes;
        for (QWidget* top : QApplication::topLevelWidgets())
            if (auto* box = qobject_cast<QMessageBox*>(top); box && box->isVisible()) boxes << box;
        return boxes;
    }

    QString path_;
    QStringList started_;
};

TEST_F(MixerTest, PathFirstThenTheFixedPlacesThenAMessageThatSaysHowToInstallOne) {
    const QString notFound =
        "Error|File pavucontrol not found\n\nThe mixer button starts pavucontrol or "
        "pwvucontrol, looked for on PATH and at " +
        root_ + "/usr/bin/pavucontrol, " + root_ +
        "/opt/pwvucontrol.\nInstall pavucontrol or pwvucontrol: sudo apt install pavucontrol";
    const struct Case {
        const char* name;
        QString path;  // folders under the tree, ":" between them
        QStringList executables, plainFiles;
        bool startSucceeds;
        QStringList started;
        QStringList messages;
    } cases[] = {
        {"on PATH, in its second folder, before a fixed place",
         "/bin1:/bin2",
         {"/bin2/pavucontrol", "/usr/bin/pavucontrol"},
         {},
         true,
         {"/bin2/pavucontrol"},
         {}},
        {"pavucontrol anywhere on PATH before pwvucontrol",
         "/bin1:/bin2",
         {"/bin1/pwvucontrol", "/bin2/pavucontrol"},
         {},
         true,
         {"/bin2/pavucontrol"},
         {}},
        {"pwvucontrol on PATH before a fixed pavucontrol",
         "/bin1",
         {"/bin1/pwvucontrol", "/usr/bin/pavucontrol"},
         {},
         true,
         {"/bin1/pwvucontrol"},
         {}},
        {"a file that may not be run and a folder of that name are passed over",
         "/bin1:/bin2",
         {"/opt/pwvucontrol"},
         {"/bin1/pavucontrol", "/bin2/pavucontrol/readme"},
         true,
         {"/opt/pwvucontrol"},
         {}},
        {"nowhere: which mixers, where, and how to install one",
         "/bin1",
         {},
         {},
         true,
         {},
         {notFound}},
        {"found but it does not start: said so",
         "/bin1",
         {"/bin1/pavucontrol"},
         {},
         false,
         {"/bin1/pavucontrol"},
         {"Error|The mixer " + root_ +
          "/bin1/pavucontrol could not be started: Permission denied"}},
    };
    recordMessages();
    for (const Case& c : cases) {
        SCOPED_TRACE(c.name);
        QDir(root_).removeRecursively();
        QStringList folders;
        for (const QString& f : c.path.split(':'))
            folders << root_ + f;
        path_ = "relative/bin::" + folders.join(':');  // relative and empty entries count not
        for (const QString& e : c.executables)
            makeFile(root_ + e, true);
        for (const QString& f : c.plainFiles)
            makeFile(root_ + f);
        recordStarts(c.startSucceeds);
        started_.clear();
        messages_.clear();
        clickMixer();
        EXPECT_EQ(started_, c.started);
        EXPECT_EQ(messages_, c.messages);
    }
}

// The real start of a program found on PATH, and the message shown beside the window when the
// program cannot start: the box blocks neither the window nor its keys.
TEST_F(MixerTest, AProgramOnPathStartsAndAFailedStartIsShownWithoutBlocking) {
    const QString bin = root_ + "/bin";
    QDir().mkpath(bin);
    const QString ran = root_ + "/ran";
    ASSERT_TRUE(
        test::writeFile(bin + "/pavucontrol", ("#!/bin/sh\ntouch '" + ran + "'\n").toUtf8()));
    QFile::setPermissions(bin + "/pavucontrol",
                          QFile::ReadOwner | QFile::ExeOwner | QFile::WriteOwner);
    path_ = bin;
    clickMixer();
    EXPECT_TRUE(waitFor([&] { return QFileInfo::exists(ran); }, 5000));

    ASSERT_TRUE(test::writeFile(bin + "/pavucontrol", "#!/no/such/interpreter\n"));
    clickMixer();
    QList<QMessageBox*> boxes = shownBoxes();
    ASSERT_EQ(boxes.size(), 1) << "a failed start is never silent";
    EXPECT_TRUE(
        boxes[0]->text().startsWith("The mixer " + bin + "/pavucontrol could not be started"))
        << boxes[0]->text().toStdString();
    EXPECT_FALSE(boxes[0]->isModal());
    EXPECT_EQ(QApplication::activeModalWidget(), nullptr);
    // A second message takes the place of the first.
    path_ = root_ + "/nothing";
    clickMixer();
    boxes = shownBoxes();
    ASSERT_EQ(boxes.size(), 1);
    EXPECT_TRUE(boxes[0]->text().startsWith("File pavucontrol not found"));
    boxes[0]->close();
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
