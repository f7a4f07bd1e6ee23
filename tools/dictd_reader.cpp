#include "dictd_reader.h"

#include <zlib.h>

#include <algorithm>
#include <fstream>
#include <sstream>

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

std::optional<std::string> read_text_file(const std::string& path) {
  std::ifstream in(path, std::ios::binary);
  if (!in) return std::nullopt;
  std::ostringstream text;
  text << in.rdbuf();
  return std::move(text).str();
}

// `compressed`: the file must be gzip (a .dict.dz); else plain text is read
// as it stands, as zlib does with a file that is not gzip.
std::variant<std::string, DictdError> read_gzip_file(const std::string& path, bool compressed) {
  gzFile file = gzopen(path.c_str(), "rb");
  if (file == nullptr) return DictdError{"cannot open " + path};
  gzbuffer(file, 1 << 17);
  std::string body;
  // The gzip trailer gives the uncompressed size (of a one-member file, as
  // dictzip writes): reserving it spares the doubling copies of a body of a
  // hundred megabytes. A wrong or hostile value only costs a growth later,
  // and the reserve is bounded.
  if (std::ifstream raw(path, std::ios::binary | std::ios::ate); raw) {
    const std::streamoff size = raw.tellg();
    unsigned char trailer[4] = {};
    if (size > 18 && raw.seekg(size - 4) && raw.read(reinterpret_cast<char*>(trailer), 4)) {
      const std::size_t expected = trailer[0] | (trailer[1] << 8) | (trailer[2] << 16) |
                                   (std::size_t{trailer[3]} << 24);
      body.reserve(std::min<std::size_t>(expected, std::size_t{1} << 30));
    }
  }
  char chunk[1 << 16];
  int n;
  while ((n = gzread(file, chunk, sizeof chunk)) > 0)
    body.append(chunk, static_cast<std::size_t>(n));
  // zlib checks the stream's CRC and length at its end; a stream cut short
  // ends the reads without an error of its own, so the state is asked too.
  int code = Z_OK;
  const char* message = gzerror(file, &code);
  std::string error = n < 0 || (code != Z_OK && code != Z_STREAM_END) ? std::string(message)
                                                                        : std::string();
  if (error.starts_with(path + ": ")) error.erase(0, path.size() + 2);  // zlib names the file
  if (error.empty() && compressed && gzdirect(file)) error = "not a gzip file";
  gzclose(file);
  if (!error.empty()) return DictdError{path + ": " + error};
  return body;
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
  auto index_text = read_text_file(base + ".index");
  if (!index_text) return DictdError{"cannot read " + base + ".index"};
  auto entries = parse_dictd_index(*index_text);
  if (auto* e = std::get_if<DictdError>(&entries))
    return DictdError{base + ".index: " + e->message};
  DictdDatabase db;
  db.entries = std::move(std::get<std::vector<DictdEntry>>(entries));
  std::ifstream dz(base + ".dict.dz");
  const std::string body_path = dz ? base + ".dict.dz" : base + ".dict";
  auto body = read_gzip_file(body_path, static_cast<bool>(dz));
  if (auto* e = std::get_if<DictdError>(&body)) return *e;
  db.body = std::move(std::get<std::string>(body));
  // A body cut short would lose the entries past its end without a word.
  for (const DictdEntry& e : db.entries) {
    if (e.offset > db.body.size() || e.length > db.body.size() - e.offset) {
      return DictdError{body_path + ": the index names bytes " + std::to_string(e.offset) + " to " +
                        std::to_string(e.offset + e.length) + ", past its end (" +
                        std::to_string(db.body.size()) + " bytes)"};
    }
  }
  return db;
}

}  // namespace lexvia
