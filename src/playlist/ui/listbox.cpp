#include "playlist/ui/listbox.h"

#include <QEvent>
#include <QItemSelectionModel>
#include <QScrollBar>
#include <QStyledItemDelegate>

#include <algorithm>

#include "playlist/tagcache.h"
#include "util/fspath.h"

namespace velorixa {

class ListBox::Adapter : public QAbstractListModel {
  public:
    explicit Adapter(ListBox& box, playlist::PlaylistModel& m, QObject* parent)
        : QAbstractListModel(parent), box_(box), m_(m) {}
    int rowCount(const QModelIndex& parent) const override {
        return parent.isValid() ? 0 : m_.count();
    }
    QVariant data(const QModelIndex& index, int role) const override {
        if (!index.isValid() || index.row() >= m_.count()) return {};
        // A path that is not UTF-8 on disk is shown in its readable form; the model keeps the
        // bytes.
        if (role == Qt::DisplayRole) return box_.shownText(index.row());
        if (role == Qt::ToolTipRole) return util::PathForDisplay(m_.text(index.row()));
        return {};
    }
    void reset() {
        beginResetModel();
        endResetModel();
    }
    void allChanged() {
        if (m_.count() > 0) emit dataChanged(index(0), index(m_.count() - 1), {Qt::DisplayRole});
    }

  private:
    ListBox& box_;
    playlist::PlaylistModel& m_;
};

// With uniform item sizes Qt asks the delegate for one row's size (the last row's) and gives it
// to every row; the width given here is the widest line's, so every line can be scrolled into
// view whichever row is asked.
class ListBox::Delegate : public QStyledItemDelegate {
  public:
    using QStyledItemDelegate::QStyledItemDelegate;
    int widest = 0;  // the widest line's text in pixels
    QSize sizeHint(const QStyleOptionViewItem& option, const QModelIndex& index) const override {
        QSize size = QStyledItemDelegate::sizeHint(option, index);
        // The text's own margins as the delegate measured them, around the widest text.
        const int textWidth = option.fontMetrics.horizontalAdvance(index.data().toString());
        size.setWidth(std::max(size.width(), size.width() - textWidth + widest + kMarginPx));
        return size;
    }
};

ListBox::ListBox(playlist::PlaylistModel& model, QWidget* parent)
    : QListView(parent),
      model_(model),
      adapter_(new Adapter(*this, model_, this)),
      delegate_(new Delegate(this)) {
    setModel(adapter_);
    setItemDelegate(delegate_);
    setSelectionMode(QAbstractItemView::ExtendedSelection);
    setUniformItemSizes(true);  // lists of tens of thousands of lines lay out at once
    setEditTriggers(QAbstractItemView::NoEditTriggers);
    setHorizontalScrollBarPolicy(Qt::ScrollBarAsNeeded);
    setFocusPolicy(Qt::NoFocus);
    connect(selectionModel(), &QItemSelectionModel::selectionChanged, this,
            [this](const QItemSelection& s, const QItemSelection& d) { pullSelection(s, d); });
    connect(this, &QListView::doubleClicked, this,
            [this](const QModelIndex& index) { emit lineDoubleClicked(index.row()); });
}

void ListBox::changeEvent(QEvent* event) {
    // A disabled list lets clicks through to what lies under it (the play list's picture,
    // whose click enables the list again); Qt would otherwise swallow them.
    if (event->type() == QEvent::EnabledChange) {
        setAttribute(Qt::WA_TransparentForMouseEvents, !isEnabled());
    }
    if (event->type() == QEvent::FontChange) charWidths_.clear();
    QListView::changeEvent(event);
}

void ListBox::pullSelection(const QItemSelection& selected, const QItemSelection& deselected) {
    if (pushing_) return;
    for (const QItemSelectionRange& r : deselected) {
        for (int row = r.top(); row <= r.bottom() && row < model_.count(); ++row) {
            model_.setSelected(row, false);
        }
    }
    for (const QItemSelectionRange& r : selected) {
        for (int row = r.top(); row <= r.bottom() && row < model_.count(); ++row) {
            model_.setSelected(row, true);
        }
    }
    QModelIndex current = currentIndex();
    model_.setCurrentRow(current.isValid() ? current.row() : -1);
}

void ListBox::setNames(playlist::TagCache* names) {
    names_ = names;
    refresh();
}

QString ListBox::shownText(int row) const {
    const QString& text = model_.text(row);
    return names_ ? names_->shownName(text) : util::PathForDisplay(text);
}

void ListBox::namesChanged() {
    delegate_->widest = widestLinePx();
    adapter_->allChanged();
    // The rows' width comes from the delegate, asked again once the layout is redone.
    scheduleDelayedItemsLayout();
}

int ListBox::widestLinePx() {
    // Shaping every line of a full list takes a third of a second; the sum of its characters'
    // advances (kept per character) takes a few milliseconds and differs from the shaped width
    // only by kerning and ligatures, so the line found widest that way is measured exactly too
    // and the larger of the two kept.
    const QFontMetrics fm(font());
    if (charWidths_.empty()) charWidths_.resize(0x100);
    int widest = 0, widestRow = -1;
    for (int row = 0, n = model_.count(); row < n; ++row) {
        const QString text = names_ ? names_->shownName(model_.text(row)) : model_.text(row);
        int sum = 0;
        for (const QChar c : text) {
            if (c.isSurrogate()) {  // outside the table: this line is shaped as it is shown
                sum = fm.horizontalAdvance(util::PathForDisplay(text));
                break;
            }
            auto& block = charWidths_[c.unicode() >> 8];
            if (!block) {
                block = std::make_unique<WidthBlock>();
                block->fill(kUnknownWidth);
            }
            uint16_t& w = (*block)[c.unicode() & 0xFF];
            if (w == kUnknownWidth) w = static_cast<uint16_t>(std::max(0, fm.horizontalAdvance(c)));
            sum += w;
        }
        if (sum > widest) {
            widest = sum;
            widestRow = row;
        }
    }
    if (widestRow >= 0) widest = std::max(widest, fm.horizontalAdvance(shownText(widestRow)));
    return widest;
}

void ListBox::refresh(bool fromTop) {
    if (names_) names_->want(model_.texts());
    const int vscroll = verticalScrollBar()->value();
    const int hscroll = horizontalScrollBar()->value();
    delegate_->widest = widestLinePx();
    pushing_ = true;
    adapter_->reset();
    pushing_ = false;
    refreshSelection();
    if (model_.currentRow() >= 0) return;
    if (!fromTop) {
        verticalScrollBar()->setValue(vscroll);
        horizontalScrollBar()->setValue(hscroll);
    } else {
        verticalScrollBar()->setValue(0);
        horizontalScrollBar()->setValue(0);
    }
}

void ListBox::refreshSelection() {
    pushing_ = true;
    // The selection goes over in runs of neighbouring lines, one change for the whole list.
    QItemSelection sel;
    const int n = model_.count();
    for (int row = 0; row < n;) {
        if (!model_.isSelected(row)) {
            ++row;
            continue;
        }
        int end = row;
        while (end + 1 < n && model_.isSelected(end + 1))
            ++end;
        sel.select(adapter_->index(row), adapter_->index(end));
        row = end + 1;
    }
    selectionModel()->select(sel, QItemSelectionModel::ClearAndSelect);
    int cur = model_.currentRow();
    if (cur >= 0) {
        selectionModel()->setCurrentIndex(adapter_->index(cur), QItemSelectionModel::NoUpdate);
        scrollTo(adapter_->index(cur));
    } else {
        selectionModel()->setCurrentIndex(QModelIndex(), QItemSelectionModel::NoUpdate);
    }
    pushing_ = false;
}

}  // namespace velorixa
