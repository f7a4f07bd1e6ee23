#include "shell/qt/result_list_control.h"

#include <QTimer>

namespace lexvia::qt {

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
