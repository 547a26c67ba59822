// SPDX-License-Identifier: GPL-3.0-or-later
#pragma once

#include <map>
#include <optional>
#include <string>
#include <string_view>
#include <system_error>
#include <utility>
#include <vector>

#include "engine/CommandRequest.h"
#include "profile/LinkJson.h"
#include "shared/Errors.h"

namespace plenar {

// What was last applied to one printer, the only answer to "is it configured already?" since
// the printer cannot report its settings. One file per printer link, rewritten atomically after
// every group that succeeded, so an interrupted apply leaves a true partial record.
//
// {"schema":1,"plenar_version":"1.0","updated":"2026-12-07T17:30:00Z",
//  "link":{...},"link_after":{...},"model_tag":"PLENAR80","profile_sha256":"...",
//  "device":{"name":"...","serial_no":"..."},
//  "groups":{"codepage":{"sha256":"...","applied":"...","values":{"CodePage":"CP437"}}, ...}}
//
// Passwords are only part of a group's hash, and a group that holds one is recorded with a keyed
// hash ("hmac_sha256", under the machine's record key) in place of "sha256": a record alone
// tells nothing about a password, and equal values still match on the machine that wrote it.
// Its values show them masked.
struct RecordedGroup {
  std::string sha256;  // the hash, keyed when `keyed`
  bool keyed = false;
  std::string applied;  // UTC, ISO 8601
  std::vector<std::pair<std::string, std::string>> values;
};

struct ApplyRecord {
  std::string plenarVersion;
  std::string updated;
  LinkSnapshot link;                      // the link the apply was started with
  std::optional<LinkSnapshot> linkAfter;  // where the printer answers after it
  std::string modelTag;
  std::string profileSha256;
  std::optional<std::pair<std::string, std::string>> device;  // name, serial number
  std::map<std::string, RecordedGroup> groups;
};

// The default record of a link: apply/<kind>-<port or address>.json in the state folder. A serial
// port is named by the device itself (COMn and links resolved), so two names share one record.
std::string defaultRecordPath(const std::string& stateDir, const LinkSnapshot& link);
// The serial device a port name stands for: COMn as /dev/ttyS(n-1), a link (ln -s,
// /dev/serial/by-id/...) as the device it names; the name itself when it names nothing.
std::string serialDeviceOf(const std::string& port);

// nullopt when there is no file; RecordError when it is there but unreadable or malformed;
// RecordUnsafe when the path is a symlink, not a regular file, or another user's file (which
// an apply must neither trust nor replace).
class RecordError : public Error {
 public:
  explicit RecordError(const std::string& message) : Error(message, {.kind = FailureKind::File}) {}
};
class RecordUnsafe : public RecordError {
 public:
  using RecordError::RecordError;
};
std::optional<ApplyRecord> loadApplyRecord(const std::string& path);
// The record's JSON as loadApplyRecord reads it; `path` only names it in a RecordError.
ApplyRecord parseApplyRecord(std::string_view bytes, const std::string& path);
// Throws RecordUnsafe when `path` names something an apply must not write to.
void checkRecordPath(const std::string& path);
// Whether a record may take the place of what `path` names: nothing yet, an empty file, or a
// record of this program (a JSON object with the record's "schema" and "groups"), usable or
// not. Anything else, or a file that cannot be read, is someone's data.
bool replaceableByRecord(const std::string& path);
// Creates the folder (0700) when missing; writes through a temporary file (0600, O_EXCL) and a
// rename, never through a symlink. No error once saved, else the errno of the call that failed.
std::error_code saveApplyRecord(const std::string& path, const ApplyRecord& record);

// Whether the record's folder takes a new file (made 0700 when missing): a temporary file is
// created and removed. No error when it does, else the errno of the call that failed.
std::error_code recordFolderProblem(const std::string& path);

// The machine's key for the keyed hashes of groups that hold a password: 32 random bytes in
// `record.key` of the state folder (0600), made on first use. Empty with `why` set when it can
// neither be read nor made.
std::string recordKey(const std::string& stateDir, std::string& why);

Json recordToJson(const ApplyRecord& record);
// A group's values as a JSON object, key -> value, in the group's order.
Json valuesToJson(const std::vector<std::pair<std::string, std::string>>& values);
// The current time as the record writes it.
std::string utcTimestamp();

}  // namespace plenar
