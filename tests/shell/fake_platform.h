// A platform that only records: the application's behaviour is then read off
// plain fields, with no window system in the way.
#pragma once

#include <gtest/gtest.h>

#include <algorithm>
#include <deque>
#include <functional>
#include <future>
#include <map>
#include <memory>
#include <optional>
#include <ostream>
#include <string>
#include <thread>
#include <utility>
#include <vector>

#include "shell/platform.h"

namespace lexvia {
inline void PrintTo(const Rect& r, std::ostream* os) {
  *os << "{" << r.x << ", " << r.y << ", " << r.width << ", " << r.height << "}";
}
}  // namespace lexvia

namespace lexvia::testing {

class FakeList final : public ListControl {
 public:
  struct Row {
    std::u16string text;
    int data = 0;
  };

  int count() const override { return static_cast<int>(rows.size()); }
  void remove_first() override {
    if (!rows.empty()) rows.erase(rows.begin());
  }
  void remove_all() override {
    rows.clear();
    mark = -1;
  }
  void append(std::u16string text, ColourCode colour) override {
    // A lookup's lines reach a list only through its queue, on this thread.
    EXPECT_EQ(std::this_thread::get_id(), owner) << "a line from the operation's thread";
    rows.push_back({std::move(text), static_cast<int>(colour)});
  }
  std::u16string text(int index) const override {
    return rows.at(static_cast<std::size_t>(index)).text;
  }
  ColourCode item_data(int index) const override {
    return static_cast<ColourCode>(rows.at(static_cast<std::size_t>(index)).data);
  }
  void scroll_into_view(int) override {}
  void redraw(int) override { ++redraws; }
  int selection_mark() const override { return mark; }

  std::vector<Row> rows;
  int mark = -1;
  int redraws = 0;
  std::thread::id owner = std::this_thread::get_id();
};

// A dialog window that records what its dialog does, with a clock of its
// own: advance() fires the running timer at the moments it would fire.
class FakeDialogWindow final : public DialogWindow,
                               public DialogList,
                               public FeatureLine,
                               public PageList {
 public:
  Size client_size() const override { return client; }
  void place(int control, Rect rect) override { placements[control] = rect; }
  void set_title(std::u16string_view text) override { title = text; }
  void set_control_text(int control, std::u16string_view text) override {
    texts[control] = std::u16string(text);
  }
  std::u16string control_text(int control) const override {
    const auto it = texts.find(control);
    return it == texts.end() ? std::u16string() : it->second;
  }
  void focus_control(int control) override { focused = control; }
  void activate() override { ++activations; }
  void close() override { closed = true; }
  DialogList* dialog_list() override { return this; }
  FeatureLine* feature_line() override { return this; }
  PageList* page_list() override { return this; }
  ListControl& list() override { return rows; }
  void set_rows(const std::vector<std::u16string>& rows_shown) override { page_rows = rows_shown; }
  int current_row() const override { return page_row; }
  void set_current_row(int row) override { page_row = row; }
  void set_list_visible(bool on) override { list_visible = on; }
  void set_list_redraw(bool on) override { redraw_switches.push_back(on); }
  void set_list_column_width(int width) override { column_width = width; }
  int list_row_height() const override { return rows.count() > 0 ? row_height : 0; }
  int list_client_height() const override { return list_height; }
  void start_timer(int id, int milliseconds) override {
    timer = id;
    interval = milliseconds;
    next_fire = now + milliseconds;
  }
  void stop_timer() override { timer = 0; }
  Rgb base_colour() const override { return base; }
  void paint_feature_line(Rgb colour) override { painted.push_back({now, colour}); }

  // Runs the clock to `until` (milliseconds since the dialog opened).
  void advance(DialogHandler& handler, int until) {
    while (timer != 0 && next_fire <= until) {
      now = next_fire;
      next_fire = now + interval;
      handler.timer(timer);
    }
    now = until;
  }
  // The feature line's colour at a moment.
  Rgb colour_at(int time) const {
    Rgb colour = base;
    for (const auto& [at, c] : painted) {
      if (at <= time) colour = c;
    }
    return colour;
  }

  Size client{480, 600};
  std::map<int, Rect> placements;
  std::u16string title;
  std::map<int, std::u16string> texts;
  int focused = 0;
  int activations = 0;
  bool closed = false;
  FakeList rows;
  bool list_visible = true;
  std::vector<bool> redraw_switches;
  int column_width = -1;
  int row_height = 16;
  int list_height = 80;
  int timer = 0;
  int interval = 0;
  int next_fire = 0;
  int now = 0;
  Rgb base{212, 208, 200};
  std::vector<std::pair<int, Rgb>> painted;
  std::vector<std::u16string> page_rows;
  int page_row = -1;
};

// Inline by default: every operation runs where it is asked for and every
// activation happens when the test makes it. With `late_activations` it
// keeps the desktop's timing: a window that is not active comes forward
// only later (its activation waits in `due`), and the focus comes back late
// from the program's own windows (the file chooser, a question, the help
// window, the progress dialog). `meanwhile`, when set, runs once inside the
// next operation, while the work waits on a thread of its own: the events
// the window takes from its event loop as the work runs.
class FakePlatform final : public Platform {
 public:
  void set_text(Control control, std::u16string_view value) override {
    texts[control] = std::u16string(value);
  }
  std::u16string text(Control control) const override {
    const auto it = texts.find(control);
    return it == texts.end() ? std::u16string() : it->second;
  }
  void set_enabled(Control control, bool on) override { enabled[control] = on; }
  void set_visible(Control control, bool on) override { visible[control] = on; }
  void place(Control control, Rect rect) override { placements[control] = rect; }
  void set_result_column_width(int width) override { column_width = width; }
  Size client_size() const override { return client; }
  int scroll_bar_width() const override { return scroll_bar; }
  void focus_query() override { ++focus_count; }
  ListControl& result_list() override { return list; }

  void set_menu_button_text(int command, std::u16string_view value) override {
    menu_button_texts[command] = std::u16string(value);
  }
  void enable_menu_button(int command, bool on) override { menu_button_enabled[command] = on; }

  void bring_to_front() override {
    ++front_count;
    if (late_activations && !active && !front_requested) {
      front_requested = true;
      due.push_back(ActivationOrigin::kOwnRequest);
    }
  }
  void send_to_back() override {
    ++back_count;
    active = false;
  }
  void destroy_window() override { ++destroy_count; }
  void post_command(int command) override { posted.push_back(command); }

  struct ChooserCall {
    FileKind kind;
    std::u16string title;
  };
  std::optional<std::string> choose_file(FileKind kind, std::u16string_view title) override {
    chooser_calls.push_back({kind, std::u16string(title)});
    focus_comes_back();
    return chooser_answer;
  }
  void show_help(const std::string& path_with_anchor) override {
    help_paths.push_back(path_with_anchor);
    focus_comes_back();  // once the user is done with the help
  }
  std::optional<std::u16string> clipboard_text() override { return clipboard; }
  bool add_tray_icon(std::u16string_view tip) override {
    tray_tips.emplace_back(tip);
    return has_tray;
  }
  void remove_tray_icon() override { ++tray_removals; }

  void run_operation(const std::function<void()>& work, const std::function<void()>& deliver,
                     const Progress& shown) override {
    progress.push_back(shown);
    if (auto events = std::exchange(meanwhile, nullptr)) {
      std::promise<void> go;
      std::thread worker([&work, started = go.get_future()] {
        started.wait();
        work();
      });
      events();
      go.set_value();
      worker.join();
    } else {
      work();
    }
    deliver();
    focus_comes_back();  // from the progress dialog
  }
  DialogWindow* open_dialog(DialogKind kind, DialogHandler& handler) override {
    if (kind == DialogKind::kHistory || kind == DialogKind::kFavourites) {
      page = std::make_unique<FakeDialogWindow>();
      page_kind = kind;
      page_handler = &handler;
      handler.initialise(*page);
      return page.get();
    }
    if (kind != DialogKind::kBrowse) return nullptr;
    browse = std::make_unique<FakeDialogWindow>();
    browse->list_height = page_rows * browse->row_height;
    browse_handler = &handler;
    handler.initialise(*browse);
    return browse.get();
  }
  // Runs the dialog's script, if any, while the dialog is open.
  void run_dialog(DialogKind kind, DialogHandler& handler) override {
    dialog = std::make_unique<FakeDialogWindow>();
    dialog_kinds.push_back(kind);
    handler.initialise(*dialog);
    if (dialog_script) dialog_script(*dialog, handler);
  }
  Answer ask(std::u16string_view text) override {
    questions.emplace_back(text);
    focus_comes_back();
    return answer;
  }
  // The window had lent the focus to a window of the program's own.
  void focus_comes_back() {
    if (!late_activations) return;
    active = false;
    due.push_back(ActivationOrigin::kOwnWindow);
  }
  void set_result_selection_mark(int row) override { list.mark = row; }

  std::map<Control, std::u16string> texts;
  std::map<Control, bool> enabled;
  std::map<Control, bool> visible;
  std::map<Control, Rect> placements;
  int column_width = -1;
  std::map<int, std::u16string> menu_button_texts;
  std::map<int, bool> menu_button_enabled;
  int focus_count = 0;
  int front_count = 0;
  int back_count = 0;
  int destroy_count = 0;
  std::vector<int> posted;
  std::vector<std::string> help_paths;
  std::optional<std::u16string> clipboard;
  std::optional<std::string> chooser_answer;
  std::vector<ChooserCall> chooser_calls;
  Size client{480, 640};
  int scroll_bar = 13;
  int page_rows = 5;  // the browse dialog's list holds this many rows
  FakeList list;
  std::vector<Progress> progress;
  std::unique_ptr<FakeDialogWindow> browse;
  DialogHandler* browse_handler = nullptr;
  std::unique_ptr<FakeDialogWindow> dialog;
  // The history or favourites page last opened.
  std::unique_ptr<FakeDialogWindow> page;
  DialogKind page_kind = DialogKind::kHistory;
  DialogHandler* page_handler = nullptr;
  std::vector<DialogKind> dialog_kinds;
  std::function<void(FakeDialogWindow&, DialogHandler&)> dialog_script;
  std::vector<std::u16string> questions;
  std::vector<std::u16string> tray_tips;
  int tray_removals = 0;
  bool has_tray = true;
  Answer answer = Answer::kYes;

  bool late_activations = false;
  bool active = true;
  bool front_requested = false;
  std::deque<ActivationOrigin> due;
  std::function<void()> meanwhile;
};

// A menu as the resource lays it out: positions, each an item, a separator or
// a submenu of items.
class FakeMenu final : public Menu {
 public:
  struct Item {
    int command = 0;
    std::u16string text;
    bool checked = false;
    bool enabled = true;
  };
  enum class Kind { kItem, kSeparator, kSubmenu };
  struct Position {
    Kind kind = Kind::kItem;
    Item item;                // a submenu's title and state; no command
    std::vector<Item> items;  // a submenu's items
  };

  explicit FakeMenu(std::vector<Position> layout) : positions(std::move(layout)) {}

  static Item entry(int command) { return {command, {}, false, true}; }
  static Position item_at(int command) { return {Kind::kItem, entry(command), {}}; }
  static Position separator() { return {Kind::kSeparator, entry(0), {}}; }
  static Position submenu(std::u16string title, const std::vector<int>& commands) {
    Position p{Kind::kSubmenu, {0, std::move(title), false, true}, {}};
    for (int c : commands) p.items.push_back(entry(c));
    return p;
  }

  static FakeMenu dict_menu() {
    return FakeMenu({item_at(command::kLoadDictionary), submenu(u"Select Interface", {}),
                     separator(), item_at(command::kAbout), item_at(command::kHelp), separator(),
                     item_at(command::kExit)});
  }
  static FakeMenu search_menu() {
    return FakeMenu({item_at(40107), item_at(40108), item_at(40109), item_at(40110), separator(),
                     submenu(u"Quick Translate", {125, 126, 127, 128, 129}), separator(),
                     item_at(command::kInvisibleListing), separator(),
                     item_at(command::kPrefixSettings), separator(), item_at(command::kBack),
                     item_at(command::kForward), item_at(command::kAddFavourite),
                     item_at(command::kHistoryPage), item_at(command::kFavouritesPage),
                     item_at(command::kKeepHistory)});
  }

  // A test failure, not a crash, when the menu lacks the item.
  Item item(int command) const {
    if (const Item* i = find_in(*this, command)) return *i;
    ADD_FAILURE() << "the menu holds no item " << command;
    return entry(-1);
  }

  bool holds(int command) const override { return find_in(*this, command) != nullptr; }
  void remove_item(int command) override {
    std::erase_if(positions, [command](const Position& p) {
      return p.kind == Kind::kItem && p.item.command == command;
    });
    for (Position& p : positions) {
      std::erase_if(p.items, [command](const Item& i) { return i.command == command; });
    }
  }
  void append_to_submenu(int position, int command, std::u16string_view text) override {
    Position* p = at(position);
    if (p == nullptr || p->kind != Kind::kSubmenu) {
      ADD_FAILURE() << "no submenu at position " << position;
      return;
    }
    p->items.push_back({command, std::u16string(text), false, true});
  }
  void set_item_text(int command, std::u16string_view text) override {
    if (Item* i = find_in(*this, command)) i->text = std::u16string(text);
  }
  void set_position_text(int position, std::u16string_view text) override {
    if (Position* p = at(position)) p->item.text = std::u16string(text);
  }
  void check_item(int command, bool checked) override {
    if (Item* i = find_in(*this, command)) i->checked = checked;
  }
  void enable_item(int command, bool enabled) override {
    if (Item* i = find_in(*this, command)) i->enabled = enabled;
  }
  void enable_position(int position, bool enabled) override {
    if (Position* p = at(position)) p->item.enabled = enabled;
  }

  std::vector<Position> positions;

 private:
  Position* at(int position) {
    return position >= 0 && position < static_cast<int>(positions.size())
               ? &positions[static_cast<std::size_t>(position)]
               : nullptr;
  }
  template <class Self>
  static auto find_in(Self& self, int command) -> decltype(&self.positions.front().item) {
    for (auto& p : self.positions) {
      if (p.kind == Kind::kItem && p.item.command == command) return &p.item;
      for (auto& i : p.items) {
        if (i.command == command) return &i;
      }
    }
    return nullptr;
  }
};

}  // namespace lexvia::testing
