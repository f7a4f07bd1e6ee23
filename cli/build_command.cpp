#include <ext/stdio_filebuf.h>

#include <cstdio>
#include <iostream>
#include <memory>

#include "commands.h"
#include "compile_summary.h"
#include "dict/file_source.h"
#include "dict_compiler.h"
#include "pairs_reader.h"

namespace lexvia::cli {

namespace {

struct BuildArgs {
  std::string lang1, lang2, prefixes1, prefixes2, output, input;
  std::uint32_t format_number = 261;
  std::optional<std::uint32_t> pair_count;
  bool no_compress = false;
  bool transliterate = false;
  bool keep_control = false;
};

int fail(const std::string& message) {
  std::cerr << "lexvia-cli build: " << message << "\n";
  return 1;
}

int run_build(const BuildArgs& a) {
  PairsOptions reading;
  reading.transliterate = a.transliterate;
  reading.keep_control = a.keep_control;
  CompileOptions options;
  options.format_number = a.format_number;
  options.pair_count = a.pair_count;
  options.compress = !a.no_compress;
  struct Field {
    const std::string* utf8;
    std::string* out;
    const char* name;
  };
  for (const Field& f : {Field{&a.lang1, &options.language1, "--lang1"},
                         Field{&a.lang2, &options.language2, "--lang2"},
                         Field{&a.prefixes1, &options.prefixes1, "--prefixes1"},
                         Field{&a.prefixes2, &options.prefixes2, "--prefixes2"}}) {
    auto converted = utf8_to_cp1252_text(*f.utf8, reading);
    if (auto* e = std::get_if<PairsError>(&converted)) {
      return fail(std::string(f.name) + ": " + e->message);
    }
    *f.out = std::get<std::string>(converted);
  }

  // The file is opened as every input is (a FIFO or device is refused); the
  // buffer closes it.
  std::unique_ptr<__gnu_cxx::stdio_filebuf<char>> file;
  std::istream opened(nullptr);
  std::istream* in = &std::cin;
  if (a.input != "-") {
    std::string why;
    const int fd = open_regular_file(a.input, &why);
    if (fd < 0) return fail("cannot open " + a.input + ": " + why);
    file = std::make_unique<__gnu_cxx::stdio_filebuf<char>>(fd, std::ios::in | std::ios::binary,
                                                             std::size_t{1} << 16);
    opened.rdbuf(file.get());
    in = &opened;
  }
  auto pairs = read_pairs_tsv(*in, reading);
  if (auto* e = std::get_if<PairsError>(&pairs)) return fail(a.input + ": " + e->message);

  if (std::get<std::vector<TextPair>>(pairs).empty()) {
    return fail(a.input + ": no pairs (only blank lines and # comments): no dictionary written");
  }
  auto compiled = compile_dictionary(std::get<std::vector<TextPair>>(pairs), options);
  if (auto* e = std::get_if<CompileError>(&compiled)) return fail(a.input + ": " + e->message);
  const auto& dict = std::get<CompiledDictionary>(compiled);
  if (auto error = write_file_atomically(a.output, dict.bytes, {a.input})) return fail(*error);

  print_compile_summary(a.output, dict);
  return write_index_beside("build", a.output, dict, {a.input}) ? 0 : 1;
}

}  // namespace

void add_build_command(CLI::App& app, int& status) {
  auto args = std::make_shared<BuildArgs>();
  CLI::App* cmd = app.add_subcommand(
      "build",
      "Compile a UTF-8 TSV of translation pairs (language-1 text<TAB>language-2 text) "
      "into a dictionary file");
  cmd->add_option("--lang1", args->lang1, "Language 1 code, at most 3 characters")->required();
  cmd->add_option("--lang2", args->lang2, "Language 2 code, at most 3 characters")->required();
  // Below 261 the header reads refuse the file (error 103).
  cmd->add_option("--format-number", args->format_number,
                  "Format number stored in the header, 261 or more")
      ->check(CLI::Range(std::uint32_t{261}, std::uint32_t{0xFFFFFFFF}))
      ->capture_default_str();
  cmd->add_option("--prefixes1", args->prefixes1,
                  "Default prefix list for searches from language 1 (items separated by , or ;)");
  cmd->add_option("--prefixes2", args->prefixes2,
                  "Default prefix list for searches from language 2");
  cmd->add_option("--pair-count", args->pair_count,
                  "Expression pair count shown to users (default: the distinct pairs)");
  cmd->add_flag("--no-compress", args->no_compress,
                "Store headwords plain: empty substitution tables, except the one escape entry a "
                "text holding the byte 0xFF (y with diaeresis) needs");
  cmd->add_flag("--transliterate", args->transliterate,
                "Replace characters without a Windows-1252 form (see docs/transliteration.md) "
                "instead of failing");
  cmd->add_flag("--keep-control-characters", args->keep_control,
                "Keep control characters (such as ESC or a stray CR) in the texts instead of "
                "refusing the line");
  cmd->add_option("-o,--output", args->output, "Dictionary file to write")->required();
  cmd->add_option("PAIRS.tsv", args->input,
                  "Input pairs, UTF-8 TSV, lines of at most 16384 bytes; - for standard input")
      ->required();
  cmd->callback([args, &status] {
    status = within_memory("build", "compiling " + args->input, [&] { return run_build(*args); });
  });
}

}  // namespace lexvia::cli
