// The command-line stand-ins for the desktop's lists, and how their lines are
// printed: text (coloured on a terminal), tsv or json.
#pragma once

#include <string>
#include <string_view>
#include <vector>

#include "listing/result_list.h"

namespace lexvia::cli {

struct Line {
  std::u16string text;
  int colour = 0;
};

// A list control that simply keeps its lines.
class LineList final : public ListControl {
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

// The command line has no query box to copy lines into.
class NoQueryBox final : public QueryBox {
 public:
  void set_text(std::u16string_view) override {}
  void refocus_query() override {}
};

enum class OutputFormat { kText, kTsv, kJson };

// Prints pages of lines; text and tsv separate pages with a line "--", json
// prints one array (or, with several pages, an array of arrays).
std::string format_pages(const std::vector<std::vector<Line>>& pages, OutputFormat format,
                         bool colour, bool several_pages);

// A UTF-8 text as a JSON string, quotes included.
std::string json_string(std::string_view utf8);

// Colour only on a terminal and when NO_COLOR is not set.
bool colour_wanted();

}  // namespace lexvia::cli
