// SPDX-License-Identifier: GPL-3.0-or-later
#include "platform/SafeFiles.h"

#include <fcntl.h>
#include <limits.h>
#include <sys/stat.h>
#include <unistd.h>

#include <algorithm>
#include <cerrno>
#include <cstdlib>
#include <cstring>
#include <filesystem>

namespace plenar {

namespace {

constexpr int kMaxLinkHops = 40;  // the kernel's own limit for a path walk

// One descriptor, closed once; close() reports the result that matters for a written file.
class Fd {
 public:
  explicit Fd(int fd) : fd_(fd) {}
  ~Fd() { reset(); }
  Fd(const Fd&) = delete;
  Fd& operator=(const Fd&) = delete;
  explicit operator bool() const { return fd_ >= 0; }
  int get() const { return fd_; }
  void reset() {
    if (fd_ >= 0) ::close(fd_);
    fd_ = -1;
  }
  int close() {
    int rc = ::close(fd_);
    fd_ = -1;
    return rc;
  }

 private:
  int fd_;
};

std::string quoted(const std::string& path) {
  return "\"" + path + "\"";
}

std::string sizeText(std::size_t bytes) {
  if (bytes >= (1u << 20) && bytes % (1u << 20) == 0) return std::to_string(bytes >> 20) + " MiB";
  if (bytes >= 1024 && bytes % 1024 == 0) return std::to_string(bytes >> 10) + " KiB";
  return std::to_string(bytes) + " bytes";
}

std::string folderOf(const std::string& path) {
  auto slash = path.rfind('/');
  if (slash == std::string::npos) return ".";
  if (slash == 0) return "/";
  return path.substr(0, slash);
}

bool writeAll(int fd, std::string_view bytes) {
  const char* p = bytes.data();
  std::size_t left = bytes.size();
  while (left > 0) {
    ssize_t n = ::write(fd, p, left);
    if (n < 0) {
      if (errno == EINTR) continue;
      return false;
    }
    p += n;
    left -= static_cast<std::size_t>(n);
  }
  return true;
}

// The path a symlink chain ends at, followed by hand so that a dangling link still names the file
// to create. Links with a target that exists are resolved by realpath.
bool resolveTarget(const std::string& path, std::string& target) {
  target = path;
  for (int hop = 0; hop < kMaxLinkHops; ++hop) {
    struct stat st {};
    if (::lstat(target.c_str(), &st) != 0 || !S_ISLNK(st.st_mode)) return true;
    if (char* real = ::realpath(target.c_str(), nullptr)) {
      target = real;
      std::free(real);
      return true;
    }
    char buf[PATH_MAX];
    ssize_t n = ::readlink(target.c_str(), buf, sizeof buf - 1);
    if (n < 0) return false;
    std::string next(buf, static_cast<std::size_t>(n));
    target = next.front() == '/' ? next : folderOf(target) + "/" + next;
  }
  errno = ELOOP;
  return false;
}

// A FIFO, a device node or a magic link such as /dev/stdout takes the bytes where it is.
bool writeThrough(const std::string& path, std::string_view bytes, const struct stat& st) {
  if (S_ISDIR(st.st_mode)) {
    errno = EISDIR;
    return false;
  }
  // Non-blocking so that a FIFO nobody reads fails with ENXIO instead of hanging the program.
  Fd fd(::open(path.c_str(), O_WRONLY | O_NONBLOCK | O_NOCTTY | O_CLOEXEC));
  if (!fd) return false;
  int flags = ::fcntl(fd.get(), F_GETFL);
  if (flags < 0 || ::fcntl(fd.get(), F_SETFL, flags & ~O_NONBLOCK) != 0) return false;
  if (!writeAll(fd.get(), bytes)) return false;
  return fd.close() == 0;
}

// Writes `bytes` to a new file made from the mkstemp template `tmp` (O_EXCL, so never through
// a link planted there), gives it `mode`, syncs it and renames it over `target`.
bool writeAndRename(std::string tmp, const std::string& target, std::string_view bytes,
                    mode_t mode) {
  int raw = ::mkstemp(tmp.data());
  if (raw < 0) return false;
  Fd fd(raw);
  auto fail = [&] {
    int saved = errno;
    fd.reset();
    ::unlink(tmp.c_str());
    errno = saved;
    return false;
  };
  if (::fchmod(fd.get(), mode) != 0) return fail();
  if (!writeAll(fd.get(), bytes)) return fail();
  if (::fsync(fd.get()) != 0) return fail();
  if (fd.close() != 0) return fail();
  if (::rename(tmp.c_str(), target.c_str()) != 0) return fail();
  return true;
}

bool replaceRegular(const std::string& target, std::string_view bytes, mode_t mode) {
  return writeAndRename(target + ".XXXXXX", target, bytes, mode);
}

}  // namespace

const char* inputFileErrorCode(InputFileProblem kind) {
  switch (kind) {
    case InputFileError::Kind::Missing:
      return "file-missing";
    case InputFileError::Kind::NotRegular:
      return "file-not-regular";
    case InputFileError::Kind::TooLarge:
      return "file-too-large";
    case InputFileError::Kind::Unreadable:
      break;
  }
  return "file-unreadable";
}

std::string readInputFile(const std::string& path, std::size_t maxBytes) {
  using Kind = InputFileError::Kind;
  // O_NONBLOCK: opening a FIFO for reading must not wait for a writer.
  Fd fd(::open(path.c_str(), O_RDONLY | O_NONBLOCK | O_NOCTTY | O_CLOEXEC));
  if (!fd) {
    int err = errno;
    Kind kind = err == ENOENT || err == ENOTDIR ? Kind::Missing : Kind::Unreadable;
    throw InputFileError(kind, "Cannot open file " + quoted(path) + ". " + std::strerror(err));
  }
  struct stat st {};
  if (::fstat(fd.get(), &st) != 0) {
    throw InputFileError(Kind::Unreadable,
                         "Cannot read file " + quoted(path) + ". " + std::strerror(errno));
  }
  if (!S_ISREG(st.st_mode)) {
    throw InputFileError(Kind::NotRegular, quoted(path) + " is not a regular file");
  }
  const std::string tooLarge =
      "File " + quoted(path) + " is too large (at most " + sizeText(maxBytes) + ")";
  if (static_cast<std::uintmax_t>(st.st_size) > maxBytes) {
    throw InputFileError(Kind::TooLarge, tooLarge);
  }
  // The size fstat gave and one byte to see the end: a file that grows meanwhile is read on;
  // sizing it exactly made the end-of-file read copy the whole file to a buffer twice as large.
  std::string bytes;
  bytes.resize(static_cast<std::size_t>(st.st_size) + 1);
  std::size_t got = 0;
  for (;;) {
    // One byte of room beyond the cap tells a file that grew past it.
    if (got == bytes.size()) {
      if (bytes.size() > maxBytes) throw InputFileError(Kind::TooLarge, tooLarge);
      bytes.resize(std::min(maxBytes + 1, std::max<std::size_t>(bytes.size() * 2, 4096)));
    }
    ssize_t n = ::read(fd.get(), bytes.data() + got, bytes.size() - got);
    if (n < 0) {
      if (errno == EINTR) continue;
      throw InputFileError(Kind::Unreadable,
                           "Cannot read file " + quoted(path) + ". " + std::strerror(errno));
    }
    if (n == 0) break;
    got += static_cast<std::size_t>(n);
  }
  if (got > maxBytes) throw InputFileError(Kind::TooLarge, tooLarge);
  bytes.resize(got);
  return bytes;
}

std::vector<std::uint8_t> readInputBytes(const std::string& path, std::size_t maxBytes) {
  std::string bytes = readInputFile(path, maxBytes);
  return {bytes.begin(), bytes.end()};
}

bool replaceFileAtomically(const std::string& path, std::string_view bytes, mode_t createMode) {
  if (path.empty()) {
    errno = ENOENT;
    return false;
  }
  struct stat st {};
  if (::stat(path.c_str(), &st) == 0) {
    if (!S_ISREG(st.st_mode)) return writeThrough(path, bytes, st);
    std::string target;
    if (!resolveTarget(path, target)) return false;
    return replaceRegular(target, bytes, st.st_mode & 07777);
  }
  if (errno != ENOENT) return false;
  // Nothing there yet, or a link whose target does not exist: create the target.
  std::string target;
  if (!resolveTarget(path, target)) return false;
  return replaceRegular(target, bytes, createMode);
}

}  // namespace plenar

namespace plenar {
namespace {

std::string baseOf(const std::string& path) {
  auto slash = path.rfind('/');
  return slash == std::string::npos ? path : path.substr(slash + 1);
}

std::string tempPrefix(const std::string& path) {
  const std::string folder = folderOf(path);
  return (path.find('/') == std::string::npos ? std::string() : folder + "/") + "." + baseOf(path) +
         ".tmp.";
}

bool syncFolder(const std::string& folder) {
  Fd dir(::open(folder.c_str(), O_RDONLY | O_DIRECTORY | O_CLOEXEC));
  if (!dir) return false;
  return ::fsync(dir.get()) == 0 || errno == EINVAL;
}

}  // namespace

bool savePrivateFile(const std::string& path, std::string_view bytes) {
  if (path.empty() || path.back() == '/') {
    errno = ENOENT;
    return false;
  }
  struct stat st {};
  if (::lstat(path.c_str(), &st) == 0) {
    if (S_ISLNK(st.st_mode)) {
      errno = ELOOP;
      return false;
    }
    if (!S_ISREG(st.st_mode)) {
      errno = EINVAL;
      return false;
    }
    if (st.st_uid != ::geteuid()) {
      errno = EPERM;
      return false;
    }
  } else if (errno != ENOENT) {
    return false;
  }
  if (!writeAndRename(tempPrefix(path) + "XXXXXX", path, bytes, 0600)) return false;
  syncFolder(folderOf(path));
  return true;
}

namespace {

// Root's (the system's: /dev/stdout) or the user's own.
bool trustedOwner(uid_t uid) {
  return uid == ::geteuid() || uid == 0;
}

}  // namespace

namespace {

enum class OutputWay { Replace, WriteThrough, Refused };

// How saveOutputFile() takes `path` (Refused: errno says why); `target` is what a stream or a
// device written through is.
OutputWay outputWay(const std::string& path, struct stat& target) {
  struct stat named {};
  if (path.empty() || ::lstat(path.c_str(), &named) != 0) {
    return path.empty() || errno == ENOENT ? OutputWay::Replace : OutputWay::Refused;
  }
  const bool regular = S_ISREG(named.st_mode);
  if (regular ? named.st_uid != ::geteuid() : !trustedOwner(named.st_uid)) {
    errno = EPERM;
    return OutputWay::Refused;
  }
  if (regular) return OutputWay::Replace;
  target = named;
  if (S_ISLNK(named.st_mode)) {
    // Only a stream or a device at the end of the link: a file it names is never replaced.
    if (::stat(path.c_str(), &target) != 0 ||
        !(S_ISFIFO(target.st_mode) || S_ISCHR(target.st_mode))) {
      errno = ELOOP;
      return OutputWay::Refused;
    }
  } else if (S_ISDIR(named.st_mode)) {
    errno = EISDIR;
    return OutputWay::Refused;
  }
  return OutputWay::WriteThrough;
}

}  // namespace

bool saveOutputFile(const std::string& path, std::string_view bytes) {
  struct stat target {};
  switch (outputWay(path, target)) {
    case OutputWay::Replace:
      return savePrivateFile(path, bytes);
    case OutputWay::WriteThrough:
      return writeThrough(path, bytes, target);
    case OutputWay::Refused:
      break;
  }
  return false;
}

bool canSaveOutputFile(const std::string& path) {
  struct stat target {};
  return outputWay(path, target) != OutputWay::Refused;
}

std::string saveErrorText(int error) {
  switch (error) {
    case ELOOP:
      return "It is a symbolic link, and files are never written through one";
    case EPERM:
      return "It belongs to another user";
    case EINVAL:
      return "It is not a regular file";
    default:
      return std::strerror(error);
  }
}

bool makePrivateFolder(const std::string& folder) {
  if (folder.empty()) return true;
  std::string level;
  std::size_t from = 0;
  while (from <= folder.size()) {
    std::size_t slash = folder.find('/', from);
    if (slash == std::string::npos) slash = folder.size();
    level = folder.substr(0, slash);
    from = slash + 1;
    if (level.empty()) continue;
    if (::mkdir(level.c_str(), 0700) != 0 && errno != EEXIST) return false;
  }
  struct stat st {};
  if (::stat(folder.c_str(), &st) != 0) return false;
  if (!S_ISDIR(st.st_mode)) {
    errno = ENOTDIR;
    return false;
  }
  return true;
}

bool canCreatePrivateFile(const std::string& path) {
  std::string probe = tempPrefix(path) + "XXXXXX";
  const int fd = ::mkstemp(probe.data());
  if (fd < 0) return false;
  ::close(fd);
  ::unlink(probe.c_str());
  return true;
}

void removeStaleTemps(const std::string& path) {
  const std::string prefix = "." + baseOf(path) + ".tmp.";
  std::error_code ec;
  for (const auto& entry : std::filesystem::directory_iterator(folderOf(path), ec)) {
    const std::string name = entry.path().filename().string();
    if (name.rfind(prefix, 0) == 0 && entry.is_regular_file(ec) && !entry.is_symlink(ec)) {
      std::filesystem::remove(entry.path(), ec);
    }
  }
}

}  // namespace plenar
