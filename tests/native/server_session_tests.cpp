// The server's conversation, messages and confined filesystem, without sockets.
#include <gtest/gtest.h>

#include <filesystem>
#include <map>

#include <sys/stat.h>

#include "fs_view.h"
#include "messages.h"
#include "server_test_support.h"
#include "session.h"

using namespace zurod;
using zurod_test::block_text;
using zurod_test::first_marker;
using zurod_test::TempTree;

namespace {

std::string block(const std::string& text) {
  std::string b = text;
  b.resize(kBlockSize, '\0');
  return b;
}

// Passes every call on to the real tree and remembers the paths asked for.
class RecordingFs : public FsView {
 public:
  explicit RecordingFs(const std::string& root) : real_(root) {}
  FsStatus check_directory(const std::string& path) override {
    paths.push_back(path);
    return real_.check_directory(path);
  }
  Listing list(const std::string& path, std::size_t max_entries) override {
    paths.push_back(path);
    return real_.list(path, max_entries);
  }
  OpenedFile open_file(const std::string& path) override {
    paths.push_back(path);
    return real_.open_file(path);
  }
  std::vector<std::string> paths;

 private:
  RootedFs real_;
};

class SessionTest : public ::testing::Test {
 protected:
  void SetUp() override {
    tree.mkdir("root/docs");
    tree.mkdir("outside");
    tree.write("root/readme.txt", "hello\n");
    tree.write("outside/secret", "top secret");
    tree.symlink("../outside", "root/up");
    tree.symlink((tree / "root/docs").string(), "root/absolute");  // inside, but absolute
    config.agreement = "Be nice.";
  }

  // What the session answers, with file items shown as "<file N bytes>".
  std::vector<std::string> feed(Session& session, const std::string& bytes) {
    std::vector<std::string> shown;
    for (auto& item : session.feed(bytes)) {
      switch (item.kind) {
        case Output::Kind::bytes:
          shown.push_back(item.data.size() == kBlockSize ? block_text(item.data) : item.data);
          break;
        case Output::Kind::file:
          EXPECT_TRUE(item.file.valid());
          shown.push_back("<file " + std::to_string(item.size) + " bytes>");
          break;
        case Output::Kind::close:
          shown.push_back("<close>");
          break;
      }
    }
    return shown;
  }

  std::string root() const { return (tree / "root").string(); }

  TempTree tree;
  SessionConfig config;
  std::vector<std::string> log;
  Session::Logger logger = [this](const std::string& line) { log.push_back(line); };
};

using Lines = std::vector<std::string>;

TEST_F(SessionTest, AnswersTheSameWhateverPiecesTheBytesComeIn) {
  std::string input;
  for (const char* command : {"velto", "qvk", "ls", "cd docs", "cd ..", "get readme.txt", "what"}) {
    input += block(command);
  }
  const Lines expected = {"ZUrod server ready. Enter password:", "Be nice.",
                          "Listing length:18",                  "[docs]\nreadme.txt\n",  // "absolute" left out
                          "#/docs",                             "#/",
                          "readme.txt<6",                       "<file 6 bytes>",
                          "@transfer complete",                 "{unknown command}"};
  for (std::size_t piece : {1, 7, 255, 256, 300, 4096}) {
    SCOPED_TRACE("pieces of " + std::to_string(piece));
    RootedFs fs(root());
    Session session(config, fs, logger);
    Lines answers;
    for (std::size_t at = 0; at < input.size(); at += piece) {
      for (auto& line : feed(session, input.substr(at, piece))) answers.push_back(line);
    }
    EXPECT_EQ(answers, expected);
  }
}

TEST_F(SessionTest, EmptyDirectoryIsListedAsOneNulSoTheClientShowsItAtOnce) {
  tree.mkdir("root/docs/empty");
  RootedFs fs(root());
  Session session(config, fs, logger);
  feed(session, block("velto") + block("qvk"));
  // The client counts every byte but lists only the text before a NUL.
  const Lines expected = {"#/docs", "#/docs/empty", "Listing length:1", std::string(1, '\0')};
  Lines answers = feed(session, block("cd docs") + block("cd empty") + block("ls"));
  EXPECT_EQ(answers, expected);
}

TEST_F(SessionTest, HandshakeAndPasswordMustMatchExactly) {
  struct Case {
    std::string handshake, password;
    Lines answers;  // to the password block
  };
  const Case cases[] = {
      {"velto", "qvk", {"Be nice."}},
      {"velto", "qvk\n", {"<close>"}},
      {"velto", "", {"<close>"}},
      {"velto\n", "qvk", {}},  // already closed after the handshake
  };
  for (const auto& c : cases) {
    SCOPED_TRACE(c.handshake + "/" + c.password);
    RootedFs fs(root());
    Session session(config, fs, logger);
    const Lines first = feed(session, block(c.handshake));
    EXPECT_EQ(first.back(), c.handshake == "velto" ? "ZUrod server ready. Enter password:" : "<close>");
    EXPECT_EQ(feed(session, block(c.password)), c.answers);
  }
}

TEST_F(SessionTest, TextEndsAtTheFirstNul) {
  RootedFs fs(root());
  Session session(config, fs, logger);
  std::string handshake = block("velto");
  handshake.replace(6, 5, "junk!");  // after the NUL: ignored
  feed(session, handshake);
  EXPECT_EQ(feed(session, block("qvk")), Lines{"Be nice."});
}

TEST_F(SessionTest, HostileNamesNeverReachTheFilesystem) {
  RecordingFs fs(root());
  Session session(config, fs, logger);
  feed(session, block("velto") + block("qvk"));
  const char* const names[] = {"..", "../..", "/etc", "/", "a/../../x", "../outside/secret",
                               "/etc/passwd", "docs/../..", ".", "", "docs/", "up", "absolute"};
  for (const std::string name : names) {
    SCOPED_TRACE(name);
    for (const std::string command : {"cd ", "get "}) {
      const Lines answer = feed(session, block(command + name));
      ASSERT_EQ(answer.size(), 1u);
      if (command == "cd " && name == "..") {
        EXPECT_EQ(answer[0], "#/");
      } else if (command == "cd " && name == "absolute") {
        EXPECT_EQ(answer[0], "{no such directory absolute}");  // absolute links are never followed
      } else {
        EXPECT_EQ(first_marker(answer[0]), "{") << answer[0];
      }
      EXPECT_TRUE(session.directory().empty());
    }
  }
  for (const auto& path : fs.paths) {
    EXPECT_NE(path.front(), '/') << path;
    EXPECT_EQ(("/" + path + "/").find("/../"), std::string::npos) << path;
    EXPECT_EQ(("/" + path + "/").find("/./"), std::string::npos) << path;
  }
}

TEST_F(SessionTest, FilesOf4GiBOrMoreAreRefused) {
  tree.write("root/largest", "");
  tree.write("root/too-large", "");
  std::filesystem::resize_file(tree / "root/largest", 0xFFFFFFFFull);  // sparse
  std::filesystem::resize_file(tree / "root/too-large", 0x100000000ull);
  RootedFs fs(root());
  Session session(config, fs, logger);
  feed(session, block("velto") + block("qvk"));
  EXPECT_EQ(feed(session, block("get largest")),
            (Lines{"largest<4294967295", "<file 4294967295 bytes>", "@transfer complete"}));
  EXPECT_EQ(feed(session, block("get too-large")), Lines{"{file too large (4 GiB or more) too-large}"});
}

TEST_F(SessionTest, LongPathsStayWithinOneBlock) {
  const std::string name(200, 'd');
  tree.mkdir("root/" + name + "/" + name + "/" + name);
  RootedFs fs(root());
  Session session(config, fs, logger);
  feed(session, block("velto") + block("qvk"));
  for (int i = 0; i < 3; ++i) feed(session, block("cd " + name));
  EXPECT_EQ(session.directory().size(), 3u);
  const Lines answer = feed(session, block("cd .."));
  ASSERT_EQ(answer.size(), 1u);
  EXPECT_EQ(answer[0].size(), kMaxText);
  EXPECT_EQ(answer[0].substr(0, 4), "#...");
  EXPECT_EQ(answer[0].substr(answer[0].size() - 202), "d/" + name);  // the tail is kept
}

TEST(ServerMessages, EachIsOneBlockTakenForWhatItIs) {
  struct Case {
    std::string message;
    const char* marker;
  };
  const Case cases[] = {
      {password_prompt(), "password:"},
      {directory_reply({}), "#"},
      {directory_reply({"a<b", "password: here", "c:d@e{f"}), "#"},
      {file_header("a#b<c password: d:e@f{g", 42), "<"},
      {listing_header(57), ":"},
      {completion_notice(), "@"},
      {notice("no such file a#b<c:d@e password: f"), "{"},
  };
  for (const auto& c : cases) {
    SCOPED_TRACE(block_text(c.message));
    ASSERT_EQ(c.message.size(), kBlockSize);
    EXPECT_EQ(c.message.back(), '\0');
    EXPECT_EQ(first_marker(block_text(c.message)), c.marker);
  }
  EXPECT_EQ(block_text(file_header("a#b<c password: d", 42)), "a_b_c password_ d<42");
  EXPECT_EQ(block_text(listing_header(57)), "Listing length:57");
  EXPECT_EQ(block_text(directory_reply({"docs", "old"})), "#/docs/old");
}

TEST(ServerMessages, LongTextsAreCutToFitTheirBlock) {
  const std::string name(300, 'n');
  const std::string header = block_text(file_header(name, 4294967295ull));
  EXPECT_EQ(header.size(), kMaxText);
  EXPECT_EQ(header.substr(header.size() - 11), "<4294967295");

  const std::string shown = block_text(notice(name));
  EXPECT_EQ(shown.size(), kMaxText);
  EXPECT_EQ(shown.front(), '{');
  EXPECT_EQ(shown.back(), '}');
}

TEST(ServerListing, SortedByNameWithoutWhatTheClientWouldMisread) {
  const std::vector<DirEntry> entries = {
      {"b.txt", EntryKind::file},          {"A dir", EntryKind::directory},
      {"a[1].txt", EntryKind::file},       {"x..y", EntryKind::file},
      {"two\nlines", EntryKind::file},     {"dir\nname", EntryKind::directory},
      {"socket", EntryKind::other},        {"a]b", EntryKind::directory},
      {"..x", EntryKind::directory},       {"a b", EntryKind::file},
  };
  std::vector<std::string> left_out;
  const std::string text =
      format_listing(entries, [&](const DirEntry& e, const char*) { left_out.push_back(e.name); });
  EXPECT_EQ(text, "[..x]\n[A dir]\na b\n[a]b]\nb.txt\n");
  EXPECT_EQ(left_out, (std::vector<std::string>{"a[1].txt", "dir\nname", "socket", "two\nlines", "x..y"}));
}

TEST(RootedFsTest, ResolvesOnlyBelowTheRoot) {
  TempTree tree;
  tree.mkdir("root/a/b");
  tree.mkdir("outside");
  tree.write("root/a/file", "x");
  tree.write("outside/secret", "s");
  tree.symlink("../outside/secret", "root/rel-out");
  tree.symlink("/etc/passwd", "root/abs-out");
  tree.symlink("a/b/../file", "root/rel-in");
  tree.symlink("../../a", "root/a/b/loop-in");
  ASSERT_EQ(::mkfifo((tree / "root/fifo").c_str(), 0600), 0);
  RootedFs fs((tree / "root").string());

  struct Case {
    const char* path;
    FsStatus file, directory;
  };
  const Case cases[] = {
      {"a/file", FsStatus::ok, FsStatus::wrong_type},
      {"rel-in", FsStatus::ok, FsStatus::wrong_type},
      {"a/b/loop-in/file", FsStatus::ok, FsStatus::wrong_type},
      {"a/b/loop-in", FsStatus::wrong_type, FsStatus::ok},
      {"", FsStatus::wrong_type, FsStatus::ok},
      {"fifo", FsStatus::wrong_type, FsStatus::wrong_type},  // and opening it must not block
      {"rel-out", FsStatus::not_found, FsStatus::not_found},
      {"abs-out", FsStatus::not_found, FsStatus::not_found},
      {"../outside/secret", FsStatus::not_found, FsStatus::not_found},
      {"a/../../outside", FsStatus::not_found, FsStatus::not_found},
      {"/etc/passwd", FsStatus::not_found, FsStatus::not_found},
      {"missing", FsStatus::not_found, FsStatus::not_found},
  };
  for (const auto& c : cases) {
    SCOPED_TRACE(c.path);
    const OpenedFile opened = fs.open_file(c.path);
    EXPECT_EQ(opened.status, c.file);
    EXPECT_EQ(opened.fd.valid(), c.file == FsStatus::ok);
    EXPECT_EQ(fs.check_directory(c.path), c.directory);
  }

  const Listing root = fs.list("", 100);
  ASSERT_EQ(root.status, FsStatus::ok);
  std::map<std::string, EntryKind> kinds;
  for (const auto& e : root.entries) kinds[e.name] = e.kind;
  EXPECT_EQ(kinds, (std::map<std::string, EntryKind>{{"a", EntryKind::directory},
                                                     {"rel-out", EntryKind::other},
                                                     {"abs-out", EntryKind::other},
                                                     {"rel-in", EntryKind::file},
                                                     {"fifo", EntryKind::other}}));
  EXPECT_EQ(fs.list("", 4).status, FsStatus::too_many);
}

}  // namespace
