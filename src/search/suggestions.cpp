#include "search/suggestions.h"

#include <algorithm>
#include <cstdlib>

#include "search/collation.h"
#include "search/open_dictionary.h"
#include "search/section_walk.h"

namespace lexvia {

namespace {

// Records read before and after each probed place.
constexpr int kBefore = 4;
constexpr int kAfter = 12;

struct Candidate {
  std::uint64_t position;
  int distance;
  std::string text;
};

}  // namespace

int bounded_edit_distance(std::string_view a, std::string_view b, int bound) {
  const auto m = static_cast<int>(a.size());
  const auto n = static_cast<int>(b.size());
  if (std::abs(m - n) > bound) return bound + 1;
  // Three rows of the table: two back for a swap.
  std::vector<int> before(n + 1), previous(n + 1), row(n + 1);
  for (int j = 0; j <= n; ++j) previous[j] = j;
  for (int i = 1; i <= m; ++i) {
    row[0] = i;
    int smallest = row[0];
    for (int j = 1; j <= n; ++j) {
      const int cost = a[i - 1] == b[j - 1] ? 0 : 1;
      row[j] = std::min({previous[j] + 1, row[j - 1] + 1, previous[j - 1] + cost});
      if (i > 1 && j > 1 && a[i - 1] == b[j - 2] && a[i - 2] == b[j - 1]) {
        row[j] = std::min(row[j], before[j - 2] + 1);
      }
      smallest = std::min(smallest, row[j]);
    }
    if (smallest > bound) return bound + 1;
    std::swap(before, previous);
    std::swap(previous, row);
  }
  return std::min(previous[n], bound + 1);
}

std::vector<std::string> suggest_headwords(const DictionaryPath& path, Direction direction,
                                           std::string_view query, std::size_t most,
                                           FileSource* lent) {
  std::unique_ptr<MappedFile> mapping;
  if (lent == nullptr && path) {
    mapping = MappedFile::map(*path, MappedFile::kLargestDictionary);
    lent = mapping.get();  // null when it cannot be mapped: the path is read as always
  }
  WindowedReader index;
  WindowedReader translation;
  OpenDictionary dict(index, translation);
  if (dict.open(path, direction, lent) != OpenDictionary::Result::kOpen) return {};
  const std::string folded = fold_text(query, kFullMode);
  if (folded.empty() || most == 0) return {};

  std::vector<std::string> probes = {folded};
  for (std::size_t i = 0; i < folded.size(); ++i) {
    probes.push_back(folded.substr(0, i) + folded.substr(i + 1));
    if (i + 1 < folded.size()) {
      std::string swapped = folded;
      std::swap(swapped[i], swapped[i + 1]);
      probes.push_back(std::move(swapped));
    }
    // A beginning of at least half the word: shorter ones start runs too
    // long to find anything in the few records read.
    if (i > 0 && 2 * i >= folded.size()) probes.push_back(folded.substr(0, i));
  }

  std::vector<Candidate> found;
  std::vector<std::uint64_t> seen;
  DecodedText text;
  // The records around each probe's place, `before` it and `after`.
  const auto read_around = [&](const std::vector<std::string>& places, int before, int after) {
    for (std::uint64_t p : lower_bounds(index, dict, places)) {
      for (int back = 0; back < before; ++back) {
        const auto q = record_before(index, dict.section(), p);
        if (!q) break;
        p = *q;
      }
      for (int read = 0; read < before + after && p < dict.section().end;
           ++read, p = next_marker(index, p + 1)) {
        if (std::find(seen.begin(), seen.end(), p) != seen.end()) continue;
        seen.push_back(p);
        if (!decode_at(translation, p, dict.own(), text)) break;
        const int distance = bounded_edit_distance(folded, fold_text(text.view(), kFullMode), 2);
        if (distance >= 1 && distance <= 2)
          found.push_back({p, distance, std::string(text.view())});
      }
    }
  };
  read_around(probes, kBefore, kAfter);
  // Fewer than asked for one edit away: perhaps the first letter is wrong
  // or missing, which moves the word to another letter's part of the
  // section. Those parts are probed only then, since they cost a search each.
  if (std::count_if(found.begin(), found.end(), [](const Candidate& c) {
        return c.distance == 1;
      }) < static_cast<std::ptrdiff_t>(most)) {
    std::vector<std::string> first_letters;
    for (char letter = 'a'; letter <= 'z'; ++letter) {
      if (letter != folded[0]) first_letters.push_back(letter + folded.substr(1));
      first_letters.push_back(letter + folded);
    }
    // Such a word would stand right where its probe does.
    read_around(first_letters, 0, 2);
  }
  std::sort(found.begin(), found.end(), [](const Candidate& a, const Candidate& b) {
    return a.distance != b.distance ? a.distance < b.distance : a.position < b.position;
  });
  std::vector<std::string> suggestions;
  for (const Candidate& c : found) {
    if (suggestions.size() == most) break;
    if (std::find(suggestions.begin(), suggestions.end(), c.text) == suggestions.end()) {
      suggestions.push_back(c.text);
    }
  }
  return suggestions;
}

}  // namespace lexvia
