#include "fs_view.h"

#include <cerrno>
#include <cstring>
#include <stdexcept>

#include <dirent.h>
#include <fcntl.h>
#include <linux/openat2.h>
#include <sys/stat.h>
#include <sys/syscall.h>
#include <unistd.h>

namespace zurod {

UniqueFd& UniqueFd::operator=(UniqueFd&& other) noexcept {
  if (this != &other) {
    if (fd_ >= 0) ::close(fd_);
    fd_ = other.release();
  }
  return *this;
}

UniqueFd::~UniqueFd() {
  if (fd_ >= 0) ::close(fd_);
}

int UniqueFd::release() {
  int fd = fd_;
  fd_ = -1;
  return fd;
}

std::string child_path(const std::string& path, const std::string& name) {
  return path.empty() ? name : path + "/" + name;
}

namespace {

FsStatus status_from_errno(int err) {
  switch (err) {
    case ENOENT:
    case EXDEV:         // the path would leave the root
    case ELOOP:
    case ENAMETOOLONG:
      return FsStatus::not_found;
    case ENOTDIR:
      return FsStatus::wrong_type;
    case EACCES:
    case EPERM:
      return FsStatus::denied;
    default:
      return FsStatus::failed;
  }
}

}  // namespace

RootedFs::RootedFs(const std::string& root) {
  int fd = ::open(root.c_str(), O_RDONLY | O_DIRECTORY | O_CLOEXEC);
  if (fd < 0) {
    throw std::runtime_error("cannot open root directory " + root + ": " + std::strerror(errno));
  }
  root_ = UniqueFd(fd);
  UniqueFd probe(open_beneath("", O_RDONLY | O_DIRECTORY));
  if (!probe.valid()) {
    throw std::runtime_error(errno == ENOSYS
                                 ? std::string("this kernel lacks openat2 (Linux 5.6 or later needed)")
                                 : "cannot read root directory " + root + ": " + std::strerror(errno));
  }
}

int RootedFs::open_beneath(const std::string& path, int flags) const {
  open_how how{};
  how.flags = static_cast<std::uint64_t>(flags | O_CLOEXEC);
  how.resolve = RESOLVE_BENEATH | RESOLVE_NO_MAGICLINKS;
  const char* p = path.empty() ? "." : path.c_str();
  // EAGAIN: a concurrent rename made the kernel unsure that the walk stayed below the root.
  for (int attempt = 0;; ++attempt) {
    long fd = ::syscall(SYS_openat2, root_.get(), p, &how, sizeof how);
    if (fd >= 0 || errno != EAGAIN || attempt == 3) return static_cast<int>(fd);
  }
}

EntryKind RootedFs::resolve_kind(const std::string& path) const {
  UniqueFd fd(open_beneath(path, O_PATH));
  struct stat st {};
  if (!fd.valid() || ::fstat(fd.get(), &st) != 0) return EntryKind::other;
  if (S_ISDIR(st.st_mode)) return EntryKind::directory;
  if (S_ISREG(st.st_mode)) return EntryKind::file;
  return EntryKind::other;
}

FsStatus RootedFs::check_directory(const std::string& path) {
  UniqueFd fd(open_beneath(path, O_RDONLY | O_DIRECTORY));
  return fd.valid() ? FsStatus::ok : status_from_errno(errno);
}

Listing RootedFs::list(const std::string& path, std::size_t max_entries) {
  Listing result;
  int fd = open_beneath(path, O_RDONLY | O_DIRECTORY);
  if (fd < 0) {
    result.status = status_from_errno(errno);
    return result;
  }
  DIR* dir = ::fdopendir(fd);
  if (dir == nullptr) {
    ::close(fd);
    return result;
  }
  result.status = FsStatus::ok;
  while (const dirent* entry = ::readdir(dir)) {
    std::string name = entry->d_name;
    if (name == "." || name == "..") continue;
    if (result.entries.size() == max_entries) {
      result.status = FsStatus::too_many;
      result.entries.clear();
      break;
    }
    EntryKind kind = EntryKind::other;
    switch (entry->d_type) {
      case DT_DIR: kind = EntryKind::directory; break;
      case DT_REG: kind = EntryKind::file; break;
      case DT_LNK:
      case DT_UNKNOWN:
        // Followed only while it stays below the root.
        kind = resolve_kind(child_path(path, name));
        break;
      default: break;
    }
    result.entries.push_back({std::move(name), kind});
  }
  ::closedir(dir);
  return result;
}

OpenedFile RootedFs::open_file(const std::string& path) {
  OpenedFile result;
  // Look at the type through an O_PATH handle first, so that no device or FIFO is ever
  // opened for reading; then open for reading and make sure it is still the same file.
  UniqueFd probe(open_beneath(path, O_PATH));
  struct stat before {};
  if (!probe.valid() || ::fstat(probe.get(), &before) != 0) {
    result.status = status_from_errno(errno);
    return result;
  }
  if (!S_ISREG(before.st_mode)) {
    result.status = FsStatus::wrong_type;
    return result;
  }
  UniqueFd fd(open_beneath(path, O_RDONLY | O_NOCTTY | O_NONBLOCK));
  struct stat after {};
  if (!fd.valid() || ::fstat(fd.get(), &after) != 0) {
    result.status = status_from_errno(errno);
    return result;
  }
  if (!S_ISREG(after.st_mode) || after.st_ino != before.st_ino || after.st_dev != before.st_dev) {
    result.status = FsStatus::wrong_type;
    return result;
  }
  result.status = FsStatus::ok;
  result.fd = std::move(fd);
  result.size = static_cast<std::uint64_t>(after.st_size);
  return result;
}

}  // namespace zurod
