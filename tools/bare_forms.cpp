// The bare forms of prefixed texts ("know" for "to know") that a two-way
// import adds where a database lacks the headword: see add_bare_forms.
#include <set>
#include <string_view>
#include <unordered_map>
#include <utility>

#include "dictd_import.h"
#include "search/collation.h"

namespace lexvia {

namespace {

// Windows-1252 letters: ASCII, Š Œ Ž š œ ž Ÿ, and À to ÿ without × and ÷.
bool is_letter(unsigned char c) {
  if ((c >= 'A' && c <= 'Z') || (c >= 'a' && c <= 'z')) return true;
  switch (c) {
    case 0x8A: case 0x8C: case 0x8E: case 0x9A: case 0x9C: case 0x9E: case 0x9F:
      return true;
    default:
      return c >= 0xC0 && c != 0xD7 && c != 0xF7;
  }
}

// Words that stand for an object to fill in ("to know about sg", "sich etw
// merken"): a text holding one is a pattern, not a headword.
bool is_placeholder(std::string_view word) {
  static const std::set<std::string_view> kPlaceholders = {
      "sg",     "sy",  "sb",   "sth",  "smb",  "smth",  "somebody", "something", "someone",
      "oneself", "one", "etw", "jmdn", "jmdm", "jmds", "jemanden", "jemandem",  "etwas"};
  return kPlaceholders.contains(word);
}

// "to and fro", "to all appearances", "adopt measures to", "insist that",
// "sich auf belaufen": the prefix was a preposition, or the text lost a
// word, when what is left opens with a function word or preposition or ends
// with an article, a conjunction or an infinitive marker.
bool opens_badly(std::string_view word) {
  static const std::set<std::string_view> kOpeners = {
      "a",   "an",  "the",  "and",  "or",   "to",  "all",  "my",  "your", "his", "her",
      "its", "our", "their", "this", "that", "some", "what", "me", "him",  "us",  "them",
      "at",  "by",  "in",   "on",   "of",   "for", "from", "with", "as",  "und", "oder",
      "der", "die", "das",  "den",  "dem",  "ein", "eine", "zu",  "zum", "zur", "auf",
      "am",  "im",  "mit",  "als", "aneinander", "aufeinander"};
  return kOpeners.contains(word);
}

bool ends_badly(std::string_view word) {
  static const std::set<std::string_view> kEnders = {
      "a",   "an",   "the", "and", "or",  "to",  "that", "than", "if",  "whether",
      "und", "oder", "der", "die", "das", "ein", "eine", "zu",   "dass", "ob"};
  return kEnders.contains(word);
}

bool is_clean_word(std::string_view word) {
  std::size_t letters = 0;
  for (std::size_t i = 0; i < word.size(); ++i) {
    const auto c = static_cast<unsigned char>(word[i]);
    if (is_letter(c)) {
      ++letters;
    } else if ((c != '-' && c != '\'') || i == 0 || i + 1 == word.size()) {
      return false;
    }
  }
  return letters >= 2 && !is_placeholder(word);
}

std::string folded(std::string_view text) { return fold_text(text, kFullMode); }

std::string& text_of(TextPair& pair, int side) { return side == 0 ? pair.first : pair.second; }
const std::string& text_of(const TextPair& pair, int side) {
  return side == 0 ? pair.first : pair.second;
}

// A prefixed text whose bare form the other database lacks, and how many
// pairs give it.
struct Candidate {
  std::string bare;
  std::size_t occurrences = 0;
};

}  // namespace

std::optional<std::string_view> strip_list_prefix(std::string_view text,
                                                  std::string_view prefix_list) {
  while (!prefix_list.empty()) {
    const std::size_t end = prefix_list.find_first_of(",;");
    const std::string_view item = prefix_list.substr(0, end);
    if (!item.empty() && text.size() > item.size() && text.starts_with(item)) {
      return text.substr(item.size());
    }
    if (end == std::string_view::npos) break;
    prefix_list.remove_prefix(end + 1);
  }
  return std::nullopt;
}

bool is_clean_headword(std::string_view text, std::size_t occurrences) {
  std::vector<std::string_view> words;
  for (std::size_t at = 0; at <= text.size();) {
    const std::size_t end = std::min(text.find(' ', at), text.size());
    words.push_back(text.substr(at, end - at));
    if (!is_clean_word(words.back())) return false;
    at = end + 1;
  }
  if (opens_badly(words.front()) || ends_badly(words.back())) return false;
  return words.size() == 1 || (words.size() <= 3 && occurrences >= 2);
}

void add_bare_forms(std::vector<TextPair>& pairs, const DatabaseHeadwords& headwords,
                    const std::array<std::string, 2>& prefix_lists, ImportReport& report) {
  const HeadwordEvidence* lacking_in[2] = {&headwords.forward, &headwords.backward};
  // Prefixed text -> its candidate, per side; few texts begin with a prefix.
  std::unordered_map<std::string, Candidate> candidates[2];
  for (const TextPair& pair : pairs) {
    for (int side = 0; side < 2; ++side) {
      const std::string& text = text_of(pair, side);
      auto bare = strip_list_prefix(text, prefix_lists[side]);
      if (!bare || lacking_in[side]->has(folded(*bare))) continue;
      Candidate& c = candidates[side][text];
      if (c.occurrences++ == 0) c.bare = *bare;
    }
  }
  // The accepted bare forms, folded -> whether a text of that side is one
  // already (then the headword is not gained, only its new translations).
  std::unordered_map<std::string, bool> present[2];
  for (int side = 0; side < 2; ++side) {
    for (auto it = candidates[side].begin(); it != candidates[side].end();) {
      if (is_clean_headword(it->second.bare, it->second.occurrences)) {
        present[side].emplace(folded(it->second.bare), false);
        ++it;
      } else {
        it = candidates[side].erase(it);
      }
    }
  }
  // The pairs that hold an accepted bare form already, so that none is
  // added twice.
  std::set<std::pair<std::string, std::string>> existing;
  for (const TextPair& pair : pairs) {
    for (int side = 0; side < 2; ++side) {
      auto it = present[side].find(folded(text_of(pair, side)));
      if (it == present[side].end()) continue;
      it->second = true;
      existing.emplace(pair.first, pair.second);
    }
  }
  std::set<std::string> gained[2];
  std::vector<std::pair<std::size_t, TextPair>> added;  // (after which pair, the pair)
  for (std::size_t i = 0; i < pairs.size(); ++i) {
    for (int side = 0; side < 2; ++side) {
      auto it = candidates[side].find(text_of(pairs[i], side));
      if (it == candidates[side].end()) continue;
      TextPair bare_pair = pairs[i];
      text_of(bare_pair, side) = it->second.bare;
      if (!existing.emplace(bare_pair.first, bare_pair.second).second) continue;
      const std::string key = folded(it->second.bare);
      if (!present[side].at(key)) gained[side].insert(key);
      ++report.bare_pairs[side];
      ++report.pairs;
      added.emplace_back(i, std::move(bare_pair));
    }
  }
  // Each added pair goes right after the one it came from, so it shares its
  // rank; filled in from the back, in place, as the list is large.
  std::size_t write = pairs.size() + added.size();
  std::size_t from = pairs.size();
  pairs.resize(write);
  for (std::size_t a = added.size(); a > 0;) {
    while (from > added[a - 1].first + 1) pairs[--write] = std::move(pairs[--from]);
    for (; a > 0 && added[a - 1].first + 1 == from; --a) {
      pairs[--write] = std::move(added[a - 1].second);
    }
  }
  for (int side = 0; side < 2; ++side) report.gained_headwords[side] = gained[side].size();
  for (std::size_t i = 0; i < pairs.size(); ++i) pairs[i].line = i + 1;
}

}  // namespace lexvia
