// The load client of bench/dict_scale.py: CLIENTS connections to
// 127.0.0.1:PORT, each sending one DEFINE, reading its whole answer and
// sending the next, as a dictionary client does, for SECONDS. In C++ on one
// epoll loop, so that the client, which shares the cores with the server it
// measures, takes as little of them as it can.
// Prints one line: requests, seconds, rate, latency median and 99th
// percentile in microseconds, and answers that were not definitions.
// Usage: dict_load PORT CLIENTS SECONDS DATABASE WORD...
#include <arpa/inet.h>
#include <netinet/in.h>
#include <netinet/tcp.h>
#include <sys/epoll.h>
#include <sys/socket.h>
#include <unistd.h>

#include <algorithm>
#include <chrono>
#include <cstdio>
#include <cstdlib>
#include <string>
#include <vector>

namespace {

using Clock = std::chrono::steady_clock;

struct Connection {
  int fd = -1;
  bool banner = true;   // the 220 line is still to come
  bool in_text = false; // inside a definition's text, which ends with "."
  std::size_t next_word = 0;
  Clock::time_point sent;
  std::string buffer;
};

int connect_to(unsigned short port) {
  const int fd = ::socket(AF_INET, SOCK_STREAM, 0);
  if (fd < 0) return -1;
  sockaddr_in address{};
  address.sin_family = AF_INET;
  address.sin_port = htons(port);
  address.sin_addr.s_addr = htonl(INADDR_LOOPBACK);
  if (::connect(fd, reinterpret_cast<const sockaddr*>(&address), sizeof address) != 0) {
    ::close(fd);
    return -1;
  }
  const int on = 1;
  ::setsockopt(fd, IPPROTO_TCP, TCP_NODELAY, &on, sizeof on);
  return fd;
}

}  // namespace

int main(int argc, char** argv) {
  if (argc < 6) {
    std::fprintf(stderr, "usage: dict_load PORT CLIENTS SECONDS DATABASE WORD...\n");
    return 2;
  }
  const auto port = static_cast<unsigned short>(std::atoi(argv[1]));
  const int clients = std::atoi(argv[2]);
  const double seconds = std::atof(argv[3]);
  const std::string database = argv[4];
  std::vector<std::string> requests;
  for (int i = 5; i < argc; ++i) requests.push_back("DEFINE " + database + " " + argv[i] + "\r\n");

  const int poller = ::epoll_create1(0);
  std::vector<Connection> connections(static_cast<std::size_t>(clients));
  for (std::size_t i = 0; i < connections.size(); ++i) {
    connections[i].fd = connect_to(port);
    if (connections[i].fd < 0) {
      std::fprintf(stderr, "dict_load: connection %zu refused\n", i);
      return 1;
    }
    connections[i].next_word = i % requests.size();
    epoll_event event{};
    event.events = EPOLLIN;
    event.data.u64 = i;
    ::epoll_ctl(poller, EPOLL_CTL_ADD, connections[i].fd, &event);
  }

  std::vector<double> latencies;
  long failures = 0;
  int open = clients;
  const Clock::time_point started = Clock::now();
  const Clock::time_point stop = started + std::chrono::duration_cast<Clock::duration>(
                                               std::chrono::duration<double>(seconds));
  auto send_next = [&](Connection& c) {
    const std::string& request = requests[c.next_word++ % requests.size()];
    c.sent = Clock::now();
    if (::write(c.fd, request.data(), request.size()) != static_cast<ssize_t>(request.size())) {
      ++failures;
    }
  };
  std::vector<epoll_event> events(256);
  char chunk[65536];
  while (open > 0) {
    const int n = ::epoll_wait(poller, events.data(), static_cast<int>(events.size()), 1000);
    for (int e = 0; e < n; ++e) {
      Connection& c = connections[events[static_cast<std::size_t>(e)].data.u64];
      const ssize_t got = ::read(c.fd, chunk, sizeof chunk);
      if (got <= 0) {
        ++failures;
        ::close(c.fd);
        c.fd = -1;
        --open;
        continue;
      }
      c.buffer.append(chunk, static_cast<std::size_t>(got));
      std::size_t begin = 0;
      for (std::size_t end; (end = c.buffer.find("\r\n", begin)) != std::string::npos; begin = end + 2) {
        const std::string_view line(c.buffer.data() + begin, end - begin);
        bool answered = false;
        if (c.banner) {
          c.banner = false;
          answered = true;
        } else if (c.in_text) {
          c.in_text = line != ".";
        } else if (line.substr(0, 3) == "151") {
          c.in_text = true;
        } else if (line.empty() || line[0] != '1') {
          // A status that ends the answer: 250 after the definitions.
          latencies.push_back(std::chrono::duration<double, std::micro>(Clock::now() - c.sent).count());
          if (line.substr(0, 3) != "250") ++failures;
          answered = true;
        }
        if (answered && Clock::now() >= stop) {
          ::close(c.fd);
          c.fd = -1;
          --open;
          break;
        }
        if (answered) send_next(c);
      }
      if (c.fd < 0) continue;
      c.buffer.erase(0, begin);
    }
  }
  const double elapsed = std::chrono::duration<double>(Clock::now() - started).count();
  std::sort(latencies.begin(), latencies.end());
  const auto at = [&](double share) {
    return latencies.empty() ? 0.0 : latencies[static_cast<std::size_t>(share * static_cast<double>(latencies.size() - 1))];
  };
  std::printf("requests %zu seconds %.3f rate %.0f median_us %.1f p99_us %.1f failures %ld\n",
              latencies.size(), elapsed, static_cast<double>(latencies.size()) / elapsed, at(0.5),
              at(0.99), failures);
  return failures == 0 ? 0 : 1;
}
