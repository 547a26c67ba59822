// SPDX-License-Identifier: GPL-3.0-or-later
#pragma once

#include <sys/types.h>

#include <cstddef>
#include <cstdint>
#include <stdexcept>
#include <string>
#include <string_view>
#include <vector>

#include "shared/Errors.h"

namespace plenar {

// Files that come from the user (fonts, programs, images, settings, language files) and files the
// program saves (read-back, sysconfig.ini, debug.log, 1.bin, 2.bin). A user may name anything:
// a FIFO, a device node, a symlink, a directory. Reading never blocks and never grows without
// bound; saving never replaces what a path names with something else.
// Threads: plain functions; concurrent calls on different paths are independent.

// Why an input file was refused; what() is the text shown to the user.
enum class InputFileProblem { Missing, NotRegular, TooLarge, Unreadable };

// "file-missing", "file-not-regular", "file-too-large", "file-unreadable": the stable key a
// --json error gives for the problem.
const char* inputFileErrorCode(InputFileProblem problem);

class InputFileError : public Error {
 public:
  using Kind = InputFileProblem;
  InputFileError(Kind problem, const std::string& message)
      : Error(message, {.kind = FailureKind::File, .code = inputFileErrorCode(problem)}),
        problem_(problem) {}
  Kind problem() const { return problem_; }

 private:
  Kind problem_;
};

// Reads a whole regular file of at most `maxBytes` bytes. The open never waits (a FIFO without a
// writer, a terminal), and anything that is not a regular file (directory, FIFO, device, socket,
// a symlink to one of them) is refused without reading a byte. A file that grows past the cap
// while it is read is refused as well.
std::string readInputFile(const std::string& path, std::size_t maxBytes);
std::vector<std::uint8_t> readInputBytes(const std::string& path, std::size_t maxBytes);

// Saves `bytes` under `path`:
// - a regular file (or nothing yet) is replaced atomically through a temporary file in the same
//   folder and a rename; a new file gets `createMode`, an existing one keeps its mode;
// - a symlink is followed: the target is what gets replaced, in the target's folder, and the
//   link stays a link (a dangling link creates its target);
// - an existing path that is not a regular file (FIFO, character device, /dev/stdout) is written
//   through in place, never replaced; a FIFO without a reader fails at once instead of waiting;
//   a directory is refused (EISDIR).
// Returns false (errno set) on failure, leaving any earlier file untouched.
bool replaceFileAtomically(const std::string& path, std::string_view bytes, mode_t createMode);

// Saves a file that may hold a secret or a trace (debug.log, sysconfig.ini, profiles, apply
// records, the record key): written to `.<name>.tmp.XXXXXX` in the same folder (created
// O_EXCL, 0600), synced and renamed over `path`, then the folder is synced. The result is always
// 0600, whatever the old file's mode was. A symlink, anything that is not a regular file, or a
// file of another user at `path` is refused (ELOOP, EINVAL, EPERM) and left as it is.
// Returns false (errno set) on failure; the old file is then untouched.
bool savePrivateFile(const std::string& path, std::string_view bytes);

// Saves a file the user named for the program's output (a read-back). A regular file, or nothing
// yet, goes through savePrivateFile (0600; never through a link, never over another user's file).
// A FIFO or a device takes the bytes in place, named directly or through a link that root or the
// user owns (/dev/stdout, /dev/fd/1), unless it belongs to another user (a FIFO planted in a
// shared folder would hand them the bytes). A link to anything else is refused (ELOOP), as is a
// folder (EISDIR). False with errno on failure; the old file is then untouched.
bool saveOutputFile(const std::string& path, std::string_view bytes);
// Whether saveOutputFile(path, ...) would take what `path` names now, before anything is read
// from the printer (errno set when not). The save itself checks again.
bool canSaveOutputFile(const std::string& path);

// Why a save failed, for a message: the refusals of savePrivateFile and saveOutputFile in words
// ("it is a symbolic link, and files are never written through one"), else strerror.
std::string saveErrorText(int error);

// Creates `folder` and each missing level above it with mode 0700 (levels that exist are left
// as they are). False with errno when one cannot be made or is not a folder.
bool makePrivateFolder(const std::string& folder);

// Whether savePrivateFile(path, ...) could create its temporary file: one is made (O_EXCL) and
// removed. False with errno when the folder takes no new file (read-only, no space for an inode).
bool canCreatePrivateFile(const std::string& path);

// Removes the temporary files a killed savePrivateFile() of `path` left behind.
void removeStaleTemps(const std::string& path);

}  // namespace plenar
