// SPDX-License-Identifier: GPL-3.0-or-later
#include "ui/para/ProfileGroupsDialog.h"

#include <QHBoxLayout>
#include <QLabel>
#include <QListWidget>
#include <QPushButton>
#include <QVBoxLayout>
#include <algorithm>
#include <string_view>

#include "profile/ParaKeys.h"
#include "profile/ProfileGroups.h"
#include "ui/para/ParaTab.h"
#include "ui/para/ParaWidgets.h"

namespace plenar {

namespace {

// The device name and serial number are a group of the window (one button) that no shared
// profile sets; plenar apply takes them with --device.
constexpr const char* kDeviceGroup = "device";
const std::vector<const char*> kDeviceKeys = {"DeviceName", "DeviceSerialNo"};

struct GroupName {
  const char* group;
  const char* chinese;
};
// The built-in names; the language files replace them.
constexpr GroupName kNames[] = {
    {"baud", "串口波特率"},
    {"flow", "流控"},
    {"codepage", "代码页"},
    {"switches", "字体、浓度、缺纸、蜂鸣器、切刀"},
    {"times", "休眠与关机时间"},
    {"bluetooth", "蓝牙参数"},
    {"bt-workmode", "蓝牙工作模式"},
    {"wifi-ap", "WIFI AP 模式"},
    {"wifi-sta", "WIFI STA 模式"},
    {"net-ip", "网络 IP 地址"},
    {"net-mask", "子网掩码"},
    {"net-gateway", "网关"},
    {"net-mac", "MAC 地址"},
    {"net-port", "网络端口"},
    {"ethernet", "网口开关"},
    {"infrared", "红外参数"},
    {"black-mark", "黑标模式"},
    {"black-mark-distance", "黑标查找距离"},
    {"black-mark-width", "黑标宽度"},
    {"cutter-feed", "切刀位置"},
    {"usb-type", "USB 设备类型"},
    {"paper-type", "纸张类型"},
    {"print-order", "打印顺序"},
    {"retract-time", "回收时间"},
    {"bt-hide", "蓝牙可见性"},
    {"paper-size", "纸张尺寸"},
    {kDeviceGroup, "设备名称和序列号"},
};

bool sameKey(std::string_view a, std::string_view b) {
  return a.size() == b.size() && std::equal(a.begin(), a.end(), b.begin(), [](char x, char y) {
           return std::tolower(static_cast<unsigned char>(x)) ==
                  std::tolower(static_cast<unsigned char>(y));
         });
}

// The window stores a field for the key (the Ethernet switch, say, has none).
bool windowStores(const char* key) {
  const auto keys = paraKeys();
  return std::any_of(keys.begin(), keys.end(),
                     [&](const ParaKey& k) { return sameKey(k.key, key); });
}

// The groups of the list, in the window's tab order, each with the keys it reads.
std::vector<std::pair<std::string, std::vector<const char*>>> storedGroups() {
  std::vector<std::pair<std::string, std::vector<const char*>>> out;
  for (const GroupDef& g : settingsGroupDefs()) {
    if (std::any_of(g.keys.begin(), g.keys.end(), windowStores)) out.emplace_back(g.name, std::vector<const char*>(g.keys.begin(), g.keys.end()));
  }
  out.emplace_back(kDeviceGroup, kDeviceKeys);
  return out;
}

const char* builtInName(const std::string& group) {
  for (const GroupName& n : kNames) {
    if (group == n.group) return n.chinese;
  }
  return group.c_str();
}

}  // namespace

const std::set<std::string>& ProfileGroupsDialog::perPrinterGroups() {
  static const std::set<std::string> groups = {"net-ip", "net-mac", kDeviceGroup};
  return groups;
}

ProfileGroupsDialog::ProfileGroupsDialog(QWidget* parent) : QDialog(parent) {
  using namespace para;
  setObjectName(QStringLiteral("qt_saveGroups"));
  setModal(true);

  listLabel_ = label("lbl_SaveGroups", QStringLiteral("保存哪些配置组："), this);
  list_ = new QListWidget(this);
  list_->setObjectName(QStringLiteral("qt_saveGroupList"));
  listLabel_->setBuddy(list_);
  why_ = label(
      "lbl_SavePerPrinter",
      QStringLiteral("网络 IP 地址、MAC 地址、设备名称和序列号每台打印机各不相同，默认不保存："
                     "同一个配置应用到第二台打印机，会让两台打印机的地址和名称相同。"
                     "需要时用 plenar apply --set 或 --device 逐台给出。"),
      this);
  why_->setWordWrap(true);
  auto* save = button("btn_SaveGroupsOk", QStringLiteral("保存"), this);
  save->setDefault(true);
  auto* cancel = button("btn_SaveGroupsCancel", QStringLiteral("取消"), this);
  connect(save, &QPushButton::clicked, this, &QDialog::accept);
  connect(cancel, &QPushButton::clicked, this, &QDialog::reject);

  for (const auto& [group, keys] : storedGroups()) {
    auto* name =
        label(("lbl_SaveGroup_" + group).c_str(), QString::fromUtf8(builtInName(group)), this);
    name->hide();
    items_.push_back({group, name});
  }

  auto* buttons = new QHBoxLayout;
  buttons->addStretch(1);
  buttons->addWidget(save);
  buttons->addWidget(cancel);
  auto* column = new QVBoxLayout(this);
  column->addWidget(listLabel_);
  column->addWidget(list_, 1);
  column->addWidget(why_);
  column->addLayout(buttons);
  setTabOrder(list_, save);
  setTabOrder(save, cancel);
  resize(420, 520);
}

void ProfileGroupsDialog::fill() {
  list_->clear();
  for (const Item& item : items_) {
    auto* row = new QListWidgetItem(
        QStringLiteral("%1 (%2)").arg(captionOf(item.name), QString::fromStdString(item.group)),
        list_);
    row->setData(Qt::UserRole, QString::fromStdString(item.group));
    row->setFlags(Qt::ItemIsEnabled | Qt::ItemIsSelectable | Qt::ItemIsUserCheckable);
    row->setCheckState(perPrinterGroups().count(item.group) ? Qt::Unchecked : Qt::Checked);
  }
  list_->setCurrentRow(0);
  // Screen readers name the list by its caption, in the language in force.
  list_->setAccessibleName(captionOf(listLabel_));
  list_->setAccessibleDescription(why_->text());
}

std::set<std::string> ProfileGroupsDialog::choose(const QString& title) {
  setWindowTitle(title);
  fill();
  list_->setFocus();
  if (exec() != QDialog::Accepted) return {};
  std::set<std::string> chosen;
  for (int i = 0; i < list_->count(); ++i) {
    const QListWidgetItem* row = list_->item(i);
    if (row->checkState() == Qt::Checked) {
      chosen.insert(row->data(Qt::UserRole).toString().toStdString());
    }
  }
  return chosen;
}

bool isKeyOfGroups(std::string_view key, const std::set<std::string>& groups) {
  for (const auto& [group, keys] : storedGroups()) {
    if (!groups.count(group)) continue;
    if (std::any_of(keys.begin(), keys.end(), [&](const char* k) { return sameKey(k, key); })) {
      return true;
    }
  }
  return false;
}

}  // namespace plenar
