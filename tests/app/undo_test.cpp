// Taking back a stray click with Ctrl+Z in the running window: each destructive action made
// with the real buttons, then real Ctrl+Z key events on the tab control, and the list (with its
// selection) or the keys and styles exactly as they were.
#include <QApplication>
#include <QComboBox>
#include <QDir>
#include <QLineEdit>
#include <QListWidget>
#include <QMessageBox>
#include <QPushButton>
#include <QScrollBar>
#include <QTabBar>

#include <functional>

#include "app/ui/keyrouter.h"
#include "app/ui/messageline.h"
#include "controls/ui/effectspage.h"
#include "perform/ui/setfiles.h"
#include "windowfixture.h"

namespace velorixa::test {
namespace {

// What the operator sees of the list: its lines, the lines selected in the model and the lines
// the list box shows selected.
struct ListSeen {
    QStringList lines;
    std::vector<int> selected;
    std::vector<int> shownSelected;
    bool operator==(const ListSeen&) const = default;
};

// What the operator sees of the keys and styles, and the table behind them.
struct KeysSeen {
    perform::PerformanceSet set;
    std::vector<bool> enabled;  // ButKbd 1..26
    QStringList styleButtons, styleList;
    QString setFile, underStyles, current;
    bool operator==(const KeysSeen&) const = default;
};

class UndoTest : public WindowFixture {
  public:  // the case tables' lambdas drive the window through these
    using WindowFixture::clickRow;
    using WindowFixture::list;
    using WindowFixture::search;
    using WindowFixture::setList;
    using WindowFixture::ui;
    VelMix& win() { return *w_; }
    void SetUp() override {
        WindowFixture::SetUp();
        root_ = tree_.path() + "/music";
        searchFrom(root_);
    }
    QPushButton* button(const QString& name) { return ui<QPushButton>(name); }
    // A click as the operator makes it: on the page that shows the button.
    void click(QAbstractButton* b) {
        for (int i = 0; i < 4; ++i)
            if (w_->page(i)->isAncestorOf(b)) w_->MenuTabs()->setCurrentIndex(i);
        QTest::mouseClick(b, Qt::LeftButton);
    }
    void click(const QString& name) { click(button(name)); }
    // Ctrl held, Z pressed and released, Ctrl released: the keys as they come from the keyboard.
    void ctrlZ() {
        QWidget* bar = w_->MenuTabs()->tabBar();
        w_->MenuTabs()->setFocus();
        QTest::keyPress(bar, Qt::Key_Control, Qt::ControlModifier);
        QTest::keyClick(bar, Qt::Key_Z, Qt::ControlModifier);
        QTest::keyRelease(bar, Qt::Key_Control);
    }
    QString shownMessage() {
        return w_->messageLine().isVisible() ? w_->messageLine().text() : QString();
    }

    // Six lines on the music list with lines 1 and 3 selected by clicks.
    void sixLinesTwoSelected() {
        w_->MenuTabs()->setCurrentIndex(0);
        setList({"/m/0.mp3", "/m/1.mp3", "/m/2.mp3", "/m/3.mp3", "/m/4.mp3", "/m/5.mp3"});
        clickRow(1);
        clickRow(3, Qt::ControlModifier);
        ASSERT_EQ(list().PlayListView()->model().selectedRows(), (std::vector<int>{1, 3}));
    }
    ListSeen listSeen() {
        ListBox* v = list().PlayListView();
        ListSeen s{v->model().texts(), v->model().selectedRows(), {}};
        for (const QModelIndex& i : v->selectionModel()->selectedRows())
            s.shownSelected.push_back(i.row());
        std::sort(s.shownSelected.begin(), s.shownSelected.end());
        return s;
    }

    perform::PerformancePanel& perf() { return w_->performance(); }
    controls::EffectsPage& effects() { return w_->effectsPage(); }
    // "Assign" of the sound with knob 3 at value to letter k, with the Settings page's buttons.
    void assign(int k, int value) {
        effects().knob(3)->bar()->setValue(value);
        click(button(QStringLiteral("ButKbdSet_%1").arg(k)));
        ASSERT_TRUE(button("CmdAppSet")->isEnabled());
        click("CmdAppSet");
    }
    // Style s (1..12) chosen in the editor's list, its title and content typed, the fields left.
    void style(int s, const QString& title, const QString& content) {
        w_->MenuTabs()->setCurrentIndex(3);
        auto* combo = ui<QComboBox>("ComboStyle");
        combo->setCurrentIndex(s - 1);
        emit combo->activated(s - 1);
        for (auto [field, text] :
             {std::pair{"TxtTitle", title}, std::pair{"TxtContent", content}}) {
            auto* edit = ui<QLineEdit>(field);
            edit->setFocus();
            QTest::keyClicks(edit, text);
        }
        w_->MenuTabs()->setFocus();
    }
    void saveSet(const QString& name) {
        ui<QLineEdit>("TxtSaveFile")->setText(name);
        click("CmdSaveFile");
        ASSERT_TRUE(QFile::exists(appDir_.path() + "/" + name + ".PSF"));
    }
    void doubleClickSet(const QString& name) {
        auto* box = ui<QListWidget>("FileBoxSet");
        auto items = box->findItems(name, Qt::MatchExactly);
        ASSERT_EQ(items.size(), 1);
        const QPoint at = box->visualItemRect(items[0]).center();
        QTest::mouseClick(box->viewport(), Qt::LeftButton, {}, at);
        QTest::mouseDClick(box->viewport(), Qt::LeftButton, {}, at);
    }
    // Keys 2 and 4 and two styles, saved as "base", then key 5 assigned: unsaved keys.
    void keysAndStyles(bool unsavedKey) {
        assign(2, 10);
        assign(4, 90);
        style(1, "Funk", "bd");
        style(3, "Calm", "");
        saveSet("base");
        if (unsavedKey) assign(5, 40);
    }
    KeysSeen keysSeen() {
        KeysSeen s;
        s.set = perf().skbd().set();
        for (int k = 1; k <= perform::kKeyCount; ++k)
            s.enabled.push_back(button(QStringLiteral("ButKbd_%1").arg(k))->isEnabled());
        auto* combo = ui<QComboBox>("ComboStyle");
        for (int i = 1; i <= perform::kStyleCount; ++i) {
            s.styleButtons << button(QStringLiteral("ButTyp_%1").arg(i))->text();
            s.styleList << combo->itemText(i - 1);
        }
        s.setFile = perf().setFiles().SetFile()[0];
        s.underStyles = ui<QLineEdit>("TxtKbdFil2")->text();
        s.current = ui<QLineEdit>("TxtKbdFil4")->text();
        return s;
    }
    // Music files under the searched folder.
    void makeMusic(int n) {
        QDir().mkpath(root_);
        for (int i = 0; i < n; ++i)
            EXPECT_TRUE(writeFile(QString("%1/s%2.mp3").arg(root_).arg(i), "x"));
    }

    QTemporaryDir tree_;
    QString root_;
};

// One destructive action: the state it destroys, the operator's clicks, the step's name.
struct UndoCase {
    const char* name;  // the test's name
    const char* step;  // as the message line names it
    bool list;         // the list changes (else the keys and styles)
    std::function<void(UndoTest&)> before;
    std::function<void(UndoTest&)> act;
};

const UndoCase kUndoCases[] = {
    {"ClearList", "Clear List", true, [](UndoTest& t) { t.sixLinesTwoSelected(); },
     [](UndoTest& t) { t.click("CmdClearList"); }},
    {"Remove", "Remove", true, [](UndoTest& t) { t.sixLinesTwoSelected(); },
     [](UndoTest& t) { t.click("CmdRemoveSelect"); }},
    {"MoveToBottom", "Move to Bottom", true, [](UndoTest& t) { t.sixLinesTwoSelected(); },
     [](UndoTest& t) { t.click("CmdUpDn2"); }},
    {"MoveUpCutsTheSelection", "Move Up", true,
     [](UndoTest& t) {
         t.sixLinesTwoSelected();
         t.clickRow(4, Qt::ControlModifier);  // 1, 3, 4: the move cuts the block to line 1
     },
     [](UndoTest& t) { t.click("CmdUpDn3"); }},
    {"MusicSearch", "Music Search", true,
     [](UndoTest& t) {
         t.makeMusic(5);
         t.sixLinesTwoSelected();
     },
     [](UndoTest& t) {
         t.search();
         ASSERT_EQ(t.list().PlayListView()->model().count(), 11);
     }},
    {"Clear", "Clear", false, [](UndoTest& t) { t.keysAndStyles(true); },
     [](UndoTest& t) { t.click("CmdAppClr"); }},
    {"AssignOverASetting", "Assign", false, [](UndoTest& t) { t.keysAndStyles(false); },
     [](UndoTest& t) { t.assign(2, 70); }},
    {"AssignThatEmptiesAKey", "Assign", false, [](UndoTest& t) { t.keysAndStyles(false); },
     [](UndoTest& t) {
         // The initial sound assigned empties the key: the setting it held is lost.
         t.effects().knob(3)->bar()->setValue(t.win().effectControls().zeroOf(3));
         t.click(t.button("ButKbdSet_4"));
         t.click("CmdAppSet");
         ASSERT_FALSE(t.button("ButKbd_4")->isEnabled());
     }},
    {"LoadSetOverUnsavedKeys", "Load Set", false, [](UndoTest& t) { t.keysAndStyles(true); },
     [](UndoTest& t) { t.doubleClickSet("base.PSF"); }},
    {"FunctionKeyOverUnsavedKeys", "Load Set", false,
     [](UndoTest& t) {
         t.keysAndStyles(false);
         t.ui<QListWidget>("FileBoxSet")->setCurrentRow(0);
         t.click("CmdFunKey_2");
         t.assign(5, 40);
         t.win().MenuTabs()->setCurrentIndex(1);
     },
     [](UndoTest& t) {
         QTest::keyClick(t.win().MenuTabs()->tabBar(), Qt::Key_F2);
         ASSERT_EQ(t.perf().setFiles().SetFile()[0], "base.PSF");
     }},
};

class UndoActionTest : public UndoTest, public ::testing::WithParamInterface<UndoCase> {};

TEST_P(UndoActionTest, CtrlZTakesItBackExactlyOnce) {
    const UndoCase& c = GetParam();
    c.before(*this);
    const ListSeen listBefore = listSeen();
    const KeysSeen keysBefore = keysSeen();
    w_->undoStack().clear();
    c.act(*this);
    if (c.list) {
        ASSERT_NE(listSeen(), listBefore) << "the action changed the list";
    } else {
        ASSERT_FALSE(keysSeen().set == keysBefore.set) << "the action changed the keys";
    }
    const int page = w_->MenuTabs()->currentIndex();
    ctrlZ();
    EXPECT_EQ(shownMessage(), QString("Undone: ") + c.step);
    EXPECT_EQ(listSeen(), listBefore);
    EXPECT_EQ(keysSeen(), keysBefore);
    EXPECT_EQ(w_->MenuTabs()->currentIndex(), page) << "Ctrl's own page switch is put back";
    // Once only: the next Ctrl+Z finds nothing more, and says so without a box.
    ctrlZ();
    EXPECT_EQ(shownMessage(), "Nothing to undo");
    EXPECT_EQ(listSeen(), listBefore);
    EXPECT_EQ(keysSeen(), keysBefore);
    EXPECT_EQ(QApplication::activeModalWidget(), nullptr);
    for (QWidget* top : QApplication::topLevelWidgets())
        EXPECT_FALSE(qobject_cast<QMessageBox*>(top) && top->isVisible());
    EXPECT_TRUE(messages_.isEmpty()) << messages_.join("; ").toStdString();
}

INSTANTIATE_TEST_SUITE_P(EachDestructiveAction, UndoActionTest, ::testing::ValuesIn(kUndoCases),
                         [](const ::testing::TestParamInfo<UndoCase>& info) {
                             return std::string(info.param.name);
                         });

TEST_F(UndoTest, ActionsThatLoseNothingAreNoStep) {
    struct Case {
        const char* what;
        std::function<void(UndoTest&)> act;
    } cases[] = {
        {"Clear List of an empty list",
         [](UndoTest& t) {
             t.setList({});
             t.click("CmdClearList");
         }},
        {"a move with the block at the top",
         [](UndoTest& t) {
             t.setList({"/a.mp3", "/b.mp3"});
             t.clickRow(0);
             t.click("CmdUpDn1");
         }},
        {"a search that finds nothing",
         [](UndoTest& t) {
             QDir().mkpath(t.root_ + "/empty");
             t.search();
         }},
        {"Assign to an empty key", [](UndoTest& t) { t.assign(7, 30); }},
        {"a set loaded over saved keys",
         [](UndoTest& t) {
             t.keysAndStyles(false);
             t.doubleClickSet("base.PSF");
         }},
        {"Clear of empty keys",
         [](UndoTest& t) {
             t.click("CmdAppClr");  // the keys the cases above left
             t.win().undoStack().clear();
             t.click("CmdAppClr");
         }},
    };
    for (const Case& c : cases) {
        SCOPED_TRACE(c.what);
        w_->undoStack().clear();
        c.act(*this);
        EXPECT_TRUE(w_->undoStack().empty()) << w_->undoStack().names().join(", ").toStdString();
        ctrlZ();
        EXPECT_EQ(shownMessage(), "Nothing to undo");
    }
}

TEST_F(UndoTest, TheLastTwentyActionsCanBeTakenBackNewestFirst) {
    w_->MenuTabs()->setCurrentIndex(0);
    QStringList lines;
    for (int i = 0; i < 30; ++i)
        lines << QString("/m/%1.mp3").arg(i);
    setList(lines);
    clickRow(0);
    // 25 moves one line down, each leaving a list of its own.
    std::vector<ListSeen> before;
    for (int i = 0; i < 25; ++i) {
        before.push_back(listSeen());
        click("CmdUpDn4");
        ASSERT_EQ(listSeen().selected, std::vector<int>{i + 1});
    }
    EXPECT_EQ(w_->undoStack().size(), util::UndoStack::kDefaultCapacity);
    for (int i = 24; i >= 5; --i) {
        ctrlZ();
        EXPECT_EQ(shownMessage(), "Undone: Move Down");
        EXPECT_EQ(listSeen(), before[static_cast<size_t>(i)]) << i;
    }
    ctrlZ();
    EXPECT_EQ(shownMessage(), "Nothing to undo");
    EXPECT_EQ(listSeen(), before[5]) << "the five oldest moves dropped off";
}

TEST_F(UndoTest, NothingOfUndoOutlivesARestart) {
    sixLinesTwoSelected();
    keysAndStyles(true);
    click("CmdClearList");
    click("CmdAppClr");
    ASSERT_EQ(w_->undoStack().size(), 2);
    w_->setStateLoaded(true);
    w_->Unload();
    // Only the player's own files are in its folder: the steps were written nowhere.
    QStringList files = QDir(appDir_.path()).entryList(QDir::Files | QDir::Hidden);
    files.sort();
    EXPECT_EQ(files, (QStringList{"MemoList.ini", "MemoSett.ini", "base.PSF"}));

    // The next start over the same folder: the cleared list, and nothing to take back.
    w_.reset();
    BASS_Free();
    ASSERT_TRUE(BASS_Init(VX_DEVICE_NOSOUND, 44100, 0, nullptr));
    w_ = std::make_unique<VelMix>(appDir_.path() + "/");
    ASSERT_TRUE(startWindow(*w_));
    w_->radioPanel().messageBox = [](const QString&, const QString&) {};
    w_->LoadSavedState();
    EXPECT_TRUE(w_->undoStack().empty());
    ctrlZ();
    EXPECT_EQ(shownMessage(), "Nothing to undo");
    EXPECT_TRUE(list().PlayListView()->model().isEmpty());
}

TEST_F(UndoTest, ListStepsFindTheirListAfterASwitch) {
    // A station removed, then the music list shown again: undo puts the station back into the
    // station list, where it waits, and leaves the music list alone.
    setList({"/m/one.mp3"});
    QTest::keyClick(w_->MenuTabs()->tabBar(), Qt::Key_Backspace);
    ASSERT_FALSE(list().musicMode());
    setList({"http://a.example/x A", "http://b.example/y B"});
    clickRow(1);
    click("CmdRemoveSelect");
    ASSERT_EQ(list().PlayListView()->model().count(), 1);
    QTest::keyClick(w_->MenuTabs()->tabBar(), Qt::Key_Backspace);
    ASSERT_TRUE(list().musicMode());
    ctrlZ();
    EXPECT_EQ(shownMessage(), "Undone: Remove (station list)");
    EXPECT_EQ(list().PlayListView()->model().texts(), QStringList{"/m/one.mp3"});
    const playlist::PlaylistModel& stations = w_->playLists().stationList();
    EXPECT_EQ(stations.texts(), (QStringList{"http://a.example/x A", "http://b.example/y B"}));
    EXPECT_EQ(stations.selectedRows(), std::vector<int>{1});
}

TEST_F(UndoTest, CtrlAloneStillSwitchesPagesAndATextFieldKeepsItsOwnCtrlZ) {
    w_->MenuTabs()->setCurrentIndex(0);
    QWidget* bar = w_->MenuTabs()->tabBar();
    w_->MenuTabs()->setFocus();
    QTest::keyPress(bar, Qt::Key_Control, Qt::ControlModifier);
    QTest::keyRelease(bar, Qt::Key_Control);
    EXPECT_EQ(w_->MenuTabs()->currentIndex(), 1) << "Ctrl from the list goes to PlayBack";
    w_->MenuTabs()->setCurrentIndex(3);
    w_->MenuTabs()->setCurrentIndex(0);
    const int prevTab = w_->state().PrevTab;
    ctrlZ();
    EXPECT_EQ(w_->MenuTabs()->currentIndex(), 0);
    EXPECT_EQ(w_->state().PrevTab, prevTab) << "the Tab walk goes on as before";

    // In the "Save List as ..." field Ctrl+Z is the field's own: the list stays cleared.
    setList({"/a.mp3"});
    click("CmdClearList");
    click("ChkEnterAddSav");
    auto* field = ui<QLineEdit>("NameFileSave");
    field->setFocus();
    QTest::keyClicks(field, "mix");
    QTest::keyClick(field, Qt::Key_Z, Qt::ControlModifier);
    EXPECT_NE(field->text(), "mix");
    EXPECT_TRUE(list().PlayListView()->model().isEmpty());
    EXPECT_EQ(w_->undoStack().size(), 1);
}

}  // namespace
}  // namespace velorixa::test
