#include <CLI/CLI.hpp>
#include <algorithm>
#include <exception>
#include <iostream>
#include <iterator>
#include <new>
#include <string_view>

#include "commands.h"

namespace {

using AddCommand = void (*)(CLI::App&, int&);

struct Command {
  std::string_view name;
  AddCommand add;
};

// Every subcommand, in the order the help lists them.
constexpr Command kCommands[] = {
    {"build", lexvia::cli::add_build_command},
    {"info", lexvia::cli::add_info_command},
    {"verify", lexvia::cli::add_verify_command},
    {"index", lexvia::cli::add_index_command},
    {"dump", lexvia::cli::add_dump_command},
    {"lookup", lexvia::cli::add_lookup_command},
    {"browse", lexvia::cli::add_browse_command},
    {"import-dictd", lexvia::cli::add_import_command},
    {"settings", lexvia::cli::add_settings_command},
    {"history", lexvia::cli::add_history_command},
    {"favourites", lexvia::cli::add_favourites_command},
    {"serve", lexvia::cli::add_serve_command},
};

int run(int argc, char** argv) {
  CLI::App app{
      "lexvia-cli: look words up in Lexvia two-way dictionaries (*.dic); build, check "
      "and read them, and serve them over the DICT protocol"};
  app.require_subcommand(1);
  app.set_version_flag("--version", std::string("lexvia-cli ") + LEXVIA_VERSION);
  int status = 0;
  // A lookup should start like a plain program: when the first argument names
  // a command, only that command's options are set up.
  const std::string_view first = argc > 1 ? argv[1] : "";
  const auto named = std::find_if(std::begin(kCommands), std::end(kCommands),
                                  [&](const Command& c) { return c.name == first; });
  if (named != std::end(kCommands)) {
    named->add(app, status);
  } else {
    for (const Command& c : kCommands) c.add(app, status);
  }
  try {
    app.parse(argc, argv);
  } catch (const CLI::ParseError& e) {
    // Help exits 0; every other parse error is a usage error.
    return app.exit(e) == 0 ? 0 : 2;
  }
  return status;
}

}  // namespace

int main(int argc, char** argv) {
  try {
    return run(argc, argv);
  } catch (const std::bad_alloc&) {
    std::cerr << "lexvia-cli: out of memory\n";
    return 2;
  } catch (const std::exception& e) {
    std::cerr << "lexvia-cli: " << e.what() << "\n";
    return 2;
  }
}
