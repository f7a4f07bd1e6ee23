#include "dictd_reader.h"

#include <unistd.h>
#include <zlib.h>

#include <algorithm>
#include <memory>

#include "dict/file_source.h"

namespace lexvia {

namespace {

int dictd_digit(char c) {
  if (c >= 'A' && c <= 'Z') return c - 'A';
  if (c >= 'a' && c <= 'z') return c - 'a' + 26;
  if (c >= '0' && c <= '9') return c - '0' + 52;
  if (c == '+') return 62;
  if (c == '/') return 63;
  return -1;
}

// A merged run of body bytes that index entries name: [begin, end) of the
// inflated body, kept at `kept` in DictdDatabase::body.
struct Run {
  std::size_t begin, end, kept;
};

// The runs that cover every entry, in body order, each byte once.
std::variant<std::vector<Run>, DictdError> runs_of(const std::vector<DictdEntry>& entries,
                                                    const std::string& index_path) {
  std::vector<std::pair<std::size_t, std::size_t>> spans;
  spans.reserve(entries.size());
  for (std::size_t i = 0; i < entries.size(); ++i) {
    const DictdEntry& e = entries[i];
    if (e.length > kLargestDictdDefinition) {
      return DictdError{index_path + ": entry " + std::to_string(i + 1) + " names a definition of " +
                        std::to_string(e.length) + " bytes; one may have at most " +
                        std::to_string(kLargestDictdDefinition)};
    }
    spans.emplace_back(e.offset, e.offset + e.length);
  }
  std::sort(spans.begin(), spans.end());
  std::vector<Run> runs;
  std::size_t kept = 0;
  for (const auto& [begin, end] : spans) {
    if (!runs.empty() && begin <= runs.back().end) {
      if (end > runs.back().end) {
        kept += end - runs.back().end;
        runs.back().end = end;
      }
    } else {
      runs.push_back({begin, end, kept});
      kept += end - begin;
    }
    if (kept > kLargestDictdBody) {
      return DictdError{index_path + ": the index names more than " +
                        std::to_string(kLargestDictdBody >> 20) +
                        " MiB of definitions, more than this tool imports"};
    }
  }
  return runs;
}

// Closes the gzip stream on every way out.
struct GzCloser {
  void operator()(gzFile_s* file) const { gzclose(file); }
};

// `compressed`: the file must be gzip (a .dict.dz); else plain text is read
// as it stands, as zlib does with a file that is not gzip. Keeps the bytes of
// `runs` in `body`.
std::optional<DictdError> inflate_runs(const std::string& path, bool compressed,
                                       const std::vector<Run>& runs, std::string& body) {
  std::string why;
  const int fd = open_regular_file(path, &why);
  if (fd < 0) return DictdError{"cannot open " + path + ": " + why};
  std::unique_ptr<gzFile_s, GzCloser> file(gzdopen(fd, "rb"));
  if (!file) {
    ::close(fd);
    return DictdError{"cannot open " + path};
  }
  gzbuffer(file.get(), 1 << 17);
  const auto stream_error = [&]() -> std::string {
    // zlib checks the stream's CRC and length at its end; a stream cut short
    // ends the reads without an error of its own, so the state is asked too.
    int code = Z_OK;
    const char* message = gzerror(file.get(), &code);
    std::string error = code != Z_OK && code != Z_STREAM_END ? std::string(message) : "";
    if (error.starts_with(path + ": ")) error.erase(0, path.size() + 2);  // zlib names the file
    if (error.empty() && compressed && gzdirect(file.get())) error = "not a gzip file";
    return error;
  };
  std::size_t total = runs.empty() ? 0 : runs.back().kept + (runs.back().end - runs.back().begin);
  body.resize(total);
  std::vector<char> skipped(1 << 16);
  std::size_t position = 0;  // in the inflated body
  // Reads `count` bytes to `out`, or past them when `out` is null; the
  // number read.
  const auto read = [&](char* out, std::size_t count) {
    std::size_t done = 0;
    while (done < count) {
      const auto want = static_cast<unsigned>(std::min<std::size_t>(count - done, 1u << 30));
      const int n = gzread(file.get(), out != nullptr ? out + done : skipped.data(),
                           out != nullptr ? want : std::min<unsigned>(want, 1u << 16));
      if (n <= 0) break;
      done += static_cast<std::size_t>(n);
    }
    position += done;
    return done;
  };
  for (const Run& run : runs) {
    const std::size_t gap = run.begin - position;
    const std::size_t length = run.end - run.begin;
    const bool reached = read(nullptr, gap) == gap && read(body.data() + run.kept, length) == length;
    if (!reached) {
      std::string error = stream_error();
      if (error.empty()) {
        error = "the index names bytes " + std::to_string(run.begin) + " to " +
                std::to_string(run.end) + ", past its end (" + std::to_string(position) + " bytes)";
      }
      return DictdError{path + ": " + error};
    }
  }
  // The rest is read for the check at the stream's end, but not without
  // bound: past what any dictionary holds after its last definition, the
  // bytes are no longer worth inflating.
  constexpr std::size_t kLargestTail = std::size_t{64} << 20;
  const std::size_t last = position;
  while (position - last <= kLargestTail && read(nullptr, std::size_t{1} << 16) > 0) {
  }
  if (const std::string error = stream_error(); !error.empty()) return DictdError{path + ": " + error};
  return std::nullopt;
}

}  // namespace

std::string_view DictdDatabase::definition(const DictdEntry& e) const {
  if (e.offset > body.size() || e.length > body.size() - e.offset) return {};
  return std::string_view(body).substr(e.offset, e.length);
}

std::optional<std::size_t> decode_dictd_number(std::string_view digits) {
  if (digits.empty() || digits.size() > 10) return std::nullopt;
  std::size_t value = 0;
  for (char c : digits) {
    const int d = dictd_digit(c);
    if (d < 0) return std::nullopt;
    value = value * 64 + static_cast<std::size_t>(d);
  }
  return value;
}

std::variant<std::vector<DictdEntry>, DictdError> parse_dictd_index(std::string_view text) {
  std::vector<DictdEntry> entries;
  std::size_t number = 0;
  while (!text.empty()) {
    ++number;
    const std::size_t eol = text.find('\n');
    std::string_view line = text.substr(0, eol);
    text.remove_prefix(eol == std::string_view::npos ? text.size() : eol + 1);
    if (!line.empty() && line.back() == '\r') line.remove_suffix(1);
    if (line.empty()) continue;
    const std::size_t tab1 = line.find('\t');
    const std::size_t tab2 = tab1 == std::string_view::npos ? tab1 : line.find('\t', tab1 + 1);
    if (tab2 == std::string_view::npos) {
      return DictdError{"index line " + std::to_string(number) + ": not KEY<TAB>OFFSET<TAB>LENGTH"};
    }
    auto offset = decode_dictd_number(line.substr(tab1 + 1, tab2 - tab1 - 1));
    auto length = decode_dictd_number(line.substr(tab2 + 1));
    if (!offset || !length) {
      return DictdError{"index line " + std::to_string(number) + ": bad offset or length"};
    }
    // Only the database's own entries ("00databaseinfo") are told by their
    // key; a million other keys would cost tens of megabytes for nothing.
    const std::string_view key = line.substr(0, tab1);
    entries.push_back({key.starts_with("00") ? std::string(key) : std::string(), *offset, *length});
  }
  return entries;
}

std::variant<DictdDatabase, DictdError> read_dictd_database(const std::string& base) {
  const std::string index_path = base + ".index";
  std::string why;
  auto index_text = read_whole_file(index_path, kLargestDictdIndex, &why);
  if (!index_text) return DictdError{"cannot read " + index_path + ": " + why};
  auto entries = parse_dictd_index(std::string_view(reinterpret_cast<const char*>(index_text->data()),
                                                    index_text->size()));
  index_text.reset();
  if (auto* e = std::get_if<DictdError>(&entries)) return DictdError{index_path + ": " + e->message};
  DictdDatabase db;
  db.entries = std::move(std::get<std::vector<DictdEntry>>(entries));
  auto runs = runs_of(db.entries, index_path);
  if (auto* e = std::get_if<DictdError>(&runs)) return *e;
  const auto& merged = std::get<std::vector<Run>>(runs);
  const bool compressed = ::access((base + ".dict.dz").c_str(), F_OK) == 0;
  const std::string body_path = compressed ? base + ".dict.dz" : base + ".dict";
  if (auto error = inflate_runs(body_path, compressed, merged, db.body)) return *error;
  // Each entry now points at the bytes kept for it.
  for (DictdEntry& e : db.entries) {
    const auto run = std::upper_bound(merged.begin(), merged.end(), e.offset,
                                      [](std::size_t offset, const Run& r) { return offset < r.begin; }) - 1;
    e.offset = run->kept + (e.offset - run->begin);
  }
  return db;
}

}  // namespace lexvia
