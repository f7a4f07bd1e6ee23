// The view of the result list and of the browse list: a list view that
// reports selection and focus the way the listing expects them. A
// RowDelegate draws its rows from a ResultModel; no widget per row.
#pragma once

#include <QListView>
#include <functional>

namespace lexvia::qt {

// A list view whose rows the application draws. It tells the listing when the
// selection changes and when it gains the focus; a click's focus gain is told
// after the click has made its row the selection, so that the copy to the
// query box copies the row that was clicked.
class ResultView final : public QListView {
  Q_OBJECT

 public:
  explicit ResultView(QWidget* parent = nullptr);
  std::function<void()> on_selection_changed;
  std::function<void()> on_focused;
  // The row most recently selected, or -1.
  int selection_mark() const { return mark_; }
  // Sets the mark without touching the selection (-1: none).
  void set_selection_mark(int row);
  int row_height() const;

 protected:
  void focusInEvent(QFocusEvent* event) override;
  void mousePressEvent(QMouseEvent* event) override;
  void selectionChanged(const QItemSelection& selected, const QItemSelection& deselected) override;

 private:
  int mark_ = -1;
  bool focus_by_click_ = false;
};

}  // namespace lexvia::qt
