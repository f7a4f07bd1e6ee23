#include "substitution_builder.h"

#include <gtest/gtest.h>

#include <random>
#include <set>

#include "dict/decoder.h"
#include "dict/format.h"

namespace lexvia {
namespace {

std::vector<std::string> random_texts(std::mt19937& rng, std::size_t count, int alphabet_size) {
  std::vector<std::string> texts;
  for (std::size_t i = 0; i < count; ++i) {
    std::string t;
    for (std::size_t n = 1 + rng() % 30; t.size() < n;) {
      // Mostly a small alphabet, so pairs repeat; sometimes any byte but NUL.
      int b = rng() % 8 == 0 ? 1 + static_cast<int>(rng() % 255)
                             : 'a' + static_cast<int>(rng() % alphabet_size);
      t.push_back(static_cast<char>(b));
    }
    texts.push_back(t);
  }
  return texts;
}

// Checks everything the decoder and the record format need of a table.
void expect_decodes_back(const std::vector<std::string>& texts, const SubstitutionResult& r) {
  std::set<char> used;
  for (const auto& t : texts) used.insert(t.begin(), t.end());
  ASSERT_LE(r.entries.size(), kMaxEntries);
  for (const auto& e : r.entries) {
    EXPECT_NE(e.code, 0);
    EXPECT_NE(e.code, 0xFF);
    EXPECT_EQ(used.count(static_cast<char>(e.code)), 0u) << "code " << int{e.code} << " is text";
    EXPECT_LE(e.replacement.size(), kMaxReplacement);
    EXPECT_EQ(e.replacement.find('\0'), std::string::npos);
  }
  DecodingTable table;
  table.load(serialize_table(r.entries));
  ASSERT_EQ(r.compressed.size(), texts.size());
  for (std::size_t i = 0; i < texts.size(); ++i) {
    EXPECT_EQ(r.compressed[i].find('\0'), std::string::npos);
    EXPECT_EQ(r.compressed[i].find('\xFF'), std::string::npos);
    EXPECT_LE(r.compressed[i].size(), texts[i].size());
    ASSERT_EQ(expand(r.compressed[i], table), texts[i]);
  }
}

TEST(SubstitutionBuilder, EveryTextDecodesBackExactly) {
  std::mt19937 rng(1);
  for (int round = 0; round < 20; ++round) {
    auto texts = random_texts(rng, 300, 3 + round);
    auto r = build_substitution(texts, {});
    ASSERT_TRUE(r);
    expect_decodes_back(texts, *r);
  }
}

TEST(SubstitutionBuilder, MergesNestAndShortenRepetitiveTexts) {
  std::vector<std::string> texts(50, "abababababababab");
  auto r = build_substitution(texts, {});
  ASSERT_TRUE(r);
  expect_decodes_back(texts, *r);
  EXPECT_EQ(r->compressed.front().size(), 1u);  // ab -> x, xx -> y, yy -> z, zz -> w
  EXPECT_EQ(r->entries.size(), 4u);
}

TEST(SubstitutionBuilder, RespectsTheEntryBudgetAndTheFreeByteValues) {
  std::mt19937 rng(2);
  auto texts = random_texts(rng, 500, 10);
  SubstitutionOptions few;
  few.max_entries = 5;
  auto r = build_substitution(texts, few);
  ASSERT_TRUE(r);
  EXPECT_LE(r->entries.size(), 5u);
  expect_decodes_back(texts, *r);

  // Only two byte values are free: at most two merges can be made.
  std::string all;
  for (int b = 1; b < 255; ++b) {
    if (b != 7 && b != 9) all.push_back(static_cast<char>(b));
  }
  std::vector<std::string> dense = {all, all, "xyxyxyxyxy"};
  auto d = build_substitution(dense, {});
  ASSERT_TRUE(d);
  EXPECT_LE(d->entries.size(), 2u);
  expect_decodes_back(dense, *d);
}

TEST(SubstitutionBuilder, TheMarkerByteIsStoredThroughTheLastEntry) {
  std::vector<std::string> texts = {"\xFF", "ma\xFFtre ma\xFFtre", "plain"};
  for (bool compress : {true, false}) {
    SubstitutionOptions options;
    options.compress = compress;
    auto r = build_substitution(texts, options);
    ASSERT_TRUE(r);
    ASSERT_FALSE(r->entries.empty());
    EXPECT_EQ(r->entries.back().replacement, "\xFF");
    if (!compress) {
      EXPECT_EQ(r->entries.size(), 1u);
    }
    expect_decodes_back(texts, *r);
  }
  std::string every_byte;
  for (int b = 1; b < 256; ++b) every_byte.push_back(static_cast<char>(b));
  EXPECT_FALSE(build_substitution(std::vector<std::string>{every_byte}, {}));
}

TEST(SubstitutionBuilder, NoCompressionLeavesTextsAsTheyAre) {
  SubstitutionOptions options;
  options.compress = false;
  auto r = build_substitution(std::vector<std::string>{"aaaa", "aaaa"}, options);
  ASSERT_TRUE(r);
  EXPECT_TRUE(r->entries.empty());
  EXPECT_EQ(r->compressed[0], "aaaa");
}

}  // namespace
}  // namespace lexvia
