#include <cstdio>
#include <iostream>

#include "commands.h"
#include "compile_summary.h"
#include "dict/cp1252.h"
#include "dict_compiler.h"
#include "dictd_import.h"
#include "pairs_reader.h"

namespace lexvia::cli {

namespace {

struct ImportArgs {
  std::string lang1, lang2, output, db1;
  std::optional<std::string> reverse, prefixes1, prefixes2, tsv;
  bool transliterate = false;
  bool report = false;
};

int fail(const std::string& message) {
  std::cerr << "lexvia-cli import-dictd: " << message << "\n";
  return 1;
}

// A prefix list given in UTF-8, or the language's default.
std::variant<std::string, PairsError> prefix_list(const std::optional<std::string>& given,
                                                  const std::string& language) {
  if (!given) return default_prefix_list(language);
  return utf8_to_cp1252_text(*given, PairsOptions{});
}

int run_import(const ImportArgs& a) {
  CompileOptions options;
  options.language1 = a.lang1;
  options.language2 = a.lang2;
  auto list1 = prefix_list(a.prefixes1, a.lang1);
  auto list2 = prefix_list(a.prefixes2, a.lang2);
  if (auto* e = std::get_if<PairsError>(&list1)) return fail("--prefixes1: " + e->message);
  if (auto* e = std::get_if<PairsError>(&list2)) return fail("--prefixes2: " + e->message);
  options.prefixes1 = std::get<std::string>(list1);
  options.prefixes2 = std::get<std::string>(list2);

  ImportReport report;
  const ImportSide side{a.lang1, a.lang2, a.transliterate, {options.prefixes1, options.prefixes2}};
  auto imported = import_dictd_dictionary(a.db1, a.reverse, side, report);
  if (auto* e = std::get_if<DictdError>(&imported)) return fail(e->message);
  const std::vector<TextPair> pairs = std::move(std::get<std::vector<TextPair>>(imported));
  if (pairs.empty()) return fail(a.db1 + ": no pairs could be taken from the databases");
  // The files read, which no output may replace.
  std::vector<std::string> inputs;
  for (const std::string* base : {&a.db1, a.reverse ? &*a.reverse : nullptr}) {
    if (base == nullptr) continue;
    for (const char* extension : {".index", ".dict.dz", ".dict"}) inputs.push_back(*base + extension);
  }
  if (a.tsv) {
    // The pairs as `build` reads them, to be looked at or edited and rebuilt.
    std::string text;
    for (const TextPair& p : pairs) {
      text += cp1252_to_utf8(p.first) + '\t' + cp1252_to_utf8(p.second) + '\n';
    }
    if (auto error = write_file_atomically(
            *a.tsv, std::vector<std::uint8_t>(text.begin(), text.end()), inputs)) {
      return fail(*error);
    }
  }
  auto compiled = compile_dictionary(pairs, options);
  if (auto* e = std::get_if<CompileError>(&compiled)) return fail(e->message);
  const auto& dict = std::get<CompiledDictionary>(compiled);
  if (a.tsv) inputs.push_back(*a.tsv);
  if (auto error = write_file_atomically(a.output, dict.bytes, inputs)) return fail(*error);

  print_compile_summary(a.output, dict);
  if (!write_index_beside("import-dictd", a.output, dict, inputs)) return 1;
  std::printf("definitions read: %zu\n", report.entries);
  if (a.report) {
    std::printf("pairs extracted: %zu (%zu merged as duplicates)\n", report.pairs,
                report.pairs - dict.distinct_pairs);
    for (const auto& [reason, count] : report.skipped) {
      std::printf("skipped: %zu %s\n", count, reason.c_str());
    }
    for (const auto& [rule, count] : report.mended) {
      std::printf("mended: %zu %s\n", count, rule.c_str());
    }
    if (a.reverse) {
      std::printf("listed first: %zu pairs both databases give\n", report.confirmed);
      // A headword one database lacks, found by its bare form ("know" for
      // "to know") in the other.
      for (int d = 0; d < 2; ++d) {
        std::printf("bare forms, direction %d: %zu headwords gained, %zu pairs added\n", d + 1,
                    report.gained_headwords[d], report.bare_pairs[d]);
      }
    }
  }
  return 0;
}

}  // namespace

void add_import_command(CLI::App& app, int& status) {
  auto args = std::make_shared<ImportArgs>();
  CLI::App* cmd = app.add_subcommand(
      "import-dictd",
      "Build a dictionary from dictd databases (such as Debian's FreeDict packages): DB1 "
      "translates language 1 to 2, the optional --reverse DB2 language 2 to 1");
  cmd->add_option("--lang1", args->lang1, "Language 1 code, at most 3 characters")->required();
  cmd->add_option("--lang2", args->lang2, "Language 2 code, at most 3 characters")->required();
  cmd->add_option("--reverse", args->reverse,
                  "Base path of a database translating language 2 to language 1; its pairs are "
                  "merged in");
  cmd->add_flag("--transliterate", args->transliterate,
                "Replace characters without a Windows-1252 form instead of skipping the entry");
  cmd->add_option("--prefixes1", args->prefixes1,
                  "Prefix list for searches from language 1 (default: the language's own, "
                  "e.g. \",to \" for en)");
  cmd->add_option("--prefixes2", args->prefixes2, "Prefix list for searches from language 2");
  cmd->add_flag("--report", args->report,
                "Also print what was skipped and why, how often each text rule mended a text, "
                "and the headwords each direction gained from bare forms (\"know\" for "
                "\"to know\")");
  cmd->add_option("--tsv", args->tsv,
                  "Also write the pairs, in the order they are compiled, as a UTF-8 TSV that "
                  "build reads");
  cmd->add_option("-o,--output", args->output, "Dictionary file to write")->required();
  cmd->add_option("DB1", args->db1,
                  "Base path of the database (BASE.index and BASE.dict.dz), e.g. "
                  "/usr/share/dictd/freedict-eng-deu")
      ->required();
  cmd->callback([args, &status] {
    status = within_memory("import-dictd", "importing " + args->db1, [&] { return run_import(*args); });
  });
}

}  // namespace lexvia::cli
