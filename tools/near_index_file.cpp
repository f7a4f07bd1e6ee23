#include "near_index_file.h"

#include <sys/stat.h>

#include <variant>

#include "dict_compiler.h"
#include "search/near_index.h"

namespace lexvia {

namespace {

// The slots of a table: its keys, the same for the written file and the
// one it is opened from.
NearIndexWritten written(const std::string& path, const NearIndex& index) {
  NearIndexWritten w{path};
  for (const Direction d : {Direction::kFrom1, Direction::kFrom2}) {
    w.keys[index_of(d)] = index.keys(d);
  }
  return w;
}

}  // namespace

std::variant<NearIndexWritten, std::string> write_near_index(
    const std::string& dictionary_path, FileSource& dictionary,
    const std::vector<std::string>& inputs) {
  const std::string path = near_index_path(dictionary_path);
  auto built = build_near_index(dictionary);
  if (auto* problem = std::get_if<std::string>(&built)) {
    return dictionary_path + ": no suggestion index made: " + *problem;
  }
  std::vector<std::string> kept = inputs;
  kept.push_back(dictionary_path);
  if (auto error = write_file_atomically(path, std::get<std::vector<std::uint8_t>>(built), kept)) {
    return *error;
  }
  std::string why;
  const std::unique_ptr<NearIndex> index = NearIndex::open(path, dictionary, &why);
  if (!index) return why;
  return written(path, *index);
}

std::optional<std::string> check_near_index(const std::string& dictionary_path,
                                            FileSource& dictionary) {
  const std::string path = near_index_path(dictionary_path);
  struct stat status {};
  if (lstat(path.c_str(), &status) != 0) return std::nullopt;  // none: suggestions walk
  std::string why;
  auto stored = read_whole_file(path, std::uint64_t{1} << 30, &why);
  if (!stored) return "suggestion index " + path + ": " + why;
  auto built = build_near_index(dictionary);
  if (auto* problem = std::get_if<std::string>(&built)) {
    return "suggestion index " + path + ": cannot be checked: " + *problem;
  }
  if (*stored != std::get<std::vector<std::uint8_t>>(built)) {
    return "suggestion index " + path +
           ": does not match the dictionary (write it again with lexvia-cli index)";
  }
  return std::nullopt;
}

}  // namespace lexvia
