#pragma once
// The operator's way back from a stray click: a bounded stack of the destructive actions of the
// last minutes ("Clear List", "Remove", a move, the music search's additions, "Clear", an
// "Assign" over a key that held a setting, a set loaded over unsaved keys). Each step is a name
// for the message line and a function that puts back what the action changed; the subsystem
// that makes the change takes its own snapshot and knows how to restore it, so this class knows
// nothing of lists or keys. Only the newest steps are kept (the oldest drop off), and nothing of
// it is written anywhere: a restart starts with an empty stack.
//
// Thread contract: a plain object with no locking, used on the window's thread only.

#include <QString>
#include <QStringList>

#include <deque>
#include <functional>

namespace velorixa::util {

class UndoStack {
  public:
    static constexpr int kDefaultCapacity = 20;

    explicit UndoStack(int capacity = kDefaultCapacity);
    UndoStack(const UndoStack&) = delete;
    UndoStack& operator=(const UndoStack&) = delete;

    // Records a step on top; returns its id (never 0). With the stack full the oldest step goes.
    // A step recorded while another is being undone is not kept: the restore of one step never
    // becomes a step of its own.
    int push(const QString& name, std::function<void()> restore);
    // Forgets the step with this id, wherever it lies (an action that in the end changed
    // nothing). Unknown ids are ignored.
    void discard(int id);

    // Takes back the newest step: runs its restore and returns its name; empty when there was
    // nothing to take back.
    QString undo();

    bool empty() const { return steps_.empty(); }
    int size() const { return static_cast<int>(steps_.size()); }
    int capacity() const { return capacity_; }
    // The steps' names, the newest first.
    QStringList names() const;
    void clear() { steps_.clear(); }

  private:
    struct Step {
        int id = 0;
        QString name;
        std::function<void()> restore;
    };
    std::deque<Step> steps_;  // oldest at the front
    int capacity_;
    int nextId_ = 1;
    bool undoing_ = false;
};

}  // namespace velorixa::util
