#include "shell/qt/qt_menu.h"

#include <QAction>
#include <QMenu>
#include <utility>

#include "shell/qt/text.h"

namespace lexvia::qt {

int command_of(const QAction* action) { return action->data().toInt(); }

QAction* find_action(const QMenu* menu, int command) {
  for (QAction* action : menu->actions()) {
    if (action->menu() != nullptr) {
      if (QAction* inner = find_action(action->menu(), command)) return inner;
    } else if (!action->isSeparator() && command_of(action) == command) {
      return action;
    }
  }
  return nullptr;
}

QtMenu::QtMenu(QMenu* menu, std::function<QAction*(QMenu*, int, const QString&)> make_item)
    : menu_(menu), make_item_(std::move(make_item)) {}

bool QtMenu::holds(int command) const { return find_action(menu_, command) != nullptr; }

void QtMenu::remove_item(int command) {
  QAction* action = find_action(menu_, command);
  if (action == nullptr) return;
  remove_from(menu_, action);
  delete action;
}

void QtMenu::append_to_submenu(int position, int command, std::u16string_view text) {
  if (QAction* at = position_action(position); at != nullptr && at->menu() != nullptr) {
    make_item_(at->menu(), command, to_qstring(text));
  }
}

void QtMenu::set_item_text(int command, std::u16string_view text) {
  if (QAction* action = find_action(menu_, command)) action->setText(to_qstring(text));
}

void QtMenu::set_position_text(int position, std::u16string_view text) {
  if (QAction* action = position_action(position)) action->setText(to_qstring(text));
}

void QtMenu::check_item(int command, bool checked) {
  if (QAction* action = find_action(menu_, command)) action->setChecked(checked);
}

void QtMenu::enable_item(int command, bool enabled) {
  if (QAction* action = find_action(menu_, command)) action->setEnabled(enabled);
}

void QtMenu::enable_position(int position, bool enabled) {
  if (QAction* action = position_action(position)) action->setEnabled(enabled);
}

void QtMenu::remove_from(QMenu* menu, QAction* action) {
  menu->removeAction(action);
  for (QAction* a : menu->actions()) {
    if (a->menu() != nullptr) remove_from(a->menu(), action);
  }
}

QAction* QtMenu::position_action(int position) const {
  const auto actions = menu_->actions();
  return position >= 0 && position < actions.size() ? actions[position] : nullptr;
}

}  // namespace lexvia::qt
