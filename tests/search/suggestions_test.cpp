#include "search/suggestions.h"

#include <gtest/gtest.h>
#include <unistd.h>

#include <algorithm>
#include <filesystem>
#include <random>
#include <vector>

#include "tools/compile_helpers.h"

namespace lexvia {
namespace {

TEST(BoundedEditDistance, CountsInsertionsDeletionsChangesAndSwaps) {
  const struct {
    const char* a;
    const char* b;
    int distance;
  } cases[] = {{"house", "house", 0},  {"hosue", "house", 1}, {"hose", "house", 1},
               {"houses", "house", 1}, {"mouse", "house", 1}, {"hsoue", "house", 2},
               {"ho", "house", 3},     {"", "ab", 2},         {"abcdef", "badcfe", 3}};
  for (const auto& c : cases) {
    EXPECT_EQ(bounded_edit_distance(c.a, c.b, 2), std::min(c.distance, 3)) << c.a << " " << c.b;
    EXPECT_EQ(bounded_edit_distance(c.b, c.a, 2), std::min(c.distance, 3)) << c.b << " " << c.a;
  }
}

// The distance worked out in a band around the diagonal agrees with the
// whole table on texts short and long, near and far, for every bound.
TEST(BoundedEditDistance, AgreesWithTheWholeTable) {
  const auto whole_table = [](const std::string& a, const std::string& b) {
    std::vector<std::vector<int>> d(a.size() + 1, std::vector<int>(b.size() + 1));
    for (std::size_t i = 0; i <= a.size(); ++i) {
      for (std::size_t j = 0; j <= b.size(); ++j) {
        if (i == 0 || j == 0) {
          d[i][j] = static_cast<int>(i + j);
          continue;
        }
        d[i][j] = std::min({d[i - 1][j] + 1, d[i][j - 1] + 1,
                            d[i - 1][j - 1] + (a[i - 1] == b[j - 1] ? 0 : 1)});
        if (i > 1 && j > 1 && a[i - 1] == b[j - 2] && a[i - 2] == b[j - 1]) {
          d[i][j] = std::min(d[i][j], d[i - 2][j - 2] + 1);
        }
      }
    }
    return d[a.size()][b.size()];
  };
  std::mt19937 random(23);
  for (int n = 0; n < 3000; ++n) {
    // Few letters, so that near texts are common; some longer than the
    // band's cells kept on the stack.
    const auto text = [&random] {
      std::string t(random() % 4 == 0 ? 60 + random() % 20 : random() % 10, 'a');
      for (char& c : t) c = static_cast<char>('a' + random() % 3);
      return t;
    };
    const std::string a = text();
    std::string b = a;
    for (unsigned k = random() % 4; k > 0 && !b.empty(); --k) b[random() % b.size()] = 'b';
    if (random() % 3 == 0) b = text();
    const int expected = whole_table(a, b);
    for (int bound = 0; bound <= 3; ++bound) {
      ASSERT_EQ(bounded_edit_distance(a, b, bound), std::min(expected, bound + 1))
          << a << " " << b << " " << bound;
    }
  }
}

// One edit away before two, then the section's order; at most five; letter
// case and accents aside; typos at the start, the middle and the end.
TEST(SuggestHeadwords, NearestFirstThenInSortOrder) {
  const std::string path = (std::filesystem::temp_directory_path() /
                            ("lexvia-suggest-" + std::to_string(::getpid()) + ".dic"))
                               .string();
  testing::Pairs pairs;
  for (const char* word : {"house", "House-boat", "horse", "hose", "mouse", "houses", "hound",
                           "Caf\xE9", "cafeteria", "apple", "banana", "xylophone", "zebra"}) {
    pairs.push_back({word, "x"});
  }
  ASSERT_FALSE(write_file_atomically(path, testing::compile_or_fail(pairs, testing::en_de())));
  const struct {
    const char* query;
    std::vector<std::string> expected;
  } cases[] = {
      {"hosue", {"hose", "house", "horse", "houses", "mouse"}},
      {"hous", {"house", "horse", "hose", "hound", "houses"}},
      {"caffe", {"Caf\xE9"}},
      {"xylophnoe", {"xylophone"}},
      {"appel", {"apple"}},
      {"zzzzzz", {}},
  };
  // The path is mapped for the call; a lent file read through the system
  // (a batch's, when the file cannot be mapped) must answer alike.
  const auto lent = PosixFile::open(path);
  ASSERT_TRUE(lent);
  for (const auto& c : cases) {
    EXPECT_EQ(suggest_headwords(path, Direction::kFrom1, c.query), c.expected) << c.query;
    EXPECT_EQ(suggest_headwords(path, Direction::kFrom1, c.query, 5, lent.get()), c.expected)
        << c.query;
  }
  // A wrong or missing first letter moves the word to another part of the
  // section, which is probed for it.
  for (const char* query : {"ouse", "jouse"}) {
    const auto found = suggest_headwords(path, Direction::kFrom1, query);
    ASSERT_GE(found.size(), 2u) << query;
    EXPECT_EQ(std::vector<std::string>(found.begin(), found.begin() + 2),
              (std::vector<std::string>{"house", "mouse"}))
        << query;
  }
  // A batch's mapping with the tables kept from one miss to the next.
  const auto mapping = MappedFile::map(path, MappedFile::kLargestDictionary);
  ASSERT_TRUE(mapping);
  KeptSuggestionTables kept;
  for (int round = 0; round < 2; ++round) {
    for (const auto& c : cases) {
      EXPECT_EQ(suggest_headwords(path, Direction::kFrom1, c.query, 5, mapping.get(), &kept),
                c.expected)
          << c.query;
    }
  }
  EXPECT_EQ(suggest_headwords(path, Direction::kFrom1, "hosue", 2),
            (std::vector<std::string>{"hose", "house"}));
  EXPECT_TRUE(suggest_headwords(path + ".missing", Direction::kFrom1, "hosue").empty());
  std::filesystem::remove(path);
}

// Over a section of many records, the kept table of a mapped file finds
// what the walks over the file find, in both directions, the kept tables
// following the direction asked for.
TEST(SuggestHeadwords, KeptTablesFindWhatTheWalksFind) {
  const std::string path = (std::filesystem::temp_directory_path() /
                            ("lexvia-suggest-many-" + std::to_string(::getpid()) + ".dic"))
                               .string();
  testing::Pairs pairs;
  std::mt19937 random(2026);
  std::vector<std::string> words;
  for (int n = 0; n < 3000; ++n) {
    std::string word(4 + random() % 6, 'a');
    for (char& c : word) c = "aeioulnrst"[random() % 10];
    words.push_back(word);
    pairs.push_back({word, word + "en"});
  }
  ASSERT_FALSE(write_file_atomically(path, testing::compile_or_fail(pairs, testing::en_de())));
  const auto walked = PosixFile::open(path);
  const auto mapping = MappedFile::map(path, MappedFile::kLargestDictionary);
  ASSERT_TRUE(walked && mapping);
  KeptSuggestionTables kept;
  std::size_t suggested = 0;
  for (int n = 0; n < 300; ++n) {
    std::string query = words[random() % words.size()];
    query[random() % query.size()] = "aeioulnrstx"[random() % 11];
    if (n % 3 == 0) query.insert(random() % query.size(), 1, 'e');
    const Direction direction = n % 4 == 3 ? Direction::kFrom2 : Direction::kFrom1;
    if (direction == Direction::kFrom2) query += "en";
    const auto expected = suggest_headwords(path, direction, query, 5, walked.get());
    suggested += expected.size();
    EXPECT_EQ(suggest_headwords(path, direction, query, 5, mapping.get(), &kept), expected)
        << query;
  }
  EXPECT_GT(suggested, 300u);  // the queries are near enough to find some
  std::filesystem::remove(path);
}

}  // namespace
}  // namespace lexvia
