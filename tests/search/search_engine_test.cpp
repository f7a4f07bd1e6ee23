#include "search/search_engine.h"

#include <gtest/gtest.h>

#include <map>
#include <random>
#include <string>
#include <vector>

#include "search/collation.h"
#include "search/search_fixture.h"

namespace lexvia::testing {
namespace {

// ---------------------------------------------------------------------------
// Matching: which headwords a query finds under each method.

const Pairs kWords = {
    {"House", "Haus"},
    {"house (the)", "das Haus"},
    {"house-boat", "Hausboot"},
    {"houseboat", "Wohnboot"},
    {"houses", "Häuser"},
    {"Straße", "street"},
    {"Straßenbahn", "tram"},
    {"co-op", "Genossenschaft"},
    {"coop", "Hühnerstall"},
    {"co-op shop", "Konsum"},
    {"café", "Kaffeehaus"},
    {"rock", "Fels"},
    {"rock'n'roll", "Rock and Roll"},
    {"rocket", "Rakete"},
};

class SearchMatching : public SearchFixture {
 protected:
  void SetUp() override { use(compile_utf8(kWords)); }
};

TEST_F(SearchMatching, ExtendedAndFullFindTheWordFollowedByASeparator) {
  // Not "houses" (s is no separator) and not "houseboat" (prefix mode puts it
  // in the run of candidates, full mode keeps it out).
  std::vector<Line> expected = {title("Extended Search", "house"),
                                head("House"),
                                tr("Haus"),
                                head("house (the)"),
                                tr("das Haus"),
                                head("house-boat"),
                                tr("Hausboot")};
  EXPECT_EQ(search("house", SearchMethod::kExtended), expected);

  // With an empty prefix list Full Search is one pass with the query itself.
  expected[0] = title("Full Search", "house");
  EXPECT_EQ(search("house", SearchMethod::kFull), expected);
}

TEST_F(SearchMatching, ExactAndPhraseIgnoreOnlyCaseAndAccents) {
  EXPECT_EQ(search("HOUSE", SearchMethod::kExact),
            (std::vector<Line>{title("Exact Search", "HOUSE"), head("House"), tr("Haus")}));
  EXPECT_EQ(search("house", SearchMethod::kPhrase),
            (std::vector<Line>{title("Phrase Search", "house"), head("House"), tr("Haus")}));
  EXPECT_EQ(search("CAFE", SearchMethod::kExact),
            (std::vector<Line>{title("Exact Search", "CAFE"), head("café"), tr("Kaffeehaus")}));
  EXPECT_EQ(search("Straße", SearchMethod::kExact),
            (std::vector<Line>{title("Exact Search", "Straße"), head("Straße"), tr("street")}));
  EXPECT_EQ(search("STRASSE", SearchMethod::kExact),
            (std::vector<Line>{title("Exact Search", "STRASSE"), head("Straße"), tr("street")}));
  // "co-op" and "coop" are one text in prefix mode, two in full mode.
  EXPECT_EQ(search("coop", SearchMethod::kExact),
            (std::vector<Line>{title("Exact Search", "coop"), head("coop"), tr("Hühnerstall")}));
  EXPECT_EQ(
      search("co-op", SearchMethod::kExact),
      (std::vector<Line>{title("Exact Search", "co-op"), head("co-op"), tr("Genossenschaft")}));
  EXPECT_EQ(search("rocknroll", SearchMethod::kExact),
            (std::vector<Line>{title("Exact Search", "rocknroll")}));
  EXPECT_EQ(search("Rock'N'Roll", SearchMethod::kExact),
            (std::vector<Line>{title("Exact Search", "Rock'N'Roll"), head("rock'n'roll"),
                               tr("Rock and Roll")}));
}

TEST_F(SearchMatching, HyphensAndApostrophesSeparateWordsInExtendedSearch) {
  EXPECT_EQ(search("rock", SearchMethod::kExtended),
            (std::vector<Line>{title("Extended Search", "rock"), head("rock"), tr("Fels"),
                               head("rock'n'roll"), tr("Rock and Roll")}));
  EXPECT_EQ(search("co-op", SearchMethod::kExtended),
            (std::vector<Line>{title("Extended Search", "co-op"), head("co-op"),
                               tr("Genossenschaft"), head("co-op shop"), tr("Konsum")}));
  EXPECT_EQ(search("coop", SearchMethod::kExtended),
            (std::vector<Line>{title("Extended Search", "coop"), head("coop"), tr("Hühnerstall")}));
  EXPECT_EQ(search("strasse", SearchMethod::kExtended),
            (std::vector<Line>{title("Extended Search", "strasse"), head("Straße"), tr("street")}));
}

TEST_F(SearchMatching, DirectionTwoSearchesTheOtherSection) {
  EXPECT_EQ(
      search("hausboot", SearchMethod::kExact, 2),
      (std::vector<Line>{title("Exact Search", "hausboot"), head("Hausboot"), tr("house-boat")}));
  EXPECT_EQ(search("häuser", SearchMethod::kExtended, 2),
            (std::vector<Line>{title("Extended Search", "häuser"), head("Häuser"), tr("houses")}));
}

// A file lent to the engine (a batch's mapping) answers as the path
// does, in both directions and after another file was lent, though its
// tables are kept between lookups.
TEST_F(SearchMatching, ALentFileInMemoryAnswersAsThePathDoes) {
  const auto expected_1 = search("house", SearchMethod::kExtended, 1);
  const auto expected_2 = search("haus", SearchMethod::kExtended, 2);
  auto copy = MappedFile::map(*path_, 1 << 20);
  ASSERT_TRUE(copy);
  engine_.lend_file(copy.get());
  for (int round = 0; round < 2; ++round) {
    EXPECT_EQ(search("house", SearchMethod::kExtended, 1), expected_1);
    EXPECT_EQ(search("haus", SearchMethod::kExtended, 2), expected_2);
  }
  // Another dictionary, whose tables differ, lent in the old one's place.
  const auto other_path = use(compile_utf8({{"zebra", "Zebra"}, {"zebras", "Zebras"}}), "other.lex");
  auto other = MappedFile::map(other_path, 1 << 20);
  engine_.lend_file(other.get());
  EXPECT_EQ(search("zebra", SearchMethod::kExact, 1),
            (std::vector<Line>{title("Exact Search", "zebra"), head("zebra"), tr("Zebra")}));
  engine_.lend_file(nullptr);
  EXPECT_EQ(search("zebras", SearchMethod::kExact, 2),
            (std::vector<Line>{title("Exact Search", "zebras"), head("Zebras"), tr("zebras")}));
}

// One mapping lent for a whole batch keeps the records its probes landed on:
// later queries, found or not and through any method, must still answer as
// the path does, and so must the other direction once it has its own.
TEST_F(SearchMatching, ALentFileAnswersABatchAsThePathDoes) {
  Pairs pairs;
  for (int i = 0; i < 3000; ++i) {
    const std::string word = "w" + std::to_string(i * 7919 % 3001) + (i % 3 == 0 ? "-x" : "");
    pairs.emplace_back(word, "t" + std::to_string(i));
  }
  use(compile_utf8(pairs), "batch.lex");
  std::vector<std::pair<int, std::string>> queries;  // direction, query
  for (int direction : {1, 2}) {
    for (int i = 0; i < 3000; i += 37) {
      const std::string& word = direction == 1 ? pairs[i].first : pairs[i].second;
      for (const std::string& q : {word, word + "q", word.substr(0, 3)})
        queries.emplace_back(direction, q);
    }
  }
  const auto method = [](const std::string& q) {
    return q.size() % 2 == 0 ? SearchMethod::kExact : SearchMethod::kExtended;
  };
  std::vector<std::vector<Line>> expected;
  for (const auto& [direction, q] : queries) expected.push_back(search(q, method(q), direction));
  auto mapped = MappedFile::map(*path_, 1 << 20);
  ASSERT_TRUE(mapped);
  engine_.lend_file(mapped.get());
  for (std::size_t n = 0; n < queries.size(); ++n) {
    const auto& [direction, q] = queries[n];
    ASSERT_EQ(search(q, method(q), direction), expected[n]) << q;
  }
  engine_.lend_file(nullptr);
}

// ---------------------------------------------------------------------------
// Runs of candidates and the ends of a section.

// Each answer by the path is asked of a lent mapping of the file too, whose
// marker scans run over memory instead of through the reader.
class SearchRuns : public SearchFixture {
 protected:
  std::vector<Line> search(std::string_view query, SearchMethod method) {
    const auto by_path = SearchFixture::search(query, method);
    const auto mapped = MappedFile::map(*path_, 1 << 20);
    engine_.lend_file(mapped.get());
    EXPECT_EQ(SearchFixture::search(query, method), by_path) << query;
    engine_.lend_file(nullptr);
    return by_path;
  }
};

// The record the binary search first finds equal to the query in prefix mode,
// when the records [first, last] are the run of candidates; markers.size() if
// none. Used only to show that the section variations below reach both ends
// of the run.
std::size_t first_hit(const std::vector<std::uint64_t>& markers, std::uint64_t end,
                      std::size_t first, std::size_t last) {
  std::uint64_t lo = markers.front();
  std::uint64_t hi = end;
  while (lo < hi) {
    const std::uint64_t mid = (lo + hi) / 2;
    const auto i = static_cast<std::size_t>(std::upper_bound(markers.begin(), markers.end(), mid) -
                                            markers.begin() - 1);
    if (i < first) {
      lo = i + 1 < markers.size() ? markers[i + 1] : end;
    } else if (i > last) {
      hi = markers[i];
    } else {
      return i;
    }
  }
  return markers.size();
}

TEST_F(SearchRuns, EqualHeadwordsAreAllListedWhereverTheSearchLands) {
  const std::vector<Line> expected = {title("Exact Search", "bank"),
                                      head("BANK"),
                                      tr("Kreditinstitut"),
                                      head("Bank"),
                                      tr("Sitzbank"),
                                      head("bank"),
                                      tr("Ufer"),
                                      tr("Damm")};
  bool landed_on_first = false;
  bool landed_on_last = false;
  for (int before = 0; before <= 8; ++before) {
    for (int after = 0; after <= 8; ++after) {
      Pairs pairs = {{"bank", "Ufer"},           {"Bank", "Sitzbank"}, {"ban", "Bann"},
                     {"BANK", "Kreditinstitut"}, {"bank", "Damm"},     {"bar", "Bar"}};
      for (int i = 0; i < before; ++i) pairs.push_back({"a" + std::to_string(i), "x"});
      for (int i = 0; i < after; ++i) pairs.push_back({"z" + std::to_string(i), "y"});
      const auto bytes = compile_utf8(pairs);
      use(bytes);
      // The fillers "a<i>" and "ban" come before the run BANK, Bank, bank.
      const auto first = static_cast<std::size_t>(before) + 1;
      const std::size_t hit =
          first_hit(record_markers(bytes, 1), section_of(bytes, 1).end, first, first + 2);
      landed_on_first = landed_on_first || hit == first;
      landed_on_last = landed_on_last || hit == first + 2;
      EXPECT_EQ(search("bank", SearchMethod::kExact), expected)
          << before << " before, " << after << " after";
    }
  }
  EXPECT_TRUE(landed_on_first);
  EXPECT_TRUE(landed_on_last);
}

TEST_F(SearchRuns, QueriesOutsideTheSectionListOnlyTheTitle) {
  // Stored records are plain, so prefix list 2 ends right before section 1;
  // it holds a record-like text there that a walk back or a scan reaching
  // before the section would list.
  CompileOptions options = plain_options();
  options.prefixes2 = "\xFF\x05House";
  const auto bytes =
      compile_utf8({{"house", "Haus"}, {"house-boat", "Hausboot"}, {"kite", "Drachen"}}, options);
  ASSERT_EQ(bytes[section_of(bytes, 1).start - 8], kMarker);
  use(bytes);
  for (SearchMethod method : {SearchMethod::kExact, SearchMethod::kExtended}) {
    const std::string name = method == SearchMethod::kExact ? "Exact Search" : "Extended Search";
    EXPECT_EQ(search("abc", method), (std::vector<Line>{title(name, "abc")}));
    EXPECT_EQ(search("zulu", method), (std::vector<Line>{title(name, "zulu")}));
  }
  EXPECT_EQ(search("house", SearchMethod::kExtended),
            (std::vector<Line>{title("Extended Search", "house"), head("house"), tr("Haus"),
                               head("house-boat"), tr("Hausboot")}));
}

TEST_F(SearchRuns, SectionOfOnlyItsTerminalMarkerIsNeverProbed) {
  use(compile_utf8({}));
  EXPECT_EQ(search("a", SearchMethod::kExtended), (std::vector<Line>{title("Extended Search", "a")}));

  // A section whose length covers only its first byte: a probe there would
  // find the real first record, and a browse listing would then set the
  // position to it.
  auto bytes = compile_utf8({{"alpha", "A"}, {"bravo", "B"}}, plain_options());
  set_u32(bytes, header_field::kSection1Length, 1);
  use(bytes);
  EXPECT_EQ(search("alpha", SearchMethod::kExact), (std::vector<Line>{title("Exact Search", "alpha")}));
  state_.browse_page_size = 10;
  EXPECT_EQ(search("alpha", SearchMethod::kBrowse), std::vector<Line>{});
  EXPECT_EQ(state_.browse_position, -1);
}

// ---------------------------------------------------------------------------
// Phrase and Full Search: one pass per piece of the prefix list.

class SearchPrefixLists : public SearchFixture {
 protected:
  void SetUp() override {
    use(compile_utf8(kPhrases));
    // Searches of direction 1 must not take this list.
    prefixes_.list[1] = u"x";
  }

  std::vector<Line> expected(std::string_view method, std::string_view query,
                             const std::vector<std::string>& headwords) {
    std::map<std::string, std::string> translation(kPhrases.begin(), kPhrases.end());
    std::vector<Line> lines = {title(method, query)};
    for (const auto& h : headwords) {
      lines.push_back(head(h));
      lines.push_back(tr(translation.at(h)));
    }
    return lines;
  }

  static inline const Pairs kPhrases = {
      {"go", "gehen"},
      {"to go", "zum Mitnehmen"},
      {"go on", "weitermachen"},
      {"to go on", "fortfahren"},
      {"à go", "weg"},
      {"x", "1"},
      {"a;bx", "2"},
      {"cx", "3"},
      {"dx", "4"},
      {"ax", "5"},
      {"bx", "6"},
      {"b,cx", "7"},
      {"c;dx", "8"},
  };
};

TEST_F(SearchPrefixLists, PhrasePassesFollowThePiecesInListOrder) {
  struct Case {
    std::u16string list;
    std::string query;
    std::vector<std::string> found;
  };
  const std::vector<Case> cases = {
      {u",to ", "go", {"go", "to go"}},
      {u"to ,", "go", {"to go", "go"}},
      {u"to ;", "go", {"to go", "go"}},
      {u"to ", "go", {"to go"}},
      {u"", "go", {"go"}},
      {u"\u00e0 ,", "go", {"à go", "go"}},
      // The first comma splits even after a semicolon; the rest then splits
      // at its semicolon.
      {u"a;b,c;d", "x", {"a;bx", "cx", "dx"}},
      // An item given twice runs once; a list is bounded in items and bytes.
      {u",to ,,to ", "go", {"go", "to go"}},
      {std::u16string(100000, u',') + u"to ", "go", {"go"}},
      // Cut at 1024 bytes: the empty item after 2000 blanks is not reached.
      {u"to ," + std::u16string(2000, u' ') + u",", "go", {"to go"}},
  };
  for (const auto& c : cases) {
    prefixes_.list[0] = c.list;
    EXPECT_EQ(search(c.query, SearchMethod::kPhrase), expected("Phrase Search", c.query, c.found))
        << to_utf8(c.list);
  }
}

TEST_F(SearchPrefixLists, DirectionTwoTakesItsOwnList) {
  prefixes_.list[0] = u"x";
  prefixes_.list[1] = u"zum ,";
  EXPECT_EQ(
      search("Mitnehmen", SearchMethod::kPhrase, 2),
      (std::vector<Line>{title("Phrase Search", "Mitnehmen"), head("zum Mitnehmen"), tr("to go")}));
}

TEST_F(SearchPrefixLists, FullSearchMatchesWholeWordsInEveryPass) {
  prefixes_.list[0] = u",to ";
  EXPECT_EQ(search("go", SearchMethod::kFull),
            expected("Full Search", "go", {"go", "go on", "to go", "to go on"}));
}

TEST_F(SearchPrefixLists, ExactAndExtendedIgnoreTheList) {
  prefixes_.list[0] = u"to ";
  EXPECT_EQ(search("go", SearchMethod::kExact), expected("Exact Search", "go", {"go"}));
  EXPECT_EQ(search("go", SearchMethod::kExtended), expected("Extended Search", "go", {"go", "go on"}));
}

// ---------------------------------------------------------------------------
// A query that folds to nothing in prefix mode equals every headword there.

class SearchWholeSection : public SearchFixture {
 protected:
  void SetUp() override {
    use(compile_utf8({{"-", "Strich"},
                      {"--", "Doppelstrich"},
                      {"'", "Apostroph"},
                      {"-'zebra", "Zebra mit Strich"},
                      {"-zz", "zz"},
                      {"-'zzz", "Ende"},
                      {"apple", "Apfel"},
                      {"house", "Haus"},
                      {"zoo", "Zoo"}}));
  }
  // Index order: ' - -- apple house -'zebra zoo -zz -'zzz
  const std::vector<Line> dash_matches_ = {
      head("-"),       tr("Strich"),           head("--"),    tr("Doppelstrich"),
      head("-'zebra"), tr("Zebra mit Strich"), head("-'zzz"), tr("Ende")};
};

TEST_F(SearchWholeSection, ListsOnlyWhatFullModeAccepts) {
  std::vector<Line> expected = {title("Extended Search", "-")};
  expected.insert(expected.end(), dash_matches_.begin(), dash_matches_.end());
  EXPECT_EQ(search("-", SearchMethod::kExtended), expected);
  EXPECT_EQ(search("-", SearchMethod::kExact),
            (std::vector<Line>{title("Exact Search", "-"), head("-"), tr("Strich")}));
  EXPECT_EQ(search("'", SearchMethod::kExact),
            (std::vector<Line>{title("Exact Search", "'"), head("'"), tr("Apostroph")}));
}

TEST_F(SearchWholeSection, CancelEndsThePassAndListsNothingInLaterPasses) {
  prefixes_.list[0] = u",-";  // the query itself, then "--", which lists more
  const std::vector<Line> both = search("-", SearchMethod::kFull);
  ASSERT_GT(both.size(), 1 + dash_matches_.size());

  // Cancel as the first record's last translation arrives.
  sink_.cancel_after(3, &cancel_);
  EXPECT_EQ(search("-", SearchMethod::kFull),
            (std::vector<Line>{title("Full Search", "-"), head("-"), tr("Strich")}));
}

// ---------------------------------------------------------------------------
// What a lookup leaves in the shared state.

class SearchLookupState : public SearchFixture {};

TEST_F(SearchLookupState, LookupUnsetsBrowsePositionAndCountsTheTranslationsListed) {
  use(compile_utf8(kWords));
  state_.browse_position = 1234;
  state_.result_count = 99;
  state_.result_limit = 1;  // left from browsing; must not cut the list
  EXPECT_EQ(search("house", SearchMethod::kExtended).size(), 7u);
  EXPECT_EQ(state_.result_count, 3u);
  EXPECT_EQ(state_.result_limit, 0xFFFFFFFFu);
  EXPECT_EQ(state_.browse_position, -1);

  state_.browse_position = 1234;
  search("zulu", SearchMethod::kExact);
  EXPECT_EQ(state_.browse_position, -1);

  path_.reset();
  state_.browse_position = 1234;
  search("house", SearchMethod::kExact);
  EXPECT_EQ(state_.browse_position, -1);
}

// ---------------------------------------------------------------------------
// Files that cannot be searched.

class SearchErrors : public SearchFixture {};

TEST_F(SearchErrors, MissingOrForeignFilesGiveAnErrorLine) {
  EXPECT_EQ(search("house", SearchMethod::kExact),
            (std::vector<Line>{title("Exact Search", "house"), error_line(101)}));
  EXPECT_EQ(search("house", SearchMethod::kBrowse), std::vector<Line>{error_line(101)});

  path_ = file_path("missing.lex");
  EXPECT_EQ(search("house", SearchMethod::kExtended),
            (std::vector<Line>{title("Extended Search", "house"), error_line(102, *path_)}));

  for (std::size_t at : {0u, 14u}) {  // the magic's first byte, its NUL
    auto bytes = compile_utf8(kWords);
    bytes[at] = ' ';
    const std::string p = use(bytes, "foreign.lex");
    EXPECT_EQ(search("house", SearchMethod::kExact),
              (std::vector<Line>{title("Exact Search", "house"), error_line(103, p)}))
        << at;
  }
}

// Too short for its header, tables or sections (an empty file, a broken
// download): error 103, not a dictionary in which nothing matches.
TEST_F(SearchErrors, AFileCutShortIsNotADictionary) {
  const auto good = compile_utf8(kWords);
  auto tables_gone = good;
  set_u32(tables_gone, header_field::kTable1Offset, static_cast<std::uint32_t>(good.size() + 100));
  const std::vector<std::vector<std::uint8_t>> damaged = {
      {},                                      // empty
      {good.begin(), good.begin() + 40},       // the magic, not the offsets
      {good.begin(), good.end() - 10},         // the sections cut
      tables_gone};
  for (std::size_t i = 0; i < damaged.size(); ++i) {
    const std::string p = use(damaged[i], "cut.lex");
    EXPECT_EQ(search("house", SearchMethod::kExact),
              (std::vector<Line>{title("Exact Search", "house"), error_line(103, p)}))
        << i;
  }
}

TEST_F(SearchErrors, FormatNumberIsNotChecked) {
  CompileOptions options = en_de();
  options.format_number = 260;
  use(compile_utf8(kWords, options));
  EXPECT_EQ(search("house", SearchMethod::kExact),
            (std::vector<Line>{title("Exact Search", "house"), head("House"), tr("Haus")}));
}

// ---------------------------------------------------------------------------
// Malformed sections and damaged files: every lookup ends, inside the file.

class SearchRobustness : public SearchFixture {};

TEST_F(SearchRobustness, SectionsWithoutTerminalMarkerEnd) {
  HangGuard guard(std::chrono::seconds(30));
  const auto bytes =
      compile_utf8({{"alpha", "A"}, {"bravo", "B"}, {"charlie", "C"}}, plain_options());
  // Section 1 one byte short: its end lies on charlie's last reference byte.
  auto short_section = bytes;
  const Section s1 = section_of(bytes, 1);
  set_u32(short_section, header_field::kSection1Length,
          static_cast<std::uint32_t>(s1.end - s1.start));
  use(short_section);
  EXPECT_EQ(search("zulu", SearchMethod::kExact), (std::vector<Line>{title("Exact Search", "zulu")}));
  EXPECT_EQ(search("charlie", SearchMethod::kExact),
            (std::vector<Line>{title("Exact Search", "charlie"), head("charlie"), tr("C")}));
  EXPECT_EQ(search("alpha", SearchMethod::kExact),
            (std::vector<Line>{title("Exact Search", "alpha"), head("alpha"), tr("A")}));

}

constexpr SearchMethod kAllMethods[] = {SearchMethod::kExact, SearchMethod::kExtended,
                                        SearchMethod::kPhrase, SearchMethod::kFull,
                                        SearchMethod::kBrowse};

TEST_F(SearchRobustness, SectionStartingAtTheFileStartEnds) {
  HangGuard guard(std::chrono::seconds(30));
  use(section_one_from_file_start());
  state_.browse_page_size = 4;
  for (const SearchMethod method : kAllMethods) {
    for (const char* query : {"-", "alpha", "bravo", "charlie", "zulu"}) {
      const auto lines = search(query, method);
      if (method != SearchMethod::kBrowse) {
        ASSERT_FALSE(lines.empty());
        EXPECT_EQ(lines[0].colour, static_cast<int>(ColourCode::kTitle));
      }
    }
  }
}

TEST_F(SearchRobustness, DamagedDictionariesNeverCrashOrHang) {
  Pairs pairs;
  for (const auto& p : kWords) pairs.push_back(p);
  for (const char* w : {"-", "--", "'", "-'zz", "bank", "Bank", "go", "to go", "zoo", "a", "ab"}) {
    pairs.push_back({w, std::string(w) + " (de)"});
  }
  const auto good = compile_utf8(pairs);
  prefixes_.list = {u",to ;a", u"der ,"};
  state_.browse_page_size = 5;
  std::mt19937 rng(20240611);
  HangGuard guard(std::chrono::seconds(30));

  auto exercise = [&](const std::vector<std::uint8_t>& bytes, const std::string& what) {
    guard.step(what);
    use(bytes);
    for (int direction = 1; direction <= 2; ++direction) {
      for (const SearchMethod method : kAllMethods) {
        for (const char* query : {"house", "-", "zz", "a", "Haus"}) {
          const auto lines = search(query, method, direction);
          if (method != SearchMethod::kBrowse) {
            ASSERT_FALSE(lines.empty()) << what;
            EXPECT_EQ(lines[0].colour, static_cast<int>(ColourCode::kTitle)) << what;
          }
        }
        for (int m = 0; m <= 5; ++m) move(static_cast<BrowseMove>(m), direction);
      }
      state_.browse_position = static_cast<std::int64_t>(rng() % (bytes.size() + 16));
      for (int m = 0; m <= 5; ++m) move(static_cast<BrowseMove>(m), direction);
    }
  };

  const auto size = static_cast<std::uint32_t>(good.size());
  for (std::uint32_t field :
       {header_field::kTable1Offset, header_field::kTable2Offset, header_field::kTable1Length,
        header_field::kSection1Offset, header_field::kSection2Offset, header_field::kSection1Length,
        header_field::kSection2Length}) {
    for (std::uint32_t value :
         {0u, 1u, size / 2, size - 1, size, size + 5000, 0x7FFFFFFFu, 0xFFFFFFFFu}) {
      auto bytes = good;
      set_u32(bytes, field, value);
      exercise(bytes, "header byte " + std::to_string(field) + " = " + std::to_string(value));
    }
  }
  for (int round = 0; round < 300; ++round) {
    auto bytes = good;
    std::string what = "round " + std::to_string(round) + ":";
    for (int k = 1 + static_cast<int>(rng() % 6); k > 0; --k) {
      const std::size_t at = 15 + rng() % (bytes.size() - 15);
      const std::uint32_t pick = rng() % 3;
      bytes[at] = static_cast<std::uint8_t>(pick == 0 ? 0xFF : pick == 1 ? 0 : rng());
      what += " " + std::to_string(at) + "=" + std::to_string(bytes[at]);
    }
    exercise(bytes, what);
  }
}

}  // namespace
}  // namespace lexvia::testing
