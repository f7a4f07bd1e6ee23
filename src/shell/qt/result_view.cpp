#include "shell/qt/result_view.h"

#include <QFocusEvent>
#include <QMouseEvent>

namespace lexvia::qt {

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

}  // namespace lexvia::qt
