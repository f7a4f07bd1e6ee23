// The platform of the command-line tool: no window, only the query text, the
// lists and what a run needs to print. Lookups run on the calling thread.
#pragma once

#include <cstddef>
#include <deque>
#include <string>
#include <vector>

#include "result_output.h"
#include "shell/platform.h"

namespace lexvia::cli {

// The result list as the tool sees it: besides the lines the list holds (it
// keeps its bound like the window's), every line ever appended, since a
// printed answer must not lose lines that the on-screen list would push out.
// The shown lines are a deque: once the list is full, every line appended
// pushes the first out, which must not shift the other 2000.
class LoggedList final : public ListControl {
 public:
  int count() const override { return static_cast<int>(shown_.size()); }
  void remove_first() override { shown_.pop_front(); }
  void remove_all() override { shown_.clear(); }
  void append(std::u16string text, int item_data) override {
    shown_.push_back({text, item_data});
    log_.push_back({std::move(text), item_data});
  }
  std::u16string text(int index) const override { return shown_.at(index).text; }
  int item_data(int index) const override { return shown_.at(index).colour; }
  void scroll_into_view(int) override {}
  void redraw(int) override {}
  int selection_mark() const override { return -1; }

  // The lines appended since the last call; a batch of lookups keeps none
  // of them after.
  std::vector<Line> take_new() {
    std::vector<Line> lines = std::move(log_);
    log_.clear();
    return lines;
  }

 private:
  std::deque<Line> shown_;
  std::vector<Line> log_;
};

// A list that keeps its lines: the browse dialog's, whose page is what it
// holds after each move.
class PlainList final : public ListControl {
 public:
  int count() const override { return static_cast<int>(lines_.size()); }
  void remove_first() override { lines_.erase(lines_.begin()); }
  void remove_all() override { lines_.clear(); }
  void append(std::u16string text, int item_data) override {
    lines_.push_back({std::move(text), item_data});
  }
  std::u16string text(int index) const override { return lines_.at(index).text; }
  int item_data(int index) const override { return lines_.at(index).colour; }
  void scroll_into_view(int) override {}
  void redraw(int) override {}
  int selection_mark() const override { return -1; }
  const std::vector<Line>& lines() const { return lines_; }

 private:
  std::vector<Line> lines_;
};

// The browse dialog without a window: its page holds `rows` lines of one
// unit each.
class HeadlessBrowseWindow final : public DialogWindow {
 public:
  explicit HeadlessBrowseWindow(const int& rows) : rows_(rows) {}
  Size client_size() const override { return {}; }
  void place(int, Rect) override {}
  void set_title(std::u16string_view) override {}
  void set_control_text(int, std::u16string_view) override {}
  std::u16string control_text(int) const override { return {}; }
  void focus_control(int) override {}
  void activate() override {}
  void close() override {}
  ListControl* list() override { return &list_; }
  int list_row_height() const override { return 1; }
  int list_client_height() const override { return rows_; }
  const PlainList& page() const { return list_; }

 private:
  const int& rows_;
  PlainList list_;
};

class HeadlessPlatform final : public Platform {
 public:
  std::u16string query;
  int page_rows = 0;

  void set_text(Control control, std::u16string_view text) override {
    if (control == Control::kQueryBox) query = text;
  }
  std::u16string text(Control control) const override {
    return control == Control::kQueryBox ? query : std::u16string();
  }
  void set_enabled(Control, bool) override {}
  void set_visible(Control, bool) override {}
  void place(Control, Rect) override {}
  void set_result_column_width(int) override {}
  Size client_size() const override { return {}; }
  int scroll_bar_width() const override { return 0; }
  void focus_query() override {}
  ListControl& result_list() override { return list; }
  void set_menu_button_text(int, std::u16string_view) override {}
  void enable_menu_button(int, bool) override {}
  void bring_to_front() override {}
  void send_to_back() override {}
  void destroy_window() override {}
  void post_command(int) override {}
  std::optional<std::string> choose_file(FileKind, std::u16string_view) override {
    return std::nullopt;
  }
  void show_help(const std::string&) override {}
  std::optional<std::u16string> clipboard_text() override { return std::nullopt; }
  void run_operation(const std::function<void()>& work, const std::function<void()>&,
                     const Progress&) override {
    work();
  }
  DialogWindow* open_dialog(DialogKind kind, DialogHandler& handler) override {
    if (kind != DialogKind::kBrowse) return nullptr;
    handler.initialise(browse);
    return &browse;
  }
  void run_dialog(DialogKind, DialogHandler&) override {}
  Answer ask(std::u16string_view) override { return Answer::kCancel; }
  void set_result_selection_mark(int) override {}

  LoggedList list;
  HeadlessBrowseWindow browse{page_rows};
};

}  // namespace lexvia::cli
