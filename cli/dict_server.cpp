#include "dict_server.h"

#include <sys/resource.h>
#include <unistd.h>

#include <array>
#include <asio.hpp>
#include <atomic>
#include <csignal>
#include <cstdio>
#include <iostream>
#include <memory>
#include <optional>
#include <thread>

#include "search/hunspell_forms.h"

namespace lexvia::cli {

namespace {

using asio::ip::tcp;
using Clock = std::chrono::steady_clock;

std::optional<tcp::endpoint> parse_endpoint(const std::string& text) {
  const std::size_t colon = text.rfind(':');
  if (colon == std::string::npos || colon + 1 == text.size()) return std::nullopt;
  std::string host = text.substr(0, colon);
  if (host.size() >= 2 && host.front() == '[' && host.back() == ']') host = host.substr(1, host.size() - 2);
  unsigned port = 0;
  for (char c : text.substr(colon + 1)) {
    if (c < '0' || c > '9' || (port = port * 10 + static_cast<unsigned>(c - '0')) > 65535) {
      return std::nullopt;
    }
  }
  asio::error_code error;
  const auto address = asio::ip::make_address(host, error);
  if (error) return std::nullopt;
  return tcp::endpoint(address, static_cast<unsigned short>(port));
}

std::string host_name() {
  char name[256] = {};
  if (::gethostname(name, sizeof name - 1) != 0 || name[0] == '\0') return "localhost";
  return name;
}

// Each connection holds a descriptor. A service gets a soft limit of 1024
// from systemd (and a shell often the same), which would stop the server at
// about a thousand clients while the hard limit, meant for programs that
// need more, allows hundreds of thousands: so the server takes the hard one.
void raise_descriptor_limit() {
  rlimit limit{};
  if (::getrlimit(RLIMIT_NOFILE, &limit) == 0 && limit.rlim_cur < limit.rlim_max) {
    limit.rlim_cur = limit.rlim_max;
    ::setrlimit(RLIMIT_NOFILE, &limit);
  }
}

// What every connection of one server shares.
struct Shared {
  const std::vector<DictDatabase>& databases;
  const ServeOptions& options;
  DictServerState state;
  std::atomic<std::size_t> clients{0};
};

// One client, on a strand of its own: one command line at a time, answered
// in order. Pipelined commands wait in `pending_`, which never holds more
// than one line and one read, so a client that sends without reading fills
// its socket buffer, not the server's memory. Every read and write moves the
// deadline on; a client silent (or not reading) past it is closed.
class Connection : public std::enable_shared_from_this<Connection> {
 public:
  Connection(tcp::socket socket, Shared& shared)
      : socket_(std::move(socket)), timer_(socket_.get_executor()), shared_(shared),
        session_(shared.databases, shared.state) {
    shared_.clients.fetch_add(1);
  }
  ~Connection() { shared_.clients.fetch_sub(1); }

  void start() {
    if (shared_.clients.load() > shared_.options.max_clients) {
      reply_ = "420 server temporarily unavailable: too many clients\r\n";
      closing_ = true;
    } else {
      reply_ = session_.banner();
    }
    watch();
    write();
  }

 private:
  void watch() {
    touch();
    arm();
  }
  // Waits for the deadline; one moved on meanwhile is waited for anew.
  void arm() {
    timer_.expires_at(deadline_);
    timer_.async_wait([self = shared_from_this()](const asio::error_code& error) {
      if (error || self->closed_) return;
      if (Clock::now() < self->deadline_) return self->arm();
      self->close();
    });
  }
  void touch() { deadline_ = Clock::now() + shared_.options.idle_timeout; }

  void write() {
    asio::async_write(socket_, asio::buffer(reply_),
                      [self = shared_from_this()](const asio::error_code& error, std::size_t) {
                        if (error || self->closing_) return self->close();
                        self->touch();
                        self->next();
                      });
  }

  // Answers the next buffered line, or reads more.
  void next() {
    const std::size_t end = pending_.find('\n');
    if (end == std::string::npos) {
      if (pending_.size() > kMaxCommandLine + 1) {
        overlong_ = true;  // the rest of a line too long to answer is dropped
        pending_.clear();
      }
      socket_.async_read_some(asio::buffer(chunk_),
                              [self = shared_from_this()](const asio::error_code& error, std::size_t n) {
                                if (error) return self->close();
                                self->pending_.append(self->chunk_.data(), n);
                                self->touch();
                                self->next();
                              });
      return;
    }
    reply_ = overlong_ ? DictSession::line_too_long()
                       : session_.answer(std::string_view(pending_.data(), end));
    overlong_ = false;
    pending_.erase(0, end + 1);
    closing_ = session_.finished();
    write();
  }

  void close() {
    if (closed_) return;
    closed_ = true;
    asio::error_code ignored;
    timer_.cancel();
    socket_.shutdown(tcp::socket::shutdown_both, ignored);
    socket_.close(ignored);
  }

  tcp::socket socket_;
  asio::steady_timer timer_;
  Shared& shared_;
  DictSession session_;
  Clock::time_point deadline_;
  std::string reply_;
  std::string pending_;
  std::array<char, 4096> chunk_{};
  bool overlong_ = false;
  bool closing_ = false;
  bool closed_ = false;
};

void accept(asio::io_context& io, tcp::acceptor& acceptor, Shared& shared) {
  acceptor.async_accept(asio::make_strand(io), [&io, &acceptor, &shared](const asio::error_code& error,
                                                                          tcp::socket socket) {
    if (!acceptor.is_open()) return;
    if (error) {
      // Out of descriptors or the like: try again shortly, not in a loop
      // that would spin until one is free.
      auto pause = std::make_shared<asio::steady_timer>(io, std::chrono::milliseconds(100));
      pause->async_wait([&io, &acceptor, &shared, pause](const asio::error_code&) {
        accept(io, acceptor, shared);
      });
      return;
    }
    // An answer goes out in one write; nothing is gained by holding it back.
    asio::error_code ignored;
    socket.set_option(tcp::no_delay(true), ignored);
    std::make_shared<Connection>(std::move(socket), shared)->start();
    accept(io, acceptor, shared);
  });
}

}  // namespace

int serve_dictionaries(const std::vector<DictDatabase>& databases, const ServeOptions& options) {
  // Before the event loop: the connections it still holds when it is
  // destroyed leave the count in their destructors.
  raise_descriptor_limit();
  Shared shared{databases, options, {}, {}};
  shared.state.host = host_name();
  // Loaded at the first miss that needs a language, then shared by every
  // connection (it holds its own lock).
  HunspellForms forms(hunspell_folder());
  shared.state.forms = &forms;
  asio::io_context io;
  std::vector<tcp::acceptor> acceptors;
  for (const std::string& text : options.listen) {
    const auto endpoint = parse_endpoint(text);
    if (!endpoint) {
      std::cerr << "lexvia-cli serve: --listen " << text << ": not ADDR:PORT with a numeric address\n";
      return 1;
    }
    tcp::acceptor acceptor(io);
    asio::error_code error;
    acceptor.open(endpoint->protocol(), error);
    if (!error) acceptor.set_option(tcp::acceptor::reuse_address(true), error);
    if (!error && endpoint->address().is_v6()) acceptor.set_option(asio::ip::v6_only(true), error);
    if (!error) acceptor.bind(*endpoint, error);
    if (!error) acceptor.listen(asio::socket_base::max_listen_connections, error);
    if (error) {
      std::cerr << "lexvia-cli serve: cannot listen on " << text << ": " << error.message() << "\n";
      return 1;
    }
    acceptors.push_back(std::move(acceptor));
  }
  for (tcp::acceptor& acceptor : acceptors) {
    const tcp::endpoint bound = acceptor.local_endpoint();
    const std::string address = bound.address().is_v6() ? "[" + bound.address().to_string() + "]"
                                                        : bound.address().to_string();
    std::printf("lexvia-cli serve: %zu databases on %s:%u\n", databases.size(), address.c_str(),
                static_cast<unsigned>(bound.port()));
  }
  for (tcp::acceptor& acceptor : acceptors) accept(io, acceptor, shared);
  std::fflush(stdout);

  asio::signal_set signals(io, SIGINT, SIGTERM);
  signals.async_wait([&io](const asio::error_code&, int) { io.stop(); });
  // A lookup runs on the thread of its connection's strand: the others go on.
  const unsigned threads = std::max(2u, std::thread::hardware_concurrency());
  std::vector<std::thread> workers;
  for (unsigned i = 1; i < threads; ++i) workers.emplace_back([&io] { io.run(); });
  io.run();
  for (std::thread& worker : workers) worker.join();
  return 0;
}

}  // namespace lexvia::cli
