#include "search/near_index.h"

#include <gtest/gtest.h>
#include <unistd.h>

#include <algorithm>
#include <filesystem>
#include <random>
#include <set>
#include <vector>

#include "search/collation.h"
#include "search/suggestions.h"
#include "tools/compile_helpers.h"

namespace lexvia {
namespace {

namespace fs = std::filesystem;

class NearIndexTest : public ::testing::Test {
 protected:
  void SetUp() override {
    dic_ = (fs::temp_directory_path() / ("lexvia-near-" + std::to_string(::getpid()) + ".dic"))
               .string();
  }
  void TearDown() override {
    fs::remove(dic_);
    fs::remove(near_index_path(dic_));
  }
  void write_with_index(const testing::Pairs& pairs) {
    bytes_ = testing::compile_or_fail(pairs, testing::en_de());
    ASSERT_FALSE(write_file_atomically(dic_, bytes_));
    MemoryFile file(bytes_);
    auto built = build_near_index(file);
    ASSERT_TRUE(std::holds_alternative<std::vector<std::uint8_t>>(built));
    index_ = std::get<std::vector<std::uint8_t>>(built);
    ASSERT_FALSE(write_file_atomically(near_index_path(dic_), index_));
  }
  std::string dic_;
  std::vector<std::uint8_t> bytes_;
  std::vector<std::uint8_t> index_;
};

// Through the index, every headword one edit from the query is found (the
// first five of them in section order), and every suggestion is a headword
// within two edits: the index only names candidates, each of them measured.
TEST_F(NearIndexTest, FindsEveryHeadwordOneEditAwayAndOnlyNearOnes) {
  testing::Pairs pairs = {{"ice cream", "Eis"}, {"house", "Haus"}};
  std::mt19937 random(2027);
  std::set<std::string> words = {"house"};
  for (int n = 0; n < 3000; ++n) {
    std::string word(3 + random() % 7, 'a');
    for (char& c : word) c = "aeioulnrst"[random() % 10];
    words.insert(word);
    pairs.push_back({word, word + "en"});
  }
  write_with_index(pairs);
  std::vector<std::string> in_order(words.begin(), words.end());
  in_order.push_back("ice cream");
  std::sort(in_order.begin(), in_order.end(), [](const std::string& a, const std::string& b) {
    return prefix_sort_key(a) < prefix_sort_key(b);
  });
  const auto mapping = MappedFile::map(dic_, MappedFile::kLargestDictionary);
  ASSERT_TRUE(mapping);
  KeptSuggestionTables kept;
  std::size_t near = 0;
  for (int n = 0; n < 400; ++n) {
    std::string query = n == 0 ? "icecream" : *std::next(words.begin(), random() % words.size());
    if (n > 0) query[random() % query.size()] = "aeioulnrstx"[random() % 11];
    if (n % 3 == 0) query.insert(random() % query.size(), 1, 'e');
    if (words.count(query) != 0) continue;
    std::vector<std::string> one_edit;
    for (const std::string& w : in_order) {
      if (bounded_edit_distance(query, w, 2) == 1 && one_edit.size() < 5) one_edit.push_back(w);
    }
    near += one_edit.size();
    for (const bool batch : {false, true}) {
      const auto found =
          batch ? suggest_headwords(dic_, Direction::kFrom1, query, 5, mapping.get(), &kept)
                : suggest_headwords(dic_, Direction::kFrom1, query);
      const std::vector<std::string> first(found.begin(),
                                           found.begin() + std::min(found.size(), one_edit.size()));
      EXPECT_EQ(first, one_edit) << query;
      for (const std::string& s : found) {
        EXPECT_LE(bounded_edit_distance(query, s, 2), 2) << query << " " << s;
      }
    }
  }
  EXPECT_GT(near, 200u);  // the queries are near enough to find some
}

// An index that does not belong to the dictionary beside it, or is damaged,
// is refused with the reason; one whose tables are garbled opens, but still
// only ever leads to real headwords near the query.
TEST_F(NearIndexTest, AForeignOrDamagedIndexCostsSuggestionsButNeverGivesWrongOnes) {
  write_with_index({{"house", "Haus"}, {"mouse", "Maus"}, {"horse", "Pferd"}});
  const std::string near = near_index_path(dic_);
  MemoryFile dictionary(bytes_);
  const auto other = testing::compile_or_fail({{"house", "Haus"}, {"mouse", "Maus"}});
  MemoryFile other_file(other);
  std::string why;
  EXPECT_FALSE(NearIndex::open(near, other_file, &why));
  EXPECT_NE(why.find(near + ": made for another dictionary"), std::string::npos) << why;

  const struct {
    std::size_t keep;  // bytes kept of the index
    const char* reason;
  } cut[] = {{0, "cannot be read"}, {8, "not a suggestion index"}, {150, "damaged"}};
  for (const auto& c : cut) {
    ASSERT_FALSE(write_file_atomically(
        near, std::vector<std::uint8_t>(index_.begin(), index_.begin() + c.keep)));
    EXPECT_FALSE(NearIndex::open(near, dictionary, &why)) << c.keep;
    EXPECT_NE(why.find(c.reason), std::string::npos) << why;
    EXPECT_EQ(suggest_headwords(dic_, Direction::kFrom1, "hosue"),
              (std::vector<std::string>{"house", "horse", "mouse"}));
  }
  std::mt19937 random(5);
  for (int round = 0; round < 50; ++round) {
    std::vector<std::uint8_t> garbled = index_;
    for (std::size_t i = 144; i < garbled.size(); ++i) {
      if (random() % 3 == 0) garbled[i] = static_cast<std::uint8_t>(random());
    }
    ASSERT_FALSE(write_file_atomically(near, garbled));
    for (const std::string& s : suggest_headwords(dic_, Direction::kFrom1, "hosue")) {
      EXPECT_TRUE(s == "house" || s == "horse" || s == "mouse") << s;
    }
  }
}

}  // namespace
}  // namespace lexvia
