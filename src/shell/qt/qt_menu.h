// A menu of the main window as the application prepares it for opening
// (Menu in platform.h): its items, found by the command they send or by
// their position.
#pragma once

#include <QString>
#include <functional>
#include <string_view>

#include "shell/platform.h"

class QAction;
class QMenu;

namespace lexvia::qt {

// The command an item sends.
int command_of(const QAction* action);
// The item of the menu, or of one of its submenus, that sends the command;
// null when none does.
QAction* find_action(const QMenu* menu, int command);

// A Qt menu as prepare_menu sees it; `make_item` creates an item that sends
// its command.
class QtMenu final : public Menu {
 public:
  QtMenu(QMenu* menu, std::function<QAction*(QMenu*, int, const QString&)> make_item);
  bool holds(int command) const override;
  void remove_item(int command) override;
  void append_to_submenu(int position, int command, std::u16string_view text) override;
  void set_item_text(int command, std::u16string_view text) override;
  void set_position_text(int position, std::u16string_view text) override;
  void check_item(int command, bool checked) override;
  void enable_item(int command, bool enabled) override;
  void enable_position(int position, bool enabled) override;

 private:
  static void remove_from(QMenu* menu, QAction* action);
  QAction* position_action(int position) const;

  QMenu* menu_;
  std::function<QAction*(QMenu*, int, const QString&)> make_item_;
};

}  // namespace lexvia::qt
