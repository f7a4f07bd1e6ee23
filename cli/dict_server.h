// The DICT server: sessions of dict_protocol.h over TCP, many clients at once
// on an Asio event loop.
#pragma once

#include <chrono>
#include <cstddef>
#include <string>
#include <vector>

#include "dict_protocol.h"

namespace lexvia::cli {

struct ServeOptions {
  // ADDR:PORT, IPv6 addresses in brackets ("[::1]:2628"); port 0 takes a
  // free one, which the start-up line names.
  std::vector<std::string> listen = {"127.0.0.1:2628"};
  std::size_t max_clients = 64;
  std::chrono::seconds idle_timeout{300};
};

// Serves until SIGINT or SIGTERM. Once listening, prints one line per
// address on standard output ("lexvia-cli serve: 4 databases on
// 127.0.0.1:2628"). The exit status: 0 after a signal, 1 when an address
// cannot be taken.
int serve_dictionaries(const std::vector<DictDatabase>& databases, const ServeOptions& options);

}  // namespace lexvia::cli
