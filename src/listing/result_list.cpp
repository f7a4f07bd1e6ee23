#include "listing/result_list.h"

#include <algorithm>
#include <cstddef>
#include <string>
#include <utility>

#include "dict/cp1252.h"

namespace lexvia {
namespace {

constexpr std::size_t kMaxLineChars = kLineUnits - 1;
constexpr std::size_t kMaxRememberedChars = kRememberedUnits - 1;

std::u16string_view cut(std::u16string_view text, std::size_t max_chars) {
  return text.substr(0, std::min(text.size(), max_chars));
}

// Only the first "%s" is a placeholder; the formats in use carry no other
// conversion, so anything else is kept as it stands.
std::u16string substitute(std::u16string_view format, std::u16string_view text) {
  const std::size_t at = format.find(u"%s");
  if (at == std::u16string_view::npos) return std::u16string(format);
  std::u16string line(format.substr(0, at));
  line += text;
  line += format.substr(at + 2);
  return line;
}

// The part of a title line a user wants back: between its first and last
// double quote, or everything after a lone one. Nothing when it has no quote.
bool title_query(std::u16string_view title, std::u16string_view& query) {
  const std::size_t open = title.find(u'"');
  if (open == std::u16string_view::npos) return false;
  query = title.substr(open + 1);
  const std::size_t close = query.rfind(u'"');
  if (close != std::u16string_view::npos) query = query.substr(0, close);
  return true;
}

}  // namespace

Rgb text_colour(int colour_code) {
  switch (colour_code) {
    case kColourError:
      return {220, 0, 0};
    case kColourHeadword:
      return {0, 0, 220};
    case kColourTitle:
      return {0, 128, 0};
    default:
      return {0, 0, 0};
  }
}

ResultListing::ResultListing(ListControl& result_list, QueryBox& query_box,
                             const ListingFlags& flags)
    : result_list_(result_list), query_box_(query_box), flags_(flags) {}

ListControl* ResultListing::active_list() const {
  return flags_.browse_mode ? browse_list_ : &result_list_;
}

void ResultListing::append_line(std::u16string_view text, int colour) {
  std::u16string line(cut(text, kMaxLineChars));
  // A browse page is filled with its list hidden or not redrawing, and the
  // browse dialog clears it before each page, so it needs no bound.
  if (flags_.browse_mode && browse_list_ != nullptr) {
    browse_list_->append(std::move(line), colour);
    return;
  }
  while (result_list_.count() > kResultListBound) result_list_.remove_first();
  result_list_.append(std::move(line), colour);
  const int index = result_list_.count() - 1;
  result_list_.scroll_into_view(index);
  // With Invisible Listing the list repaints once the search has returned to
  // the message loop, which keeps long searches fast.
  if (!flags_.invisible_listing) result_list_.redraw(index);
}

void ResultListing::append_formatted_line(std::string_view format, std::string_view text,
                                          int colour) {
  const std::u16string wide_format = cp1252_to_utf16(format.substr(0, kMaxLineChars));
  const std::u16string wide_text = cp1252_to_utf16(text.substr(0, kMaxLineChars));
  append_line(substitute(wide_format, wide_text), colour);
}

void ResultListing::clear_results() {
  result_list_.remove_all();
  remember_selection(true);
  query_box_.refocus_query();
}

void ResultListing::remember_selection(bool forget) {
  const ListControl* list = active_list();
  if (list == nullptr) return;
  const int mark = list->selection_mark();
  if (forget || mark == -1) {
    remembered_ = LineRecord{};
    return;
  }
  remembered_.index = mark;
  remembered_.text = std::u16string(cut(list->text(mark), kMaxRememberedChars));
  remembered_.colour = list->item_data(mark);
}

void ResultListing::copy_selection_to_query(bool refocus) {
  // Tapping the line copied last must not overwrite what the user has typed
  // since; status and error lines never become a query.
  if (remembered_.index == -1 || remembered_.colour == kColourError ||
      remembered_ == last_copied_) {
    query_box_.refocus_query();
    return;
  }
  // Remembered before the title check, so a second tap on a title line
  // without quotes only refocuses.
  last_copied_ = remembered_;
  std::u16string_view query = last_copied_.text;
  if (last_copied_.colour == kColourTitle && !title_query(last_copied_.text, query)) return;
  query.remove_prefix(std::min(query.find_first_not_of(u' '), query.size()));
  query_box_.set_text(query);
  if (refocus) query_box_.refocus_query();
}

ResultListing::RowStyle ResultListing::row_style(const ListControl& list, int row) const {
  return {row == remembered_.index, text_colour(list.item_data(row))};
}

}  // namespace lexvia
