// info, verify, dump and index: the commands that read a dictionary file back.
#include <cstdio>
#include <iostream>

#include "commands.h"
#include "dict/cp1252.h"
#include "dict/file_source.h"
#include "dict_checker.h"
#include "dict_dump.h"
#include "near_index_file.h"
#include "compile_summary.h"
#include "search/near_index.h"
#include "search/hunspell_forms.h"

namespace lexvia::cli {

namespace {

int fail(const std::string& command, const std::string& message) {
  std::cerr << "lexvia-cli " << command << ": " << message << "\n";
  return 1;
}

// Every offset of the format is 32 bits wide.
constexpr std::uint64_t kLargestDictionary = std::uint64_t{1} << 32;

std::string utf8(const std::string& cp1252) { return cp1252_to_utf8(cp1252); }

int run_info(const std::string& path) {
  std::string why;
  auto bytes = read_whole_file(path, kLargestDictionary, &why);
  if (!bytes) return fail("info", "cannot read " + path + ": " + why);
  auto read = read_dictionary_info(*bytes);
  if (auto* e = std::get_if<InfoError>(&read)) return fail("info", path + ": " + e->message);
  const auto& info = std::get<DictionaryInfo>(read);
  const Header& h = info.header;
  std::printf("file: %s (%llu bytes)\n", path.c_str(),
              static_cast<unsigned long long>(info.file_size));
  std::printf("format number: %u\n", h.format_number);
  std::printf("language 1: %s\nlanguage 2: %s\n", utf8(h.language[0]).c_str(),
              utf8(h.language[1]).c_str());
  std::printf("direction 1: %s \u00bb %s\ndirection 2: %s \u00bb %s\n", utf8(h.language[0]).c_str(),
              utf8(h.language[1]).c_str(), utf8(h.language[1]).c_str(),
              utf8(h.language[0]).c_str());
  std::printf("expression pairs: %u\n", h.pair_count);
  for (int n = 0; n < 2; ++n) {
    const auto& list = info.prefix_list[n];
    std::printf("prefix list %d: offset %u, %s\n", n + 1, h.prefix_list_offset[n],
                list ? ("\"" + utf8(*list) + "\"").c_str() : "(unreadable)");
  }
  for (int n = 0; n < 2; ++n) {
    std::printf("substitution table %d: offset %u, %u bytes, %zu entries\n", n + 1,
                h.table_offset[n], h.table_length[n], info.table_entries[n]);
  }
  for (int n = 0; n < 2; ++n) {
    std::printf("index section %d: offset %u, %u bytes, %zu records\n", n + 1, h.section_offset[n],
                h.section_length[n], info.records[n]);
  }
  // Which Hunspell dictionary a miss of each direction asks for base forms.
  const HunspellForms forms(hunspell_folder());
  for (int n = 0; n < 2; ++n) {
    const std::string code = utf8(h.language[n]);
    const auto files = forms.files_for(h.language[n]);
    const std::string served =
        files ? "Hunspell " + files->dic : "none, no Hunspell dictionary installed for this language";
    std::printf("word forms, direction %d (%s): %s\n", n + 1, code.c_str(), served.c_str());
  }
  MemoryFile file(std::move(*bytes));
  const std::string near_path = near_index_path(path);
  const std::unique_ptr<NearIndex> near = NearIndex::open(near_path, file, &why);
  if (near) {
    print_index_line({near_path, {near->keys(Direction::kFrom1), near->keys(Direction::kFrom2)}});
  } else {
    std::printf("suggestion index: none, suggestions walk the section (%s)\n", why.c_str());
  }
  return 0;
}

int run_verify(const std::string& path) {
  std::string why;
  auto bytes = read_whole_file(path, kLargestDictionary, &why);
  if (!bytes) return fail("verify", "cannot read " + path + ": " + why);
  VerifyReport report = verify_dictionary(*bytes);
  if (report.ok()) {
    MemoryFile file(std::move(*bytes));
    if (auto fault = check_near_index(path, file)) report.faults.push_back(*fault);
  }
  if (report.ok()) {
    std::printf("%s: OK (%zu + %zu records)\n", path.c_str(), report.records[0], report.records[1]);
    return 0;
  }
  std::printf("%s: %zu fault(s)\n", path.c_str(), report.faults.size());
  for (const auto& fault : report.faults) std::printf("  %s\n", fault.c_str());
  return 1;
}

int run_dump(const std::string& path, int direction) {
  std::string why;
  auto file = PosixFile::open(path, &why);
  if (!file) return fail("dump", "cannot open " + path + ": " + why);
  std::string line;
  auto error = dump_dictionary(*file, static_cast<Direction>(direction), [&](std::string_view head, auto translation) {
    line.assign(head);
    line += '\t';
    if (translation) line += *translation;
    line += '\n';
    std::fputs(cp1252_to_utf8(line).c_str(), stdout);
  });
  if (error) return fail("dump", path + ": " + *error);
  return 0;
}

int run_index(const std::string& path) {
  auto file = MappedFile::map(path, kLargestDictionary);
  if (!file) {
    return fail("index", "cannot read " + path +
                             ": not a regular, non-empty file of at most 4 GiB, or unreadable");
  }
  // An index of a damaged file would index its damage.
  if (!verify_dictionary(file->in_memory()).ok()) {
    return fail("index", path + ": not a sound dictionary (lexvia-cli verify lists its faults)");
  }
  auto written = write_near_index(path, *file);
  if (auto* error = std::get_if<std::string>(&written)) return fail("index", *error);
  print_index_line(std::get<NearIndexWritten>(written));
  return 0;
}

}  // namespace

void add_index_command(CLI::App& app, int& status) {
  auto path = std::make_shared<std::string>();
  CLI::App* cmd = app.add_subcommand(
      "index",
      "Write the suggestion index beside a dictionary (DICT.near), as build and import-dictd "
      "do: \"Did you mean\" then probes it instead of walking the section");
  cmd->add_option("DICT", *path, "Dictionary file")->required();
  cmd->callback([path, &status] { status = run_index(*path); });
}

void add_info_command(CLI::App& app, int& status) {
  auto path = std::make_shared<std::string>();
  CLI::App* cmd = app.add_subcommand(
      "info", "Show the header fields, record counts, tables, prefix lists and direction labels");
  cmd->add_option("DICT", *path, "Dictionary file")->required();
  cmd->callback([path, &status] { status = run_info(*path); });
}

void add_verify_command(CLI::App& app, int& status) {
  auto path = std::make_shared<std::string>();
  CLI::App* cmd = app.add_subcommand(
      "verify",
      "Check every rule of the file format; exit 0 when all hold, else 1 with each "
      "fault listed");
  cmd->add_option("DICT", *path, "Dictionary file")->required();
  cmd->callback([path, &status] { status = run_verify(*path); });
}

void add_dump_command(CLI::App& app, int& status) {
  auto path = std::make_shared<std::string>();
  auto direction = std::make_shared<int>(1);
  CLI::App* cmd = app.add_subcommand(
      "dump", "Print headword<TAB>translation (UTF-8) for every reference, in index order");
  cmd->add_option("DICT", *path, "Dictionary file")->required();
  cmd->add_option("--direction", *direction, "1: language 1 to 2; 2: language 2 to 1")
      ->check(CLI::IsMember({1, 2}))
      ->capture_default_str();
  cmd->callback([path, direction, &status] { status = run_dump(*path, *direction); });
}

}  // namespace lexvia::cli
