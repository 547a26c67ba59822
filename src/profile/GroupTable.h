// SPDX-License-Identifier: GPL-3.0-or-later
#pragma once

#include <array>
#include <cstddef>
#include <initializer_list>
#include <span>
#include <string>
#include <string_view>
#include <vector>

#include "engine/CommandRequest.h"
#include "requests/BuildResult.h"
#include "requests/NetworkRequests.h"

namespace plenar {

// One row per "设置" button of the parameter window: the keys it reads, the command that does
// the same, the link parameter it changes, when a profile leaves it unmanaged, and how its one
// request is built. The profile parser, the group builder, the planner and the key
// documentation all read these rows.

// Where a group stands in an apply: firmware first, then fonts and logos, then the settings
// that leave the link alone, then those that change a link.
enum class GroupStage { Firmware, Files, Settings, LinkSettings };

// The link parameter a group changes: the current link's own come last, in this order per link
// (serial: flow control, then the rate; network: mask, gateway, port, then the address; USB:
// the device type).
enum class LinkRole {
  None,
  SerialFlow,
  SerialRate,
  EthernetSwitch,
  NetMask,
  NetGateway,
  NetPort,
  NetAddress,
  UsbType,
};

// The values of one group's keys as its builder reads them, each parsed as the key table
// (KeyValues) says; every refusal names its key (and the line it came from).
class GroupValues {
 public:
  virtual ~GroupValues() = default;
  virtual const std::string& text(const char* key) const = 0;
  [[noreturn]] virtual void refuse(const char* key, const std::string& message) const = 0;
  // A list item: a plain word, any language's text of the item or, where allowed, its index.
  virtual int item(const char* key) const = 0;
  bool flag(const char* key) const { return item(key) == 1; }
  // A spin box: a decimal number within its range.
  virtual std::string number(const char* key) const = 0;
  // An edit: what its key filter and length let through; a required one may not be empty.
  virtual std::string edit(const char* key) const = 0;
  virtual void checkAddress(const char* key, AddressField field) const = 0;
  // The request, or a refusal naming the refused field's key, else `key`.
  virtual CommandRequest request(const char* key, BuildResult result) const = 0;
};

using GroupBuilder = CommandRequest (*)(const GroupValues&);

// A few key names held in the row itself, so that the table is a compile-time constant: nothing
// is allocated before main or destroyed after it. A row with more keys than fit does not
// compile.
class KeyList {
 public:
  static constexpr std::size_t kCapacity = 8;
  constexpr KeyList() = default;
  constexpr KeyList(std::initializer_list<const char*> keys) {
    for (const char* key : keys) keys_[size_++] = key;
  }
  constexpr const char* const* begin() const { return keys_.data(); }
  constexpr const char* const* end() const { return keys_.data() + size_; }
  constexpr std::size_t size() const { return size_; }
  constexpr bool empty() const { return size_ == 0; }
  constexpr std::span<const char* const> span() const { return {keys_.data(), size_}; }

 private:
  std::array<const char*, kCapacity> keys_{};
  std::size_t size_ = 0;
};

// A group the window's button would send nothing useful for: when every one of `nameKeys` the
// profile holds is empty (and it holds one), the group is not managed and its keys are ignored
// with `reason`.
struct LeaveOutRule {
  KeyList nameKeys;
  const char* reason = nullptr;
};

struct GroupDef {
  const char* name;     // "codepage"
  const char* command;  // the plenar command that does the same: "set-codepage"
  const char* button;   // the window's button: "btn_SetCodepage"
  LinkRole role;
  KeyList keys;  // [ParaDefault] keys it reads
  GroupBuilder build;
  LeaveOutRule leaveOut = {};
  // Keys the group needs only with a static address (IpType static).
  KeyList staticOnlyKeys = {};
};

// The settings groups, in the window's tab order.
std::span<const GroupDef> settingsGroupDefs();
const GroupDef* groupOfKey(std::string_view key);
// The key as the group table spells it; nullptr for a key of no group.
const char* groupKeySpelling(std::string_view key);
// Settings, or LinkSettings for a group that changes a link parameter.
GroupStage groupStage(const GroupDef& def);
const char* stageName(GroupStage stage);

// The groups that set the same printer state as `group`: the printer keeps one Wi-Fi mode, the
// access point or the station, so sending one undoes what a record says of the other.
std::vector<std::string_view> groupsSharingState(std::string_view group);

// The keys that hold a password: shown masked, recorded as a keyed hash, and never taken from
// the command line, where every local user can read them.
bool isPasswordKey(std::string_view key);

// [ParaDefault] keys the window stores that set nothing on the printer, with the reason.
struct UnmanagedKey {
  const char* key;
  const char* reason;
};
std::span<const UnmanagedKey> unmanagedKeys();
// The reason for the Bluetooth module's command lines (BlueToolthCmd1, ...).
extern const char* const kMemoLineReason;
// Why a [ParaDefault] key the window stores sets nothing on the printer; nullptr for a key that
// does (or is none).
const char* ignoredKeyReason(std::string_view key);

}  // namespace plenar
