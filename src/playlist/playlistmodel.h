#pragma once
// The list model behind every line list of the player (the visible play list, the hidden
// music/station lists, the browser's file list): item texts in insertion order, each with a
// selected flag, plus the row the list box treats as current. An item is its text; nothing
// here keeps an index that would have to follow edits.
//
// Thread contract: a plain value type with no locking; used on the window thread only.

#include <QString>
#include <QStringList>

#include <vector>

namespace velorixa::playlist {

class PlaylistModel {
  public:
    // A list holds at most as many lines as a 16-bit signed count reaches; appends and inserts
    // past this size are refused rather than wrapped.
    static constexpr int kMaxLines = 32767;

    int count() const { return static_cast<int>(items_.size()); }
    bool isEmpty() const { return items_.isEmpty(); }
    bool isFull() const { return count() >= kMaxLines; }

    // Row must be 0..count()-1.
    const QString& text(int row) const { return items_.at(row); }
    bool isSelected(int row) const { return selected_.at(row) != 0; }
    void setSelected(int row, bool on);
    void clearSelection();
    void selectAll();
    int selectedCount() const;
    int firstSelected() const;  // -1 when none
    std::vector<int> selectedRows() const;

    // Adds a line at the end; false (and no change) when the list already holds kMaxLines.
    bool append(const QString& text, bool selected = false);
    // Inserts before row (0..count()); false when full or the row is out of range.
    bool insert(int row, const QString& text, bool selected = false);
    void removeAt(int row);
    void clear();

    // Replaces the whole content, nothing selected. Lines past kMaxLines are dropped; returns
    // how many were dropped.
    int setTexts(const QStringList& texts);
    const QStringList& texts() const { return items_; }

    // First row whose text equals text exactly (case-sensitive); -1 when none.
    int indexOf(const QString& text) const { return static_cast<int>(items_.indexOf(text)); }

    // The row the list box shows as current and scrolls into view; -1 = none (list shown from
    // its top). Set by the editing operations; the window reads it after each of them.
    int currentRow() const { return currentRow_; }
    void setCurrentRow(int row) { currentRow_ = (row >= 0 && row < count()) ? row : -1; }

  private:
    friend bool MoveSelect(PlaylistModel&, int);
    friend bool RemoveSelected(PlaylistModel&);
    friend bool SameLines(const PlaylistModel&, const PlaylistModel&);

    QStringList items_;
    std::vector<char> selected_;  // one flag per line, kept in step with items_
    int currentRow_ = -1;
};

// `CopyList`: dst becomes a copy of src, line by line, with the same lines selected.
void CopyList(const PlaylistModel& src, PlaylistModel& dst);

// The same lines in the same order with the same lines selected (the current row aside): what
// the operator would see as no change at all.
bool SameLines(const PlaylistModel& a, const PlaylistModel& b);

// Remove (the "Remove" button): keeps the unselected lines in order, nothing selected, list shown
// from its top. Does nothing on an empty list or when every line is selected ("Clear List" empties
// a list). Returns true when the list was rebuilt (also when nothing was selected).
bool RemoveSelected(PlaylistModel& list);

// `MoveSelect` with Index 1 to top, 2 to bottom, 3 one line up, 4 one line down.
// The selection is first cut down to one block: from the lowest selected line down to the first
// unselected one; selected lines below it are deselected. The block keeps its order and stays
// selected; the current row becomes its bottom line after a move down and its top line after a
// move up. Nothing happens with an empty list, no selection, all lines selected or an Index
// outside 1..4. Returns true when the order of lines changed.
bool MoveSelect(PlaylistModel& list, int index);

// `CursorMove` steps 3, 5 and 6, Mode 1 up, 2 down: the first selected line stays the only one,
// then the selection moves one line with wrap-around. Returns false, changing nothing, when no
// line was selected: the caller then runs `DefineNext` instead (playback/nextitem.h,
// CursorMoveOrDefineNext, does both). A Mode other than 1 or 2 changes nothing and returns true.
bool CursorMove(PlaylistModel& list, int mode);

}  // namespace velorixa::playlist
