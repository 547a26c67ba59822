// SPDX-License-Identifier: GPL-3.0-or-later
#include "shared/SharedTexts.h"

#include <cstdio>
#include <mutex>
#include <vector>

namespace plenar {
namespace {

using enum TextId;

constexpr std::array<TextDef, kTextCount> kTexts{{
    {ConnectFailed, "sConnectErrorstr", true, "通讯失败，请选择正确的端口和波特率"},
    {ConnectOk, "sConnectOKstr", true, "连接成功"},
    {IpInvalid, "SIPError", true, "IP 地址不正确"},
    {MaskInvalid, "SMaskError", true, "子网掩码不正确"},
    {GatewayInvalid, "sGatewayError", true, "网关不正确"},
    {ChooseProgramFile, "sOpenPrgFile", true, "选择程序文件"},
    {UpdateProgram, "sUpdatePrgFile", true, "更新程序"},
    {UpdateFont, "sUpdateFontFile", true, "更新字库"},
    {ChooseFontFile, "sOpenFontFile", true, "选择字库文件"},
    {LogoFileTooLarge, "sDnLogFileMsg", true, "BMP 文件不能超过%d"},
    {UploadDone, "sUploadMsg", true, "上传完成"},
    {WaitForRestart, "sWaitMsg", true, "等待5秒..."},
    {ProgramUpdating, "sUpdatingPrg", false, "程序更新中请等待..."},
    {ProgramUpdated, "sFinishPrg", true, "更新程序完成"},
    {DeviceNameEmpty, "sMsg1", true, "设备名称不能为空"},
    {Connecting, "sMsg3", true, "连接..."},
    {Connected, "sMsg4", true, "连接完成"},
    {WifiApSet, "sMsg5", true, "设置 WIFI IP AP 成功"},
    {WifiSet, "sMsg6", true, "设置WIFI 参数成功"},
    {WifiIpSet, "sMsg7", true, "设置WIFI IP成功"},
    {InfraredSet, "sMsg8", true, "设置红外参数成功"},
    {DeviceParametersSet, "sMsg9", true, "设置设备参数成功"},
    {TimesSet, "sMsg10", true, "设置休眠时间，关机时间成功"},
    {AllParametersSet, "sMsg11", true, "设置所有参数成功"},
    {SwitchesSet, "sMsg12", true, "设置设备开关选项成功"},
    {BluetoothSet, "sMsg13", true, "设置蓝牙参数成功"},
    {BluetoothCommandsSent, "sMsg14", true, "蓝牙控制指令发送成功"},
    {IpSet, "sMsg15", true, "设置IP 成功"},
    {DefaultsRestored, "sMsg16", true, "设置默认参数成功"},
    {CodePageSet, "sMsg17", true, "设置代码页成功"},
    {BaudRateSet, "sMsg18", true, "设置波特率成功"},
    {RetractTimeSet, "sMsg22", true, "设置票据回收时间成功"},
    {ProgramFileWrong, "sMsg23", true, "程序文件错误"},
    {FileMissing, "sMsg24", true, "文件不存在"},
    {FlowControlSet, "sFlowCtlOK", false, "设置流控成功"},
    {PaperSizeSet, "sPaperSizeOK", false, "打印尺寸切换成功"},
    {SettingDone, "sSetDoneOK", false, "设置完成"},
    // The logo preview: the selected image as printed, and what the list takes of the logo memory.
    {LogoInfo, "sLogoInfo", true, "%1 x %2 点，%3 字节"},
    {LogoBudget, "sLogoBudget", true, "LOGO 文件 %1 / %2 KB"},
}};

constexpr std::array<OptionListDef, kOptionListCount> kLists{{
    {OptionList::PaperSizeType, "Paper SizeType", {"2寸", "3寸", "4寸", nullptr}, 3},
    {OptionList::BluetoothSeek, "Bluetooth SEEK", {"开启蓝牙隐身", "取消蓝牙隐身"}, 2},
    {OptionList::BluetoothMode, "Blue ToolthMode", {"未安装蓝牙", "单模蓝牙", "双模蓝牙"}, 3},
    {OptionList::BluetoothPswCheck,
     "Blue PSWCheck",
     {"需要密码鉴权", "不需要密码鉴权", "不需要密码鉴权"},
     3},
    {OptionList::DarkDescription, "Dark description", {"微淡", "正常", "微浓", "高浓度"}, 4},
    {OptionList::BluetoothWorkMode, "BlueToolth WorkMode", {"高速模式", "正常模式"}, 2},
    {OptionList::IrdaProtocol, "irda Protecl", {"原始红外", "IRDA"}, 2},
    {OptionList::UsbDeviceType, "USB Device Type", {"USB虚拟串口", "USB打印口"}, 2},
    {OptionList::PaperType, "Paper Type", {"热敏票据纸", "热敏标签纸"}, 2},
    {OptionList::FlowControl, "Flow control", {"软件流控", "硬件流控"}, 2},
    {OptionList::PrinterOrder, "Printer Order", {"倒序", "正序"}, 2},
    {OptionList::TransMode,
     "Trans Mode",
     {"当前选择串口", "当前选择以太网", "当前选择USB", "当前选择并口"},
     4},
}};

// The language order differs from the declaration order in one place: "Flow control" comes
// before "Dark description" when a file is applied.
constexpr std::array<OptionList, kOptionListCount> kApplyOrder{
    OptionList::PaperSizeType,     OptionList::BluetoothSeek, OptionList::BluetoothMode,
    OptionList::BluetoothPswCheck, OptionList::FlowControl,   OptionList::DarkDescription,
    OptionList::BluetoothWorkMode, OptionList::IrdaProtocol,  OptionList::UsbDeviceType,
    OptionList::PaperType,         OptionList::PrinterOrder,  OptionList::TransMode};

struct Store {
  std::mutex mutex;
  std::array<std::string, kTextCount> texts;
  std::array<std::vector<std::string>, kOptionListCount> lists;
  Store() { reset(); }
  void reset() {
    for (const auto& t : kTexts) texts[static_cast<size_t>(t.id)] = t.chineseText;
    for (const auto& l : kLists) {
      auto& v = lists[static_cast<size_t>(l.id)];
      v.assign(l.entries.begin(), l.entries.begin() + l.size);
    }
  }
};

Store& store() {
  static Store s;
  return s;
}

std::array<OptionListDef, kOptionListCount> listsInApplyOrder() {
  std::array<OptionListDef, kOptionListCount> out{};
  for (size_t i = 0; i < kApplyOrder.size(); ++i) {
    out[i] = kLists[static_cast<size_t>(kApplyOrder[i])];
  }
  return out;
}

}  // namespace

const std::array<TextDef, kTextCount>& textDefs() {
  return kTexts;
}

const std::array<OptionListDef, kOptionListCount>& optionListDefs() {
  static const auto ordered = listsInApplyOrder();
  return ordered;
}

std::string text(TextId id) {
  auto& s = store();
  std::lock_guard lock(s.mutex);
  return s.texts[static_cast<size_t>(id)];
}

void setText(TextId id, std::string value) {
  auto& s = store();
  std::lock_guard lock(s.mutex);
  s.texts[static_cast<size_t>(id)] = std::move(value);
}

std::string optionEntry(OptionList list, int index) {
  auto& s = store();
  std::lock_guard lock(s.mutex);
  const auto& v = s.lists[static_cast<size_t>(list)];
  if (index < 0 || static_cast<size_t>(index) >= v.size()) return {};
  return v[index];
}

void setOptionEntry(OptionList list, int index, std::string value) {
  auto& s = store();
  std::lock_guard lock(s.mutex);
  auto& v = s.lists[static_cast<size_t>(list)];
  if (index < 0 || static_cast<size_t>(index) >= v.size()) return;
  v[index] = std::move(value);
}

int optionCount(OptionList list) {
  return kLists[static_cast<size_t>(list)].size;
}

void resetTexts() {
  auto& s = store();
  std::lock_guard lock(s.mutex);
  s.reset();
}

std::string progressText(std::string_view text, long long done, long long total) {
  std::string out(text);
  if (total == 0) return out;
  // The last block of a read may bring more than was asked for: never past 100 %.
  if (done > total) done = total;
  long long permille = done * 1000 / total;
  char buf[96];
  std::snprintf(buf, sizeof buf, "Finish %lld.%lld%%(%lld/%lld)", permille / 10, permille % 10,
                done >> 8, total >> 8);
  return out + buf;
}

}  // namespace plenar
