#include "dict_server.h"

#include <unistd.h>

#include <asio.hpp>
#include <asio/experimental/awaitable_operators.hpp>
#include <atomic>
#include <csignal>
#include <cstdio>
#include <iostream>
#include <memory>
#include <optional>
#include <thread>

namespace lexvia::cli {

namespace {

using asio::awaitable;
using asio::use_awaitable;
using asio::ip::tcp;
using Clock = std::chrono::steady_clock;
using namespace asio::experimental::awaitable_operators;

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

class Server {
 public:
  Server(asio::io_context& io, const std::vector<DictDatabase>& databases, const ServeOptions& options)
      : io_(io), databases_(databases), options_(options) {
    state_.host = host_name();
  }

  awaitable<void> accept(tcp::acceptor acceptor) {
    for (;;) {
      tcp::socket socket = co_await acceptor.async_accept(asio::make_strand(io_), use_awaitable);
      asio::co_spawn(socket.get_executor(), serve(std::move(socket)), asio::detached);
    }
  }

 private:
  // Closes the socket once the deadline has passed without being moved on.
  static awaitable<void> watchdog(Clock::time_point& deadline, tcp::socket& socket) {
    asio::steady_timer timer(co_await asio::this_coro::executor);
    for (auto now = Clock::now(); deadline > now; now = Clock::now()) {
      timer.expires_at(deadline);
      co_await timer.async_wait(use_awaitable);
    }
    asio::error_code ignored;
    socket.close(ignored);
  }

  // One command line at a time, answered in order: pipelined commands wait
  // in the buffer, which never holds more than one line and one read.
  awaitable<void> converse(tcp::socket& socket, Clock::time_point& deadline) {
    DictSession session(databases_, state_);
    std::string reply = session.banner();
    co_await asio::async_write(socket, asio::buffer(reply), use_awaitable);
    std::string pending;
    bool overlong = false;  // the rest of a line too long to answer is dropped
    char chunk[4096];
    while (!session.finished()) {
      const std::size_t end = pending.find('\n');
      if (end == std::string::npos) {
        if (pending.size() > kMaxCommandLine + 1) {
          overlong = true;
          pending.clear();
        }
        const std::size_t n = co_await socket.async_read_some(asio::buffer(chunk), use_awaitable);
        pending.append(chunk, n);
        deadline = Clock::now() + options_.idle_timeout;
        continue;
      }
      const std::string_view line(pending.data(), end);
      reply = overlong ? DictSession::line_too_long() : session.answer(line);
      overlong = false;
      pending.erase(0, end + 1);
      // A client that stops reading is closed as an idle one would be.
      deadline = Clock::now() + options_.idle_timeout;
      co_await asio::async_write(socket, asio::buffer(reply), use_awaitable);
    }
  }

  awaitable<void> serve(tcp::socket socket) {
    try {
      if (clients_.fetch_add(1) >= options_.max_clients) {
        static const std::string kBusy = "420 server temporarily unavailable: too many clients\r\n";
        co_await asio::async_write(socket, asio::buffer(kBusy), use_awaitable);
      } else {
        Clock::time_point deadline = Clock::now() + options_.idle_timeout;
        co_await (converse(socket, deadline) || watchdog(deadline, socket));
      }
    } catch (const std::exception&) {
      // The client went away, or its time ran out: nothing to answer.
    }
    clients_.fetch_sub(1);
    asio::error_code ignored;
    socket.shutdown(tcp::socket::shutdown_both, ignored);
    socket.close(ignored);
  }

  asio::io_context& io_;
  const std::vector<DictDatabase>& databases_;
  const ServeOptions& options_;
  DictServerState state_;
  std::atomic<std::size_t> clients_{0};
};

}  // namespace

int serve_dictionaries(const std::vector<DictDatabase>& databases, const ServeOptions& options) {
  asio::io_context io;
  Server server(io, databases, options);
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
    asio::co_spawn(io, server.accept(std::move(acceptor)), asio::detached);
  }
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
