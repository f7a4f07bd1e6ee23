#include "shell/qt/browse_overlay.h"

#include <QKeyEvent>
#include <QPushButton>
#include <algorithm>
#include <memory>
#include <utility>

#include "shell/dialog_ids.h"
#include "shell/qt/row_delegate.h"

namespace lexvia::qt {

namespace {

// The browse list's keys stand for the browse buttons: a move lists a new
// page from the dictionary, where the view's own cursor would only walk the
// lines already shown.
int browse_command_of_key(int key) {
  switch (key) {
    case Qt::Key_Up:
      return dialog::kBrowseLineUp;
    case Qt::Key_Down:
      return dialog::kBrowseLineDown;
    case Qt::Key_PageUp:
      return dialog::kBrowsePageUp;
    case Qt::Key_PageDown:
      return dialog::kBrowsePageDown;
    case Qt::Key_Home:
      return dialog::kBrowseHome;
    case Qt::Key_End:
      return dialog::kBrowseEnd;
    default:
      return 0;
  }
}

}  // namespace

BrowseOverlay::BrowseOverlay(DialogHandler& handler, const ResultListing& listing, Hooks hooks,
                             QWidget* main_window)
    : DialogOverlay(handler, std::move(hooks), main_window) {
  // The list first, so that the buttons placed over its corners stay above it.
  model_ = std::make_unique<ResultModel>();
  view_ = new ResultView(client());
  view_->setModel(model_.get());
  view_->setAccessibleName(QStringLiteral("Headwords"));
  view_->setVerticalScrollBarPolicy(Qt::ScrollBarAlwaysOff);
  list_ = std::make_unique<ResultListControl>(*model_, *view_);
  delegate_ = new RowDelegate(listing, *list_, view_);
  view_->setItemDelegate(delegate_);
  view_->on_selection_changed = [this] {
    if (is_closed()) return;
    this->handler().list_selection_changed();
    view_->viewport()->update();
  };
  view_->on_focused = [this] {
    if (is_closed()) return;
    this->handler().list_focused();
    view_->viewport()->update();
  };
  view_->installEventFilter(this);
  add_control(dialog::kBrowseList, view_);

  struct Move {
    int id;
    const char16_t* caption;
    const char* name;
  };
  for (const Move& move : {Move{dialog::kBrowseHome, u"|\u00AB", "Home"},
                           Move{dialog::kBrowsePageUp, u"\u00AB", "Page up"},
                           Move{dialog::kBrowseLineUp, u"<", "Line up"},
                           Move{dialog::kBrowseLineDown, u">", "Line down"},
                           Move{dialog::kBrowsePageDown, u"\u00BB", "Page down"},
                           Move{dialog::kBrowseEnd, u"\u00BB|", "End"}}) {
    QPushButton* button =
        add_button(move.id, QString::fromUtf16(move.caption), QString::fromUtf8(move.name));
    button->setToolTip(QString::fromUtf8(move.name));
    // A tap on a move button leaves the focus where it was.
    button->setFocusPolicy(Qt::NoFocus);
  }
  // Never seen: it holds the focus once the list has handed it over, so
  // that the next tap on the list is a focus gain again.
  QPushButton* holder =
      add_button(dialog::kBrowseClose, QStringLiteral("x"), QStringLiteral("Close browsing"));
  holder->setGeometry(0, 0, 0, 0);
  holder->installEventFilter(this);
}

BrowseOverlay::~BrowseOverlay() {
  // Taking the list apart may still report selection changes; the handler
  // hears nothing more.
  stop_reports();
  view_->setModel(nullptr);
}

void BrowseOverlay::focus_first() {
  // Not the list: its focus gain copies a line to the query box.
  control(dialog::kBrowseClose)->setFocus(Qt::OtherFocusReason);
}

bool BrowseOverlay::key_pressed(QObject*, const QKeyEvent& key) {
  const int id = browse_command_of_key(key.key());
  if (id == 0) return false;
  send(id);
  return true;
}

// ---- DialogList -------------------------------------------------------------------

void BrowseOverlay::set_list_visible(bool visible) { view_->setVisible(visible); }

void BrowseOverlay::set_list_redraw(bool on) { view_->setUpdatesEnabled(on); }

void BrowseOverlay::set_list_column_width(int width) {
  delegate_->set_column_width(std::max(0, width));
}

int BrowseOverlay::list_row_height() const {
  if (model_->rowCount() > 0) {
    const int height = view_->visualRect(model_->index(0)).height();
    if (height > 0) return height;
  }
  return view_->row_height();
}

int BrowseOverlay::list_client_height() const {
  // The viewport's own size lags behind while the overlay is hidden; the
  // size it will take is the list's inside, without scroll bars.
  return view_->maximumViewportSize().height();
}

}  // namespace lexvia::qt
