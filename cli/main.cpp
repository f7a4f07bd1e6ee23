#include <CLI/CLI.hpp>
#include <exception>
#include <iostream>

#include "commands.h"

namespace {

int run(int argc, char** argv) {
  CLI::App app{
      "lexvia-cli: look words up in Lexvia two-way dictionaries (*.dic), and build, check and read "
      "them"};
  app.require_subcommand(1);
  int status = 0;
  lexvia::cli::add_build_command(app, status);
  lexvia::cli::add_info_command(app, status);
  lexvia::cli::add_verify_command(app, status);
  lexvia::cli::add_dump_command(app, status);
  lexvia::cli::add_lookup_command(app, status);
  lexvia::cli::add_browse_command(app, status);
  lexvia::cli::add_import_command(app, status);
  lexvia::cli::add_settings_command(app, status);
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
  } catch (const std::exception& e) {
    std::cerr << "lexvia-cli: " << e.what() << "\n";
    return 2;
  }
}
