#include "util/undostack.h"

#include <gtest/gtest.h>

#include <vector>

using velorixa::util::UndoStack;

namespace {

// Steps named "0", "1", ... that record their restores in order.
struct Recorder {
    std::vector<int> restored;
    int push(UndoStack& s, int n) {
        return s.push(QString::number(n), [this, n] { restored.push_back(n); });
    }
};

}  // namespace

TEST(UndoStack, TakesBackTheNewestStepFirstAndKeepsOnlyTheNewest) {
    const struct {
        int capacity, pushed;
        int oldestKept;  // steps oldestKept .. pushed - 1 stay
    } cases[] = {
        {20, 0, 0}, {20, 3, 0}, {20, 20, 0}, {20, 25, 5},  // the five oldest dropped off
        {1, 4, 3},  {0, 2, 1},  // a stack always keeps at least its newest step
    };
    for (const auto& c : cases) {
        SCOPED_TRACE(testing::Message() << c.capacity << " / " << c.pushed);
        UndoStack stack(c.capacity);
        Recorder rec;
        for (int i = 0; i < c.pushed; ++i)
            EXPECT_NE(rec.push(stack, i), 0);
        QStringList kept;
        std::vector<int> newestFirst;
        for (int i = c.pushed - 1; i >= c.oldestKept; --i) {
            kept << QString::number(i);
            newestFirst.push_back(i);
        }
        EXPECT_EQ(stack.names(), kept);
        EXPECT_EQ(stack.size(), c.pushed - c.oldestKept);
        for (const QString& name : kept)
            EXPECT_EQ(stack.undo(), name);
        EXPECT_EQ(rec.restored, newestFirst) << "each restore ran once, newest first";
        EXPECT_TRUE(stack.empty());
        EXPECT_EQ(stack.undo(), QString()) << "nothing left to take back";
        EXPECT_EQ(rec.restored, newestFirst);
    }
}

TEST(UndoStack, DiscardForgetsOneStepWhereverItLies) {
    UndoStack stack;
    Recorder rec;
    rec.push(stack, 0);
    const int middle = rec.push(stack, 1);
    rec.push(stack, 2);
    stack.discard(middle);
    stack.discard(0);      // no step has id 0
    stack.discard(12345);  // unknown: ignored
    EXPECT_EQ(stack.names(), (QStringList{"2", "0"}));
    stack.undo();
    stack.undo();
    EXPECT_EQ(rec.restored, (std::vector<int>{2, 0}));
}

TEST(UndoStack, ARestoreIsNeverAStepOfItsOwn) {
    UndoStack stack;
    int restores = 0;
    stack.push("Clear List", [&] {
        ++restores;
        // A restore that goes through code which records its edits records nothing.
        EXPECT_EQ(stack.push("Remove", [] {}), 0);
    });
    stack.push("Move Up", [&] { ++restores; });
    EXPECT_EQ(stack.undo(), "Move Up");
    EXPECT_EQ(stack.undo(), "Clear List");
    EXPECT_EQ(restores, 2);
    EXPECT_TRUE(stack.empty());
    EXPECT_EQ(stack.push("Remove", {}), 0) << "a step without a restore is none";
    EXPECT_TRUE(stack.empty());
}
