#include "dict/dictionary_info.h"

#include <algorithm>
#include <cstdint>
#include <memory>
#include <string_view>

#include "dict/cp1252.h"
#include "dict/file_source.h"
#include "dict/format.h"
#include "dict/windowed_reader.h"

namespace lexvia {

namespace {

constexpr std::size_t kMaxLabel = 15;

// An open dictionary and the reader that read its header. The file closes and
// the reader's buffer goes when this goes out of scope, on every path.
struct CheckedDictionary {
  std::unique_ptr<PosixFile> file;
  WindowedReader reader;
  Header header;
};

// Opens the selected dictionary and checks its header, reporting what the
// user can act on. False when the operation must stop; a read failure after a
// successful open stops it without a line.
bool open_checked(const InfoContext& context, CheckedDictionary& out) {
  if (!context.path) {
    context.errors.report_dictionary_error(DictionaryError::kNoDictionary, std::nullopt);
    return false;
  }
  out.file = PosixFile::open(*context.path);
  if (!out.file) {
    context.errors.report_dictionary_error(DictionaryError::kCannotOpen, context.path);
    return false;
  }
  out.reader.attach(out.file.get());
  const auto bytes = out.reader.span_at(0, kHeaderSize);
  const auto header = parse_header(bytes);
  if (!header) return false;
  out.header = *header;
  if (!has_magic(bytes) || out.header.format_number < kMinFormatNumber) {
    context.errors.report_dictionary_error(DictionaryError::kNotADictionary, context.path);
    return false;
  }
  return true;
}

std::u16string make_label(const std::u16string& from, const std::u16string& to) {
  std::u16string label = from + u" \u00BB " + to;
  if (label.size() > kMaxLabel) label.resize(kMaxLabel);
  return label;
}

// The window that reads a prefix list of `span` bytes at `start`: span + 1,
// but never past the end of the file, since no byte beyond it can belong to
// the list; malformed offsets then cannot ask for a buffer the file could
// not fill. Nothing when start lies outside the file or the window cannot be
// held at all.
std::optional<std::uint32_t> prefix_list_window(const PosixFile& file, std::uint64_t start,
                                                std::uint64_t span) {
  const std::int64_t size = file.size();
  if (size < 0 || start >= static_cast<std::uint64_t>(size)) return std::nullopt;
  const std::uint64_t window = std::min(span + 1, static_cast<std::uint64_t>(size) - start);
  if (window > UINT32_MAX - WindowedReader::kSlack) return std::nullopt;
  return static_cast<std::uint32_t>(window);
}

}  // namespace

void build_direction_labels(const InfoContext& context, DirectionLabels& labels) {
  CheckedDictionary dictionary;
  if (!open_checked(context, dictionary)) return;
  const std::u16string code1 = cp1252_to_utf16(dictionary.header.language[0]);
  const std::u16string code2 = cp1252_to_utf16(dictionary.header.language[1]);
  labels.label[0] = make_label(code1, code2);
  labels.label[1] = make_label(code2, code1);
}

const std::u16string& direction_label(const DirectionLabels& labels, Direction direction) {
  return labels.label[index_of(direction)];
}

std::optional<std::u16string> read_default_prefix_list(const InfoContext& context, int n) {
  CheckedDictionary dictionary;
  if (!open_checked(context, dictionary)) return std::nullopt;
  // List 1 runs up to list 2, list 2 up to the first substitution table.
  const Header& h = dictionary.header;
  const std::uint64_t start = h.prefix_list_offset[n == 2 ? 1 : 0];
  const std::uint64_t end = n == 2 ? h.table_offset[0] : h.prefix_list_offset[1];
  if (end < start) return std::nullopt;
  const auto window = prefix_list_window(*dictionary.file, start, end - start);
  if (!window) return std::nullopt;
  const auto bytes = dictionary.reader.span_at(start, *window);
  if (bytes.empty()) return std::nullopt;
  const auto text_end = std::find(bytes.begin(), bytes.end(), std::uint8_t{0});
  return cp1252_to_utf16(std::string_view(reinterpret_cast<const char*>(bytes.data()),
                                          static_cast<std::size_t>(text_end - bytes.begin())));
}

std::optional<DictionarySummary> read_dictionary_summary(const DictionaryPath& path) {
  if (!path) return std::nullopt;
  const auto file = PosixFile::open(*path);
  if (!file) return std::nullopt;
  WindowedReader reader(file.get());
  const auto bytes = reader.span_at(0, WindowedReader::kDefaultWindow);
  const auto parsed = parse_header(bytes);
  if (!parsed || !has_magic(bytes)) return std::nullopt;
  return DictionarySummary{parsed->language[0], parsed->language[1], parsed->pair_count};
}

}  // namespace lexvia
