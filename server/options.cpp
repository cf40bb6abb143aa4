#include "options.h"

#include <cerrno>
#include <cstdlib>
#include <cstring>
#include <fstream>
#include <stdexcept>

namespace zurod {

namespace {

const char kDefaultAgreement[] =
    "This server shares its files for reading only. Files you download are for your own "
    "use and may not be passed on without their owner's consent. Do you accept?";

// A whole decimal number in [min, max], or nothing.
std::optional<unsigned long> parse_number(const std::string& text, unsigned long min,
                                          unsigned long max) {
  if (text.empty() || text.find_first_not_of("0123456789") != std::string::npos) return {};
  errno = 0;
  const unsigned long value = std::strtoul(text.c_str(), nullptr, 10);
  if (errno != 0 || value < min || value > max) return {};
  return value;
}

}  // namespace

std::string usage_text() {
  return "usage: zurod-server --root DIR [options]\n"
         "Serves the files below DIR, read-only, to ZUrod clients.\n"
         "  --root DIR          directory to serve (required)\n"
         "  --bind ADDR         address to listen on (default 127.0.0.1)\n"
         "  --port N            TCP port, 0 for any free port (default 1024)\n"
         "  --password TEXT     password clients must send (default qvk)\n"
         "  --agreement FILE    agreement text shown to clients, at most 255 bytes\n"
         "  --max-clients N     connections served at once; more are closed (default 32)\n"
         "  --idle-timeout S    close a connection after S idle seconds (default 300)\n"
         "  --help              show this text\n"
         "Exit codes: 0 after SIGINT/SIGTERM, 1 if the server can't start, 2 for bad arguments.\n";
}

ParsedOptions parse_options(const std::vector<std::string>& args) {
  Options options;
  ParsedOptions result;
  auto fail = [&result](std::string message) {
    result.error = std::move(message);
    return result;
  };
  for (std::size_t i = 0; i < args.size(); ++i) {
    const std::string& arg = args[i];
    if (arg == "--help") {
      options.help = true;
      continue;
    }
    static const char* const kWithValue[] = {"--root", "--bind", "--port", "--password",
                                             "--agreement", "--max-clients", "--idle-timeout"};
    bool known = false;
    for (const char* name : kWithValue) known = known || arg == name;
    if (!known) return fail("unknown argument \"" + arg + "\"");
    if (i + 1 == args.size()) return fail(arg + " needs a value");
    const std::string& value = args[++i];

    if (arg == "--root") {
      options.root = value;
    } else if (arg == "--bind") {
      options.bind_address = value;
    } else if (arg == "--port") {
      auto port = parse_number(value, 0, 65535);
      if (!port) return fail("--port needs a number from 0 to 65535, not \"" + value + "\"");
      options.port = static_cast<unsigned short>(*port);
    } else if (arg == "--password") {
      // The client sends at most 254 characters.
      if (value.size() > 254) return fail("--password is longer than 254 characters");
      options.password = value;
    } else if (arg == "--agreement") {
      options.agreement_file = value;
    } else if (arg == "--max-clients") {
      auto n = parse_number(value, 1, 100000);
      if (!n) return fail("--max-clients needs a number from 1 to 100000, not \"" + value + "\"");
      options.max_clients = static_cast<unsigned>(*n);
    } else {
      auto s = parse_number(value, 1, 86400 * 7);
      if (!s) return fail("--idle-timeout needs seconds from 1 to 604800, not \"" + value + "\"");
      options.idle_timeout_seconds = static_cast<unsigned>(*s);
    }
  }
  if (!options.help && options.root.empty()) return fail("--root DIR is required");
  result.options = std::move(options);
  return result;
}

std::string load_agreement(const std::string& path) {
  if (path.empty()) return kDefaultAgreement;
  std::ifstream in(path, std::ios::binary);
  if (!in) throw std::runtime_error("cannot read agreement file " + path + ": " + std::strerror(errno));
  // Read one byte more than allowed to notice a file that is too long.
  std::string text(256, '\0');
  in.read(text.data(), static_cast<std::streamsize>(text.size()));
  text.resize(static_cast<std::size_t>(in.gcount()));
  if (in.bad()) throw std::runtime_error("cannot read agreement file " + path);
  if (text.size() > 255) {
    throw std::runtime_error("agreement file " + path + " is longer than 255 bytes");
  }
  if (text.find('\0') != std::string::npos) {
    throw std::runtime_error("agreement file " + path + " contains a NUL byte");
  }
  return text;
}

}  // namespace zurod
