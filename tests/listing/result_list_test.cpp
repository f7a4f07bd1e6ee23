#include "listing/result_list.h"

#include <gtest/gtest.h>

#include <string>
#include <utility>
#include <vector>

namespace lexvia {
namespace {

// A colour code by its number, as a list may hold any.
constexpr ColourCode code(int number) { return static_cast<ColourCode>(number); }

class VectorList final : public ListControl {
 public:
  struct Line {
    std::u16string text;
    ColourCode data;
  };
  std::vector<Line> lines;
  std::vector<int> scrolled, redrawn;
  int mark = -1;

  int count() const override { return static_cast<int>(lines.size()); }
  void remove_first() override { lines.erase(lines.begin()); }
  void remove_all() override { lines.clear(); }
  void append(std::u16string text, ColourCode colour) override {
    lines.push_back({std::move(text), colour});
  }
  std::u16string text(int index) const override { return lines.at(index).text; }
  ColourCode item_data(int index) const override { return lines.at(index).data; }
  void scroll_into_view(int index) override { scrolled.push_back(index); }
  void redraw(int index) override { redrawn.push_back(index); }
  int selection_mark() const override { return mark; }

  void fill(int n) {
    for (int i = 0; i < n; ++i) {
      lines.push_back({u"old " + std::u16string(1, static_cast<char16_t>(u'a' + i % 26)),
                       ColourCode::kTranslation});
    }
  }
};

class RecordingQueryBox final : public QueryBox {
 public:
  std::vector<std::u16string> texts;
  int refocuses = 0;
  void set_text(std::u16string_view text) override { texts.emplace_back(text); }
  void refocus_query() override { ++refocuses; }
};

class ResultListingTest : public ::testing::Test {
 protected:
  VectorList results, browse;
  RecordingQueryBox query;
  ListingFlags flags;
  ResultListing listing{results, query, flags};

  // A tap: the row becomes the selection, then the list gains the focus.
  void tap(VectorList& list, int row, bool refocus = true) {
    list.mark = row;
    listing.remember_selection(false);
    listing.copy_selection_to_query(refocus);
  }
  void tap_new_line(std::u16string_view text, ColourCode colour) {
    listing.append_line(text, colour);
    tap(results, results.count() - 1);
  }
};

TEST_F(ResultListingTest, ResultListAppendScrollsAndRedrawsTheNewLine) {
  results.fill(3);
  listing.append_line(u"Ready", ColourCode::kError);
  ASSERT_EQ(results.count(), 4);
  EXPECT_EQ(results.lines[3].text, u"Ready");
  EXPECT_EQ(results.lines[3].data, ColourCode::kError);
  EXPECT_EQ(results.scrolled, std::vector<int>{3});
  EXPECT_EQ(results.redrawn, std::vector<int>{3});

  flags.invisible_listing = true;
  listing.append_line(u"  dog", ColourCode::kHeadword);
  EXPECT_EQ(results.scrolled, (std::vector<int>{3, 4}));
  EXPECT_EQ(results.redrawn, std::vector<int>{3});
}

TEST_F(ResultListingTest, BoundKeepsTwoThousandOldLinesAndTheNewOne) {
  results.fill(kResultListBound);
  const std::u16string first = results.lines[0].text, second = results.lines[1].text;
  listing.append_line(u"a", ColourCode::kTranslation);
  ASSERT_EQ(results.count(), 2001);
  EXPECT_EQ(results.lines[0].text, first);

  listing.append_line(u"b", ColourCode::kTranslation);
  ASSERT_EQ(results.count(), 2001);
  EXPECT_EQ(results.lines[0].text, second);
  EXPECT_EQ(results.lines[1999].text, u"a");
  EXPECT_EQ(results.lines[2000].text, u"b");
  EXPECT_EQ(results.scrolled.back(), 2000);
  EXPECT_EQ(results.redrawn.back(), 2000);
}

TEST_F(ResultListingTest, BrowseListTakesLinesOnlyInBrowseModeOnceItExists) {
  flags.browse_mode = true;
  listing.append_line(u"early", ColourCode::kError);
  EXPECT_EQ(results.count(), 1);

  browse.fill(kResultListBound + 5);
  listing.set_browse_list(&browse);
  listing.append_line(u"  page", ColourCode::kHeadword);
  EXPECT_EQ(results.count(), 1);
  ASSERT_EQ(browse.count(), kResultListBound + 6);
  EXPECT_EQ(browse.lines.back().text, u"  page");
  EXPECT_EQ(browse.lines.back().data, ColourCode::kHeadword);
  EXPECT_TRUE(browse.scrolled.empty());
  EXPECT_TRUE(browse.redrawn.empty());

  flags.browse_mode = false;
  listing.append_line(u"later", ColourCode::kError);
  EXPECT_EQ(results.count(), 2);
  EXPECT_EQ(browse.count(), kResultListBound + 6);
}

TEST_F(ResultListingTest, FormattedLineWidensWindows1252) {
  listing.append_formatted_line("  %s", "caf\xE9 \x80", ColourCode::kHeadword);
  listing.append_formatted_line("%s", "Exact Search: \"x\"", ColourCode::kTitle);
  ASSERT_EQ(results.count(), 2);
  EXPECT_EQ(results.lines[0].text, u"  café €");
  EXPECT_EQ(results.lines[0].data, ColourCode::kHeadword);
  EXPECT_EQ(results.lines[1].text, u"Exact Search: \"x\"");
}

TEST_F(ResultListingTest, LinesAreCutToTwoHundredFiftyNineUnits) {
  listing.append_line(std::u16string(400, u'w'), ColourCode::kError);
  listing.append_formatted_line("    %s", std::string(300, 't'), ColourCode::kTranslation);
  listing.append_formatted_line("%s" + std::string(300, 'f'), "abc", ColourCode::kTitle);
  ASSERT_EQ(results.count(), 3);
  EXPECT_EQ(results.lines[0].text, std::u16string(259, u'w'));
  EXPECT_EQ(results.lines[1].text, u"    " + std::u16string(255, u't'));
  // The format alone is cut to 259 before the text goes in, then the line.
  EXPECT_EQ(results.lines[2].text, u"abc" + std::u16string(256, u'f'));
}

TEST_F(ResultListingTest, RememberSelectionFollowsTheActiveList) {
  results.append(u"  dog", ColourCode::kHeadword);
  results.append(std::u16string(2500, u'x'), ColourCode::kTranslation);
  results.mark = 0;
  listing.remember_selection(false);
  EXPECT_EQ(listing.remembered(), (LineRecord{u"  dog", 0, ColourCode::kHeadword}));

  results.mark = 1;
  listing.remember_selection(false);
  EXPECT_EQ(listing.remembered().text, std::u16string(1999, u'x'));

  listing.remember_selection(true);
  EXPECT_EQ(listing.remembered(), LineRecord{});

  listing.remember_selection(false);
  results.mark = -1;
  listing.remember_selection(false);
  EXPECT_EQ(listing.remembered(), LineRecord{});

  // Browse mode with no browse list yet: nothing to read, nothing changes.
  results.mark = 0;
  listing.remember_selection(false);
  flags.browse_mode = true;
  listing.remember_selection(true);
  EXPECT_EQ(listing.remembered().index, 0);

  browse.append(u"    Hund", ColourCode::kTranslation);
  browse.mark = 0;
  listing.set_browse_list(&browse);
  listing.remember_selection(false);
  EXPECT_EQ(listing.remembered(), (LineRecord{u"    Hund", 0, ColourCode::kTranslation}));
}

TEST_F(ResultListingTest, StatusAndErrorLinesAndNoSelectionOnlyRefocus) {
  listing.copy_selection_to_query(true);
  tap_new_line(u"Ready", ColourCode::kError);
  tap_new_line(u"Dictionary File Error #102 (\\x.dic)", ColourCode::kError);
  EXPECT_TRUE(query.texts.empty());
  EXPECT_EQ(query.refocuses, 3);
  EXPECT_EQ(listing.last_copied(), (LineRecord{u"___", -10, ColourCode::kError}));
}

TEST_F(ResultListingTest, HeadwordIsCopiedOnceThenOnlyRefocused) {
  tap_new_line(u"  big dog  ", ColourCode::kHeadword);
  EXPECT_EQ(query.texts, std::vector<std::u16string>{u"big dog  "});
  EXPECT_EQ(query.refocuses, 1);
  EXPECT_EQ(listing.last_copied(), (LineRecord{u"  big dog  ", 0, ColourCode::kHeadword}));

  // The user edits the query, then taps the same line again.
  tap(results, 0);
  EXPECT_EQ(query.texts.size(), 1u);
  EXPECT_EQ(query.refocuses, 2);

  tap_new_line(u"    Hund", ColourCode::kTranslation);
  listing.append_line(u"    x", static_cast<ColourCode>(7));
  tap(results, 2, false);  // the browse list's copy keeps the focus where it is
  EXPECT_EQ(query.texts, (std::vector<std::u16string>{u"big dog  ", u"Hund", u"x"}));
  EXPECT_EQ(query.refocuses, 3);
}

TEST_F(ResultListingTest, TitleLineGivesTheTextBetweenTheOutermostQuotes) {
  tap_new_line(u"Exact Search: \"big dog\"", ColourCode::kTitle);
  tap_new_line(u"Full Search: \"say \"hi\" now\"", ColourCode::kTitle);
  tap_new_line(u"Phrase Search: \"  open", ColourCode::kTitle);
  EXPECT_EQ(query.texts, (std::vector<std::u16string>{u"big dog", u"say \"hi\" now", u"open"}));
  EXPECT_EQ(query.refocuses, 3);
}

TEST_F(ResultListingTest, TitleLineWithoutQuotesIsRememberedAsCopiedButChangesNothing) {
  tap_new_line(u"Exact Search: none", ColourCode::kTitle);
  EXPECT_TRUE(query.texts.empty());
  EXPECT_EQ(query.refocuses, 0);
  EXPECT_EQ(listing.last_copied(), (LineRecord{u"Exact Search: none", 0, ColourCode::kTitle}));

  // Now it equals the line copied last: the query text stays as it is.
  tap(results, 0);
  EXPECT_TRUE(query.texts.empty());
  EXPECT_EQ(query.refocuses, 1);
}

TEST_F(ResultListingTest, ClearForgetsTheSelectionButNotTheLastCopiedLine) {
  tap_new_line(u"  dog", ColourCode::kHeadword);
  listing.clear_results();
  EXPECT_EQ(results.count(), 0);
  EXPECT_EQ(listing.remembered(), LineRecord{});
  EXPECT_EQ(query.refocuses, 2);
  EXPECT_EQ(listing.last_copied(), (LineRecord{u"  dog", 0, ColourCode::kHeadword}));

  tap_new_line(u"  dog", ColourCode::kHeadword);
  EXPECT_EQ(query.texts.size(), 1u);
  EXPECT_EQ(query.refocuses, 3);
}

TEST(TextColour, FollowsTheColourCodeTable) {
  EXPECT_EQ(text_colour(ColourCode::kError), (Rgb{220, 0, 0}));
  EXPECT_EQ(text_colour(ColourCode::kHeadword), (Rgb{0, 0, 220}));
  EXPECT_EQ(text_colour(ColourCode::kTranslation), (Rgb{0, 0, 0}));
  EXPECT_EQ(text_colour(ColourCode::kTitle), (Rgb{0, 128, 0}));
  EXPECT_EQ(text_colour(code(4)), (Rgb{0, 0, 0}));
  EXPECT_EQ(text_colour(code(-1)), (Rgb{0, 0, 0}));
}

TEST_F(ResultListingTest, HighlightFollowsTheRememberedIndexInBothLists) {
  results.fill(kResultListBound + 1);
  results.lines[5].data = ColourCode::kTitle;
  results.mark = 5;
  listing.remember_selection(false);
  EXPECT_TRUE(listing.row_style(results, 5).highlighted);
  EXPECT_EQ(listing.row_style(results, 5).text, (Rgb{0, 128, 0}));
  EXPECT_FALSE(listing.row_style(results, 4).highlighted);

  // The bound shifts the lines; the highlight stays on position 5.
  listing.append_line(u"new", ColourCode::kTranslation);
  EXPECT_EQ(results.lines[4].data, ColourCode::kTitle);
  EXPECT_TRUE(listing.row_style(results, 5).highlighted);
  EXPECT_FALSE(listing.row_style(results, 4).highlighted);
  EXPECT_EQ(listing.row_style(results, 5).text, (Rgb{0, 0, 0}));

  browse.fill(8);
  EXPECT_TRUE(listing.row_style(browse, 5).highlighted);
}

TEST_F(ResultListingTest, RowsStayReadableOnADarkBackground) {
  for (int number = 0; number <= 4; ++number) results.append(u"line", code(number));
  results.mark = 4;
  listing.remember_selection(false);
  // A light list keeps the colours as they are.
  for (int row = 0; row < 4; ++row) {
    EXPECT_EQ(listing.row_style(results, row).text, text_colour(code(row)));
    EXPECT_EQ(listing.row_style(results, row).background, (Rgb{255, 255, 255}));
  }
  EXPECT_EQ(listing.row_style(results, 4).background, kSelectionHighlight);
  for (const Rgb dark : {Rgb{0, 0, 0}, Rgb{30, 30, 30}, Rgb{43, 43, 43}, Rgb{20, 24, 48}}) {
    ASSERT_TRUE(is_dark(dark));
    for (int row = 0; row <= 4; ++row) {
      const auto style = listing.row_style(results, row, dark);
      EXPECT_GE(contrast_ratio(style.text, style.background), 4.5) << row;
      // The same hue: the strongest channel of a coloured text stays strongest.
      const Rgb base = text_colour(code(row));
      if (base.r > base.g && base.r > base.b) {
        EXPECT_GT(style.text.r, style.text.g) << row;
      }
      if (base.b > base.r && base.b > base.g) {
        EXPECT_GT(style.text.b, style.text.r) << row;
      }
      if (base.g > base.r && base.g > base.b) {
        EXPECT_GT(style.text.g, style.text.r) << row;
      }
    }
    const Rgb highlight = listing.row_style(results, 4, dark).background;
    EXPECT_TRUE(is_dark(highlight));
    EXPECT_GT(highlight.g, highlight.b);  // still yellow-green
  }
  EXPECT_FALSE(is_dark({255, 255, 255}));
  EXPECT_FALSE(is_dark({240, 240, 240}));
}

}  // namespace
}  // namespace lexvia
