// The translation direction. A dictionary holds its fields in pairs, one per
// language (codes, prefix lists, substitution tables, index sections), and a
// direction picks the pair's half of its source language.
#pragma once

#include <cstddef>

namespace lexvia {

// Numbered as the setting "Language From" stores it.
enum class Direction : int {
  kFrom1 = 1,  // language 1 to language 2
  kFrom2 = 2,  // language 2 to language 1
};

constexpr Direction other_direction(Direction d) {
  return d == Direction::kFrom1 ? Direction::kFrom2 : Direction::kFrom1;
}

// The half of a pair of fields that belongs to the direction's source
// language: 0 for language 1, 1 for language 2; the other language's is
// 1 - index_of(d).
constexpr std::size_t index_of(Direction d) { return d == Direction::kFrom2 ? 1 : 0; }

}  // namespace lexvia
