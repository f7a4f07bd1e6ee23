#include <gtest/gtest.h>

#include <chrono>
#include <filesystem>
#include <string>
#include <vector>

#include "search/collation.h"
#include "search/search_engine.h"
#include "search/search_fixture.h"

namespace lexvia::testing {
namespace {

const std::vector<std::string> kWords = {"alpha",   "bravo", "charlie", "delta",   "echo",
                                         "foxtrot", "golf",  "hotel",   "india",   "juliett",
                                         "kilo",    "lima",  "mike",    "november"};

// Fourteen records in alphabetical order; charlie has five translations,
// november two, every other record one.
Pairs browse_pairs() {
  Pairs pairs;
  for (const auto& w : kWords) {
    const int count = w == "charlie" ? 5 : w == "november" ? 2 : 1;
    for (int i = 1; i <= count; ++i) pairs.push_back({w, w + std::to_string(i)});
  }
  return pairs;
}

class Browse : public SearchFixture {
 protected:
  void SetUp() override {
    // Stored plainly, prefix list 2 ends right before section 1, and it holds
    // a record-like text there: a move that stepped before the section's
    // first record would list "bogus".
    CompileOptions options = plain_options();
    options.prefixes2 =
        "\xFF\x05"
        "bogus";
    bytes_ = compile_or_fail(browse_pairs(), options);
    ASSERT_EQ(bytes_[section_of(bytes_, 1).start - 8], kMarker);
    use(bytes_);
    m_ = record_markers(bytes_, 1);
    ASSERT_EQ(m_.size(), kWords.size());
  }

  std::vector<Line> browse(std::string_view query, std::uint32_t page_size) {
    state_.browse_page_size = page_size;
    return search(query, SearchMethod::kBrowse);
  }
  std::int64_t at(std::size_t record) const { return static_cast<std::int64_t>(m_[record]); }

  std::vector<std::uint8_t> bytes_;
  std::vector<std::uint64_t> m_;
};

TEST_F(Browse, SearchListsTheFirstPageFromTheFirstCandidate) {
  // "-" is every headword's prefix: the walk back reaches the first record.
  EXPECT_EQ(browse("-", 4),
            (std::vector<Line>{head("alpha"), tr("alpha1"), head("bravo"), tr("bravo1")}));
  EXPECT_EQ(state_.browse_position, at(0));
  EXPECT_EQ(state_.result_count, 4u);
  EXPECT_EQ(state_.result_limit, 4u);

  EXPECT_EQ(browse("ch", 4),
            (std::vector<Line>{head("charlie"), tr("charlie1"), tr("charlie2"), tr("charlie3")}));
  EXPECT_EQ(state_.browse_position, at(2));

  EXPECT_EQ(browse("NOV", 4),
            (std::vector<Line>{head("november"), tr("november1"), tr("november2")}));
  EXPECT_EQ(state_.browse_position, at(13));
  EXPECT_EQ(state_.result_count, 3u);
}

TEST_F(Browse, NoCandidateLeavesThePositionUnsetAndMovesDoNothing) {
  browse("ch", 4);
  ASSERT_EQ(state_.browse_position, at(2));
  EXPECT_EQ(browse("zulu", 4), std::vector<Line>{});
  EXPECT_EQ(state_.browse_position, -1);

  // No file is opened: neither a missing file nor a missing path is reported.
  std::filesystem::remove(*path_);
  for (int m = 0; m <= 5; ++m) {
    EXPECT_EQ(move(static_cast<BrowseMove>(m)), std::vector<Line>{}) << m;
  }
  path_.reset();
  EXPECT_EQ(move(BrowseMove::kHome), std::vector<Line>{});
  EXPECT_EQ(state_.browse_position, -1);
}

TEST_F(Browse, HomeAndEndListFromTheFirstAndTheLastRecord) {
  browse("ju", 4);
  EXPECT_EQ(move(BrowseMove::kHome),
            (std::vector<Line>{head("alpha"), tr("alpha1"), head("bravo"), tr("bravo1")}));
  EXPECT_EQ(state_.browse_position, at(0));
  EXPECT_EQ(move(BrowseMove::kEnd),
            (std::vector<Line>{head("november"), tr("november1"), tr("november2")}));
  EXPECT_EQ(state_.browse_position, at(13));
}

TEST_F(Browse, PageMovesStepTenRecordsAndStopAtTheEnds) {
  browse("-", 2);
  EXPECT_EQ(move(BrowseMove::kPageDown), (std::vector<Line>{head("kilo"), tr("kilo1")}));
  EXPECT_EQ(state_.browse_position, at(10));
  EXPECT_EQ(move(BrowseMove::kPageDown), (std::vector<Line>{head("november"), tr("november1")}));
  EXPECT_EQ(state_.browse_position, at(13));
  EXPECT_EQ(move(BrowseMove::kPageDown), (std::vector<Line>{head("november"), tr("november1")}));
  EXPECT_EQ(state_.browse_position, at(13));
  EXPECT_EQ(move(BrowseMove::kPageUp), (std::vector<Line>{head("delta"), tr("delta1")}));
  EXPECT_EQ(state_.browse_position, at(3));

  // Exactly ten records back from lima is bravo; from kilo it is the first.
  move(BrowseMove::kHome);
  move(BrowseMove::kPageDown);
  move(BrowseMove::kLineDown);
  EXPECT_EQ(move(BrowseMove::kPageUp), (std::vector<Line>{head("bravo"), tr("bravo1")}));
  move(BrowseMove::kHome);
  move(BrowseMove::kPageDown);
  EXPECT_EQ(move(BrowseMove::kPageUp), (std::vector<Line>{head("alpha"), tr("alpha1")}));

  // From the fifth record, and from the first, page up lands on the first.
  browse("echo", 2);
  EXPECT_EQ(move(BrowseMove::kPageUp), (std::vector<Line>{head("alpha"), tr("alpha1")}));
  EXPECT_EQ(state_.browse_position, at(0));
  EXPECT_EQ(move(BrowseMove::kPageUp), (std::vector<Line>{head("alpha"), tr("alpha1")}));
  EXPECT_EQ(state_.browse_position, at(0));
}

TEST_F(Browse, LineMovesStepOneRecordAndStopAtTheEnds) {
  browse("-", 2);
  EXPECT_EQ(move(BrowseMove::kLineUp), (std::vector<Line>{head("alpha"), tr("alpha1")}));
  EXPECT_EQ(state_.browse_position, at(0));
  EXPECT_EQ(move(BrowseMove::kLineDown), (std::vector<Line>{head("bravo"), tr("bravo1")}));
  EXPECT_EQ(state_.browse_position, at(1));
  EXPECT_EQ(move(BrowseMove::kLineUp), (std::vector<Line>{head("alpha"), tr("alpha1")}));
  move(BrowseMove::kEnd);
  EXPECT_EQ(move(BrowseMove::kLineDown), (std::vector<Line>{head("november"), tr("november1")}));
  EXPECT_EQ(state_.browse_position, at(13));
  EXPECT_EQ(move(BrowseMove::kLineUp), (std::vector<Line>{head("mike"), tr("mike1")}));
  EXPECT_EQ(state_.browse_position, at(12));
}

TEST_F(Browse, PageSizeZeroListsNothingButStillMoves) {
  EXPECT_EQ(browse("-", 0), std::vector<Line>{});
  EXPECT_EQ(state_.browse_position, at(0));
  EXPECT_EQ(move(BrowseMove::kLineDown), std::vector<Line>{});
  EXPECT_EQ(state_.browse_position, at(1));
  EXPECT_EQ(move(BrowseMove::kEnd), std::vector<Line>{});
  EXPECT_EQ(state_.browse_position, at(13));
}

TEST_F(Browse, PagesCutTranslationsAtThePageSize) {
  EXPECT_EQ(browse("ch", 1), std::vector<Line>{head("charlie")});
  EXPECT_EQ(move(BrowseMove::kLineDown), std::vector<Line>{head("delta")});
  EXPECT_EQ(move(BrowseMove::kPageDown), std::vector<Line>{head("november")});

  // The rest of charlie's translations never show at this size: the next
  // page starts with the next record.
  EXPECT_EQ(browse("ch", 3), (std::vector<Line>{head("charlie"), tr("charlie1"), tr("charlie2")}));
  EXPECT_EQ(state_.result_count, 3u);
  EXPECT_EQ(move(BrowseMove::kLineDown),
            (std::vector<Line>{head("delta"), tr("delta1"), head("echo")}));
}

TEST_F(Browse, FailedMovesReportAndKeepThePosition) {
  browse("ch", 4);
  const std::string good = *path_;

  path_.reset();
  EXPECT_EQ(move(BrowseMove::kLineDown), std::vector<Line>{error_line(101)});
  EXPECT_EQ(state_.browse_position, at(2));

  path_ = file_path("missing.lex");
  EXPECT_EQ(move(BrowseMove::kHome), std::vector<Line>{error_line(102, *path_)});
  EXPECT_EQ(state_.browse_position, at(2));

  auto foreign = bytes_;
  foreign[0] = 'l';
  const std::string p = use(foreign, "foreign.lex");
  EXPECT_EQ(move(BrowseMove::kEnd), std::vector<Line>{error_line(103, p)});
  EXPECT_EQ(state_.browse_position, at(2));

  path_ = good;
  EXPECT_EQ(move(BrowseMove::kLineDown),
            (std::vector<Line>{head("delta"), tr("delta1"), head("echo"), tr("echo1")}));
  EXPECT_EQ(state_.browse_position, at(3));
}

// ---------------------------------------------------------------------------
// Malformed sections: moves end, inside the file.

class BrowseRobustness : public SearchFixture {};

TEST_F(BrowseRobustness, MovesInSectionsWithoutTerminalMarker) {
  HangGuard guard(std::chrono::seconds(30));
  const auto bytes =
      compile_or_fail({{"alpha", "A"}, {"bravo", "B"}, {"charlie", "C"}}, plain_options());
  const auto m1 = record_markers(bytes, 1);

  // Section 1 one byte short: its end lies on charlie's last reference byte.
  auto short_section = bytes;
  const Section s1 = section_of(bytes, 1);
  set_u32(short_section, header_field::kSection1Length,
          static_cast<std::uint32_t>(s1.end - s1.start));
  use(short_section);
  state_.browse_page_size = 10;
  const std::vector<Line> all = {head("alpha"), tr("A"),         head("bravo"),
                                 tr("B"),       head("charlie"), tr("C")};
  EXPECT_EQ(search("-", SearchMethod::kBrowse), all);
  EXPECT_EQ(move(BrowseMove::kPageDown), (std::vector<Line>{head("charlie"), tr("C")}));
  EXPECT_EQ(state_.browse_position, static_cast<std::int64_t>(m1[2]));
  EXPECT_EQ(move(BrowseMove::kLineDown), (std::vector<Line>{head("charlie"), tr("C")}));
  EXPECT_EQ(move(BrowseMove::kHome), all);
  EXPECT_EQ(move(BrowseMove::kEnd), (std::vector<Line>{head("charlie"), tr("C")}));

  // The file cut before section 2's terminal marker is shorter than its
  // header says: not a dictionary to browse.
  const std::string cut = use({bytes.begin(), bytes.end() - 1});
  EXPECT_EQ(search("-", SearchMethod::kBrowse, 2), (std::vector<Line>{error_line(103, cut)}));
}

TEST_F(BrowseRobustness, BackwardMovesStopAtTheFileStart) {
  HangGuard guard(std::chrono::seconds(30));
  const auto m = record_markers(
      compile_or_fail({{"alpha", "A"}, {"bravo", "B"}, {"charlie", "C"}}, plain_options()), 1);
  use(section_one_from_file_start());
  state_.browse_page_size = 4;
  state_.browse_position = static_cast<std::int64_t>(m[1]);

  move(BrowseMove::kHome);
  EXPECT_EQ(state_.browse_position, 0);
  move(BrowseMove::kLineUp);
  EXPECT_EQ(state_.browse_position, 0);
  move(BrowseMove::kPageUp);
  EXPECT_EQ(state_.browse_position, 0);
  move(BrowseMove::kLineDown);
  EXPECT_EQ(state_.browse_position, static_cast<std::int64_t>(m[0]));
  move(BrowseMove::kLineUp);
  EXPECT_EQ(state_.browse_position, 0);
  move(BrowseMove::kEnd);
  EXPECT_EQ(state_.browse_position, static_cast<std::int64_t>(m[2]));
  move(BrowseMove::kPageUp);
  EXPECT_EQ(state_.browse_position, 0);
}

}  // namespace
}  // namespace lexvia::testing
