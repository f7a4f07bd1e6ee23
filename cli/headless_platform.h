// The platform of the command-line tool: no window, only the query text, the
// lists and what a run needs to print. Lookups run on the calling thread.
#pragma once

#include <algorithm>
#include <cstddef>
#include <deque>
#include <stdexcept>
#include <string>
#include <utility>
#include <vector>

#include "result_output.h"
#include "shell/platform.h"

namespace lexvia::cli {

// The result list as the tool sees it: besides the lines the list holds (it
// keeps its bound like the window's), every line appended since the answer
// was last taken, since a printed answer must not lose lines that the
// on-screen list would push out. Each line is stored once, as a batch
// appends thousands: the new lines are handed out for printing and those the
// list still shows are handed back. Old shown lines are a deque: once the
// list is full, every line appended pushes the first out, which must not
// shift the other 2000.
class LoggedList final : public ListControl {
 public:
  int count() const override { return static_cast<int>(shown_); }
  void remove_first() override {
    // A new line pushed out stays in the log.
    if (!kept_.empty()) kept_.pop_front();
    --shown_;
  }
  void remove_all() override {
    kept_.clear();
    shown_ = 0;
  }
  void append(std::u16string text, ColourCode colour) override {
    log_.push_back({std::move(text), colour});
    ++shown_;
  }
  std::u16string text(int index) const override { return at(index).text; }
  ColourCode item_data(int index) const override { return at(index).colour; }
  void scroll_into_view(int) override {}
  void redraw(int) override {}
  int selection_mark() const override { return -1; }

  // The lines appended since the last call. The list shows those of them it
  // still shows only once they are handed back to keep_shown.
  std::vector<Line> take_new() {
    lent_shown_ = shown_ - kept_.size();
    shown_ = kept_.size();
    return std::exchange(log_, {});
  }
  void keep_shown(std::vector<Line> taken) {
    const std::size_t n = std::min(lent_shown_, taken.size());
    for (std::size_t i = taken.size() - n; i < taken.size(); ++i) {
      kept_.push_back(std::move(taken[i]));
    }
    shown_ += n;
    lent_shown_ = 0;
    // The next answer is logged into the same storage rather than growing anew.
    taken.clear();
    if (log_.empty()) log_.swap(taken);
  }

 private:
  // Shown: all of kept_, then the last shown_ - kept_.size() lines of log_.
  const Line& at(int index) const {
    const auto i = static_cast<std::size_t>(index);
    if (index < 0 || i >= shown_) throw std::out_of_range("LoggedList::at");
    return i < kept_.size() ? kept_[i] : log_[log_.size() - shown_ + i];
  }

  std::deque<Line> kept_;
  std::vector<Line> log_;
  std::size_t shown_ = 0;
  std::size_t lent_shown_ = 0;
};

// A list that keeps its lines: the browse dialog's, whose page is what it
// holds after each move.
class PlainList final : public ListControl {
 public:
  int count() const override { return static_cast<int>(lines_.size()); }
  void remove_first() override { lines_.erase(lines_.begin()); }
  void remove_all() override { lines_.clear(); }
  void append(std::u16string text, ColourCode colour) override {
    lines_.push_back({std::move(text), colour});
  }
  std::u16string text(int index) const override { return lines_.at(index).text; }
  ColourCode item_data(int index) const override { return lines_.at(index).colour; }
  void scroll_into_view(int) override {}
  void redraw(int) override {}
  int selection_mark() const override { return -1; }
  const std::vector<Line>& lines() const { return lines_; }

 private:
  std::vector<Line> lines_;
};

// The browse dialog without a window: its page holds `rows` lines of one
// unit each.
class HeadlessBrowseWindow final : public DialogWindow, public DialogList {
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
  DialogList* dialog_list() override { return this; }
  ListControl& list() override { return list_; }
  void set_list_visible(bool) override {}
  void set_list_redraw(bool) override {}
  void set_list_column_width(int) override {}
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
