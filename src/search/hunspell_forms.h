// Word forms from Hunspell: one Hunspell dictionary per language, found in a
// folder of .aff/.dic pairs (the system's /usr/share/hunspell), loaded the
// first time a lookup of that language asks, and kept for the rest of the
// process. A hit never asks, so a lookup that finds its word costs nothing
// here. Kept apart from the core, which links nothing but the standard
// library.
//
// Threads: Hunspell is not safe to call from two threads at once, and the
// server serves clients on several, so every call holds one mutex.
#pragma once

#include <cstdlib>
#include <map>
#include <memory>
#include <mutex>
#include <optional>
#include <string>
#include <string_view>
#include <vector>

#include "search/word_forms.h"

class Hunspell;

namespace lexvia {

inline constexpr std::string_view kSystemHunspellFolder = "/usr/share/hunspell";
// An .aff or .dic file beyond this is not loaded: the largest installed
// (da_DK.dic) is 3.5 MB.
inline constexpr long long kLargestHunspellFile = 64ll << 20;

// The pair of files that serves a language.
struct HunspellFiles {
  std::string aff;
  std::string dic;
};

// The candidate dictionary names of a header code, in the order tried: "de"
// gives de_DE, de_AT, de_CH, de; "no" and "nb" give nb_NO. Letter case of
// the code aside.
std::vector<std::string> hunspell_names(std::string_view language);

// The folder that holds the Hunspell dictionaries: $LEXVIA_HUNSPELL_DIR when
// set and not empty (its value, read by default), else the system's.
std::string hunspell_folder(const char* environment_value = std::getenv("LEXVIA_HUNSPELL_DIR"));

class HunspellForms final : public WordForms {
 public:
  explicit HunspellForms(std::string folder);
  ~HunspellForms() override;
  HunspellForms(const HunspellForms&) = delete;
  HunspellForms& operator=(const HunspellForms&) = delete;

  std::vector<std::string> base_forms(std::string_view language, std::string_view word) override;

  // The pair of the folder that would serve the language (both names
  // present, whatever kind of file they name); nothing when none is
  // installed. Loads nothing.
  std::optional<HunspellFiles> files_for(std::string_view language) const;
  // Whether any Hunspell dictionary has been loaded.
  bool loaded() const;
  // Why each Hunspell dictionary that was tried could not be loaded, naming
  // the file, in the order tried.
  std::vector<std::string> problems() const;
  // Those not taken before: each is told to the user once.
  std::vector<std::string> take_new_problems();

 private:
  struct Language;
  Language& language_locked(std::string_view code);

  std::string folder_;
  mutable std::mutex mutex_;
  std::map<std::string, std::unique_ptr<Language>, std::less<>> languages_;
  std::vector<std::string> problems_;
  std::size_t taken_ = 0;  // of problems_
};

}  // namespace lexvia
