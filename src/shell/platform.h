// What the application needs of a window system, and nothing more: the
// main window's controls, its menu bar and menus, the file chooser, the help
// viewer, messages the window posts to itself, and a way to run a long
// operation off the user interface thread. The desktop program implements it
// with Qt (shell/qt/), the command-line tool with plain lists, the tests with
// a recording fake. Every call is made on the user interface thread.
#pragma once

#include <functional>
#include <optional>
#include <string>
#include <string_view>

#include "listing/result_list.h"
#include "settings/settings.h"
#include "shell/ids.h"

namespace lexvia {

// Positions and sizes in logical pixels.
struct Rect {
  int x = 0, y = 0, width = 0, height = 0;
  friend bool operator==(const Rect&, const Rect&) = default;
};
struct Size {
  int width = 0, height = 0;
  friend bool operator==(const Size&, const Size&) = default;
};

// One menu while it is being prepared for opening. Items are addressed by
// command or by position (separators and submenus count as positions).
class Menu {
 public:
  virtual ~Menu() = default;
  // True when the menu, or one of its submenus, holds the command.
  virtual bool holds(int command) const = 0;
  virtual void remove_item(int command) = 0;
  // Appends an item to the submenu at `position` of this menu.
  virtual void append_to_submenu(int position, int command, std::u16string_view text) = 0;
  virtual void set_item_text(int command, std::u16string_view text) = 0;
  virtual void set_position_text(int position, std::u16string_view text) = 0;
  virtual void check_item(int command, bool checked) = 0;
  virtual void enable_item(int command, bool enabled) = 0;
  virtual void enable_position(int position, bool enabled) = 0;
};

using FileKind = SettingsShell::FileKind;

class Platform {
 public:
  virtual ~Platform() = default;

  // Controls of the main window.
  virtual void set_text(Control control, std::u16string_view text) = 0;
  virtual std::u16string text(Control control) const = 0;
  virtual void set_enabled(Control control, bool enabled) = 0;
  virtual void set_visible(Control control, bool visible) = 0;
  virtual void place(Control control, Rect rect) = 0;
  virtual void set_result_column_width(int width) = 0;
  // The main window's client area, without the menu bar.
  virtual Size client_size() const = 0;
  // The width of a vertical scroll bar, which the result column leaves free.
  virtual int scroll_bar_width() const = 0;
  // Selects the whole query text and gives the query box the focus.
  virtual void focus_query() = 0;
  virtual ListControl& result_list() = 0;
  // How many lines a browse page holds: as many as the list shows.
  virtual int browse_page_rows() const = 0;

  // The buttons of the menu bar, by their command.
  virtual void set_menu_button_text(int command, std::u16string_view text) = 0;
  virtual void enable_menu_button(int command, bool enabled) = 0;

  // The main window itself.
  virtual void bring_to_front() = 0;   // to the top, shown, not moved or sized
  virtual void send_to_back() = 0;     // to the bottom, then hidden
  virtual void destroy_window() = 0;   // runs Application::shutdown, then ends the loop
  // Runs the command later, from the message loop.
  virtual void post_command(int command) = 0;

  virtual std::optional<std::string> choose_file(FileKind kind, std::u16string_view title) = 0;
  // Shows a help file; the path ends in an anchor ("#main").
  virtual void show_help(const std::string& path_with_anchor) = 0;
  // The clipboard's text, or nothing when it holds none.
  virtual std::optional<std::u16string> clipboard_text() = 0;

  // Runs `work` to its end and returns after it. Meanwhile the user interface
  // stays painted and `deliver` runs on the user interface thread now and then
  // while it runs. `work` may run on another thread;
  // it shares nothing with the user interface thread but what its caller made
  // safe to share.
  virtual void run_operation(const std::function<void()>& work,
                             const std::function<void()>& deliver) = 0;
};

}  // namespace lexvia
