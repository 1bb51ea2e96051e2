// The help keyboard's captions on their keys: every caption on one line, in a font of at least
// 7 pixels, inside the key's border. Run at the default scale and, as a test of its own (the
// "AtDoubleScale" entry of ctest), with QT_SCALE_FACTOR=2.
#include <QFontInfo>
#include <QFontMetrics>
#include <QPushButton>
#include <QWindow>
#include <iostream>

#include "perform/keyhelp.h"
#include "windowfixture.h"

namespace velorixa {
namespace {

TEST(HelpKeyboard, EveryCaptionFitsItsKeyOnOneLine) {
    VelMix w("/tmp/");
    w.Show();
    std::cout << "device pixel ratio " << w.devicePixelRatioF() << "\n";
    // The keys the operator reads most; all others are held to the same rule below.
    struct Named {
        int index;
        const char* caption;
    } named[] = {{78, "Home"}, {79, "PgUp"}, {82, "PgDn"}, {56, "Enter"}, {103, "Enter"},
                 {87, "Num"},  {29, "Bksp"}, {75, "Menu"}, {0, "Esc"},    {12, "F12"}};
    auto key = [&](int i) { return w.findChild<QPushButton*>(QString("ButKbdHlp%1").arg(i)); };
    for (const Named& n : named) {
        ASSERT_NE(key(n.index), nullptr) << n.index;
        EXPECT_EQ(key(n.index)->text().toStdString(), n.caption) << "key " << n.index;
    }
    for (int i = 0; i < perform::kHelpKeyCount; ++i) {
        QPushButton* k = key(i);
        ASSERT_NE(k, nullptr) << i;
        const QString caption = k->text();
        EXPECT_EQ(caption, perform::KeyCaption(i)) << i << ": on one line, whole";
        EXPECT_GE(QFontInfo(k->font()).pixelSize(), 7) << i;
        const QFontMetrics fm(k->font());
        // The caption is drawn inside the key's one-pixel border.
        EXPECT_LE(fm.horizontalAdvance(caption), k->width() - 2)
            << i << " " << caption.toStdString() << " in " << k->width() << " pixels";
        EXPECT_LE(fm.height(), k->height() - 2) << i;
        // And the keys stay inside the keyboard's picture.
        EXPECT_TRUE(k->parentWidget()->rect().contains(k->geometry())) << i;
    }
}

}  // namespace
}  // namespace velorixa
