#pragma once
// A list box of the window over a PlaylistModel that lives elsewhere (the play lists, the
// browser's file list): the model holds the lines and their selection, the view shows them and
// feeds the operator's selection back into the model as it happens.
// Code that edits model() directly calls refresh() (or refreshSelection()) afterwards. The box
// scrolls sideways as far as its widest line plus a margin reaches.
//
// Thread contract: GUI thread only.

#include <QAbstractListModel>
#include <QListView>

#include <array>
#include <cstdint>
#include <memory>
#include <vector>

#include "playlist/playlistmodel.h"

namespace velorixa {
namespace playlist {
class TagCache;
}

class ListBox : public QListView {
    Q_OBJECT
  public:
    // The model must outlive the list box.
    explicit ListBox(playlist::PlaylistModel& model, QWidget* parent = nullptr);

    playlist::PlaylistModel& model() { return model_; }
    const playlist::PlaylistModel& model() const { return model_; }

    // The lines changed: show them again with the model's selection and the model's current row
    // scrolled into view; fromTop shows the list from its top when there is no current row,
    // otherwise the scroll position stays where it was.
    void refresh(bool fromTop = false);
    // Only the selection (and current row) changed.
    void refreshSelection();
    // The names shown for the lines come from names (their tags; the tool tip keeps the
    // line's text, the path), and the files among the lines are asked for at each refresh.
    // Without names a line shows its text.
    void setNames(playlist::TagCache* names);
    // The names of some lines changed (their tags were read): shown anew, the scroll extent
    // measured again.
    void namesChanged();
    // What the box shows for row.
    QString shownText(int row) const;

  protected:
    void changeEvent(QEvent* event) override;

  signals:
    // A line was double-clicked (row of the line).
    void lineDoubleClicked(int row);

  public:
    // Room beyond the widest line, in pixels, so its end is not flush with the box's edge.
    static constexpr int kMarginPx = 15;

  private:
    class Adapter;
    class Delegate;
    int widestLinePx();
    void pullSelection(const QItemSelection& selected, const QItemSelection& deselected);

    playlist::PlaylistModel& model_;
    playlist::TagCache* names_ = nullptr;
    Adapter* adapter_;
    Delegate* delegate_;
    static constexpr uint16_t kUnknownWidth = 0xFFFF;
    // Advance of each character in the box's font, in pixels, in blocks of 256 characters made
    // when a character of the block first shows: a list uses a few scripts, not all of them.
    using WidthBlock = std::array<uint16_t, 256>;
    std::vector<std::unique_ptr<WidthBlock>> charWidths_;
    bool pushing_ = false;
};

}  // namespace velorixa
