// The subcommands of lexvia-cli. Each adds itself to the application and
// stores its exit status in `status` when it runs.
#pragma once

#include <CLI/CLI.hpp>
#include <iostream>
#include <new>
#include <string>

namespace lexvia::cli {

void add_build_command(CLI::App& app, int& status);
void add_info_command(CLI::App& app, int& status);
void add_verify_command(CLI::App& app, int& status);
void add_index_command(CLI::App& app, int& status);
void add_dump_command(CLI::App& app, int& status);
void add_lookup_command(CLI::App& app, int& status);
void add_browse_command(CLI::App& app, int& status);
void add_import_command(CLI::App& app, int& status);
void add_settings_command(CLI::App& app, int& status);
void add_history_command(CLI::App& app, int& status);
void add_favourites_command(CLI::App& app, int& status);
void add_serve_command(CLI::App& app, int& status);

// Runs a command's work. Running out of memory is told in words: which
// command, doing what, with which file ("compiling pairs.tsv").
template <class Work>
int within_memory(const char* command, const std::string& doing, Work work) {
  try {
    return work();
  } catch (const std::bad_alloc&) {
    std::cerr << "lexvia-cli " << command << ": out of memory while " << doing << "\n";
    return 1;
  }
}

}  // namespace lexvia::cli
