// serve: the dictionaries over the DICT protocol (RFC 2229), for the
// dictionary clients people already have.
#include <iostream>
#include <memory>

#include "commands.h"
#include "dict_server.h"

namespace lexvia::cli {

namespace {

struct ServeArgs {
  std::vector<std::string> files;
  std::vector<std::string> listen;
  std::size_t max_clients = 64;
  unsigned idle_timeout = 300;
};

int run_serve(const ServeArgs& args) {
  auto catalogue = dict_catalogue(args.files);
  if (auto* error = std::get_if<std::string>(&catalogue)) {
    std::cerr << "lexvia-cli serve: " << *error << "\n";
    return 1;
  }
  ServeOptions options;
  if (!args.listen.empty()) options.listen = args.listen;
  options.max_clients = args.max_clients;
  options.idle_timeout = std::chrono::seconds(args.idle_timeout);
  return serve_dictionaries(std::get<std::vector<DictDatabase>>(catalogue), options);
}

}  // namespace

void add_serve_command(CLI::App& app, int& status) {
  auto args = std::make_shared<ServeArgs>();
  CLI::App* cmd = app.add_subcommand(
      "serve",
      "Serve dictionaries over the DICT protocol (RFC 2229) until SIGINT or SIGTERM: each file "
      "offers two databases named after its directions (en-de, de-en); strategies exact, "
      "prefix, extended (the default), phrase, full and lev");
  cmd->add_option("--listen", args->listen,
                  "ADDR:PORT to listen on, IPv6 in brackets ([::1]:2628); may be given more than "
                  "once (default 127.0.0.1:2628; port 0 takes a free one)")
      ->allow_extra_args(false);
  cmd->add_option("--max-clients", args->max_clients,
                  "Connections served at once; more are refused with 420")
      ->check(CLI::Range(std::size_t{1}, std::size_t{100000}))
      ->capture_default_str();
  cmd->add_option("--idle-timeout", args->idle_timeout,
                  "Seconds a connection may stay silent (or not read its answer) before it is closed")
      ->check(CLI::Range(1u, 86400u))
      ->capture_default_str();
  cmd->add_option("DICT", args->files, "Dictionary files (*.dic)")->required();
  cmd->callback([args, &status] { status = run_serve(*args); });
}

}  // namespace lexvia::cli
