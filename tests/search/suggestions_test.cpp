#include "search/suggestions.h"

#include <gtest/gtest.h>
#include <unistd.h>

#include <filesystem>

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
  EXPECT_EQ(suggest_headwords(path, Direction::kFrom1, "hosue", 2),
            (std::vector<std::string>{"hose", "house"}));
  EXPECT_TRUE(suggest_headwords(path + ".missing", Direction::kFrom1, "hosue").empty());
  std::filesystem::remove(path);
}

}  // namespace
}  // namespace lexvia
