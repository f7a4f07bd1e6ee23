// The subcommands of lexvia-cli. Each adds itself to the application and
// stores its exit status in `status` when it runs.
#pragma once

#include <CLI/CLI.hpp>

namespace lexvia::cli {

void add_build_command(CLI::App& app, int& status);
void add_info_command(CLI::App& app, int& status);
void add_verify_command(CLI::App& app, int& status);
void add_dump_command(CLI::App& app, int& status);
void add_lookup_command(CLI::App& app, int& status);
void add_browse_command(CLI::App& app, int& status);
void add_import_command(CLI::App& app, int& status);
void add_settings_command(CLI::App& app, int& status);

}  // namespace lexvia::cli
