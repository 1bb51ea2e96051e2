#include "perform/keyhelp.h"

#include <gtest/gtest.h>

namespace velorixa::perform {
namespace {

TEST(KeyHelp, PictureHasOneCaptionPerKey) {
    for (int i = 0; i < kHelpKeyCount; ++i)
        EXPECT_FALSE(KeyCaption(i).isEmpty()) << i;
    EXPECT_TRUE(KeyCaption(kHelpKeyCount).isEmpty());
    // Spot checks that the layout did not shift: a shift would move every later key.
    EXPECT_EQ(KeyCaption(16), "`");
    EXPECT_EQ(KeyCaption(26), "0");
    EXPECT_EQ(KeyCaption(31), "Q");
    EXPECT_EQ(KeyCaption(45), "A");
    EXPECT_EQ(KeyCaption(58), "Z");
    EXPECT_EQ(KeyCaption(72), "Space");
    EXPECT_EQ(KeyCaption(87), "Num");
    EXPECT_EQ(KeyCaption(101), ".");
    EXPECT_EQ(KeyCaption(103), "Enter");
}

TEST(KeyHelp, FunctionKeysAndVolumeRow) {
    EXPECT_EQ(HelpForKey(5).function, "Load Set");
    EXPECT_EQ(HelpForKey(5).detail, "File 5");
    EXPECT_EQ(HelpForKey(16).function, "Volume Min");
    EXPECT_EQ(HelpForKey(17).function, "Volume 10%");
    EXPECT_EQ(HelpForKey(21).function, "Volume 50%");
    EXPECT_EQ(HelpForKey(21).detail, "Nominal");
    EXPECT_EQ(HelpForKey(22).detail, "");
    EXPECT_EQ(HelpForKey(25).function, "Volume 90%");
    EXPECT_EQ(HelpForKey(26).function, "Volume Max");
}

TEST(KeyHelp, KeysWithoutFunctionEmptyBothLabels) {
    for (int i : {9, 10, 15, 27, 28, 44, 57, 91, 95, 100, 101, -1, 104}) {
        EXPECT_TRUE(HelpForKey(i).function.isEmpty()) << i;
        EXPECT_TRUE(HelpForKey(i).detail.isEmpty()) << i;
    }
}

TEST(KeyHelp, TransportAndSwitchKeys) {
    EXPECT_EQ(HelpForKey(87).detail, "Stop");
    EXPECT_EQ(HelpForKey(88).detail, "Previous");
    EXPECT_EQ(HelpForKey(89).detail, "Start");
    EXPECT_EQ(HelpForKey(90).detail, "Next");
    EXPECT_EQ(HelpForKey(102).detail, "Repeat");
    EXPECT_EQ(HelpForKey(56).detail, "Pause");
    EXPECT_EQ(HelpForKey(103).detail, "Pause");
    EXPECT_EQ(HelpForKey(29).detail, " MP3 / NET");
    EXPECT_EQ(HelpForKey(84).detail, "All Tabs");
    EXPECT_EQ(HelpForKey(76).detail, "2,3 Tabs");
    EXPECT_EQ(HelpForKey(73).detail, "Color");
    for (int letter : {31, 40, 45, 53, 58, 64})
        EXPECT_EQ(HelpForKey(letter).detail, "Sample");
}

TEST(CpuLabel, RoundsHalvesToEvenAndAddsBlank) {
    EXPECT_EQ(CpuLabel(12.5), "12 ");
    EXPECT_EQ(CpuLabel(13.5), "14 ");
    EXPECT_EQ(CpuLabel(0.4), "0 ");
    EXPECT_EQ(CpuLabel(99.6), "100 ");
}

}  // namespace
}  // namespace velorixa::perform
