// zurod-server as a process, spoken to over loopback by a raw client.
#include <gtest/gtest.h>

#include <cstring>
#include <memory>
#include <thread>

#include <sys/stat.h>

#include "server_test_support.h"

using namespace zurod_test;

namespace {

const char kRootListing[] = "[docs]\n[docslink]\n[my files]\nreadme.txt\n";

// tree/root is served; tree/outside holds what no client may reach.
class ServerTest : public ::testing::Test {
 protected:
  void SetUp() override {
    tree.mkdir("root/docs/old");
    tree.mkdir("root/my files");
    tree.mkdir("outside");
    tree.write("root/readme.txt", "hello\n");
    tree.write("root/docs/a b.txt", "two words");
    tree.write("outside/secret", "top secret");
    tree.symlink((tree / "outside").string(), "root/outdir");
    tree.symlink("../outside/secret", "root/outfile");
    tree.symlink("docs", "root/docslink");
  }

  std::unique_ptr<ServerProcess> start(std::vector<std::string> args = {}) {
    args.insert(args.begin(), {"--root", (tree / "root").string()});
    auto server = std::make_unique<ServerProcess>(args);
    EXPECT_NE(server->port(), 0) << server->log();
    return server;
  }

  TempTree tree;
};

TEST_F(ServerTest, ConversationFromHandshakeToDownload) {
  auto server = start();
  {
    RawClient client(server->port());
    const std::string agreement = client.login();
    EXPECT_FALSE(agreement.empty());
    EXPECT_EQ(client.list(), kRootListing);

    client.send_block("cd docs");
    EXPECT_EQ(client.read_block_text(), "#/docs");
    EXPECT_EQ(client.list(), "a b.txt\n[old]\n");

    const auto download = client.get("a b.txt");
    EXPECT_EQ(download.header, "a b.txt<9");
    EXPECT_EQ(download.data, "two words");
    EXPECT_EQ(first_marker(download.completion), "@");

    client.send_block("cd old");
    EXPECT_EQ(client.read_block_text(), "#/docs/old");
    EXPECT_EQ(client.list(), std::string(1, '\0'));  // an empty directory: one NUL, no entry
    client.send_block("cd ..");
    EXPECT_EQ(client.read_block_text(), "#/docs");
    client.send_block("cd ..");
    EXPECT_EQ(client.read_block_text(), "#/");
  }
  EXPECT_TRUE(server->wait_for_log("disconnected"));
  EXPECT_EQ(server->stop(), 0);
}

TEST_F(ServerTest, AgreementFromFileIsSentAsItStands) {
  const std::string text = "Rules: #1 no <copies>, {be nice}\r\nAccept?";
  tree.write("agreement.txt", text);
  auto server = start({"--agreement", (tree / "agreement.txt").string()});
  RawClient client(server->port());
  EXPECT_EQ(client.login(), text);
}

TEST_F(ServerTest, ChangingDirectoryNeverLeavesTheRoot) {
  auto server = start();
  RawClient client(server->port());
  client.login();
  const char* const refused[] = {"../..", "/etc", "/", "a/../../x", "docs/../..", "docs/old",
                                 "outdir", ".", "", "missing", "readme.txt"};
  for (const std::string name : refused) {
    SCOPED_TRACE("cd " + name);
    client.send_block("cd " + name);
    const std::string reply = client.read_block_text();
    EXPECT_EQ(first_marker(reply), "{") << reply;
    EXPECT_EQ(client.list(), kRootListing);
  }
  // ".." at the root stays at the root.
  client.send_block("cd ..");
  EXPECT_EQ(client.read_block_text(), "#/");
  EXPECT_EQ(client.list(), kRootListing);

  // A symlink that stays inside the root is followed.
  client.send_block("cd docslink");
  EXPECT_EQ(client.read_block_text(), "#/docslink");
  EXPECT_EQ(client.list(), "a b.txt\n[old]\n");
  client.send_block("cd ../..");
  EXPECT_EQ(first_marker(client.read_block_text()), "{");
  client.send_block("cd ..");
  EXPECT_EQ(client.read_block_text(), "#/");
}

TEST_F(ServerTest, DownloadsNeverLeaveTheRoot) {
  auto server = start();
  RawClient client(server->port());
  client.login();
  const char* const refused[] = {"../outside/secret", "/etc/passwd", "outfile", "outdir",
                                 "docs/../../outside/secret", "docs/a b.txt", "..", ".", "",
                                 "docs", "missing.txt"};
  for (const std::string name : refused) {
    SCOPED_TRACE("get " + name);
    const auto download = client.get(name);
    EXPECT_EQ(first_marker(download.header), "{") << download.header;
  }
  EXPECT_EQ(client.get("readme.txt").data, "hello\n");
}

TEST_F(ServerTest, WrongHandshakeOrPasswordClosesTheConnection) {
  auto server = start({"--password", "s3cret pass"});
  for (const std::string handshake : {"VELTO", "velto ", "hello", ""}) {
    SCOPED_TRACE("handshake \"" + handshake + "\"");
    RawClient client(server->port());
    client.send_block(handshake);
    EXPECT_TRUE(client.closed_by_server());
  }
  for (const std::string password : {"qvk", "s3cret", "s3cret pass ", ""}) {
    SCOPED_TRACE("password \"" + password + "\"");
    RawClient client(server->port());
    client.send_block("velto");
    EXPECT_EQ(first_marker(client.read_block_text()), "password:");
    client.send_block(password);
    // Nothing may come back: the client would show any text as the agreement.
    EXPECT_TRUE(client.closed_by_server());
  }
  EXPECT_TRUE(server->wait_for_log("bad handshake"));
  EXPECT_TRUE(server->wait_for_log("wrong password"));
  RawClient client(server->port());
  EXPECT_FALSE(client.login("s3cret pass").empty());
}

TEST_F(ServerTest, CommandsArrivingOneByteAtATime) {
  auto server = start();
  RawClient client(server->port());
  client.set_piece_size(1);
  client.login();
  EXPECT_EQ(client.list(), kRootListing);
  client.send_block("cd my files");
  EXPECT_EQ(client.read_block_text(), "#/my files");
  client.send_block("cd ..");
  EXPECT_EQ(client.read_block_text(), "#/");
  EXPECT_EQ(client.get("readme.txt").data, "hello\n");
}

TEST_F(ServerTest, PipelinedCommandsAreAnsweredInOrder) {
  auto server = start();
  RawClient client(server->port());
  client.login();
  std::string blocks;
  for (const char* command : {"cd docs", "ls", "get a b.txt", "cd ..", "bogus"}) {
    std::string block = command;
    block.resize(256, '\0');
    blocks += block;
  }
  client.send_raw(blocks);
  EXPECT_EQ(client.read_block_text(), "#/docs");
  EXPECT_EQ(client.read_block_text(), "Listing length:14");
  EXPECT_EQ(client.read_exact(14), "a b.txt\n[old]\n");
  EXPECT_EQ(client.read_block_text(), "a b.txt<9");
  EXPECT_EQ(client.read_exact(9), "two words");
  EXPECT_EQ(first_marker(client.read_block_text()), "@");
  EXPECT_EQ(client.read_block_text(), "#/");
  EXPECT_EQ(first_marker(client.read_block_text()), "{");
}

TEST_F(ServerTest, TwoClientsKeepTheirOwnDirectory) {
  auto server = start();
  RawClient first(server->port());
  RawClient second(server->port());
  first.login();
  second.login();
  first.send_block("cd docs");
  EXPECT_EQ(first.read_block_text(), "#/docs");
  EXPECT_EQ(second.list(), kRootListing);
  EXPECT_EQ(first.list(), "a b.txt\n[old]\n");
  EXPECT_EQ(second.get("readme.txt").data, "hello\n");
  EXPECT_EQ(first.get("a b.txt").data, "two words");
}

TEST_F(ServerTest, LargeFileArrivesByteExact) {
  std::string content(64u << 20, '\0');
  std::uint64_t x = 88172645463325252ull;  // xorshift64: bytes that no bug reproduces by chance
  for (std::size_t i = 0; i < content.size(); i += 8) {
    x ^= x << 13;
    x ^= x >> 7;
    x ^= x << 17;
    std::memcpy(&content[i], &x, 8);
  }
  content.resize(content.size() - 3);  // not a multiple of the block size
  tree.write("root/big.bin", content);
  Fnv1a expected;
  expected.add(content.data(), content.size());

  auto server = start();
  RawClient client(server->port());
  client.login();
  const auto download = client.get("big.bin");
  EXPECT_EQ(download.header, "big.bin<" + std::to_string(content.size()));
  EXPECT_EQ(download.size, content.size());
  EXPECT_EQ(download.hash, expected.value());
  EXPECT_EQ(download.completion, "@transfer complete");
  EXPECT_EQ(client.list().find("big.bin\n"), 0u);  // still in step afterwards
}

TEST_F(ServerTest, ClientLeavingDuringADownloadDoesNotHurtTheServer) {
  tree.write("root/big.bin", std::string(32u << 20, 'x'));
  auto server = start();
  {
    RawClient client(server->port());
    client.login();
    client.send_block("get big.bin");
    EXPECT_EQ(client.read_block_text(), "big.bin<33554432");
    EXPECT_EQ(client.read_exact(1000).size(), 1000u);
  }  // closes with unread data: the server's next send fails
  EXPECT_TRUE(server->wait_for_log("send failed"));
  RawClient next(server->port());
  next.login();
  EXPECT_EQ(next.list(), std::string("big.bin\n") + kRootListing);
}

TEST_F(ServerTest, ListingCarriesOnlyWhatTheClientReadsBack) {
  TempTree names;
  names.write("b file.txt", "");
  names.write("Z", "");
  names.write("tab\tname", "");
  names.write("ends with cr\r", "");
  names.mkdir("a]b");       // "[a]b]": the client takes the name up to the last "]"
  names.mkdir("[bracketed]");
  names.mkdir("...");
  names.write("song[1].mp3", "");       // a file with "[" would be taken for a directory
  names.write("archive..old.zip", "");  // a file with ".." would be taken for the parent
  names.write("line\nbreak.txt", "");
  names.mkdir("new\nline");
  names.symlink("/etc/passwd", "outside link");
  ASSERT_EQ(::mkfifo((names / "pipe").c_str(), 0600), 0);

  ServerProcess server({"--root", names.path().string()});
  RawClient client(server.port());
  client.login();
  EXPECT_EQ(client.list(),
            "[...]\nZ\n[[bracketed]]\n[a]b]\nb file.txt\nends with cr\r\ntab\tname\n");
  for (const char* logged : {"song[1].mp3", "archive..old.zip", "line\\x0abreak.txt", "new\\x0aline",
                             "outside link", "pipe"}) {
    EXPECT_TRUE(server.wait_for_log(std::string("left out of listing: \"") + logged + "\"")) << logged;
  }
  // The names that are listed work in commands.
  client.send_block("cd a]b");
  EXPECT_EQ(client.read_block_text(), "#/a]b");
  client.send_block("cd ..");
  client.read_block_text();
  client.send_block("cd ...");
  EXPECT_EQ(client.read_block_text(), "#/...");
  client.send_block("cd ..");
  client.read_block_text();
  EXPECT_EQ(client.get("b file.txt").header, "b file.txt<0");
}

TEST_F(ServerTest, FileHeaderNameCannotBeMistakenForAnotherMessage) {
  tree.write("root/a#b<c.txt", "12345");
  tree.write("root/empty", "");
  auto server = start();
  RawClient client(server->port());
  client.login();
  auto download = client.get("a#b<c.txt");
  EXPECT_EQ(download.header, "a_b_c.txt<5");
  EXPECT_EQ(download.data, "12345");
  download = client.get("empty");
  EXPECT_EQ(download.header, "empty<0");
  EXPECT_EQ(download.completion, "@transfer complete");
}

TEST_F(ServerTest, UnknownCommandsGetANotice) {
  auto server = start();
  RawClient client(server->port());
  client.login();
  for (const std::string command : {"LS", "ls -l", "dir", "cd", "get", "quit", "velto"}) {
    SCOPED_TRACE(command);
    client.send_block(command);
    EXPECT_EQ(first_marker(client.read_block_text()), "{");
  }
}

TEST_F(ServerTest, ConnectionsBeyondTheLimitAreClosed) {
  auto server = start({"--max-clients", "2"});
  auto first = std::make_unique<RawClient>(server->port());
  RawClient second(server->port());
  first->login();
  second.login();
  RawClient third(server->port());
  EXPECT_TRUE(third.closed_by_server());
  EXPECT_TRUE(server->wait_for_log("refused, already serving 2 clients"));

  first.reset();
  EXPECT_TRUE(server->wait_for_log("disconnected"));
  RawClient fourth(server->port());
  EXPECT_FALSE(fourth.login().empty());
}

// Connections that never log in must not lock out a client that does: the oldest of them
// makes room. Clients that have logged in keep their places.
TEST_F(ServerTest, ConnectionThatNeverLogsInMakesRoomForOneThatDoes) {
  auto server = start({"--max-clients", "2"});
  RawClient silent(server->port());
  ASSERT_TRUE(server->wait_for_log(": connected"));
  RawClient logged_in(server->port());
  logged_in.login();

  RawClient newcomer(server->port());
  EXPECT_FALSE(newcomer.login().empty());
  EXPECT_TRUE(silent.closed_by_server());
  EXPECT_TRUE(server->wait_for_log("not logged in, closing to make room for a new client"));

  RawClient refused(server->port());  // full of clients that have logged in
  EXPECT_TRUE(refused.closed_by_server());
  EXPECT_EQ(logged_in.list(), kRootListing);
}

TEST_F(ServerTest, IdleClientIsClosed) {
  auto server = start({"--idle-timeout", "1"});
  RawClient client(server->port());
  client.login();
  EXPECT_TRUE(client.closed_by_server());
  EXPECT_TRUE(server->wait_for_log("idle for 1 s, closing"));
}

TEST_F(ServerTest, ClientThatStopsReadingADownloadIsClosedWhenIdle) {
  tree.write("root/big.bin", std::string(32u << 20, 'x'));
  auto server = start({"--idle-timeout", "1"});
  RawClient client(server->port());
  client.login();
  client.send_block("get big.bin");
  EXPECT_EQ(client.read_block_text(), "big.bin<33554432");
  // Reads nothing more: the socket buffers fill and the server's sends stall.
  EXPECT_TRUE(server->wait_for_log("idle for 1 s, closing"));
}

TEST_F(ServerTest, ActiveClientIsNotClosedForIdleness) {
  auto server = start({"--idle-timeout", "2"});
  RawClient client(server->port());
  client.login();
  for (int i = 0; i < 12; ++i) {  // 3 s of commands, each well within the time-out
    std::this_thread::sleep_for(std::chrono::milliseconds(250));
    EXPECT_EQ(client.list(), kRootListing);
  }
}

TEST_F(ServerTest, SigtermClosesClientsAndExitsCleanly) {
  auto server = start();
  RawClient client(server->port());
  client.login();
  EXPECT_EQ(server->stop(), 0);
  EXPECT_TRUE(client.closed_by_server());
  const std::string log = server->log();
  EXPECT_NE(log.find("shutting down on SIGTERM"), std::string::npos) << log;
  EXPECT_NE(log.find("server shutting down"), std::string::npos) << log;
}

struct BadArguments {
  std::vector<std::string> args;
  const char* message;
};

TEST(ServerCommandLine, BadArgumentsExitWithCode2AndSayWhy) {
  TempTree tree;
  tree.write("file", "x");
  tree.write("long-agreement", std::string(256, 'a'));
  tree.write("nul-agreement", std::string("a\0b", 3));
  const std::string dir = tree.path().string();
  const BadArguments cases[] = {
      {{}, "--root DIR is required"},
      {{"--root", dir + "/missing"}, "cannot open root directory"},
      {{"--root", dir + "/file"}, "cannot open root directory"},
      {{"--root", dir, "--port", "65536"}, "--port needs a number"},
      {{"--root", dir, "--port", "-1"}, "--port needs a number"},
      {{"--root", dir, "--port", "12ab"}, "--port needs a number"},
      {{"--root", dir, "--port"}, "--port needs a value"},
      {{"--root", dir, "--max-clients", "0"}, "--max-clients needs a number"},
      {{"--root", dir, "--idle-timeout", "0"}, "--idle-timeout needs seconds"},
      {{"--root", dir, "--bind", "999.1.1.1"}, "--bind needs an IP address"},
      {{"--root", dir, "--password", std::string(255, 'p')}, "--password is longer"},
      {{"--root", dir, "--agreement", dir + "/missing"}, "cannot read agreement file"},
      {{"--root", dir, "--agreement", dir}, "cannot read agreement file"},
      {{"--root", dir, "--agreement", dir + "/long-agreement"}, "longer than 255 bytes"},
      {{"--root", dir, "--agreement", dir + "/nul-agreement"}, "contains a NUL byte"},
      {{"--root", dir, "--verbose"}, "unknown argument \"--verbose\""},
  };
  for (const auto& c : cases) {
    std::string joined;
    for (const auto& arg : c.args) joined += arg + " ";
    SCOPED_TRACE(joined);
    const ExitResult result = run_server_to_exit(c.args);
    EXPECT_EQ(result.exit_code, 2);
    EXPECT_NE(result.output.find(c.message), std::string::npos) << result.output;
  }
}

TEST(ServerCommandLine, HelpShowsUsage) {
  const ExitResult result = run_server_to_exit({"--help"});
  EXPECT_EQ(result.exit_code, 0);
  EXPECT_NE(result.output.find("usage: zurod-server --root DIR"), std::string::npos) << result.output;
}

TEST(ServerCommandLine, PortInUseFailsWithCode1) {
  TempTree tree;
  ServerProcess first({"--root", tree.path().string()});
  ASSERT_NE(first.port(), 0);
  const ExitResult result = run_server_to_exit(
      {"--root", tree.path().string(), "--bind", "127.0.0.1", "--port", std::to_string(first.port())});
  EXPECT_EQ(result.exit_code, 1);
  EXPECT_NE(result.output.find("in use"), std::string::npos) << result.output;
}

}  // namespace
