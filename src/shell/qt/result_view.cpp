#include "shell/qt/result_view.h"

#include <QFocusEvent>
#include <QMouseEvent>
#include <QPainter>
#include <QTimer>

#include "shell/qt/colour.h"
#include "shell/qt/text.h"

namespace lexvia::qt {

int ResultModel::rowCount(const QModelIndex& parent) const {
  return parent.isValid() ? 0 : static_cast<int>(rows_.size());
}

QVariant ResultModel::data(const QModelIndex& index, int role) const {
  if (!index.isValid() || index.row() >= rowCount()) return {};
  const Row& row = rows_[static_cast<std::size_t>(index.row())];
  switch (role) {
    case Qt::DisplayRole:
    case Qt::AccessibleTextRole:
      return to_qstring(row.text);
    case kColourCodeRole:
      return static_cast<int>(row.colour);
    default:
      return {};
  }
}

void ResultModel::append(std::u16string text, ColourCode colour) {
  const int row = rowCount();
  beginInsertRows({}, row, row);
  rows_.push_back({std::move(text), colour});
  endInsertRows();
}

void ResultModel::remove_first() {
  if (rows_.empty()) return;
  beginRemoveRows({}, 0, 0);
  rows_.pop_front();
  endRemoveRows();
}

void ResultModel::remove_all() {
  beginResetModel();
  rows_.clear();
  endResetModel();
}

ResultView::ResultView(QWidget* parent) : QListView(parent) {
  setSelectionMode(QAbstractItemView::SingleSelection);
  setUniformItemSizes(true);
  setHorizontalScrollBarPolicy(Qt::ScrollBarAlwaysOff);
  setFocusPolicy(Qt::StrongFocus);
}

void ResultView::set_selection_mark(int row) {
  mark_ = row < 0 ? -1 : row;
  viewport()->update();
}

int ResultView::row_height() const { return fontMetrics().height() + 2; }

void ResultView::focusInEvent(QFocusEvent* event) {
  QListView::focusInEvent(event);
  if (event->reason() == Qt::MouseFocusReason) {
    // The press that gave the focus has not selected its row yet.
    focus_by_click_ = true;
    return;
  }
  if (on_focused) on_focused();
}

void ResultView::mousePressEvent(QMouseEvent* event) {
  QListView::mousePressEvent(event);
  if (focus_by_click_) {
    focus_by_click_ = false;
    if (on_focused) on_focused();
  }
}

void ResultView::selectionChanged(const QItemSelection& selected,
                                  const QItemSelection& deselected) {
  QListView::selectionChanged(selected, deselected);
  if (!selected.indexes().isEmpty()) {
    mark_ = selected.indexes().first().row();
  } else if (selectionModel() != nullptr && !selectionModel()->hasSelection()) {
    mark_ = -1;
  }
  if (on_selection_changed) on_selection_changed();
}

RowDelegate::RowDelegate(const ResultListing& listing, const ListControl& list, QObject* parent)
    : QStyledItemDelegate(parent), listing_(listing), list_(list) {}

void RowDelegate::paint(QPainter* painter, const QStyleOptionViewItem& option,
                        const QModelIndex& index) const {
  const auto style =
      listing_.row_style(list_, index.row(), to_rgb(option.palette.color(QPalette::Base)));
  painter->save();
  painter->fillRect(option.rect, to_qcolor(style.background));
  painter->setFont(option.font);
  painter->setPen(to_qcolor(style.text));
  const QRect text_rect(option.rect.left() + 2, option.rect.top(), option.rect.width() * 4,
                        option.rect.height());
  painter->drawText(text_rect, Qt::AlignLeft | Qt::AlignTop | Qt::TextSingleLine,
                    index.data(Qt::DisplayRole).toString());
  painter->restore();
}

QSize RowDelegate::sizeHint(const QStyleOptionViewItem& option, const QModelIndex&) const {
  return {column_width_, option.fontMetrics.height() + 2};
}

void ResultListControl::scroll_into_view(int) {
  // A lookup appends many lines in a row; the view scrolls once, to the
  // newest, when control returns to the event loop.
  if (scroll_posted_) return;
  scroll_posted_ = true;
  QTimer::singleShot(0, &view_, [this] {
    scroll_posted_ = false;
    const int last = model_.rowCount() - 1;
    if (last >= 0) view_.scrollTo(model_.index(last), QAbstractItemView::EnsureVisible);
  });
}

// Asking for one row's rectangle lays out every row the model has just
// gained, so a redraw per appended line would cost the square of the lines;
// one update of the list paints them all at the next frame.
void ResultListControl::redraw(int) { view_.viewport()->update(); }

}  // namespace lexvia::qt
