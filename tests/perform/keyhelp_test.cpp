#include "perform/keyhelp.h"

#include <gtest/gtest.h>

namespace velorixa::perform {
namespace {

TEST(KeyHelp, OneCaptionPerKeyAndKeysWithoutFunctionShowNothing) {
    for (int i = 0; i < kHelpKeyCount; ++i)
        EXPECT_FALSE(KeyCaption(i).isEmpty()) << i;
    EXPECT_TRUE(KeyCaption(kHelpKeyCount).isEmpty());
    // A shift in the layout would move every later key off its caption and its function.
    const struct {
        int key;
        const char* caption;
        const char* detail;
    } anchors[] = {{16, "`", nullptr},       {21, nullptr, "Nominal"}, {31, "Q", "Sample"},
                   {72, "Space", nullptr},   {89, nullptr, "Start"},   {103, "Enter", "Pause"},
                   {9, "F9", "Start / Stop"}};
    for (const auto& a : anchors) {
        if (a.caption) {
            EXPECT_EQ(KeyCaption(a.key), a.caption) << a.key;
        }
        if (a.detail) {
            EXPECT_EQ(HelpForKey(a.key).detail, a.detail) << a.key;
        }
    }
    EXPECT_EQ(HelpForKey(9).function, "Record");
    EXPECT_EQ(HelpForKey(10).function, "Controller");
    EXPECT_EQ(HelpForKey(10).detail, "Learn");
    for (int i : {11, 15, 27, 44, 91, 101, -1, 104}) {
        EXPECT_TRUE(HelpForKey(i).function.isEmpty()) << i;
        EXPECT_TRUE(HelpForKey(i).detail.isEmpty()) << i;
    }
}

}  // namespace
}  // namespace velorixa::perform
