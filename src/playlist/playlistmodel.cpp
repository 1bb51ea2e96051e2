#include "playlist/playlistmodel.h"

#include <algorithm>

namespace velorixa::playlist {

void PlaylistModel::setSelected(int row, bool on) {
    if (row < 0 || row >= count()) return;
    selected_[static_cast<size_t>(row)] = on ? 1 : 0;
}

void PlaylistModel::clearSelection() {
    std::fill(selected_.begin(), selected_.end(), 0);
}

void PlaylistModel::selectAll() {
    std::fill(selected_.begin(), selected_.end(), 1);
}

int PlaylistModel::selectedCount() const {
    return static_cast<int>(std::count(selected_.begin(), selected_.end(), 1));
}

int PlaylistModel::firstSelected() const {
    const auto it = std::find(selected_.begin(), selected_.end(), 1);
    return it == selected_.end() ? -1 : static_cast<int>(it - selected_.begin());
}

std::vector<int> PlaylistModel::selectedRows() const {
    std::vector<int> rows;
    for (size_t i = 0; i < selected_.size(); ++i)
        if (selected_[i]) rows.push_back(static_cast<int>(i));
    return rows;
}

bool PlaylistModel::append(const QString& text, bool selected) {
    if (isFull()) return false;
    items_.append(text);
    selected_.push_back(selected ? 1 : 0);
    return true;
}

bool PlaylistModel::insert(int row, const QString& text, bool selected) {
    if (isFull() || row < 0 || row > count()) return false;
    items_.insert(row, text);
    selected_.insert(selected_.begin() + row, selected ? 1 : 0);
    if (currentRow_ >= row) ++currentRow_;
    return true;
}

void PlaylistModel::removeAt(int row) {
    if (row < 0 || row >= count()) return;
    items_.removeAt(row);
    selected_.erase(selected_.begin() + row);
    if (currentRow_ == row)
        currentRow_ = -1;
    else if (currentRow_ > row)
        --currentRow_;
}

void PlaylistModel::clear() {
    items_.clear();
    selected_.clear();
    currentRow_ = -1;
}

int PlaylistModel::setTexts(const QStringList& texts) {
    const qsizetype keep = std::min<qsizetype>(texts.size(), kMaxLines);
    items_ = texts.mid(0, keep);
    selected_.assign(static_cast<size_t>(keep), 0);
    currentRow_ = -1;
    return static_cast<int>(texts.size() - keep);
}

bool SameLines(const PlaylistModel& a, const PlaylistModel& b) {
    return a.items_ == b.items_ && a.selected_ == b.selected_;
}

void CopyList(const PlaylistModel& src, PlaylistModel& dst) {
    if (&src == &dst) return;
    dst.clear();
    for (int i = 0; i < src.count(); ++i)
        dst.append(src.text(i), src.isSelected(i));
}

bool RemoveSelected(PlaylistModel& list) {
    if (list.isEmpty()) return false;
    const int n = list.count();
    const int keep = n - list.selectedCount();
    if (keep == 0) return false;  // every line selected: "Clear List" is the way to empty it
    QStringList kept;
    kept.reserve(keep);
    for (int i = 0; i < n; ++i)
        if (!list.selected_[static_cast<size_t>(i)]) kept.append(list.items_.at(i));
    list.items_ = std::move(kept);
    list.selected_.assign(static_cast<size_t>(keep), 0);
    list.currentRow_ = -1;
    return true;
}

bool MoveSelect(PlaylistModel& list, int index) {
    const int count = list.count();
    if (index < 1 || index > 4) return false;
    if (count == 0) return false;
    const int selected = list.selectedCount();
    if (selected == 0 || selected == count) return false;

    // One block: from the first selected line down to the first unselected one.
    const int first = list.firstSelected();
    int n = 0;
    while (first + n < count && list.isSelected(first + n))
        ++n;
    for (int i = first + n; i < count; ++i)
        list.setSelected(i, false);

    const bool up = index == 1 || index == 3;
    const bool atTop = first == 0;
    const bool atBottom = first + n == count;
    bool moved = false;
    if (!(up && atTop) && !(!up && atBottom)) {
        // Built as a new order in one pass: moving a block to the end of a full list line by
        // line would cost a quadratic number of shifts.
        QStringList order;
        order.reserve(count);
        const QStringList& src = list.items_;
        auto add = [&](int from, int to) {  // rows from..to-1
            for (int i = from; i < to; ++i)
                order.append(src.at(i));
        };
        int blockStart = 0;
        switch (index) {
            case 1:  // to top
                add(first, first + n);
                add(0, first);
                add(first + n, count);
                blockStart = 0;
                break;
            case 2:  // to bottom
                add(0, first);
                add(first + n, count);
                add(first, first + n);
                blockStart = count - n;
                break;
            case 3:  // one up: the line above goes directly below the block
                add(0, first - 1);
                add(first, first + n);
                add(first - 1, first);
                add(first + n, count);
                blockStart = first - 1;
                break;
            default:  // 4, one down: the line below goes directly above the block
                add(0, first);
                add(first + n, first + n + 1);
                add(first, first + n);
                add(first + n + 1, count);
                blockStart = first + 1;
                break;
        }
        list.items_ = std::move(order);
        std::fill(list.selected_.begin(), list.selected_.end(), 0);
        std::fill(list.selected_.begin() + blockStart, list.selected_.begin() + blockStart + n, 1);
        moved = true;
    }

    // The re-selection pass leaves the current row on the block's edge in the direction of the
    // move, so the list scrolls to where the block went (also when it could not move).
    const int blockTop = list.firstSelected();
    list.currentRow_ = up ? blockTop : blockTop + n - 1;
    return moved;
}

bool CursorMove(PlaylistModel& list, int mode) {
    const int cur = list.firstSelected();
    if (cur < 0) return false;
    if (mode != 1 && mode != 2) return true;
    list.clearSelection();
    const int n = list.count();
    const int next = mode == 1 ? (cur == 0 ? n - 1 : cur - 1) : (cur + 1 == n ? 0 : cur + 1);
    list.setSelected(next, true);
    list.setCurrentRow(next);
    return true;
}

}  // namespace velorixa::playlist
