// The window shows files by their tags and keeps their paths; lists of every kind are listed and
// added from the browser; a list is saved as M3U; lengths of a minute or more read m:ss.
#include <gtest/gtest.h>

#include <QDir>
#include <QLabel>
#include <QLineEdit>
#include <QPushButton>
#include <QRadioButton>
#include <QScrollBar>

#include "common/taggedmedia.h"
#include "playlist/tagcache.h"
#include "windowfixture.h"

namespace velorixa::test {
namespace {

class TagsViewTest : public WindowFixture {
  protected:
    void SetUp() override {
        WindowFixture::SetUp();
        ASSERT_TRUE(media_.isValid());
    }
    QString make(const QString& name, const QStringList& tags, double seconds = 1.5) {
        const QString path = media_.filePath(name);
        const QString error = testmedia::makeTagged(path, seconds, tags);
        EXPECT_TRUE(error.isEmpty()) << error.toStdString();
        return path;
    }
    QString shown(int row, int role = Qt::DisplayRole) {
        return list().PlayListView()->QListView::model()->index(row, 0).data(role).toString();
    }
    // The add/save panel open on folder, showing the file type of option.
    void browse(const QString& folder, const char* option) {
        QTest::mouseClick(ui<QPushButton>("ChkEnterAddSav"), Qt::LeftButton);
        ASSERT_TRUE(list().setBrowserFolder(folder));
        auto* opt = ui<QRadioButton>(option);
        QTest::mouseClick(opt, Qt::LeftButton, {}, QPoint(6, opt->height() / 2));
        ASSERT_TRUE(opt->isChecked());
    }
    QStringList browserFiles() { return w_->findChild<ListBox*>("FileTop")->model().texts(); }
    void addAll() {
        QTest::mouseClick(ui<QPushButton>("CmdSelAll"), Qt::LeftButton);
        QTest::mouseClick(ui<QPushButton>("CmdAddSel"), Qt::LeftButton);
    }

    QTemporaryDir media_;
};

TEST_F(TagsViewTest, TheListShowsArtistAndTitleAndKeepsThePath) {
    const QString tagged = make("01 track.mp3", {"title=Tune", "artist=Band", "album=Record"});
    const QString titled = make("02 track.mp3", {"title=Only A Title"});
    const QString plain = make("03 plain.mp3", {});
    ASSERT_TRUE(writeFile(media_.filePath("notes.txt"), "x"));  // not listed: not playable
    browse(media_.path(), "OptMusic");
    EXPECT_EQ(browserFiles(), (QStringList{"01 track.mp3", "02 track.mp3", "03 plain.mp3"}));
    addAll();
    QTest::mouseClick(ui<QPushButton>("CmdExitAddSav"), Qt::LeftButton);

    // The items are the paths, as they always were.
    ASSERT_EQ(lines(), (QStringList{tagged, titled, plain}));
    ASSERT_TRUE(waitFor([&] { return shown(0) == "Band - Tune"; }, 10000))
        << shown(0).toStdString();
    EXPECT_TRUE(waitFor([&] { return shown(1) == "Only A Title"; }, 10000));
    EXPECT_EQ(shown(2), "03 plain");
    for (int row = 0; row < 3; ++row)
        EXPECT_EQ(shown(row, Qt::ToolTipRole), lines()[row]);

    // Played by a double click: the transport shows the name, the path in its tool tip, and
    // the play queue holds the path.
    doubleClickRow(0);
    ASSERT_TRUE(waitFor([&] { return player().GetFilePlayPerf(); }, 5000));
    EXPECT_EQ(namePlay(), tagged);
    EXPECT_EQ(ui<QLineEdit>("NamePlay")->text(), "Band - Tune");
    EXPECT_EQ(ui<QLineEdit>("NamePlay")->toolTip(), tagged);
    // The list file written at exit holds the paths.
    EXPECT_EQ(w_->playLists().musicList().texts(), (QStringList{tagged, titled, plain}));
}

TEST_F(TagsViewTest, AFileRetaggedOnDiskShowsItsNewTitleWhenPlayedNext) {
    const QString song = make("song.mp3", {"title=Old Title"});
    setList({song});
    ASSERT_TRUE(waitFor([&] { return shown(0) == "Old Title"; }, 10000)) << shown(0).toStdString();
    const QString error = testmedia::makeTagged(song, 1.5, {"title=New Title", "artist=Band"});
    ASSERT_TRUE(error.isEmpty()) << error.toStdString();
    doubleClickRow(0);
    ASSERT_TRUE(
        waitFor([&] { return ui<QLineEdit>("NamePlay")->text() == "Band - New Title"; }, 10000))
        << ui<QLineEdit>("NamePlay")->text().toStdString();
    EXPECT_TRUE(waitFor([&] { return shown(0) == "Band - New Title"; }, 5000));
}

TEST_F(TagsViewTest, LengthsAndPositionsOfAMinuteOrMoreReadMinutesAndSeconds) {
    const QString longer = make("long.mp3", {"title=Long"}, 65.0);
    setList({longer});
    doubleClickRow(0);
    ASSERT_TRUE(waitFor([&] { return ui<QLineEdit>("TxtLen")->text() == "1:05"; }, 5000))
        << ui<QLineEdit>("TxtLen")->text().toStdString();
    // A click on the bar's page area moves it by its large step (65 / 16 = 4 s) and seeks.
    auto* bar = ui<QScrollBar>("ScrPlay");
    bar->setValue(58);
    ASSERT_TRUE(waitFor([&] { return ui<QLineEdit>("TxtPos")->text() == "58"; }, 2000));
    QTest::mouseClick(bar, Qt::LeftButton, {}, QPoint(bar->width() - 20, bar->height() / 2));
    EXPECT_TRUE(waitFor([&] { return ui<QLineEdit>("TxtPos")->text().startsWith("1:0"); }, 2000))
        << ui<QLineEdit>("TxtPos")->text().toStdString();
}

TEST_F(TagsViewTest, ListFilesOfEveryKindAreListedAndAdded) {
    const QString lists = media_.path() + "/lists";
    ASSERT_TRUE(QDir().mkpath(lists + "/songs"));
    ASSERT_TRUE(writeFile(lists + "/a.PLF", "/abs/one.mp3\r\n"));
    ASSERT_TRUE(writeFile(lists + "/b.m3u",
                          "#EXTM3U\n#EXTINF:3,X\nsongs/two.flac\n"
                          "file:///abs/three%20x.ogg\nhttp://radio.example/aac\n"));
    ASSERT_TRUE(writeFile(lists + "/c.pls", "[playlist]\nFile1=../four.opus\nNumberOfEntries=1\n"));
    ASSERT_TRUE(
        writeFile(lists + "/d.m3u8", "#EXTM3U\n#EXT-X-TARGETDURATION:6\n#EXTINF:6,\ns1.aac\n"));
    ASSERT_TRUE(writeFile(lists + "/e.mp3", "not a list"));
    setList({});
    browse(lists, "OptLists");
    EXPECT_EQ(browserFiles(), (QStringList{"a.PLF", "b.m3u", "c.pls", "d.m3u8"}));
    addAll();
    EXPECT_EQ(lines(), (QStringList{"/abs/one.mp3", lists + "/songs/two.flac", "/abs/three x.ogg",
                                    "http://radio.example/aac", media_.path() + "/four.opus"}));
    // The HLS playlist added nothing, and the window says why.
    EXPECT_TRUE(ui<QLabel>("LblListNote")->text().contains("HLS"))
        << ui<QLabel>("LblListNote")->text().toStdString();
}

TEST_F(TagsViewTest, SaveListAsM3uWhenTheNameEndsSo) {
    const QString tagged = make("song.mp3", {"title=Tune", "artist=Band"}, 2.0);
    setList({tagged, "http://radio.example/live Radio"});
    ASSERT_TRUE(waitFor([&] { return w_->tags().find(tagged) != nullptr; }, 10000));
    const QString out = media_.path() + "/saved";
    ASSERT_TRUE(QDir().mkpath(out));
    browse(out, "OptMusic");
    auto* name = ui<QLineEdit>("NameFileSave");
    QTest::mouseClick(name, Qt::LeftButton);
    QTest::keyClicks(name, "Mix.m3u");
    QTest::mouseClick(ui<QPushButton>("CmdFileSave"), Qt::LeftButton);
    EXPECT_EQ(readFile(out + "/Mix.m3u"), QByteArray("#EXTM3U\n#EXTINF:2,Band - Tune\n") +
                                              tagged.toUtf8() +
                                              "\n#EXTINF:-1,Radio\nhttp://radio.example/live\n");
    // The browser now shows the list files, the new one among them.
    EXPECT_TRUE(ui<QRadioButton>("OptLists")->isChecked());
    EXPECT_EQ(browserFiles(), QStringList{"Mix.m3u"});

    // Any other name is still the player's own list file, ".PLF" appended as always.
    name->clear();
    QTest::keyClicks(name, "Mix");
    QTest::mouseClick(ui<QPushButton>("CmdFileSave"), Qt::LeftButton);
    EXPECT_EQ(readFile(out + "/Mix.PLF"),
              tagged.toUtf8() + "\r\nhttp://radio.example/live Radio\r\n");
}

}  // namespace
}  // namespace velorixa::test
