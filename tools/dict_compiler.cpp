#include "dict_compiler.h"

#include <fcntl.h>
#include <pthread.h>
#include <signal.h>
#include <sys/stat.h>
#include <unistd.h>

#include <algorithm>
#include <cerrno>
#include <cstdio>
#include <cstring>
#include <numeric>
#include <future>
#include <string_view>
#include <unordered_map>

#include "dict/coding.h"
#include "dict/format.h"
#include "search/collation.h"
#include "substitution_builder.h"

namespace lexvia {

namespace {

// The distinct texts of one language, each with the texts of the other
// language it is paired with. The texts are views of the caller's pairs,
// which outlive the compile: a large dictionary's texts are not copied.
struct Language {
  std::vector<std::string_view> texts;  // first-seen order
  std::vector<std::size_t> line;        // where each text first occurs
  std::vector<std::vector<std::uint32_t>> references;
  std::unordered_map<std::string_view, std::uint32_t> ids;

  std::uint32_t add(std::string_view text, std::size_t at) {
    auto [it, inserted] = ids.try_emplace(text, static_cast<std::uint32_t>(texts.size()));
    if (inserted) {
      texts.push_back(text);
      line.push_back(at);
      references.emplace_back();
    }
    return it->second;
  }
};

// Drops every later copy of a value, keeping the order of first copies.
void keep_first_of_each(std::vector<std::uint32_t>& values) {
  if (values.size() < 2) return;
  std::vector<std::pair<std::uint32_t, std::uint32_t>> sorted(values.size());
  for (std::size_t i = 0; i < values.size(); ++i) {
    sorted[i] = {values[i], static_cast<std::uint32_t>(i)};
  }
  std::sort(sorted.begin(), sorted.end());
  std::vector<char> keep(values.size(), 0);
  for (std::size_t i = 0; i < sorted.size(); ++i) {
    keep[sorted[i].second] = i == 0 || sorted[i].first != sorted[i - 1].first;
  }
  std::size_t out = 0;
  for (std::size_t i = 0; i < values.size(); ++i) {
    if (keep[i]) values[out++] = values[i];
  }
  values.resize(out);
}

// The order of an index section; see the file comment for the tie-breaks.
std::vector<std::uint32_t> index_order(const std::vector<std::string_view>& texts) {
  std::vector<std::string> keys;
  keys.reserve(texts.size());
  for (const auto& t : texts) keys.push_back(prefix_sort_key(t));
  std::vector<std::uint32_t> order(texts.size());
  std::iota(order.begin(), order.end(), 0);
  std::sort(order.begin(), order.end(), [&](std::uint32_t a, std::uint32_t b) {
    if (int c = keys[a].compare(keys[b]); c != 0) return c < 0;
    int c = collate_compare(fold_text(texts[a], kFullMode), fold_text(texts[b], kFullMode));
    if (c != 0) return c < 0;
    return collate_compare(texts[a], texts[b]) < 0;
  });
  return order;
}

std::string shown(std::string_view text) {
  return std::string(text.size() <= 40 ? text : text.substr(0, 40)) + (text.size() <= 40 ? "" : "...");
}

// One compiled language: its stored table, its records in index order and
// where each text's record starts within the section.
struct Section {
  std::vector<std::uint8_t> table;
  std::vector<std::uint32_t> order;
  std::vector<std::string> compressed;       // by text id
  std::vector<std::uint64_t> record_offset;  // by text id
  std::uint64_t length = 0;                  // including the terminal marker
};

std::variant<Section, CompileError> compile_language(const Language& lang, int n, bool compress) {
  const std::string which = "language " + std::to_string(n);
  for (std::size_t id = 0; id < lang.texts.size(); ++id) {
    if (lang.texts[id].find('\0') != std::string::npos) {
      return CompileError{"line " + std::to_string(lang.line[id]) + ": " + which +
                          " text holds a NUL character, which ends a text"};
    }
    if (lang.texts[id].size() > kMaxDecodedText) {
      return CompileError{"line " + std::to_string(lang.line[id]) + ": " + which + " text is " +
                          std::to_string(lang.texts[id].size()) + " bytes long; at most " +
                          std::to_string(kMaxDecodedText) + " fit"};
    }
  }
  SubstitutionOptions options;
  options.compress = compress;
  auto built = build_substitution(lang.texts, options);
  if (!built) {
    return CompileError{which +
                        " uses every byte value, so no code is left to store the byte 0xFF"};
  }
  Section s;
  s.table = serialize_table(built->entries);
  s.compressed = std::move(built->compressed);
  s.order = index_order(lang.texts);
  s.record_offset.resize(lang.texts.size());
  for (std::uint32_t id : s.order) {
    if (s.compressed[id].size() > kMaxCompressedHeadword) {
      return CompileError{"line " + std::to_string(lang.line[id]) + ": " + which + " text \"" +
                          shown(lang.texts[id]) + "\" takes " +
                          std::to_string(s.compressed[id].size()) +
                          " bytes compressed; a record holds at most 254"};
    }
    s.record_offset[id] = s.length;
    s.length += 2 + s.compressed[id].size() + kReferenceSize * lang.references[id].size();
  }
  s.length += 1;
  if (!s.order.empty() && s.record_offset[s.order.back()] > kMaxReference) {
    return CompileError{"index section " + std::to_string(n) + " is " + std::to_string(s.length) +
                        " bytes long; references reach only " + std::to_string(kMaxReference)};
  }
  return s;
}

void append_section(std::vector<std::uint8_t>& out, const Language& lang, const Section& own,
                    const Section& other) {
  for (std::uint32_t id : own.order) {
    out.push_back(kMarker);
    out.push_back(static_cast<std::uint8_t>(own.compressed[id].size()));
    out.insert(out.end(), own.compressed[id].begin(), own.compressed[id].end());
    for (std::uint32_t target : lang.references[id]) {
      std::uint8_t digits[kReferenceSize];
      put_reference(digits, static_cast<std::uint32_t>(other.record_offset[target]));
      out.insert(out.end(), digits, digits + kReferenceSize);
    }
  }
  out.push_back(kMarker);
}

// Before the costly part of a compile: every record but an index section's
// last must start within reach of a reference, and each takes at least 2
// bytes (marker and length) and 3 for each of its pairs.
// Whatever the order, the records before the last hold all texts but one
// and all pairs but the most-referenced text's.
std::optional<CompileError> check_section_reach(const Language (&lang)[2], std::size_t pairs) {
  for (int n = 0; n < 2; ++n) {
    const Language& language = lang[n];
    if (language.texts.empty()) continue;
    std::size_t most = 0;
    for (const auto& refs : language.references) most = std::max(most, refs.size());
    const std::uint64_t least = (language.texts.size() - 1) * 2 + (pairs - most) * kReferenceSize;
    if (least > kMaxReference) {
      return CompileError{"language " + std::to_string(n + 1) + " has " +
                          std::to_string(language.texts.size()) + " distinct texts in " +
                          std::to_string(pairs) + " distinct pairs; its index section would " +
                          "need at least " + std::to_string(least) +
                          " bytes before its last record, but references reach only " +
                          std::to_string(kMaxReference)};
    }
  }
  return std::nullopt;
}

std::optional<CompileError> check_options(const CompileOptions& o) {
  for (const auto* code : {&o.language1, &o.language2}) {
    if (code->size() > kMaxLanguageCode || code->find('\0') != std::string::npos) {
      return CompileError{"language code \"" + *code + "\" is longer than 3 characters"};
    }
  }
  for (const auto* list : {&o.prefixes1, &o.prefixes2}) {
    if (list->find('\0') != std::string::npos) {
      return CompileError{"a prefix list cannot hold a NUL character"};
    }
  }
  return std::nullopt;
}

}  // namespace

std::variant<CompiledDictionary, CompileError> compile_dictionary(
    const std::vector<TextPair>& pairs, const CompileOptions& options) {
  if (auto error = check_options(options)) return *error;

  Language lang[2];
  CompiledDictionary result;
  for (const auto& p : pairs) {
    std::uint32_t a = lang[0].add(p.first, p.line);
    std::uint32_t b = lang[1].add(p.second, p.line);
    lang[0].references[a].push_back(b);
    lang[1].references[b].push_back(a);
  }
  // A pair given twice is stored once, where it first came.
  for (auto& language : lang) {
    for (auto& refs : language.references) keep_first_of_each(refs);
  }
  for (const auto& refs : lang[0].references) result.distinct_pairs += refs.size();
  if (auto error = check_section_reach(lang, result.distinct_pairs)) return *error;

  // The two languages share nothing until they are written: language 2 is
  // compiled on a second thread (building a substitution table is most of a
  // large dictionary's compile time).
  Section sections[2];
  auto second = std::async(std::launch::async,
                           [&] { return compile_language(lang[1], 2, options.compress); });
  auto first = compile_language(lang[0], 1, options.compress);
  auto other = second.get();
  for (auto* compiled : {&first, &other}) {
    if (auto* error = std::get_if<CompileError>(compiled)) return *error;
  }
  sections[0] = std::move(std::get<Section>(first));
  sections[1] = std::move(std::get<Section>(other));

  Header h;
  h.format_number = options.format_number;
  h.language = {options.language1, options.language2};
  h.pair_count = options.pair_count.value_or(static_cast<std::uint32_t>(result.distinct_pairs));
  std::uint64_t at = kHeaderSize;
  h.prefix_list_offset[0] = static_cast<std::uint32_t>(at);
  at += options.prefixes1.size() + 1;
  h.prefix_list_offset[1] = static_cast<std::uint32_t>(at);
  at += options.prefixes2.size() + 1;
  for (int n = 0; n < 2; ++n) {
    h.table_offset[n] = static_cast<std::uint32_t>(at);
    h.table_length[n] = static_cast<std::uint16_t>(sections[n].table.size());
    at += sections[n].table.size();
  }
  for (int n = 0; n < 2; ++n) {
    h.section_offset[n] = static_cast<std::uint32_t>(at);
    h.section_length[n] = static_cast<std::uint32_t>(sections[n].length);
    at += sections[n].length;
  }
  if (at > UINT32_MAX) {
    return CompileError{"the dictionary would be " + std::to_string(at) +
                        " bytes long; offsets reach only 4 GiB"};
  }

  auto& out = result.bytes;
  out.reserve(static_cast<std::size_t>(at));
  HeaderBytes header = serialize_header(h);
  out.assign(header.begin(), header.end());
  for (const auto* list : {&options.prefixes1, &options.prefixes2}) {
    out.insert(out.end(), list->begin(), list->end());
    out.push_back(0);
  }
  for (const auto& s : sections) out.insert(out.end(), s.table.begin(), s.table.end());
  append_section(out, lang[0], sections[0], sections[1]);
  append_section(out, lang[1], sections[1], sections[0]);

  for (int n = 0; n < 2; ++n) {
    auto& stats = result.language[n];
    stats.records = lang[n].texts.size();
    stats.table_entries = sections[n].table.size() / kEntrySize;
    for (const auto& t : lang[n].texts) stats.plain_bytes += t.size();
    for (const auto& c : sections[n].compressed) stats.compressed_bytes += c.size();
  }
  return result;
}

namespace {

// What may stand at an output path: nothing yet, or a regular file the user
// may write that is none of the inputs. Sets `mode` to the mode a replaced
// file had, so that replacing it keeps it.
std::optional<std::string> check_output(const std::string& path,
                                        const std::vector<std::string>& inputs, mode_t& mode) {
  struct stat out {};
  if (::lstat(path.c_str(), &out) != 0) {
    if (errno == ENOENT) return std::nullopt;
    return "cannot write " + path + ": " + std::strerror(errno);
  }
  if (!S_ISREG(out.st_mode)) {
    return path + " exists and is not a regular file (a directory, device, FIFO or link): "
                  "not replaced";
  }
  for (const std::string& input : inputs) {
    struct stat in {};
    if (::stat(input.c_str(), &in) == 0 && in.st_dev == out.st_dev && in.st_ino == out.st_ino) {
      return path + " is also an input (" + input + "): not replaced";
    }
  }
  if (::access(path.c_str(), W_OK) != 0) {
    return path + " is not writable: " + std::strerror(errno) + "; not replaced";
  }
  mode = out.st_mode & 07777;
  return std::nullopt;
}

// Holds off Ctrl-C, SIGTERM and SIGHUP while the temporary file exists, so
// that none can leave it behind; a signal that came meanwhile takes effect
// once the output is complete and the mask is restored.
class SignalsHeld {
 public:
  SignalsHeld() {
    sigset_t held;
    sigemptyset(&held);
    for (int signal : {SIGINT, SIGTERM, SIGHUP}) sigaddset(&held, signal);
    ::pthread_sigmask(SIG_BLOCK, &held, &previous_);
  }
  ~SignalsHeld() { ::pthread_sigmask(SIG_SETMASK, &previous_, nullptr); }
  SignalsHeld(const SignalsHeld&) = delete;
  SignalsHeld& operator=(const SignalsHeld&) = delete;

 private:
  sigset_t previous_{};
};

}  // namespace

std::optional<std::string> write_file_atomically(const std::string& path,
                                                 const std::vector<std::uint8_t>& bytes,
                                                 const std::vector<std::string>& inputs) {
  // mkstemp makes the file private; a new file gets the mode a plain create
  // would, a replaced one keeps its own.
  const mode_t mask = ::umask(0);
  ::umask(mask);
  mode_t mode = 0666 & ~mask;
  if (auto refused = check_output(path, inputs, mode)) return refused;
  SignalsHeld held;
  std::string temp = path + ".tmp-XXXXXX";
  int fd = ::mkstemp(temp.data());
  if (fd < 0) return "cannot create " + temp + ": " + std::strerror(errno);
  std::size_t done = 0;
  while (done < bytes.size()) {
    ssize_t n = ::write(fd, bytes.data() + done, bytes.size() - done);
    if (n < 0 && errno == EINTR) continue;
    if (n <= 0) break;
    done += static_cast<std::size_t>(n);
  }
  const int saved = errno;
  ::fchmod(fd, mode);
  const bool written = done == bytes.size() && ::fsync(fd) == 0;
  const bool closed = ::close(fd) == 0;
  if (!written || !closed) {
    ::unlink(temp.c_str());
    return "cannot write " + path + ": " + std::strerror(written ? errno : saved);
  }
  if (::rename(temp.c_str(), path.c_str()) != 0) {
    const int e = errno;
    ::unlink(temp.c_str());
    return "cannot write " + path + ": " + std::strerror(e);
  }
  return std::nullopt;
}

}  // namespace lexvia
