// The platform of the command-line tool: no window, only the query text, the
// lists and what a run needs to print. Lookups run on the calling thread.
#pragma once

#include <string>
#include <utility>
#include <vector>

#include "shell/platform.h"

namespace lexvia::cli {

// A list that keeps its lines. The tool answers with the findings
// themselves (Application::set_finding_sink), so its lists hold only what
// the application shows besides them ("Ready").
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

 private:
  struct Line {
    std::u16string text;
    ColourCode colour;
  };
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

  PlainList list;
  HeadlessBrowseWindow browse{page_rows};
};

}  // namespace lexvia::cli
