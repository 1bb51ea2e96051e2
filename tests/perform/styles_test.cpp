// The style texts and the style sequencer with a fixed random source and a fake level.
#include <gtest/gtest.h>

#include <deque>
#include <vector>

#include "perform/styles.h"

namespace velorixa::perform {
namespace {

TEST(StyleTexts, ShownAndStoredForms) {
    struct Case {
        QString typed, shown, title, content;
    } cases[] = {
        {"", "A -- Z mix", "", ""},
        {"ABC", "A B C ", "ABC", "ABC"},
        {"ab1c", "a b 1 c ", "ab1c", "ABC"},
        {"Nine Lett", "N i n e   L e t t ", "Nine Le", "NINELET"},
        {"a\"b\nc", "a \" b \n c ", "abc", "ABC"},
        {"zzzzzzzzz", "z z z z z z z z z ", "zzzzzzz", "ZZZZZZZ"},
    };
    for (const Case& c : cases) {
        SCOPED_TRACE(c.typed.toStdString());
        EXPECT_EQ(ContentShown(c.typed), c.shown);
        EXPECT_EQ(NormalisedTitle(c.typed), c.title);
        EXPECT_EQ(NormalisedContent(c.typed), c.content);
    }
}

// A sequencer whose random numbers come from a list and whose fired keys are recorded.
struct Rig {
    StyleSequencer seq;
    std::deque<double> randoms;
    std::vector<int> fired;
    Rig() {
        seq.random = [this] {
            if (randoms.empty()) return 0.0;
            double r = randoms.front();
            randoms.pop_front();
            return r;
        };
        seq.fire = [this](int k) { fired.push_back(k); };
    }
    void tick(int t, const QString& content = "ABC", float level = 0, bool isFile = true,
              int len = 300) {
        seq.PlayPosTick({t, isFile, len, level}, content);
    }
};

TEST(StyleSequencer, FiresAtOnceWhenSelectedThenEveryTwelveToSixteenSeconds) {
    Rig r;
    r.tick(5);
    EXPECT_TRUE(r.fired.empty()) << "no style selected";
    r.seq.Select(3);
    r.randoms = {0.5, 0.999};  // key B, then a gap of 16 s
    r.tick(5);
    ASSERT_EQ(r.fired, std::vector<int>{2});
    EXPECT_EQ(r.seq.StyleGap, 16);
    EXPECT_EQ(r.seq.StyleLast, 5);
    for (int t = 5; t <= 21; ++t)
        r.tick(t);
    EXPECT_EQ(r.fired.size(), 1u) << "a gap is strictly more than StyleGap seconds";
    r.randoms = {0.0, 0.0};  // key A, then 12 s
    r.tick(22);
    EXPECT_EQ(r.fired, (std::vector<int>{2, 1}));
    EXPECT_EQ(r.seq.StyleGap, 12);
    // Jumping back (a seek) counts as a gap too.
    r.randoms = {0.99, 0.0};
    r.tick(3);
    EXPECT_EQ(r.fired.back(), 3);
}

TEST(StyleSequencer, KeyChoice) {
    struct Case {
        QString content;
        double r;
        int key;  // 0: nothing fires
    } cases[] = {
        {"", 0.0, 1},    {"", 0.9999, 26}, {"", 0.5, 14}, {"QZ", 0.49, 17},
        {"QZ", 0.5, 26}, {"A1", 0.6, 0},   {"a", 0.0, 0}, {"[", 0.0, 0},
    };
    for (const Case& c : cases) {
        SCOPED_TRACE(c.content.toStdString() + " " + std::to_string(c.r));
        Rig rig;
        rig.seq.Select(1);
        rig.randoms = {c.r};
        rig.tick(10, c.content);
        EXPECT_EQ(rig.fired, c.key ? std::vector<int>{c.key} : std::vector<int>{});
        EXPECT_FALSE(rig.seq.StyleDue) << "fired or not, the next try is rescheduled";
    }
}

TEST(StyleSequencer, NoKeyInAFilesLastSevenSecondsAndTheNextTryLater) {
    Rig r;
    r.seq.Select(1);
    r.randoms = {0.0};  // gap 12
    r.tick(94, "A", 0, true, 100);
    EXPECT_TRUE(r.fired.empty());
    EXPECT_EQ(r.seq.StyleLast, 94);
    EXPECT_EQ(r.seq.StyleGap, 12);
    EXPECT_EQ(r.seq.StyleWait, 0);
    // A station has no end; seven seconds before a file's end is still early enough.
    for (auto [t, isFile] : {std::pair{94, false}, std::pair{93, true}}) {
        Rig e;
        e.seq.Select(1);
        e.tick(t, "A", 0, isFile, 100);
        EXPECT_EQ(e.fired, std::vector<int>{1}) << t;
    }
}

TEST(StyleSequencer, WaitsForAQuietMomentAtMostTenTicks) {
    Rig r;
    r.seq.Select(1);
    for (int i = 1; i <= 9; ++i) {
        r.tick(10, "A", 101);
        ASSERT_TRUE(r.fired.empty()) << "update " << i;
        EXPECT_TRUE(r.seq.StyleDue);
    }
    r.tick(10, "A", 150);
    EXPECT_EQ(r.fired, std::vector<int>{1}) << "the tenth update fires whatever the level";
    EXPECT_EQ(r.seq.StyleWait, 0);
    Rig quiet;
    quiet.seq.Select(1);
    quiet.tick(10, "A", 100);
    EXPECT_EQ(quiet.fired, std::vector<int>{1}) << "a level of 100 is quiet";
}

}  // namespace
}  // namespace velorixa::perform
