// Read-only access to the served directory tree. Every path the server touches goes
// through FsView, so the confinement to the root is decided in one place (and a test
// or fuzzer can watch every path that is looked at).
#pragma once

#include <cstdint>
#include <string>
#include <vector>

namespace zurod {

// Owns one file descriptor.
class UniqueFd {
 public:
  UniqueFd() = default;
  explicit UniqueFd(int fd) : fd_(fd) {}
  UniqueFd(UniqueFd&& other) noexcept : fd_(other.release()) {}
  UniqueFd& operator=(UniqueFd&& other) noexcept;
  UniqueFd(const UniqueFd&) = delete;
  UniqueFd& operator=(const UniqueFd&) = delete;
  ~UniqueFd();

  int get() const { return fd_; }
  bool valid() const { return fd_ >= 0; }
  int release();

 private:
  int fd_ = -1;
};

enum class FsStatus {
  ok,
  not_found,      // missing, or it would lie outside the root
  wrong_type,     // not a directory (cd, ls) or not a regular file (get)
  denied,
  too_many,       // directory with more entries than the listing allows
  failed,
};

enum class EntryKind { directory, file, other };

struct DirEntry {
  std::string name;
  EntryKind kind;
};

struct Listing {
  FsStatus status = FsStatus::failed;
  std::vector<DirEntry> entries;  // unsorted, without "." and ".."
};

struct OpenedFile {
  FsStatus status = FsStatus::failed;
  UniqueFd fd;
  std::uint64_t size = 0;
};

// "a/b" + "c" -> "a/b/c"; "" + "c" -> "c".
std::string child_path(const std::string& path, const std::string& name);

// Paths are relative to the root: plain components joined by "/", "" for the root itself.
class FsView {
 public:
  virtual ~FsView() = default;
  virtual FsStatus check_directory(const std::string& path) = 0;
  virtual Listing list(const std::string& path, std::size_t max_entries) = 0;
  virtual OpenedFile open_file(const std::string& path) = 0;
};

// The real tree below one root directory. The kernel resolves every path with
// RESOLVE_BENEATH (openat2), so "..", absolute paths and symlinks can never lead
// outside the root, not even through a race with a concurrent rename.
class RootedFs : public FsView {
 public:
  // Throws std::runtime_error when the root can't be opened or the kernel lacks openat2.
  explicit RootedFs(const std::string& root);

  FsStatus check_directory(const std::string& path) override;
  Listing list(const std::string& path, std::size_t max_entries) override;
  OpenedFile open_file(const std::string& path) override;

 private:
  // openat2 below the root; returns -1 with errno set on failure.
  int open_beneath(const std::string& path, int flags) const;
  EntryKind resolve_kind(const std::string& path) const;

  UniqueFd root_;
};

}  // namespace zurod
