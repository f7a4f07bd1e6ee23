#include "listing/result_list.h"

#include <algorithm>
#include <cmath>
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

Rgb text_colour(ColourCode colour) {
  switch (colour) {
    case ColourCode::kError:
      return {220, 0, 0};
    case ColourCode::kHeadword:
      return {0, 0, 220};
    case ColourCode::kTitle:
      return {0, 128, 0};
    case ColourCode::kTranslation:
      break;
  }
  return {0, 0, 0};
}

namespace {

double linear(std::uint8_t channel) {
  const double c = channel / 255.0;
  return c <= 0.04045 ? c / 12.92 : std::pow((c + 0.055) / 1.055, 2.4);
}

double luminance(Rgb c) {
  return 0.2126 * linear(c.r) + 0.7152 * linear(c.g) + 0.0722 * linear(c.b);
}

struct Hsl {
  double h = 0, s = 0, l = 0;
};

Hsl to_hsl(Rgb c) {
  const double r = c.r / 255.0, g = c.g / 255.0, b = c.b / 255.0;
  const double hi = std::max({r, g, b}), lo = std::min({r, g, b});
  Hsl out;
  out.l = (hi + lo) / 2;
  const double d = hi - lo;
  if (d == 0) return out;
  out.s = d / (1 - std::abs(2 * out.l - 1));
  if (hi == r) {
    out.h = std::fmod((g - b) / d + 6, 6);
  } else if (hi == g) {
    out.h = (b - r) / d + 2;
  } else {
    out.h = (r - g) / d + 4;
  }
  return out;
}

Rgb to_rgb(Hsl c) {
  const double chroma = (1 - std::abs(2 * c.l - 1)) * c.s;
  const double x = chroma * (1 - std::abs(std::fmod(c.h, 2) - 1));
  const double m = c.l - chroma / 2;
  double r = 0, g = 0, b = 0;
  switch (static_cast<int>(c.h)) {
    case 0: r = chroma, g = x; break;
    case 1: r = x, g = chroma; break;
    case 2: g = chroma, b = x; break;
    case 3: g = x, b = chroma; break;
    case 4: r = x, b = chroma; break;
    default: r = chroma, b = x; break;
  }
  const auto channel = [m](double v) {
    return static_cast<std::uint8_t>(std::lround(std::clamp(v + m, 0.0, 1.0) * 255));
  };
  return {channel(r), channel(g), channel(b)};
}

constexpr double kReadableContrast = 4.5;

}  // namespace

bool is_dark(Rgb background) {
  return contrast_ratio(background, {255, 255, 255}) > contrast_ratio(background, {0, 0, 0});
}

double contrast_ratio(Rgb a, Rgb b) {
  const double la = luminance(a), lb = luminance(b);
  return (std::max(la, lb) + 0.05) / (std::min(la, lb) + 0.05);
}

Rgb highlight_colour(Rgb list_background) {
  if (!is_dark(list_background)) return kSelectionHighlight;
  Hsl shade = to_hsl(kSelectionHighlight);
  shade.l = 0.22;
  return to_rgb(shade);
}

Rgb readable_text_colour(ColourCode colour, Rgb row_background) {
  const Rgb base = text_colour(colour);
  if (!is_dark(row_background)) return base;
  // Lighter and lighter in the same hue until it reads; black has no hue and
  // ends as a light grey.
  Hsl shade = to_hsl(base);
  Rgb out = base;
  while (contrast_ratio(out, row_background) < kReadableContrast && shade.l < 1.0) {
    shade.l = std::min(1.0, shade.l + 0.02);
    out = to_rgb(shade);
  }
  return out;
}

ResultListing::ResultListing(ListControl& result_list, QueryBox& query_box,
                             const ListingFlags& flags)
    : result_list_(result_list), query_box_(query_box), flags_(flags) {}

ListControl* ResultListing::active_list() const {
  return flags_.browse_mode ? browse_list_ : &result_list_;
}

void ResultListing::append_line(std::u16string_view text, ColourCode code) {
  take_line(std::u16string(cut(text, kMaxLineChars)), code);
}

void ResultListing::take_line(std::u16string line, ColourCode colour) {
  if (line.size() > kMaxLineChars) line.resize(kMaxLineChars);
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
  if (remembered_.index == -1 || remembered_.colour == ColourCode::kError ||
      remembered_ == last_copied_) {
    query_box_.refocus_query();
    return;
  }
  // Remembered before the title check, so a second tap on a title line
  // without quotes only refocuses.
  last_copied_ = remembered_;
  std::u16string_view query = last_copied_.text;
  if (last_copied_.colour == ColourCode::kTitle && !title_query(last_copied_.text, query)) return;
  query.remove_prefix(std::min(query.find_first_not_of(u' '), query.size()));
  query_box_.set_text(query);
  if (refocus) query_box_.refocus_query();
}

ResultListing::RowStyle ResultListing::row_style(const ListControl& list, int row,
                                                 Rgb list_background) const {
  const bool highlighted = row == remembered_.index;
  const Rgb background = highlighted ? highlight_colour(list_background) : list_background;
  return {highlighted, readable_text_colour(list.item_data(row), background), background};
}

}  // namespace lexvia
