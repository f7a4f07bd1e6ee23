// The result list and the browse list: which list a new line goes to, the
// bound on the result list, how rows are drawn, and how a tapped line becomes
// the next query. Toolkit-free: a list control of any toolkit with per-row
// drawing serves through ListControl.
#pragma once

#include <cstdint>
#include <cstddef>
#include <string>
#include <string_view>

#include "listing/line_sink.h"

namespace lexvia {

struct Rgb {
  std::uint8_t r = 0, g = 0, b = 0;
  friend bool operator==(const Rgb&, const Rgb&) = default;
};

inline constexpr Rgb kSelectionHighlight{220, 255, 120};
// The text colour of a colour code; codes outside 0 to 3 draw black.
Rgb text_colour(ColourCode colour);

// The colours above are made for a light list. On a dark background (one on
// which white reads better than black) black text and the light highlight
// would be unreadable, so there each colour becomes a shade of the same hue
// that reaches a contrast ratio of 4.5:1 against what it is drawn on, and the
// highlight a dark shade of its hue. On a light background nothing changes.
bool is_dark(Rgb background);
double contrast_ratio(Rgb a, Rgb b);
Rgb highlight_colour(Rgb list_background);
Rgb readable_text_colour(ColourCode colour, Rgb row_background);

// The result list holds at most this many old lines before an append, so at
// most one more after it.
inline constexpr int kResultListBound = 2000;
// A remembered or copied line keeps at most 1999 characters.
inline constexpr std::size_t kRememberedUnits = 2000;

// The operations a list control must offer.
class ListControl {
 public:
  virtual ~ListControl() = default;
  virtual int count() const = 0;
  virtual void remove_first() = 0;
  virtual void remove_all() = 0;
  virtual void append(std::u16string text, ColourCode colour) = 0;
  virtual std::u16string text(int index) const = 0;
  virtual ColourCode item_data(int index) const = 0;
  virtual void scroll_into_view(int index) = 0;
  virtual void redraw(int index) = 0;
  // The index of the line most recently selected, or -1.
  virtual int selection_mark() const = 0;
};

// The query box of the main window, and putting the focus back on it.
class QueryBox {
 public:
  virtual ~QueryBox() = default;
  virtual void set_text(std::u16string_view text) = 0;
  virtual void refocus_query() = 0;
};

// State of the main window that the listing reads but never changes.
struct ListingFlags {
  bool browse_mode = false;
  bool invisible_listing = false;
};

struct LineRecord {
  std::u16string text;
  int index = -1;
  ColourCode colour = ColourCode::kError;
  friend bool operator==(const LineRecord&, const LineRecord&) = default;
};

class ResultListing final : public LineSink {
 public:
  ResultListing(ListControl& result_list, QueryBox& query_box, const ListingFlags& flags);

  // The browse dialog's list while that dialog is open, else nullptr.
  void set_browse_list(ListControl* browse_list) { browse_list_ = browse_list; }
  ListControl* browse_list() const { return browse_list_; }
  ListControl& result_list() const { return result_list_; }

  void append_line(std::u16string_view text, ColourCode colour) override;
  void take_line(std::u16string text, ColourCode colour) override;
  void clear_results();
  void remember_selection(bool forget);
  // Puts back only the remembered index (a closing browse dialog gives the
  // result list its index back; the text and colour code stay as they are).
  void restore_remembered_index(int index) { remembered_.index = index; }
  void copy_selection_to_query(bool refocus);

  // How a row is drawn: highlighted when it is the remembered index (else
  // on the list's own background), in the colour of its colour code, both
  // made readable when the list's background is dark.
  struct RowStyle {
    bool highlighted = false;
    Rgb text;
    Rgb background;
  };
  RowStyle row_style(const ListControl& list, int row,
                     Rgb list_background = {255, 255, 255}) const;

  const LineRecord& remembered() const { return remembered_; }
  const LineRecord& last_copied() const { return last_copied_; }

 private:
  ListControl* active_list() const;

  ListControl& result_list_;
  ListControl* browse_list_ = nullptr;
  QueryBox& query_box_;
  const ListingFlags& flags_;
  LineRecord remembered_;
  LineRecord last_copied_{u"___", -10, ColourCode::kError};
};

}  // namespace lexvia
