#include "util/undostack.h"

#include <algorithm>
#include <limits>

namespace velorixa::util {

UndoStack::UndoStack(int capacity) : capacity_(std::max(1, capacity)) {}

int UndoStack::push(const QString& name, std::function<void()> restore) {
    if (undoing_ || !restore) return 0;
    const int id = nextId_;
    nextId_ = nextId_ == std::numeric_limits<int>::max() ? 1 : nextId_ + 1;
    steps_.push_back({id, name, std::move(restore)});
    while (static_cast<int>(steps_.size()) > capacity_)
        steps_.pop_front();
    return id;
}

void UndoStack::discard(int id) {
    if (id == 0) return;
    std::erase_if(steps_, [id](const Step& s) { return s.id == id; });
}

QString UndoStack::undo() {
    if (steps_.empty()) return {};
    // Off the stack before it runs: a restore that reaches the stack again finds it consistent.
    Step step = std::move(steps_.back());
    steps_.pop_back();
    undoing_ = true;
    step.restore();
    undoing_ = false;
    return step.name;
}

QStringList UndoStack::names() const {
    QStringList out;
    for (auto it = steps_.rbegin(); it != steps_.rend(); ++it)
        out << it->name;
    return out;
}

}  // namespace velorixa::util
