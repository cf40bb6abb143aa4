// The network side: accepts connections and runs one Session per client on an Asio
// io_context (one thread; file data goes out with sendfile, so nothing waits on copies).
#pragma once

#include <chrono>
#include <memory>
#include <set>
#include <string>

#include <asio.hpp>

#include "fs_view.h"
#include "session.h"

namespace zurod {

// One line on stderr, with a time stamp.
void log_event(const std::string& line);

struct ServerConfig {
  asio::ip::tcp::endpoint endpoint;
  unsigned max_clients = 32;
  std::chrono::seconds idle_timeout{300};
  SessionConfig session;
};

class Connection;

class Server {
 public:
  // Binds and listens at once; throws asio::system_error when that fails.
  Server(asio::io_context& io, ServerConfig config, FsView& fs);

  asio::ip::tcp::endpoint local_endpoint() const { return acceptor_.local_endpoint(); }
  // Logs "listening on ADDR:PORT" and starts accepting.
  void start();
  // Stops accepting and closes every connection; io_context::run then returns.
  void stop();

 private:
  friend class Connection;
  void accept();
  // When full: closes the oldest connection that has not logged in, if there is one.
  void make_room();
  void forget(const std::shared_ptr<Connection>& connection);

  asio::ip::tcp::acceptor acceptor_;
  asio::steady_timer retry_timer_;
  ServerConfig config_;
  FsView& fs_;
  std::set<std::shared_ptr<Connection>> connections_;
  unsigned next_id_ = 1;
  bool stopping_ = false;
};

}  // namespace zurod
