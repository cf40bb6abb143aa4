// zurod-server's command handling against a hostile client. The input is a stream of
// command blocks in pieces of any size; the real Session serves a small tree in a temporary
// directory through the real RootedFs, watched by this fuzzer. It checks that nothing
// outside the served root is ever opened, listed or taken for a file or directory, and that
// everything sent reads as intended by the client's own rules. A broken rule aborts with a
// message naming it.
//
// Input, read from the front:
//   1 byte: bit 0 the fuzzer sends the handshake first; bit 1 the password after it too
//   then pieces, each led by a byte n:
//     n < 128   the next n+1 bytes as they stand
//     n >= 128  the next n-128 bytes, then NULs up to the end of the current block
#include <dirent.h>
#include <fcntl.h>
#include <sys/stat.h>
#include <unistd.h>

#include <climits>
#include <cstdarg>
#include <cstdint>
#include <cstdio>
#include <cstdlib>
#include <cstring>
#include <deque>
#include <filesystem>
#include <string>
#include <string_view>
#include <vector>

#include "client/listing.h"
#include "client/protocol.h"
#include "fs_view.h"
#include "messages.h"
#include "session.h"

namespace {

[[noreturn]] void Fail(const char* format, ...)
{
    std::fprintf(stderr, "\n*** fuzz_server_session: ");
    va_list args;
    va_start(args, format);
    std::vfprintf(stderr, format, args);
    va_end(args);
    std::fprintf(stderr, "\n");
    std::abort();
}

bool Trace = false;    // VELTO_FUZZ_TRACE set: the session's log and replies go to stderr
std::string Base;      // the temporary directory: root/ and outside/
std::string RootReal;  // the served root, resolved

// The tree below root/, with what lies beside it in outside/.
void MakeFile(const std::string& path, const std::string& text)
{
    FILE* f = std::fopen(path.c_str(), "wb");
    if (f == nullptr)
        Fail("cannot create %s", path.c_str());
    std::fwrite(text.data(), 1, text.size(), f);
    std::fclose(f);
}

void MakeTree()
{
    char pattern[] = "/tmp/velto-fuzz-server-XXXXXX";
    if (mkdtemp(pattern) == nullptr)
        Fail("mkdtemp failed");
    Base = pattern;
    const std::string root = Base + "/root";
    const std::string outside = Base + "/outside";
    for (const std::string& dir : {root, outside, root + "/docs", root + "/docs/old", root + "/empty dir",
                                   outside + "/private", root + "/password: dir",
                                   root + "/new\nline dir", root + "/" + std::string(255, 'd')}) {
        if (mkdir(dir.c_str(), 0755) != 0)
            Fail("cannot create %s", dir.c_str());
    }
    MakeFile(outside + "/secret.txt", "outside the root\n");
    MakeFile(outside + "/private/key", "outside the root too\n");
    MakeFile(root + "/readme.txt", "hello\n");
    MakeFile(root + "/empty", "");
    MakeFile(root + "/docs/a.txt", "a\n");
    MakeFile(root + "/docs/old/deep.txt", "deep\n");
    MakeFile(root + "/line\nbreak.txt", "a name the listing can't carry\n");
    MakeFile(root + "/song[1].mp3", "taken for a directory\n");
    MakeFile(root + "/archive..old.zip", "taken for the parent\n");
    MakeFile(root + "/100%n%s #1 <b> : @{x}.txt", "markers and formats\n");
    MakeFile(root + "/" + std::string(251, 'f'), "the longest name a get can carry\n");
    // Sparse: the largest size the client counts, and one beyond it.
    MakeFile(root + "/big.iso", "");
    MakeFile(root + "/huge.img", "");
    if (truncate((root + "/big.iso").c_str(), 3LL << 30) != 0 || truncate((root + "/huge.img").c_str(), 5LL << 30) != 0)
        Fail("cannot size the sparse files");
    struct Link {
        const char* target;
        std::string name;
    } links[] = {
        {"../outside", "escape"},
        {"../outside/secret.txt", "secret"},
        {"docs/../../outside", "sneaky"},
        {"docs", "inner"},
        {"docs/a.txt", "inner.txt"},
        {"loop", "loop"},
        {"missing", "dangling"},
        {"/etc", "etc"},
        {"/etc/passwd", "passwd"},
        {"/proc/self/root", "magic"},
    };
    for (const Link& link : links) {
        if (symlink(link.target, (root + "/" + link.name).c_str()) != 0)
            Fail("cannot link %s", link.name.c_str());
    }
    if (symlink((outside + "/secret.txt").c_str(), (root + "/docs/absolute").c_str()) != 0 ||
        symlink("../../../outside/private", (root + "/docs/old/up3").c_str()) != 0 ||
        mkfifo((root + "/pipe").c_str(), 0644) != 0)
        Fail("cannot make the links and the pipe");

    char resolved[PATH_MAX];
    if (realpath(root.c_str(), resolved) == nullptr)
        Fail("cannot resolve %s", root.c_str());
    RootReal = resolved;
}

void RemoveTree()
{
    std::error_code ignored;
    std::filesystem::remove_all(Base, ignored);
}

bool Inside(const std::string& resolved)
{
    return resolved == RootReal || resolved.compare(0, RootReal.size() + 1, RootReal + "/") == 0;
}

// Where a path below the root really leads, by the ordinary rules (symlinks followed
// wherever they go); "" when it leads nowhere.
std::string Resolve(const std::string& path)
{
    char resolved[PATH_MAX];
    const std::string full = path.empty() ? RootReal : RootReal + "/" + path;
    return realpath(full.c_str(), resolved) != nullptr ? resolved : "";
}

// The file system as the session sees it, watched: every path asked for and every answer.
class WatchedFs : public zurod::FsView {
public:
    explicit WatchedFs(const std::string& root) : real_(root) {}

    zurod::FsStatus check_directory(const std::string& path) override
    {
        CheckPath(path);
        zurod::FsStatus status = real_.check_directory(path);
        if (status == zurod::FsStatus::ok)
            ExpectInside(path, S_IFDIR, "cd");
        return status;
    }

    zurod::Listing list(const std::string& path, std::size_t max_entries) override
    {
        CheckPath(path);
        zurod::Listing listing = real_.list(path, max_entries);
        if (listing.status == zurod::FsStatus::ok) {
            listed.push_back(path);
            ExpectInside(path, S_IFDIR, "ls");
            for (const zurod::DirEntry& entry : listing.entries) {
                if (entry.kind == zurod::EntryKind::directory)
                    ExpectInside(zurod::child_path(path, entry.name), S_IFDIR, "listed directory");
                else if (entry.kind == zurod::EntryKind::file)
                    ExpectInside(zurod::child_path(path, entry.name), S_IFREG, "listed file");
            }
        }
        return listing;
    }

    // Directories listed, oldest first, whose listings the session has not had checked yet.
    std::deque<std::string> listed;

    zurod::OpenedFile open_file(const std::string& path) override
    {
        CheckPath(path);
        zurod::OpenedFile file = real_.open_file(path);
        if (file.status == zurod::FsStatus::ok) {
            ExpectInside(path, S_IFREG, "get");
            CheckOpenFile(file.fd.get(), file.size, path);
        }
        return file;
    }

    // The descriptor leads to a regular file of that size below the root.
    static void CheckOpenFile(int fd, uint64_t size, const std::string& path)
    {
        char link[64];
        char target[PATH_MAX];
        std::snprintf(link, sizeof link, "/proc/self/fd/%d", fd);
        ssize_t n = readlink(link, target, sizeof target - 1);
        if (n < 0)
            Fail("get \"%s\": descriptor %d is not open", path.c_str(), fd);
        target[n] = '\0';
        if (!Inside(target))
            Fail("get \"%s\" opened \"%s\", outside the root", path.c_str(), target);
        struct stat st {};
        if (fstat(fd, &st) != 0 || !S_ISREG(st.st_mode) || static_cast<uint64_t>(st.st_size) != size)
            Fail("get \"%s\": not a regular file of %llu bytes", path.c_str(), static_cast<unsigned long long>(size));
    }

private:
    // Paths are relative, of plain names; the kernel is then asked to stay below the root.
    static void CheckPath(const std::string& path)
    {
        if (path.find('\0') != std::string::npos)
            Fail("a path with a NUL");
        if (path.empty())
            return;
        std::size_t start = 0;
        for (;;) {
            std::size_t slash = path.find('/', start);
            std::string name = path.substr(start, slash == std::string::npos ? std::string::npos : slash - start);
            if (name.empty() || name == "." || name == "..")
                Fail("path \"%s\" has the component \"%s\"", path.c_str(), name.c_str());
            if (slash == std::string::npos)
                break;
            start = slash + 1;
        }
    }

    // What the session was told exists must really be below the root and of that type.
    static void ExpectInside(const std::string& path, mode_t type, const char* what)
    {
        const std::string resolved = Resolve(path);
        if (resolved.empty() || !Inside(resolved))
            Fail("%s \"%s\" accepted, but it leads to \"%s\", outside the root", what, path.c_str(), resolved.c_str());
        struct stat st {};
        if (stat(resolved.c_str(), &st) != 0 || (st.st_mode & S_IFMT) != type)
            Fail("%s \"%s\" accepted as the wrong type", what, path.c_str());
    }

    zurod::RootedFs real_;
};

WatchedFs* Fs;
const zurod::SessionConfig Config{"qvk", "Be nice: at most 2 GB a day. #1 <rule> @all {ok}"};

int OpenDescriptors()
{
    int count = 0;
    if (DIR* dir = opendir("/proc/self/fd")) {
        while (readdir(dir) != nullptr)
            ++count;
        closedir(dir);
    }
    return count;
}

std::string Block(const std::string& text)
{
    std::string block = text;
    block.resize(CommandBlockSize, '\0');
    return block;
}

// What the session sends, read as the client reads it, across calls of feed().
struct Reader {
    int blocks = 0;  // text blocks so far
    bool closed = false;
    enum { Any, ListingText, FileData, Completion } next = Any;
    uint32_t expected = 0;  // the listing's length or the file's size just announced

    void Check(const zurod::Output& out)
    {
        if (closed)
            Fail("something sent after the close");
        if (out.kind == zurod::Output::Kind::close) {
            if (next != Any)
                Fail("closed in the middle of a reply");
            closed = true;
            return;
        }
        if (next == FileData) {
            if (out.kind != zurod::Output::Kind::file || out.size != expected || !out.file.valid())
                Fail("a file header of %u bytes without that file behind it", expected);
            WatchedFs::CheckOpenFile(out.file.get(), out.size, "(sent)");
            next = Completion;
            return;
        }
        if (out.kind != zurod::Output::Kind::bytes)
            Fail("a file sent without a header");
        if (next == ListingText) {
            CheckListing(out.data);
            next = Any;
            return;
        }
        CheckBlock(out.data);
        const std::string text = out.data.c_str();
        if (Trace)
            std::fprintf(stderr, "reply: %s\n", text.c_str());
        ++blocks;
        const ReplyKind kind = ClassifyReply(text);
        if (next == Completion) {
            if (kind != ReplyKind::CompletionNotice)
                Fail("a file not followed by its completion notice: \"%s\"", text.c_str());
            next = Any;
            return;
        }
        if (blocks == 1) {
            if (kind != ReplyKind::PasswordPrompt)
                Fail("the first block is no password prompt: \"%s\"", text.c_str());
            return;
        }
        if (blocks == 2) {
            if (text != Config.agreement)
                Fail("the second block is not the agreement: \"%s\"", text.c_str());
            return;
        }
        switch (kind) {
        case ReplyKind::DirectoryReply:
        case ReplyKind::ServerNotice:
            break;
        case ReplyKind::ListingHeader:
            // Of a length of 0 the client would take the next reply for the listing.
            expected = ParseListingLength(text);
            if (expected == 0)
                Fail("a listing header of length 0: \"%s\"", text.c_str());
            next = ListingText;
            break;
        case ReplyKind::FileHeader:
            expected = ParseFileHeader(text).size;
            next = FileData;
            break;
        default:
            Fail("a reply the client would misread: \"%s\"", text.c_str());
        }
    }

    static void CheckBlock(const std::string& block)
    {
        if (block.size() != CommandBlockSize)
            Fail("a text block of %zu bytes", block.size());
        const std::size_t nul = block.find('\0');
        if (nul == std::string::npos)
            Fail("a text block without a NUL");
        if (block.find_first_not_of('\0', nul) != std::string::npos)
            Fail("a text block with bytes after its NUL: \"%s\"", block.c_str());
    }

    // Every line is an entry of the directory listed that the client takes for what it is.
    void CheckListing(const std::string& text)
    {
        if (Fs->listed.empty())
            Fail("a listing sent with no directory listed");
        const std::string directory = Fs->listed.front();
        Fs->listed.pop_front();
        if (text.size() != expected)
            Fail("a listing of %zu bytes announced as %u", text.size(), expected);
        if (text == std::string(1, '\0'))
            return;  // an empty directory: the client lists nothing before the NUL
        if (text.find('\0') != std::string::npos || text.back() != '\n')
            Fail("a listing with a NUL or without its last line feed");
        std::vector<std::string> entries;
        SplitString(text, "\n", entries);
        for (const std::string& entry : entries) {
            std::string name = entry;
            mode_t type = S_IFREG;
            if (ClassifyEntry(entry) == ::EntryKind::Directory) {
                if (entry.size() < 2 || entry.front() != '[' || entry.back() != ']')
                    Fail("listing entry \"%s\" is taken for a directory", entry.c_str());
                name = entry.substr(1, entry.size() - 2);
                if (DirectoryNameOfEntry(entry) != name)
                    Fail("listing entry \"%s\" names another directory", entry.c_str());
                type = S_IFDIR;
            } else if (ClassifyEntry(entry) != ::EntryKind::File) {
                Fail("listing entry \"%s\" is taken for the parent", entry.c_str());
            }
            struct stat st {};
            const std::string resolved = Resolve(zurod::child_path(directory, name));
            if (resolved.empty() || !Inside(resolved) || stat(resolved.c_str(), &st) != 0 || (st.st_mode & S_IFMT) != type)
                Fail("listing entry \"%s\" is no such entry below the root", entry.c_str());
        }
    }
};

void CheckLogLine(const std::string& line)
{
    if (Trace)
        std::fprintf(stderr, "log: %s\n", line.c_str());
    for (unsigned char c : line) {
        if (c < 0x20 || c == 0x7f)
            Fail("a log line with control character 0x%02x: \"%s\"", c, line.c_str());
    }
}

}  // namespace

extern "C" int LLVMFuzzerInitialize(int*, char***)
{
    Trace = std::getenv("VELTO_FUZZ_TRACE") != nullptr;
    MakeTree();
    std::atexit(RemoveTree);
    Fs = new WatchedFs(Base + "/root");
    return 0;
}

extern "C" int LLVMFuzzerTestOneInput(const uint8_t* data, std::size_t size)
{
    const int descriptors = OpenDescriptors();
    Fs->listed.clear();
    {
        zurod::Session session(Config, *Fs, CheckLogLine);
        Reader reader;
        std::size_t fed = 0;
        auto feed = [&](const std::string& bytes) {
            fed += bytes.size();
            for (const zurod::Output& out : session.feed(bytes))
                reader.Check(out);
        };

        std::size_t pos = 0;
        const uint8_t flags = size > 0 ? data[pos++] : 0;
        if (flags & 3)
            feed(Block("velto"));
        if (flags & 2)
            feed(Block(Config.password));
        while (pos < size) {
            const uint8_t n = data[pos++];
            const std::size_t take = std::min<std::size_t>(n < 128 ? n + 1u : n - 128u, size - pos);
            std::string piece(reinterpret_cast<const char*>(data + pos), take);
            pos += take;
            if (n >= 128)
                piece.append((CommandBlockSize - (fed + piece.size()) % CommandBlockSize) % CommandBlockSize, '\0');
            if (!piece.empty())
                feed(piece);
        }
        if (reader.next != Reader::Any)
            Fail("a reply left unfinished");
        if (!Fs->listed.empty())
            Fail("a directory listed but no listing sent");
    }
    if (OpenDescriptors() != descriptors)
        Fail("descriptors leaked: %d open before, %d after", descriptors, OpenDescriptors());
    return 0;
}
