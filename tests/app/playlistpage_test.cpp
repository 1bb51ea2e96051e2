// The PlayList page: the browser, the editing buttons and the list files, driven as a user would.
#include "playlist/ui/playlistpage.h"

#include <gtest/gtest.h>

#include <QDir>
#include <QLabel>
#include <QLineEdit>
#include <QListWidget>
#include <QPushButton>
#include <QRadioButton>
#include <QScrollBar>

#include <functional>

#include <sys/stat.h>

#include "common/bytenames.h"
#include "util/fspath.h"
#include "util/ui/textfocus.h"
#include "windowfixture.h"

namespace velorixa {
namespace {

using test::readFile;

void touch(const QString& path, const QByteArray& content = "x") {
    ASSERT_TRUE(test::writeFile(path, content));
}

class PlayListPageTest : public ::testing::Test {
  protected:
    // A control of the page by its object name.
    template <class T>
    T* w(const char* name) {
        T* c = canvas_.findChild<T*>(name);
        EXPECT_NE(c, nullptr) << name;
        return c;
    }
    void SetUp() override {
        ASSERT_TRUE(dir_.isValid());
        music_ = dir_.path() + "/Music";
        QDir().mkpath(music_ + "/Sub folder");
        touch(music_ + "/b song.MP3");
        touch(music_ + "/a song.mp3");
        touch(music_ + "/notes.txt");
        touch(music_ + "/Mix.plf", "/x/one.mp3\r\n/x/two, with comma.mp3\r\n");
        canvas_.resize(457, 425);
        page_ = std::make_unique<PlayListPage>(&canvas_, textFocus_, lists_);
        page_->messageBox = [this](const QString& text, const QString& title) {
            messages_ << title + "|" + text;
        };
        ASSERT_TRUE(page_->setBrowserFolder(music_));
    }
    QStringList files() { return w<ListBox>("FileTop")->model().texts(); }
    QStringList lines() { return page_->PlayListView()->model().texts(); }
    void selectFiles(std::initializer_list<int> rows) {
        auto& m = w<ListBox>("FileTop")->model();
        m.clearSelection();
        for (int r : rows)
            m.setSelected(r, true);
        w<ListBox>("FileTop")->refreshSelection();
    }

    QTemporaryDir dir_;
    QString music_;
    QWidget canvas_;
    util::TextFocus textFocus_;
    playlist::PlayLists lists_;
    std::unique_ptr<PlayListPage> page_;
    QStringList messages_;
};

TEST_F(PlayListPageTest, BrowserShowsMusicFilesWithoutRegardToCaseAndAddsTheSelection) {
    EXPECT_EQ(files(), (QStringList{"a song.mp3", "b song.MP3"}));
    page_->OpenAddSav();
    EXPECT_FALSE(page_->PlayListView()->isEnabled());
    selectFiles({1, 0});
    QTest::mouseClick(w<QPushButton>("CmdAddSel"), Qt::LeftButton);
    EXPECT_EQ(lines(), (QStringList{music_ + "/a song.mp3", music_ + "/b song.MP3"}));
    QTest::mouseClick(w<QPushButton>("CmdExitAddSav"), Qt::LeftButton);
    EXPECT_TRUE(page_->PlayListView()->isEnabled());
    // An unreadable folder keeps the browser where it was.
    EXPECT_FALSE(page_->setBrowserFolder(music_ + "/gone"));
    page_->Drive0_Change(music_ + "/not a drive");
    EXPECT_EQ(messages_, QStringList{"Error|Drive Error"});
    EXPECT_EQ(page_->browserFolder(), music_);
    EXPECT_EQ(files().size(), 2);
}

TEST_F(PlayListPageTest, TheBrowserShowsWhichFolderItIsIn) {
    auto* label = canvas_.findChild<QLabel*>("LblFolder");
    ASSERT_NE(label, nullptr);
    for (const QString& folder : {music_ + "/Sub folder", QString("/")}) {
        ASSERT_TRUE(page_->setBrowserFolder(folder));
        EXPECT_EQ(label->toolTip(), QDir(folder).absolutePath());
        // Shown from its end, which names the folder, when the whole path does not fit.
        const QString shown = label->text();
        EXPECT_TRUE(shown == QDir(folder).absolutePath() ||
                    (shown.startsWith(QChar(0x2026)) && folder.endsWith(shown.mid(1))))
            << shown.toStdString();
        EXPECT_LE(label->fontMetrics().horizontalAdvance(shown), label->width());
    }
}

TEST_F(PlayListPageTest, ListFilesAddTheirLinesAndFoldersOpenWithOneClick) {
    w<QRadioButton>("OptLists")->setChecked(true);
    EXPECT_EQ(files(), QStringList{"Mix.plf"});
    selectFiles({0});
    page_->CmdAddSel_Click();
    EXPECT_EQ(lines(), (QStringList{"/x/one.mp3", "/x/two, with comma.mp3"}));
    // The folder list: the way up first, then the sub-folders.
    ASSERT_GE(w<QListWidget>("DirectoryBox")->count(), 2);
    EXPECT_EQ(w<QListWidget>("DirectoryBox")->item(0)->text(), "..");
    QListWidgetItem* sub =
        w<QListWidget>("DirectoryBox")->findItems("Sub folder", Qt::MatchExactly).value(0);
    ASSERT_NE(sub, nullptr);
    QTest::mouseClick(w<QListWidget>("DirectoryBox")->viewport(), Qt::LeftButton, {},
                      w<QListWidget>("DirectoryBox")->visualItemRect(sub).center());
    EXPECT_EQ(page_->browserFolder(), music_ + "/Sub folder");
    EXPECT_TRUE(files().isEmpty());
}

// Names that are not UTF-8: the file list and the folder list show them readably, "Add Select."
// adds their bytes, a click opens such a folder.
TEST_F(PlayListPageTest, NamesThatAreNotUtf8ShowReadablyAndAddByteForByte) {
    using test::kByteNames;
    for (const auto& n : kByteNames) {
        ASSERT_TRUE(test::makeRawFolder(test::rawPath(music_, n.bytes))) << n.what;
        ASSERT_TRUE(testmedia::writeFile(test::rawString(test::rawPath(music_, n.bytes + ".mp3")),
                                         std::string("x")))
            << n.what;
    }
    ASSERT_TRUE(page_->setBrowserFolder(music_));
    auto* fileTop = w<ListBox>("FileTop");
    QStringList shown;
    for (int row = 0; row < fileTop->QListView::model()->rowCount(); ++row)
        shown << fileTop->QListView::model()->index(row, 0).data().toString();
    page_->OpenAddSav();
    QTest::mouseClick(w<QPushButton>("CmdSelAll"), Qt::LeftButton);
    QTest::mouseClick(w<QPushButton>("CmdAddSel"), Qt::LeftButton);
    QList<QByteArray> added;
    for (const QString& line : lines())
        added << util::PathToBytes(line);
    auto* folders = w<QListWidget>("DirectoryBox");
    for (const auto& n : kByteNames) {
        SCOPED_TRACE(n.what);
        EXPECT_TRUE(shown.contains(n.shown + ".mp3")) << shown.join(" | ").toStdString();
        EXPECT_TRUE(added.contains(test::rawPath(music_, n.bytes + ".mp3")));
        EXPECT_EQ(folders->findItems(n.shown, Qt::MatchExactly).size(), 1);
    }
    // The Latin-1 folder opens with a click and is named readably under the browser.
    QListWidgetItem* latin1 = folders->findItems(kByteNames[0].shown, Qt::MatchExactly).value(0);
    ASSERT_NE(latin1, nullptr);
    QTest::mouseClick(folders->viewport(), Qt::LeftButton, {},
                      folders->visualItemRect(latin1).center());
    EXPECT_EQ(util::PathToBytes(page_->browserFolder()),
              test::rawPath(music_, kByteNames[0].bytes));
    EXPECT_TRUE(w<QLabel>("LblFolder")->toolTip().endsWith("/" + kByteNames[0].shown));
    EXPECT_TRUE(messages_.isEmpty());
}

TEST_F(PlayListPageTest, SaveListAsWritesThePlaylistFileShowsItOrSaysWhyNot) {
    page_->PlayListView()->model().setTexts(
        {"/m/a.mp3", " /m/leading blank.mp3", "/m/Ünïcödé.mp3"});
    page_->PlayListView()->refresh();
    w<QLineEdit>("NameFileSave")->setText("Set");
    page_->CmdFileSave_Click();
    EXPECT_TRUE(messages_.isEmpty());
    EXPECT_EQ(readFile(music_ + "/Set.PLF"), QByteArray("/m/a.mp3\r\n /m/leading blank.mp3\r\n") +
                                                 QString::fromUtf8("/m/Ünïcödé.mp3\r\n").toUtf8());
    EXPECT_TRUE(files().contains("Set.PLF"));
    // The name is taken as typed.
    w<QLineEdit>("NameFileSave")->setText("Set.PLF");
    page_->CmdFileSave_Click();
    EXPECT_TRUE(QFile::exists(music_ + "/Set.PLF.PLF"));
    // A save that cannot be written says so; nothing happens with an empty name or list.
    w<QLineEdit>("NameFileSave")->setText("no/such/folder/Old");
    page_->CmdFileSave_Click();
    ASSERT_EQ(messages_.size(), 1);
    EXPECT_TRUE(messages_[0].startsWith("Error|"));
    w<QLineEdit>("NameFileSave")->clear();
    page_->CmdFileSave_Click();
    page_->PlayListView()->model().clear();
    w<QLineEdit>("NameFileSave")->setText("Empty");
    page_->CmdFileSave_Click();
    EXPECT_EQ(messages_.size(), 1);
    EXPECT_FALSE(QFile::exists(music_ + "/Empty.PLF"));
}

TEST_F(PlayListPageTest, ButtonsEditTheList) {
    auto& m = page_->PlayListView()->model();
    m.setTexts({"0", "1", "2", "3", "4", "5", "6", "7"});
    m.setSelected(2, true);
    m.setSelected(3, true);
    m.setSelected(6, true);
    page_->PlayListView()->refresh();
    QTest::mouseClick(w<QPushButton>("CmdUpDn3"), Qt::LeftButton);  // one up
    EXPECT_EQ(lines(), (QStringList{"0", "2", "3", "1", "4", "5", "6", "7"}));
    EXPECT_EQ(page_->PlayListView()->selectionModel()->selectedRows().size(), 2);
    QTest::mouseClick(w<QPushButton>("CmdUpDn2"), Qt::LeftButton);  // to the bottom
    EXPECT_EQ(lines(), (QStringList{"0", "1", "4", "5", "6", "7", "2", "3"}));
    QTest::mouseClick(w<QPushButton>("CmdRemoveSelect"), Qt::LeftButton);
    EXPECT_EQ(lines(), (QStringList{"0", "1", "4", "5", "6", "7"}));
    QTest::mouseClick(w<QPushButton>("CmdClearList"), Qt::LeftButton);
    EXPECT_TRUE(lines().isEmpty());
}

TEST_F(PlayListPageTest, OperatorSelectionReachesTheModel) {
    test::setList(*page_, {"a", "b", "c"});
    test::clickRow(*page_, 1);
    EXPECT_EQ(page_->PlayListView()->model().selectedRows(), std::vector<int>{1});
    test::clickRow(*page_, 2, Qt::ShiftModifier);
    EXPECT_EQ(page_->PlayListView()->model().selectedRows(), (std::vector<int>{1, 2}));
    page_->CursorMove(2);  // down: the first selected line moves on alone
    EXPECT_EQ(page_->PlayListView()->model().selectedRows(), std::vector<int>{2});
    // With the "Add / Save" panel open and nothing selected, a cursor key opens the list and
    // defines the next item.
    page_->PlayListView()->model().clearSelection();
    page_->OpenAddSav();
    int defines = 0;
    page_->defineNext = [&] { ++defines; };
    page_->CursorMove(1);
    EXPECT_EQ(defines, 1);
    EXPECT_TRUE(page_->PlayListView()->isEnabled());
    EXPECT_FALSE(w<QFrame>("FrmAddSav")->isVisible());
}

TEST(PlayListBox, TheLongestLineCanBeScrolledIntoViewWhereverItIs) {
    // Every row is sized like one row; the longest line must still be reachable to its end.
    // Characters of other scripts are measured as well as Latin ones, in a list that mixes them.
    const QString latin = "/" + QString("a rather long folder name/").repeated(12) + "song.mp3";
    const QString cyrillic = "/" + QString("Музыка для танцев/").repeated(10) + "песня.mp3";
    const QString cjk = "/" + QString("日本語の歌/").repeated(16) + "歌.mp3";
    struct Case {
        QString longest;
        int at;
    };
    for (const auto& [longest, at] :
         {Case{latin, 0}, Case{latin, 6}, Case{cyrillic, 3}, Case{cjk, 6}}) {
        QStringList lines{"/music/short.mp3", "/Музыка/песня.mp3", "/日本語/歌.mp3",
                          "/music/Ärger.mp3", "/music/x.mp3",      "/music/y.mp3"};
        lines.insert(at, longest);
        playlist::PlaylistModel model;
        ListBox box(model);
        box.resize(346, 378);
        box.show();
        box.model().setTexts(lines);
        box.refresh();
        QApplication::processEvents();
        QScrollBar* bar = box.horizontalScrollBar();
        bar->setValue(bar->maximum());
        const QRect row = box.visualRect(box.QListView::model()->index(at, 0));
        EXPECT_LE(row.left() + box.fontMetrics().horizontalAdvance(longest),
                  box.viewport()->width())
            << at << " " << longest.toStdString() << ": the line's end is in view";
    }
}

TEST(MusicList, ComesBackAfterARestart) {
    QTemporaryDir dir;
    const QString app = dir.path() + "/";
    // Awkward paths stay single items: blanks at either end, an empty line, commas, any script.
    const QStringList items{"/music/one.mp3",
                            " /leading blank.mp3",
                            "",
                            "/music/Ärger/Музыка/日本語.mp3",
                            "http://radio.example:8000/live Station Name, with comma",
                            "/trailing blank.mp3 "};
    touch(app + "NetRadio.ini", "http://127.0.0.1/a A\r\n\r\n");
    {
        VelMix w(app);
        w.Show();
        w.setStateLoaded(true);
        w.playListPage().PlayListView()->model().setTexts(items);
        w.close();
    }
    const QByteArray saved = readFile(app + "MemoList.ini");  // CR LF after every line
    EXPECT_EQ(saved.count("\r\n"), items.size());
    EXPECT_EQ(saved.count('\n'), items.size());
    {
        VelMix w(app);
        w.Show();
        w.LoadSavedState();
        EXPECT_EQ(w.playListPage().PlayListView()->model().texts(), items);
        EXPECT_EQ(w.playLists().PlayListNET.texts(), (QStringList{"http://127.0.0.1/a A", ""}));
        w.playListPage().PlayListView()->model().clear();
        w.setStateLoaded(true);
        w.close();
    }
    EXPECT_EQ(readFile(app + "MemoList.ini"), "\r\n");  // an empty list is one empty line
}

TEST(MusicList, LongOrUnreadableSavedListsLoseNothing) {
    // More lines than a list holds: one message, the original kept whole beside it, and the
    // save at exit writes the lines loaded.
    QByteArray longList;
    for (int i = 0; i < playlist::PlaylistModel::kMaxLines + 5; ++i)
        longList += "/m/" + QByteArray::number(i) + ".mp3\r\n";
    struct Case {
        const char* what;
        std::function<void(const QString& path)> make;
        int messages;
        bool saved;  // the save at exit writes the file
    } cases[] = {
        {"long", [&](const QString& p) { touch(p, longList); }, 1, true},
        {"folder", [](const QString& p) { QDir().mkpath(p); }, 1, false},
        {"fifo", [](const QString& p) { ::mkfifo(QFile::encodeName(p).constData(), 0600); }, 1,
         false},
    };
    for (const Case& c : cases) {
        QTemporaryDir dir;
        const QString app = dir.path() + "/", path = app + "MemoList.ini";
        c.make(path);
        const QFileInfo before(path);
        QStringList messages;
        {
            VelMix w(app);
            w.Show();
            w.playListPage().messageBox = [&](const QString& text, const QString&) {
                messages << text;
            };
            w.radioPanel().messageBox = [](const QString&, const QString&) {};
            w.LoadSavedState();
            w.setStateLoaded(true);
            w.playListPage().PlayListView()->model().append("/new.mp3");
            w.close();
        }
        EXPECT_EQ(messages.size(), c.messages) << c.what << messages.join('|').toStdString();
        const QFileInfo after(path);
        EXPECT_EQ(after.isFile(), c.saved) << c.what;
        EXPECT_EQ(after.isDir(), before.isDir()) << c.what << ": never saved over";
        if (c.saved) {
            EXPECT_EQ(readFile(path + ".bak"), longList) << c.what;
            EXPECT_TRUE(readFile(path).endsWith("/m/32766.mp3\r\n"))
                << c.what;  // the list was full
        }
    }
}

}  // namespace
}  // namespace velorixa
