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
#include <vector>

#include "listing/result_list.h"
#include "search/search_engine.h"
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

// What the file chooser is asked for.
enum class FileKind { kDictionary, kSpeechLibrary };

enum class DialogKind { kBrowse, kSearchOptions, kAbout, kHistory, kFavourites };

// What a dialog's window reports; the application's dialog logic answers.
// Controls are addressed by their ids (dialog_ids.h).
class DialogWindow;
class DialogHandler {
 public:
  virtual ~DialogHandler() = default;
  // The window and its controls exist; nothing is shown yet.
  virtual void initialise(DialogWindow& window) = 0;
  // Reported between operations only (one that comes while an operation
  // runs waits for its end).
  virtual void size_changed() {}
  // A button, OK (1) or Cancel (2: Esc, the close button).
  virtual void command(int id) = 0;
  virtual void timer(int id) { (void)id; }
  // The browse list: a row's selection changed; the list gained the focus.
  virtual void list_selection_changed() {}
  virtual void list_focused() {}
  virtual void activated() {}
};

// The browse dialog's list of headwords, under its move buttons.
class DialogList {
 public:
  virtual ~DialogList() = default;
  virtual ListControl& list() = 0;
  virtual void set_list_visible(bool visible) = 0;
  virtual void set_list_redraw(bool on) = 0;
  virtual void set_list_column_width(int width) = 0;
  // The height of the list's row 0 and of the list's client area.
  virtual int list_row_height() const = 0;
  virtual int list_client_height() const = 0;
};

// The rows of the history and favourites pages: plain lines, one chosen at
// a time.
class PageList {
 public:
  virtual ~PageList() = default;
  virtual void set_rows(const std::vector<std::u16string>& rows) = 0;
  // The current row, -1 when there is none.
  virtual int current_row() const = 0;
  virtual void set_current_row(int row) = 0;
};

// The About box's feature line (control 1015's text), painted in a colour of
// its own, and the one timer that fades it.
class FeatureLine {
 public:
  virtual ~FeatureLine() = default;
  virtual void start_timer(int id, int milliseconds) = 0;
  virtual void stop_timer() = 0;
  virtual Rgb base_colour() const = 0;
  virtual void paint_feature_line(Rgb colour) = 0;
};

// A dialog's window. It fills the main window's area and has an OK button
// in its top bar. It is destroyed by close(), after which the handler hears
// nothing more from it.
class DialogWindow {
 public:
  virtual ~DialogWindow() = default;
  virtual Size client_size() const = 0;
  virtual void place(int control, Rect rect) = 0;
  virtual void set_title(std::u16string_view text) = 0;
  virtual void set_control_text(int control, std::u16string_view text) = 0;
  virtual std::u16string control_text(int control) const = 0;
  virtual void focus_control(int control) = 0;
  // To the top, with the input focus.
  virtual void activate() = 0;
  virtual void close() = 0;

  // The parts only some dialogs have: the browse dialog's list, the About
  // box's feature line, the pages' rows; null in the other dialogs.
  virtual DialogList* dialog_list() { return nullptr; }
  virtual FeatureLine* feature_line() { return nullptr; }
  virtual PageList* page_list() { return nullptr; }
};

// A long operation's progress dialog: its text and, when the operation can
// be cancelled, the flag its Cancel button sets.
struct Progress {
  std::u16string text;
  std::u16string cancel_caption;
  CancelFlag* cancel = nullptr;  // nothing: Cancel is disabled
};

// Answers of ask().
enum class Answer { kYes, kNo, kCancel };

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

  // The buttons of the menu bar, by their command.
  virtual void set_menu_button_text(int command, std::u16string_view text) = 0;
  virtual void enable_menu_button(int command, bool enabled) = 0;

  // The main window itself.
  // To the top, shown, not moved or sized. A window that was not active is
  // activated later, from the message loop (ActivationOrigin::kOwnRequest).
  virtual void bring_to_front() = 0;
  virtual void send_to_back() = 0;     // to the bottom, then hidden
  virtual void destroy_window() = 0;   // runs Application::shutdown, then ends the loop
  // Runs the command later, from the message loop.
  virtual void post_command(int command) = 0;

  virtual std::optional<std::string> choose_file(FileKind kind, std::u16string_view title) = 0;
  // Shows a help file; the path ends in an anchor ("#main").
  virtual void show_help(const std::string& path_with_anchor) = 0;
  // The clipboard's text, or nothing when it holds none.
  virtual std::optional<std::u16string> clipboard_text() = 0;

  // The tray icon (the program's small icon, with a tip) whose click is the
  // Quick Translate message; false when the desktop has no tray.
  virtual bool add_tray_icon(std::u16string_view tip) {
    (void)tip;
    return false;
  }
  virtual void remove_tray_icon() {}

  // Runs `work` to its end and returns after it. Meanwhile the user interface
  // stays painted and `deliver` runs on the user interface thread now and then
  // while it runs; what the user and the desktop do meanwhile reaches the
  // application as at any other time (commands, activations, the end).
  // `work` may run on another thread; it shares nothing with the user
  // interface thread but what its caller made safe to share. Once it has run
  // for a moment, the progress dialog shows until it ends.
  virtual void run_operation(const std::function<void()>& work,
                             const std::function<void()>& deliver,
                             const Progress& progress) = 0;

  // Opens a dialog and returns at once (the browse dialog); the platform owns
  // the window until the handler closes it.
  virtual DialogWindow* open_dialog(DialogKind kind, DialogHandler& handler) = 0;
  // Opens a dialog and returns once it has closed; the main window takes no
  // input meanwhile.
  virtual void run_dialog(DialogKind kind, DialogHandler& handler) = 0;
  // A question with Yes, No and Cancel, over the open dialog.
  virtual Answer ask(std::u16string_view text) = 0;
  // Makes the result list's selection mark the given row (-1: none).
  virtual void set_result_selection_mark(int row) = 0;
};

}  // namespace lexvia
