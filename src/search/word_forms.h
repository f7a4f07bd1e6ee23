// Word forms: the base forms of an inflected word (Hauses → Haus), which a
// lookup that finds nothing by Exact or Extended Search shows instead. The
// engine asks through this interface so that the core needs no morphology
// library; the programs lend it a HunspellForms.
#pragma once

#include <string>
#include <string_view>
#include <vector>

namespace lexvia {

class WordForms {
 public:
  virtual ~WordForms() = default;
  // The base forms of `word` (Windows-1252) in the language of the header
  // code `language` ("en", "de", "hu"), best first, as Windows-1252; empty
  // for a language it knows nothing of. Safe to call from any thread.
  virtual std::vector<std::string> base_forms(std::string_view language,
                                              std::string_view word) = 0;
};

}  // namespace lexvia
