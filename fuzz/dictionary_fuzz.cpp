// Any bytes as a dictionary file: the checker, info, dump, the header reads of
// the dictionary information, lookups by every method and browse moves must
// end, in bounded time, with lines or nothing, never a crash.
#include "dict/dictionary_info.h"
#include "dict_checker.h"
#include "dict_dump.h"
#include "fuzz_support.h"
#include "search/search_engine.h"
#include "settings/dictionary_texts.h"

namespace {

class Prefixes final : public lexvia::PrefixListSource {
 public:
  explicit Prefixes(std::u16string list) : list_(std::move(list)) {}
  std::u16string get_prefix_list(lexvia::Direction) override { return list_; }

 private:
  std::u16string list_;
};

}  // namespace

extern "C" int LLVMFuzzerTestOneInput(const std::uint8_t* data, std::size_t size) {
  using namespace lexvia;
  fuzz::Input in(data, size);
  const std::string query = in.text(12);
  const int method = in.byte() % 6;  // 5 is no method at all
  const auto direction = static_cast<Direction>(1 + in.byte() % 2);
  const std::uint32_t page_size = in.byte() % 24;
  const std::string moves = in.text(6);
  const std::string_view file = in.rest();

  const std::span<const std::uint8_t> bytes(reinterpret_cast<const std::uint8_t*>(file.data()),
                                            file.size());
  (void)verify_dictionary(bytes);
  (void)read_dictionary_info(bytes);
  MemoryFile memory(std::vector<std::uint8_t>(bytes.begin(), bytes.end()));
  (void)dump_dictionary(memory, direction, [](std::string_view, auto) {});

  const std::string path = fuzz::scratch_path("dictionary.dic");
  fuzz::write_file(path, file);
  const DictionaryPath dict = path;
  fuzz::Lines lines;
  BuiltinStrings strings;
  DirectionLabels labels;
  build_direction_labels({dict, lines}, labels);
  (void)read_default_prefix_list({dict, lines}, static_cast<int>(direction));
  (void)dictionary_line(dict, strings);

  SearchState state;
  state.browse_page_size = page_size;
  CancelFlag cancel;
  WindowedReader index_reader, translation_reader;
  Prefixes prefixes(u",to ;x");
  SearchEngine engine({dict, state, cancel, index_reader, translation_reader, lines, prefixes});
  if (!query.empty()) engine.search_dictionary(query, static_cast<SearchMethod>(method == 5 ? 9 : method),
                                              direction);
  if (!query.empty()) engine.search_dictionary(query, SearchMethod::kBrowse, direction);
  for (char move : moves) {
    engine.browse_move(direction, static_cast<BrowseMove>(static_cast<std::uint8_t>(move) % 6));
  }
  (void)lines.lines();
  return 0;
}
