// zurod-server: serves a directory tree, read-only, to ZUrod clients.
#include <csignal>
#include <cstdio>
#include <exception>
#include <string>
#include <vector>

#include <asio.hpp>

#include "fs_view.h"
#include "options.h"
#include "server.h"

int main(int argc, char** argv) {
  using namespace zurod;
  // A client that vanishes while sendfile writes to it must not kill the server.
  std::signal(SIGPIPE, SIG_IGN);

  const ParsedOptions parsed = parse_options(std::vector<std::string>(argv + 1, argv + argc));
  if (!parsed.options) {
    std::fprintf(stderr, "zurod-server: %s\n%s", parsed.error.c_str(), usage_text().c_str());
    return 2;
  }
  const Options& options = *parsed.options;
  if (options.help) {
    std::fputs(usage_text().c_str(), stdout);
    return 0;
  }

  ServerConfig config;
  config.max_clients = options.max_clients;
  config.idle_timeout = std::chrono::seconds(options.idle_timeout_seconds);
  config.session.password = options.password;
  asio::error_code ec;
  const auto address = asio::ip::make_address(options.bind_address, ec);
  if (ec) {
    std::fprintf(stderr, "zurod-server: --bind needs an IP address, not \"%s\"\n",
                 options.bind_address.c_str());
    return 2;
  }
  config.endpoint = asio::ip::tcp::endpoint(address, options.port);

  std::unique_ptr<RootedFs> fs;
  try {
    config.session.agreement = load_agreement(options.agreement_file);
    fs = std::make_unique<RootedFs>(options.root);
  } catch (const std::exception& e) {
    std::fprintf(stderr, "zurod-server: %s\n", e.what());
    return 2;
  }

  try {
    asio::io_context io;
    Server server(io, config, *fs);
    asio::signal_set signals(io, SIGINT, SIGTERM);
    signals.async_wait([&server](const asio::error_code& wait_ec, int signal) {
      if (wait_ec) return;
      log_event(std::string("shutting down on ") + (signal == SIGINT ? "SIGINT" : "SIGTERM"));
      server.stop();
    });
    server.start();
    io.run();
    log_event("stopped");
  } catch (const std::exception& e) {
    std::fprintf(stderr, "zurod-server: %s\n", e.what());
    return 1;
  }
  return 0;
}
