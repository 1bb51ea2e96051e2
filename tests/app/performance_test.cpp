// The performance layer in the running window: keys assigned and recalled with the page's own
// controls and real key events, styles, set files with F1..F8 and MemoSett.ini.
#include <QCheckBox>
#include <QComboBox>
#include <QFile>
#include <QLineEdit>
#include <QListWidget>
#include <QPushButton>
#include <QScrollBar>
#include <QTabBar>

#include "controls/effectcontrols.h"
#include "controls/soundcontrol.h"
#include "controls/ui/effectspage.h"
#include "perform/setfile.h"
#include "perform/ui/performancepanel.h"
#include "perform/ui/setfiles.h"
#include "windowfixture.h"

namespace velorixa::test {
namespace {

using perform::PerformancePanel;

class PerformanceTest : public WindowFixture {
  public:  // the case tables' lambdas drive the window through these
    PerformancePanel& perf() { return w_->performance(); }
    controls::SoundControl& sound() { return w_->soundControl(); }
    void showPage(int i) { w_->MenuTabs()->setCurrentIndex(i); }
    controls::EffectsPage& page() { return w_->effectsPage(); }
    controls::EffectControls& logic() { return w_->effectControls(); }
    QScrollBar* bar(int knob) { return page().knob(knob)->bar(); }
    QPushButton* rotBut(int knob) { return page().knob(knob)->rotBut(); }
    // The panel's controls, found by their object names.
    template <class W>
    W* named(const QString& name) {
        W* w = w_->findChild<W*>(name);
        EXPECT_NE(w, nullptr) << name.toStdString();
        return w;
    }
    QPushButton* ButKbd(int i) { return named<QPushButton>(QStringLiteral("ButKbd_%1").arg(i)); }
    QPushButton* ButKbdSet(int i) {
        return named<QPushButton>(QStringLiteral("ButKbdSet_%1").arg(i));
    }
    QPushButton* ButTyp(int i) { return named<QPushButton>(QStringLiteral("ButTyp_%1").arg(i)); }
    QPushButton* CmdFunKey(int i) {
        return named<QPushButton>(QStringLiteral("CmdFunKey_%1").arg(i));
    }
    QPushButton* CmdAppSet() { return named<QPushButton>(QStringLiteral("CmdAppSet")); }
    QPushButton* CmdAppClr() { return named<QPushButton>(QStringLiteral("CmdAppClr")); }
    QPushButton* CmdSaveFile() { return named<QPushButton>(QStringLiteral("CmdSaveFile")); }
    QComboBox* ComboStyle() { return named<QComboBox>(QStringLiteral("ComboStyle")); }
    QLineEdit* TxtTitle() { return named<QLineEdit>(QStringLiteral("TxtTitle")); }
    QLineEdit* TxtContent() { return named<QLineEdit>(QStringLiteral("TxtContent")); }
    QLineEdit* TxtSaveFile() { return named<QLineEdit>(QStringLiteral("TxtSaveFile")); }
    QLineEdit* TxtPerfor2() { return named<QLineEdit>(QStringLiteral("TxtPerfor2")); }
    QLineEdit* TxtKbdFil2() { return named<QLineEdit>(QStringLiteral("TxtKbdFil2")); }
    QLineEdit* TxtKbdFil4() { return named<QLineEdit>(QStringLiteral("TxtKbdFil4")); }
    QListWidget* FileBoxSet() { return named<QListWidget>(QStringLiteral("FileBoxSet")); }
    // A click as the operator makes it: on the page that shows the button.
    void click(QAbstractButton* b) {
        for (int i = 0; i < 4; ++i)
            if (w_->page(i)->isAncestorOf(b)) w_->MenuTabs()->setCurrentIndex(i);
        if (w_->FrmKeybrd()->isAncestorOf(b)) w_->MenuTabs()->setCurrentIndex(1);
        QTest::mouseClick(b, Qt::LeftButton);
    }

    // A key typed on the tab control, as the operator types it.
    void type(Qt::Key key, bool release = true) {
        w_->MenuTabs()->setFocus();
        QTest::keyPress(w_->MenuTabs()->tabBar(), key);
        if (release) QTest::keyRelease(w_->MenuTabs()->tabBar(), key);
    }
    // "Assign" to letter k with the Settings page's buttons.
    void assign(int k) {
        click(ButKbdSet(k));
        ASSERT_TRUE(CmdAppSet()->isEnabled());
        click(CmdAppSet());
    }
    QString path(const QString& name) { return appDir_.path() + "/" + name; }
};

TEST_F(PerformanceTest, KeysStoreAndRecallTheSetting) {
    struct Case {
        const char* what;
        std::function<void(PerformanceTest&)> set;  // from the initial sound
        bool holds;
        std::function<void(PerformanceTest&)> check;  // after the recall, from the initial sound
    } cases[] = {
        {"static knob and volume",
         [](PerformanceTest& t) {
             t.page().ScrVOL()->setValue(80);
             t.bar(3)->setValue(20);
         },
         true,
         [](PerformanceTest& t) {
             EXPECT_EQ(t.page().ScrVOL()->value(), 80);
             EXPECT_EQ(t.bar(3)->value(), 20);
             EXPECT_FALSE(t.rotBut(3)->isChecked());
         }},
        {"balance rotating with Jump; pitch static gives the full range",
         [](PerformanceTest& t) {
             t.click(t.page().ChkRot1());
             t.bar(1)->setValue(160);  // from the centre a swing would be empty
             t.click(t.rotBut(1));
             t.page().ScrFRQ1()->setValue(70);
         },
         true,
         [](PerformanceTest& t) {
             EXPECT_TRUE(t.rotBut(1)->isChecked());
             EXPECT_TRUE(t.page().ChkRot1()->isChecked());
             EXPECT_EQ(t.page().ScrFRQ1()->value(), 50);
             EXPECT_EQ(t.page().ScrFRQ2()->value(), 150);
             EXPECT_TRUE(t.sound().rotationActive());
         }},
        {"pitch rotating keeps its range",
         [](PerformanceTest& t) {
             t.click(t.page().ChkRot2());
             t.page().ScrFRQ1()->setValue(70);
             t.page().ScrFRQ2()->setValue(130);
             t.click(t.rotBut(2));
         },
         true,
         [](PerformanceTest& t) {
             EXPECT_TRUE(t.rotBut(2)->isChecked());
             EXPECT_EQ(t.page().ScrFRQ1()->value(), 70);
             EXPECT_EQ(t.page().ScrFRQ2()->value(), 130);
             EXPECT_EQ(t.logic().knob(2).PosMin(), 70) << "the swing between the range bars";
         }},
        {"only rotation speed, boxes and range differ: the key is empty",
         [](PerformanceTest& t) {
             t.page().ScrROT()->setValue(90);
             t.click(t.page().ChkRot2());
             t.page().ScrFRQ2()->setValue(120);
         },
         false, nullptr},
    };
    for (const Case& c : cases) {
        SCOPED_TRACE(c.what);
        type(Qt::Key_Space);
        c.set(*this);
        assign(7);  // G
        EXPECT_EQ(ButKbd(7)->isEnabled(), c.holds);
        EXPECT_FALSE(CmdAppSet()->isEnabled());
        EXPECT_FALSE(ButKbdSet(7)->isChecked());
        if (!c.holds) continue;
        type(Qt::Key_Space);
        EXPECT_EQ(page().ScrVOL()->value(), 50);
        // What the recall must set back whatever the key holds.
        click(page().ChkRot2());
        page().ScrFRQ1()->setValue(60);
        type(Qt::Key_G);
        EXPECT_TRUE(ButKbd(7)->isChecked());
        EXPECT_FALSE(page().ChkRot2()->isChecked());
        c.check(*this);
    }
}

TEST_F(PerformanceTest, RecallRestartsARotatingKnobFromItsStoredStart) {
    bar(4)->setValue(30);
    click(rotBut(4));
    const float stored = logic().knob(4).MemRot;
    assign(1);
    click(page().knob(4)->zerBut());
    bar(4)->setValue(70);
    click(rotBut(4));
    ASSERT_NE(logic().knob(4).MemRot, stored);
    type(Qt::Key_A);
    EXPECT_TRUE(rotBut(4)->isChecked());
    EXPECT_EQ(logic().knob(4).MemRot, stored);
}

TEST_F(PerformanceTest, InitialSoundSpringsBackOnAClickAndFollowsTheSpaceBar) {
    bar(6)->setValue(10);
    click(rotBut(5));
    click(ButKbd(0));
    EXPECT_FALSE(ButKbd(0)->isChecked());
    EXPECT_EQ(bar(6)->value(), w_->effectControls().zeroOf(6));
    EXPECT_FALSE(rotBut(5)->isChecked());
    EXPECT_FALSE(w_->soundControl().rotationActive());
    type(Qt::Key_Space, false);
    EXPECT_TRUE(ButKbd(0)->isChecked()) << "held down with the bar";
    QTest::keyRelease(w_->MenuTabs()->tabBar(), Qt::Key_Space);
    EXPECT_FALSE(ButKbd(0)->isChecked());
}

TEST_F(PerformanceTest, ClearEmptiesEveryKeyAndStyle) {
    bar(3)->setValue(10);
    assign(2);
    TxtTitle()->setText("Funk");
    ASSERT_TRUE(ButKbd(2)->isEnabled());
    click(CmdAppClr());
    for (int k = 1; k <= perform::kKeyCount; ++k)
        EXPECT_FALSE(ButKbd(k)->isEnabled()) << k;
    EXPECT_EQ(TxtKbdFil2()->text(), "No Settings");
    EXPECT_EQ(ComboStyle()->itemText(0), "");
    EXPECT_EQ(perf().skbd().style(1).Title, "");
    type(Qt::Key_B);
    EXPECT_EQ(bar(3)->value(), 10) << "a disabled key ignores its letter";
}

TEST_F(PerformanceTest, AStyleRunsUntilTheOperatorTakesTheSoundOver) {
    bar(3)->setValue(10);
    assign(1);
    bar(3)->setValue(90);
    assign(2);
    // Content typed as "a" and stored as "A" when the field loses the focus.
    w_->MenuTabs()->setCurrentIndex(3);
    TxtContent()->setFocus();
    QTest::keyClicks(TxtContent(), "a1");
    EXPECT_TRUE(w_->textFocus().active());
    w_->MenuTabs()->setFocus();
    EXPECT_FALSE(w_->textFocus().active());
    EXPECT_EQ(perf().skbd().style(1).Content, "A");
    // What the operator does, by mouse or key, on the window.
    struct Case {
        const char* what;
        std::function<void(PerformanceTest&)> act;
    } cases[] = {
        {"a letter key",
         [](PerformanceTest& t) {
             t.type(Qt::Key_B);
             EXPECT_EQ(t.bar(3)->value(), 90);
         }},
        {"a click on a knob's bar",
         [](PerformanceTest& t) {
             t.showPage(2);
             QScrollBar* b = t.bar(5);
             QTest::mouseClick(b, Qt::LeftButton, {}, QPoint(b->width() / 2, b->height() / 4));
         }},
        {"a rotate button", [](PerformanceTest& t) { t.click(t.rotBut(6)); }},
        {"a zero button", [](PerformanceTest& t) { t.click(t.page().knob(7)->zerBut()); }},
        {"the Beat box", [](PerformanceTest& t) { t.click(t.page().ChkRot2()); }},
        {"the volume bar",
         [](PerformanceTest& t) {
             t.showPage(2);
             QScrollBar* b = t.page().ScrVOL();
             QTest::mouseClick(b, Qt::LeftButton, {}, QPoint(b->width() - 20, b->height() / 2));
         }},
    };
    int at = 0;
    for (const Case& c : cases) {
        SCOPED_TRACE(c.what);
        type(Qt::Key_Space);
        click(ButTyp(1));
        EXPECT_EQ(TxtPerfor2()->text(), "Performance Content :  A ");
        at += 20;
        emit w_->playback().events().positionTick(at);
        EXPECT_EQ(bar(3)->value(), 10) << "the style fired A";
        EXPECT_TRUE(ButKbd(1)->isChecked());
        EXPECT_TRUE(ButTyp(1)->isChecked()) << "its own key leaves the style running";
        EXPECT_EQ(perf().sequencer().StyleSel, 1);
        c.act(*this);
        EXPECT_EQ(perf().sequencer().StyleSel, 0);
        EXPECT_FALSE(ButTyp(1)->isChecked());
        EXPECT_EQ(TxtPerfor2()->text(), "");
    }
}

TEST_F(PerformanceTest, ARecallMovesTheWidgetsWithoutTheirOwnSignals) {
    click(page().ChkRot1());
    bar(1)->setValue(170);
    click(rotBut(1));
    bar(8)->setValue(20);
    page().ScrVOL()->setValue(70);
    assign(3);  // C
    type(Qt::Key_Space);
    ASSERT_EQ(bar(8)->value(), 100);
    std::vector<std::unique_ptr<QSignalSpy>> spies;
    for (QAbstractSlider* b :
         {static_cast<QAbstractSlider*>(bar(8)), static_cast<QAbstractSlider*>(page().ScrVOL())})
        spies.push_back(std::make_unique<QSignalSpy>(b, &QAbstractSlider::valueChanged));
    for (QAbstractButton* b : {static_cast<QAbstractButton*>(rotBut(1)),
                               static_cast<QAbstractButton*>(page().ChkRot1())})
        spies.push_back(std::make_unique<QSignalSpy>(b, &QAbstractButton::toggled));
    std::vector<controls::Origin> origins;
    QObject listening;
    QObject::connect(&sound(), &controls::SoundControl::knobChanged, &listening,
                     [&](int knob, int, controls::Origin o) {
                         if (knob == 8) origins.push_back(o);
                     });
    type(Qt::Key_C);
    EXPECT_EQ(bar(8)->value(), 20);
    EXPECT_EQ(page().ScrVOL()->value(), 70);
    EXPECT_TRUE(rotBut(1)->isChecked());
    EXPECT_TRUE(page().ChkRot1()->isChecked());
    for (const auto& spy : spies)
        EXPECT_EQ(spy->count(), 0) << "the widgets only show the setting";
    EXPECT_EQ(origins.size(), 80u) << "knob 8 glides back in unit steps";
    EXPECT_EQ(origins, std::vector<controls::Origin>(origins.size(), controls::Origin::KeyRecall));
}

// The set's name turns grey once the table differs from its file: an edit by the operator does
// that, the program showing a set or a style in the editor does not.
TEST_F(PerformanceTest, OnlyTheOperatorsEditsMarkTheSetAsChanged) {
    bar(3)->setValue(10);
    assign(1);
    TxtSaveFile()->setText("s");
    click(CmdSaveFile());
    auto grey = [&] {
        return TxtKbdFil4()->palette().color(QPalette::Text) ==
               TxtKbdFil4()->palette().color(QPalette::Dark);
    };
    struct Step {
        const char* what;
        std::function<void(PerformanceTest&)> act;
        bool grey;
    } steps[] = {
        {"the set loaded", [](PerformanceTest& t) { t.perf().setFiles().LoadSet("s.PSF"); }, false},
        {"a title typed",
         [](PerformanceTest& t) {
             t.showPage(3);
             t.TxtTitle()->setFocus();
             QTest::keyClicks(t.TxtTitle(), "Funk");
         },
         true},
        {"the set loaded again", [](PerformanceTest& t) { t.perf().setFiles().LoadSet("s.PSF"); },
         false},
        {"another style chosen in the list",
         [](PerformanceTest& t) {
             t.ComboStyle()->setCurrentIndex(2);
             emit t.ComboStyle()->activated(2);
         },
         false},
        {"a content typed",
         [](PerformanceTest& t) {
             t.TxtContent()->setFocus();
             QTest::keyClicks(t.TxtContent(), "ab");
         },
         true},
    };
    for (const Step& s : steps) {
        s.act(*this);
        EXPECT_EQ(grey(), s.grey) << s.what;
    }
    EXPECT_EQ(perf().skbd().style(1).Title, "") << "the typed title was not saved";
    EXPECT_EQ(perf().skbd().style(3).Content, "ab");
}

TEST_F(PerformanceTest, SetsSaveLoadAndBindToFunctionKeys) {
    bar(3)->setValue(10);
    assign(1);
    TxtSaveFile()->setText("one");
    click(CmdSaveFile());
    ASSERT_TRUE(QFile::exists(path("one.PSF")));
    EXPECT_EQ(TxtKbdFil4()->text(), "one.PSF");
    EXPECT_EQ(TxtSaveFile()->text(), "");
    EXPECT_EQ(perf().setFiles().SetFile()[0], "") << "saving names no current set";
    bar(3)->setValue(90);
    assign(1);
    TxtSaveFile()->setText("two");
    click(CmdSaveFile());
    ASSERT_EQ(FileBoxSet()->count(), 2);

    // F3: bind, unbind with the same selection, rebind with another.
    const auto bindF3 = [&](int row) {
        FileBoxSet()->setCurrentRow(row);
        click(CmdFunKey(3));
    };
    bindF3(0);
    EXPECT_EQ(perf().setFiles().SetFile()[3], "one.PSF");
    EXPECT_TRUE(CmdFunKey(3)->font().bold());
    EXPECT_EQ(CmdFunKey(3)->toolTip(), "one.PSF");
    bindF3(0);
    EXPECT_EQ(perf().setFiles().SetFile()[3], "");
    EXPECT_FALSE(CmdFunKey(3)->font().bold());
    bindF3(1);
    bindF3(0);
    EXPECT_EQ(perf().setFiles().SetFile()[3], "one.PSF");

    click(ButTyp(4));
    type(Qt::Key_F3);
    EXPECT_EQ(perf().setFiles().SetFile()[0], "one.PSF");
    EXPECT_EQ(TxtKbdFil2()->text(), "Set File :  one.PSF");
    EXPECT_EQ(perf().sequencer().StyleSel, 0) << "F3 stops the style";
    type(Qt::Key_A);
    EXPECT_EQ(bar(3)->value(), 10);
    EXPECT_TRUE(messages_.isEmpty()) << messages_.join("; ").toStdString();
}

TEST_F(PerformanceTest, ABrokenSetChangesNothing) {
    bar(3)->setValue(10);
    assign(1);
    const perform::PerformanceSet before = perf().skbd().set();
    QByteArray good = perform::WriteSetFile(before);
    struct Case {
        const char* name;
        QByteArray content;
        const char* message;  // on a double click
    } cases[] = {
        {"wrong.PSF", "\"Velorix v.0.4\"\r\n", "Wrong Performance file"},
        {"nan.PSF", QByteArray(good).replace("\r\n10\r\n", "\r\nten\r\n"),
         "Wrong Performance file"},
    };
    for (const Case& c : cases)
        ASSERT_TRUE(writeFile(path(c.name), c.content));
    perf().setFiles().FileBoxSetFon_Click();
    for (const Case& c : cases) {
        SCOPED_TRACE(c.name);
        messages_.clear();
        auto items = FileBoxSet()->findItems(c.name, Qt::MatchExactly);
        ASSERT_EQ(items.size(), 1);
        const QPoint at = FileBoxSet()->visualItemRect(items[0]).center();
        QTest::mouseClick(FileBoxSet()->viewport(), Qt::LeftButton, {}, at);
        QTest::mouseDClick(FileBoxSet()->viewport(), Qt::LeftButton, {}, at);
        EXPECT_EQ(messages_, QStringList{QString(c.name) + "|" + c.message});
        EXPECT_TRUE(perf().skbd().set() == before);
        EXPECT_TRUE(ButKbd(1)->isEnabled());
        messages_.clear();
        EXPECT_FALSE(perf().setFiles().LoadSetQuiet(c.name));
        EXPECT_TRUE(messages_.isEmpty());
    }
    perf().setFiles().LoadSet("gone.PSF");
    EXPECT_EQ(messages_, QStringList{"gone.PSF|Performance file not found"});
}

TEST_F(PerformanceTest, MemoSettCarriesTheBindingsToTheNextStart) {
    bar(3)->setValue(10);
    assign(1);
    TxtSaveFile()->setText(" a,b");
    click(CmdSaveFile());
    FileBoxSet()->setCurrentRow(0);
    click(CmdFunKey(1));
    perf().setFiles().LoadSet(" a,b.PSF");
    w_->setStateLoaded(true);
    w_->Unload();
    EXPECT_EQ(readFile(path("MemoSett.ini")),
              " a,b.PSF\r\n a,b.PSF\r\n\r\n\r\n\r\n\r\n\r\n\r\n\r\n");

    // The next start: three lines restore the current set and F1, F2.
    ASSERT_TRUE(writeFile(path("MemoSett.ini"), " a,b.PSF\r\n\r\n a,b.PSF\r\n"));
    w_.reset();
    ASSERT_TRUE(BASS_Init(VX_DEVICE_NOSOUND, 44100, 0, nullptr));
    w_ = std::make_unique<VelMix>(appDir_.path() + "/");
    ASSERT_TRUE(startWindow(*w_));
    w_->radioPanel().messageBox = [](const QString&, const QString&) {};
    w_->LoadSavedState();
    EXPECT_EQ(perf().setFiles().SetFile()[0], " a,b.PSF");
    EXPECT_EQ(perf().setFiles().SetFile()[2], " a,b.PSF");
    EXPECT_FALSE(CmdFunKey(1)->font().bold());
    EXPECT_TRUE(CmdFunKey(2)->font().bold());
    EXPECT_TRUE(ButKbd(1)->isEnabled()) << "the current set was loaded";
}

TEST_F(PerformanceTest, WithoutMemoSettTheFirstSetOfTheFolderIsLoaded) {
    w_->radioPanel().messageBox = [](const QString&, const QString&) {};
    w_->LoadSavedState();
    EXPECT_EQ(perf().setFiles().SetFile()[0], "");
    EXPECT_EQ(TxtKbdFil2()->text(), "No Settings");
    bar(3)->setValue(10);
    assign(5);
    ASSERT_TRUE(perform::SaveSetFile(path("b.psf"), perf().skbd().set()));
    click(CmdAppClr());
    perf().setFiles().FileBoxSetFon_Click();
    perf().LoadMemoSett();
    EXPECT_EQ(perf().setFiles().SetFile()[0], "b.psf");
    EXPECT_TRUE(ButKbd(5)->isEnabled());
}

}  // namespace
}  // namespace velorixa::test
