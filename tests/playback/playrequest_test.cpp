#include "playback/playrequest.h"

#include <gtest/gtest.h>

#include <cmath>

using namespace velorixa::playback;

TEST(ClassifyName, StreamsFilesAndInvalidNames) {
    const struct {
        const char* name;
        PlayKind kind;
    } cases[] = {
        {"http://radio.example/live", PlayKind::Stream},
        {"ftp://files.example/a.mp3", PlayKind::Stream},
        {"HTTP://radio.example/live", PlayKind::Invalid},  // case-sensitive
        {"http:/one-slash", PlayKind::Invalid},
        {"https://radio.example/live", PlayKind::Stream},
        {"/music/a.mp3", PlayKind::File},
        {"/", PlayKind::File},
        {"//server/share/a.mp3", PlayKind::File},  // still an absolute path here
        {"C:\\Music\\a.mp3", PlayKind::Invalid},   // a drive path is not a path on this system
        {"music/a.mp3", PlayKind::Invalid},
        {" /music/a.mp3", PlayKind::Invalid},
        {"", PlayKind::Invalid},
    };
    for (const auto& c : cases)
        EXPECT_EQ(ClassifyName(c.name), c.kind) << c.name;
}

TEST(PlanRequest, StationLinesOpenOnlyTheirAddress) {
    const struct {
        const char* item;
        PlayKind kind;
        const char* playName;
        int stepIntervalMs;
        bool repeat, positionBar, streamStatus;
    } cases[] = {
        {"http://radio.example:8000/live Jazz FM, the best", PlayKind::Stream,
         "http://radio.example:8000/live", 1000, false, false, true},
        // A file path keeps its blanks.
        {"/music/My Band/Track One.mp3", PlayKind::File, "/music/My Band/Track One.mp3", 100, true,
         true, false},
    };
    for (const auto& c : cases) {
        SCOPED_TRACE(c.item);
        const PlayRequest r = PlanRequest(c.item);
        EXPECT_EQ(r.kind, c.kind);
        EXPECT_EQ(r.playName, c.playName);
        EXPECT_EQ(r.stepIntervalMs, c.stepIntervalMs);
        EXPECT_EQ(r.repeatEnabled, c.repeat);
        EXPECT_EQ(r.positionBarEnabled, c.positionBar);
        EXPECT_EQ(r.showStreamStatus, c.streamStatus);
    }
    PlayRequest bad = PlanRequest("HTTP://x");
    EXPECT_EQ(bad.kind, PlayKind::Invalid);
    EXPECT_EQ(bad.stepIntervalMs, 0);
}

TEST(PlanRequest, NothingToPlayOnlyWithNoItemAndAnEmptyList) {
    EXPECT_TRUE(NothingToPlay("", 0));
    EXPECT_FALSE(NothingToPlay("", 1));
    EXPECT_FALSE(NothingToPlay("/kept.mp3", 0));
}

TEST(TimeText, SecondsBelowAMinuteThenMinutesAndSeconds) {
    const std::pair<int, const char*> cases[] = {
        {-3, "0"},      {0, "0"},        {1, "1"},        {59, "59"},
        {60, "1:00"},   {61, "1:01"},    {65, "1:05"},    {599, "9:59"},
        {600, "10:00"}, {3599, "59:59"}, {3600, "60:00"}, {32767, "546:07"},
    };
    for (const auto& [sec, text] : cases)
        EXPECT_EQ(TimeText(sec), text) << sec;
}

TEST(PositionBar, LengthsAndStepsRoundHalfToEven) {
    const struct {
        double len;
        int playLen, small, large;
    } cases[] = {
        {250.0, 250, 2, 16},  // 2.5 -> 2, 15.625 -> 16
        {0.5, 1, 1, 1},       // 0.5 -> 0 -> at least 1
        {1.5, 2, 1, 1},       // 1.5 -> 2
        {350.0, 350, 4, 22},  // 3.5 -> 4, 21.875 -> 22
        {40.0, 40, 1, 2},     // 0.4 -> 0 -> 1, 2.5 -> 2
        {32767.4, 32767, 328, 2048},
        {100000.0, 32767, 1000, 6250},  // past the 16-bit bar: range capped
        {1e9, 32767, 32767, 32767},
        {-1.0, 1, 1, 1},  // a failed length
    };
    for (const auto& c : cases) {
        const PositionBar bar = PositionBarFor(c.len);
        EXPECT_EQ(bar.PlayLen, c.playLen) << c.len;
        EXPECT_EQ(bar.SmallChange, c.small) << c.len;
        EXPECT_EQ(bar.LargeChange, c.large) << c.len;
    }
    const PositionBar nan = PositionBarFor(std::nan(""));
    EXPECT_EQ(nan.PlayLen, 1);
}
