#include "search/hunspell_forms.h"

#include <fcntl.h>
#include <hunspell.hxx>
#include <sys/stat.h>
#include <unistd.h>

#include <algorithm>
#include <array>
#include <cctype>
#include <cerrno>
#include <cstring>
#include <utility>

#include "dict/cp1252.h"

namespace lexvia {

namespace {

struct NameRow {
  std::string_view code;
  std::array<std::string_view, 4> names;
};

// Two- and three-letter codes as dictionary headers give them, with the
// regions a Hunspell package most likely installs, the usual one first.
constexpr std::array<NameRow, 36> kNames = {{
    {"en", {"en_US", "en_GB", "en_AU", "en_CA"}}, {"eng", {"en_US", "en_GB", "en_AU", "en_CA"}},
    {"de", {"de_DE", "de_AT", "de_CH", "de"}},    {"deu", {"de_DE", "de_AT", "de_CH", "de"}},
    {"ger", {"de_DE", "de_AT", "de_CH", "de"}},   {"hu", {"hu_HU"}},
    {"hun", {"hu_HU"}},                           {"fr", {"fr_FR", "fr"}},
    {"fra", {"fr_FR", "fr"}},                     {"fre", {"fr_FR", "fr"}},
    {"es", {"es_ES", "es"}},                      {"spa", {"es_ES", "es"}},
    {"it", {"it_IT", "it"}},                      {"ita", {"it_IT", "it"}},
    {"nl", {"nl_NL", "nl"}},                      {"nld", {"nl_NL", "nl"}},
    {"dut", {"nl_NL", "nl"}},                     {"pt", {"pt_PT", "pt_BR", "pt"}},
    {"por", {"pt_PT", "pt_BR", "pt"}},            {"sv", {"sv_SE", "sv"}},
    {"swe", {"sv_SE", "sv"}},                     {"da", {"da_DK", "da"}},
    {"dan", {"da_DK", "da"}},                     {"no", {"nb_NO", "no_NO"}},
    {"nor", {"nb_NO", "no_NO"}},                  {"nb", {"nb_NO"}},
    {"nob", {"nb_NO"}},                           {"nn", {"nn_NO"}},
    {"nno", {"nn_NO"}},                           {"pl", {"pl_PL"}},
    {"ca", {"ca_ES", "ca"}},                      {"gd", {"gd_GB"}},
    {"br", {"br_FR"}},                            {"oc", {"oc_FR"}},
    {"af", {"af_ZA"}},                            {"sw", {"sw_TZ", "sw_KE"}},
}};

std::string lower(std::string_view text) {
  std::string out(text);
  for (char& c : out) c = static_cast<char>(std::tolower(static_cast<unsigned char>(c)));
  return out;
}

std::string upper(std::string_view text) {
  std::string out(text);
  for (char& c : out) c = static_cast<char>(std::toupper(static_cast<unsigned char>(c)));
  return out;
}

// A header code is at most three letters; anything else names no file.
bool plain_code(std::string_view code) {
  return !code.empty() && code.size() <= 3 &&
         std::all_of(code.begin(), code.end(),
                     [](char c) { return std::isalpha(static_cast<unsigned char>(c)) != 0; });
}

// Any kind of file: one that is no regular file is refused when it is
// loaded, with its name, rather than passed over as if none were installed.
bool exists(const std::string& path) {
  struct stat status {};
  return ::stat(path.c_str(), &status) == 0;
}

// An .aff or .dic file opened without blocking (a FIFO planted in the folder
// must not hang a lookup) and checked to be a regular file of bounded size.
class CheckedFile {
 public:
  explicit CheckedFile(const std::string& path) {
    fd_ = ::open(path.c_str(), O_RDONLY | O_NONBLOCK | O_CLOEXEC);
    if (fd_ < 0) {
      problem_ = path + ": cannot be opened (" + std::strerror(errno) + ")";
      return;
    }
    struct stat status {};
    if (::fstat(fd_, &status) != 0 || !S_ISREG(status.st_mode)) {
      problem_ = path + ": not a regular file";
    } else if (status.st_size > kLargestHunspellFile) {
      problem_ = path + ": larger than " + std::to_string(kLargestHunspellFile >> 20) +
                 " MiB, not a Hunspell dictionary";
    }
  }
  ~CheckedFile() {
    if (fd_ >= 0) ::close(fd_);
  }
  CheckedFile(const CheckedFile&) = delete;
  CheckedFile& operator=(const CheckedFile&) = delete;

  const std::string& problem() const { return problem_; }
  // Hunspell opens files by name: the name of the descriptor checked here,
  // so that the file it reads is the one checked, not one put in its place.
  std::string checked_name() const { return "/proc/self/fd/" + std::to_string(fd_); }

 private:
  int fd_ = -1;
  std::string problem_;
};

// The two encodings the installed dictionaries use. Others are refused
// rather than guessed at: a wrong guess would give wrong stems.
enum class Encoding { kUtf8, kLatin1, kOther };

Encoding encoding_of(std::string name) {
  name = upper(name);
  if (name == "UTF-8" || name == "UTF8") return Encoding::kUtf8;
  if (name == "ISO8859-1" || name == "ISO-8859-1" || name == "LATIN1") return Encoding::kLatin1;
  return Encoding::kOther;
}

// A Windows-1252 word in the dictionary's encoding; nothing when a letter
// has no place there (it cannot be in any word of that dictionary).
std::optional<std::string> to_dictionary(std::string_view word, Encoding encoding) {
  const std::u16string wide = cp1252_to_utf16(word);
  if (encoding == Encoding::kUtf8) return utf16_to_utf8(wide);
  std::string out;
  for (const char16_t unit : wide) {
    if (unit > 0xFF) return std::nullopt;
    out.push_back(static_cast<char>(unit));
  }
  return out;
}

// A stem back in Windows-1252; nothing when it holds a letter that code page
// lacks, since no headword can hold it either.
std::optional<std::string> from_dictionary(std::string_view stem, Encoding encoding) {
  std::u16string wide;
  if (encoding == Encoding::kUtf8) {
    wide = utf8_to_utf16(stem);
  } else {
    for (const char c : stem) wide.push_back(static_cast<unsigned char>(c));
  }
  bool lossy = false;
  std::string out = utf16_to_cp1252(wide, &lossy);
  if (lossy) return std::nullopt;
  return out;
}

}  // namespace

struct HunspellForms::Language {
  bool tried = false;
  std::unique_ptr<Hunspell> hunspell;
  Encoding encoding = Encoding::kOther;
};

std::vector<std::string> hunspell_names(std::string_view language) {
  if (!plain_code(language)) return {};
  const std::string code = lower(language);
  for (const NameRow& row : kNames) {
    if (row.code != code) continue;
    std::vector<std::string> names;
    for (const std::string_view name : row.names) {
      if (!name.empty()) names.emplace_back(name);
    }
    return names;
  }
  // A code the table lacks: the usual spelling of its own country, then the
  // bare code (as fr.aff is).
  return {code + "_" + upper(code), code};
}

std::string hunspell_folder(const char* environment_value) {
  if (environment_value != nullptr && *environment_value != '\0') return environment_value;
  return std::string(kSystemHunspellFolder);
}

HunspellForms::HunspellForms(std::string folder) : folder_(std::move(folder)) {
  if (!folder_.empty() && folder_.back() != '/') folder_.push_back('/');
}

HunspellForms::~HunspellForms() = default;

std::optional<HunspellFiles> HunspellForms::files_for(std::string_view language) const {
  for (const std::string& name : hunspell_names(language)) {
    HunspellFiles files{folder_ + name + ".aff", folder_ + name + ".dic"};
    if (exists(files.aff) && exists(files.dic)) return files;
  }
  return std::nullopt;
}

bool HunspellForms::loaded() const {
  std::lock_guard lock(mutex_);
  return std::any_of(languages_.begin(), languages_.end(),
                     [](const auto& entry) { return entry.second->hunspell != nullptr; });
}

std::vector<std::string> HunspellForms::problems() const {
  std::lock_guard lock(mutex_);
  return problems_;
}

std::vector<std::string> HunspellForms::take_new_problems() {
  std::lock_guard lock(mutex_);
  std::vector<std::string> fresh(problems_.begin() + static_cast<std::ptrdiff_t>(taken_),
                                 problems_.end());
  taken_ = problems_.size();
  return fresh;
}

HunspellForms::Language& HunspellForms::language_locked(std::string_view code) {
  const std::string key = lower(code);
  auto found = languages_.find(key);
  if (found == languages_.end()) {
    found = languages_.emplace(key, std::make_unique<Language>()).first;
  }
  Language& language = *found->second;
  if (language.tried) return language;
  language.tried = true;
  const std::optional<HunspellFiles> files = files_for(code);
  if (!files) return language;  // none installed: no word forms, and no complaint
  const CheckedFile aff(files->aff);
  const CheckedFile dic(files->dic);
  if (!aff.problem().empty() || !dic.problem().empty()) {
    problems_.push_back(!aff.problem().empty() ? aff.problem() : dic.problem());
    return language;
  }
  auto hunspell =
      std::make_unique<Hunspell>(aff.checked_name().c_str(), dic.checked_name().c_str());
  language.encoding = encoding_of(hunspell->get_dict_encoding());
  if (language.encoding == Encoding::kOther) {
    problems_.push_back(files->aff + ": its encoding " + hunspell->get_dict_encoding() +
                        " is not one of UTF-8 and ISO8859-1");
    return language;
  }
  language.hunspell = std::move(hunspell);
  return language;
}

std::vector<std::string> HunspellForms::base_forms(std::string_view language,
                                                   std::string_view word) {
  std::lock_guard lock(mutex_);
  Language& found = language_locked(language);
  if (!found.hunspell) return {};
  const std::optional<std::string> asked = to_dictionary(word, found.encoding);
  if (!asked) return {};
  std::vector<std::string> forms;
  for (const std::string& stem : found.hunspell->stem(*asked)) {
    std::optional<std::string> form = from_dictionary(stem, found.encoding);
    if (form && std::find(forms.begin(), forms.end(), *form) == forms.end()) {
      forms.push_back(std::move(*form));
    }
  }
  return forms;
}

}  // namespace lexvia
