#include "shell/qt/page_overlay.h"

#include <QKeyEvent>
#include <QListWidget>
#include <utility>

#include "shell/dialog_ids.h"
#include "shell/qt/text.h"

namespace lexvia::qt {

PageOverlay::PageOverlay(DialogKind kind, DialogHandler& handler, Hooks hooks,
                         QWidget* main_window)
    : DialogOverlay(handler, std::move(hooks), main_window), kind_(kind) {
  add_label(dialog::kPageNote, Qt::AlignLeft | Qt::AlignVCenter);
  list_ = new QListWidget(client());
  list_->setSelectionMode(QAbstractItemView::SingleSelection);
  list_->setUniformItemSizes(true);
  list_->installEventFilter(this);
  connect(list_, &QListWidget::itemActivated, this, [this] { send(dialog::kPageList); });
  add_control(dialog::kPageList, list_);
  add_button(dialog::kPageAction, QString());
}

void PageOverlay::set_title(std::u16string_view text) {
  DialogOverlay::set_title(text);
  // The list is named as the page is, in the interface's language.
  list_->setAccessibleName(to_qstring(text));
}

void PageOverlay::place(int control, Rect rect) {
  DialogOverlay::place(control, rect);
  // An empty place hides the control, so that Tab never lands on it.
  if (QWidget* w = this->control(control)) w->setVisible(rect.width > 0 && rect.height > 0);
}

void PageOverlay::set_rows(const std::vector<std::u16string>& rows) {
  list_->clear();
  for (const std::u16string& row : rows) list_->addItem(to_qstring(row));
}

int PageOverlay::current_row() const { return list_->currentRow(); }

void PageOverlay::set_current_row(int row) {
  list_->setCurrentRow(row);
  if (QListWidgetItem* item = list_->currentItem()) list_->scrollToItem(item);
}

bool PageOverlay::key_pressed(QObject* watched, const QKeyEvent& key) {
  // Delete on a favourite removes it, as its button does; the history is
  // cleared only by its button.
  if (watched != list_ || kind_ != DialogKind::kFavourites || key.key() != Qt::Key_Delete ||
      key.modifiers() != Qt::NoModifier) {
    return false;
  }
  send(dialog::kPageAction);
  return true;
}

}  // namespace lexvia::qt
