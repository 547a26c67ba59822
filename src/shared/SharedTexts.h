// SPDX-License-Identifier: GPL-3.0-or-later
#pragma once

#include <array>
#include <string>
#include <string_view>

namespace plenar {

// User-visible texts shared by the engine and both windows. A language file replaces them by
// key; four have no key and keep their Chinese text in every language.
enum class TextId {
  ConnectFailed,
  ConnectOk,
  IpInvalid,
  MaskInvalid,
  GatewayInvalid,
  ChooseProgramFile,
  UpdateProgram,
  UpdateFont,
  ChooseFontFile,
  LogoFileTooLarge,
  UploadDone,
  WaitForRestart,
  ProgramUpdating,
  ProgramUpdated,
  DeviceNameEmpty,
  Connecting,
  Connected,
  WifiApSet,
  WifiSet,
  WifiIpSet,
  InfraredSet,
  DeviceParametersSet,
  TimesSet,
  AllParametersSet,
  SwitchesSet,
  BluetoothSet,
  BluetoothCommandsSent,
  IpSet,
  DefaultsRestored,
  CodePageSet,
  BaudRateSet,
  RetractTimeSet,
  ProgramFileWrong,
  FileMissing,
  FlowControlSet,
  PaperSizeSet,
  SettingDone,
  LogoInfo,
  LogoBudget,
  Count
};

inline constexpr std::size_t kTextCount = static_cast<std::size_t>(TextId::Count);

struct TextDef {
  TextId id;
  const char* name;         // its key in a language file, e.g. "sMsg17"
  bool hasKey;              // read from a language file's "String" section
  const char* chineseText;  // built-in default, UTF-8
};

const std::array<TextDef, kTextCount>& textDefs();

// The option-name lists; the section name in a language file is `section`.
enum class OptionList {
  PaperSizeType,
  BluetoothSeek,
  BluetoothMode,
  BluetoothPswCheck,
  DarkDescription,
  BluetoothWorkMode,
  IrdaProtocol,
  UsbDeviceType,
  PaperType,
  FlowControl,
  PrinterOrder,
  TransMode,
  Count
};

inline constexpr std::size_t kOptionListCount = static_cast<std::size_t>(OptionList::Count);

struct OptionListDef {
  OptionList id;
  const char* section;                 // e.g. "Paper SizeType"
  std::array<const char*, 4> entries;  // Chinese defaults; unused slots are nullptr
  int size;
};

// In the order a language file is applied.
const std::array<OptionListDef, kOptionListCount>& optionListDefs();

// Current texts, UTF-8. Replaced on the UI thread by the language file; read from the worker.
// Threads: every function may be called from any thread; reads return copies taken under a lock,
// so a replacement never tears a read.
std::string text(TextId id);
void setText(TextId id, std::string value);
std::string optionEntry(OptionList list, int index);  // empty for an index out of range
void setOptionEntry(OptionList list, int index, std::string value);
int optionCount(OptionList list);
// Back to the built-in Chinese defaults (tests, and a fresh start).
void resetTexts();

// "Finish %d.%d%%(%d/%d)" appended to `text` when total != 0; done and total are byte counts,
// shown in 256-byte units; `done` counts at most `total`.
std::string progressText(std::string_view text, long long done, long long total);

}  // namespace plenar
