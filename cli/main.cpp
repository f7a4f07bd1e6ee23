#include <CLI/CLI.hpp>
#include <exception>
#include <iostream>

#include "commands.h"

namespace {

int run(int argc, char** argv) {
  CLI::App app{"lexvia-cli: build, check and read Lexvia two-way dictionary files (*.dic)"};
  app.require_subcommand(1);
  int status = 0;
  lexvia::cli::add_build_command(app, status);
  lexvia::cli::add_info_command(app, status);
  lexvia::cli::add_verify_command(app, status);
  lexvia::cli::add_dump_command(app, status);
  CLI11_PARSE(app, argc, argv);
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
