// SPDX-License-Identifier: GPL-3.0-or-later
#include "ui/para/TabProduct.h"

#include <QCheckBox>
#include <QComboBox>
#include <QGridLayout>
#include <QGroupBox>
#include <QHBoxLayout>
#include <QLabel>
#include <QLineEdit>
#include <QPlainTextEdit>
#include <QPushButton>
#include <QRadioButton>
#include <QSpinBox>
#include <QVBoxLayout>

#include "requests/CustomDataRequests.h"
#include "requests/DeviceRequests.h"
#include "requests/FieldParsing.h"
#include "ui/para/ParaHost.h"
#include "ui/para/ParaWidgets.h"
#include "ui/para/TabBluetooth.h"
#include "ui/para/TabKeyFields.h"

namespace plenar {

TabProduct::TabProduct(ParaHost& host, QWidget* parent) : ParaTab("ts_Product", host, parent) {
  auto* device = deviceGroup();
  auto* hardware = hardwareGroup();
  auto* custom = customDataGroup();
  auto* column = new QVBoxLayout(this);
  column->addWidget(device);
  column->addWidget(hardware);
  column->addWidget(custom, 1);
}

QGroupBox* TabProduct::deviceGroup() {
  using namespace para;
  auto* device = group("grp_DeviceName", QStringLiteral("设备名称"), this);
  name_ = edit("edt_DeviceName", {}, field::kNameChars, device);
  auto* nameLabel = label("lbl_DeviceName", QStringLiteral("产品名称"), device, name_);
  serial_ = edit("edt_DeviceSerialNo", QStringLiteral("1704269998"), field::kNameChars, device);
  acceptOnly(serial_, FieldFilter::Digits);
  auto* serialLabel = label("lbl_DeviceSerialNo", QStringLiteral("产品序列号"), device, serial_);
  auto* minus = minus_ = radio("rb_Minus", QStringLiteral("-"), false, device);
  auto* plus = plus_ = radio("rb_Plus", QStringLiteral("+"), false, device);
  auto* setDevice = button("btn_SetDevicePara", QStringLiteral("设置"), device);
  auto* deviceGrid = new QGridLayout(device);
  deviceGrid->addWidget(nameLabel, 0, 0, Qt::AlignRight);
  deviceGrid->addWidget(name_, 0, 1, 1, 3);
  deviceGrid->addWidget(serialLabel, 1, 0, Qt::AlignRight);
  deviceGrid->addWidget(serial_, 1, 1);
  deviceGrid->addWidget(minus, 1, 2);
  deviceGrid->addWidget(plus, 1, 3);
  deviceGrid->addWidget(setDevice, 1, 4);
  deviceGrid->setColumnStretch(1, 1);
  describeBy(setDevice, {nameLabel, serialLabel});
  // The step buttons read "-" and "+": say what they step.
  nameBy(minus, serialLabel, QStringLiteral("-1"));
  nameBy(plus, serialLabel, QStringLiteral("+1"));
  onAction(setDevice, [this] {
    this->host().submit(buildSetDevice(name_->text().toStdString(), serial_->text().toStdString()));
  });
  return device;
}

QPushButton* TabProduct::hardwareRow(const HardwareRow& spec, QWidget* field, QLabel* unit) {
  auto* l = para::label(spec.labelName, spec.caption, spec.group, field);
  auto* b = para::button(spec.buttonName, QStringLiteral("设置"), spec.group);
  spec.grid->addWidget(l, spec.row, 0, Qt::AlignRight);
  spec.grid->addWidget(field, spec.row, 1);
  if (unit) spec.grid->addWidget(unit, spec.row, 2);
  spec.grid->addWidget(b, spec.row, 3);
  describeBy(b, {l});
  return b;
}

QGroupBox* TabProduct::hardwareGroup() {
  using namespace para;
  auto* hardware = group("grp_Hardware", QStringLiteral("硬件设置"), this);
  auto* grid = new QGridLayout(hardware);
  auto row = [&](int n, const char* labelName, const QString& caption, const char* buttonName) {
    return HardwareRow{hardware, grid, n, labelName, caption, buttonName};
  };
  usbType_ = list("cbb_UsbDeviceTpe", optionTexts(OptionList::UsbDeviceType), 1, hardware);
  auto* setUsbType = hardwareRow(
      row(0, "lbl_UsbDeviceTpe", QStringLiteral("USB 设备类型"), "btn_SetUsbDeviceType"), usbType_);
  paperType_ = list("cbb_PaperType", optionTexts(OptionList::PaperType), 1, hardware);
  auto* setPaperType = hardwareRow(
      row(1, "lbl_PaperType", QStringLiteral("纸张类型"), "btn_SetPaperType"), paperType_);
  order_ = list("cbb_PrinterOrder", optionTexts(OptionList::PrinterOrder), 1, hardware);
  auto* setOrder = hardwareRow(
      row(2, "lbl_PrinterOrder", QStringLiteral("打印顺序"), "btn_SetPrinterOrder"), order_);
  retraction_ = keySpin("RptTime", "edt_RptTime", 30, hardware);
  auto* setRetraction =
      hardwareRow(row(3, "lbl_RptTime", QStringLiteral("票据回收时间"), "btn_SetRptTime"),
                  retraction_, label("lbl_RptTimeUnit", QStringLiteral("秒"), hardware));
  hiding_ = list("Cbx_Bluetooth", optionTexts(OptionList::BluetoothSeek), -1, hardware);
  auto* setHiding =
      hardwareRow(row(4, "lbl_Bluetooth", QStringLiteral("蓝牙选择"), "btn_bluetooth"), hiding_);
  paperSize_ =
      list("cbb_PaperSize",
           {QStringLiteral("两寸"), QStringLiteral("三寸"), QStringLiteral("四寸")}, 0, hardware);
  auto* setPaperSize = hardwareRow(
      row(5, "lbl_PaperSize", QStringLiteral("纸张规格"), "btn_SetPaperSize"), paperSize_);
  grid->setColumnStretch(1, 1);

  auto option = [this](DeviceOption which, QComboBox* box) {
    this->host().submit(buildSetDeviceOption(which, para::selectedItem(box)));
  };
  onAction(setUsbType, [this, option] { option(DeviceOption::UsbType, usbType_); });
  onAction(setPaperType, [this, option] { option(DeviceOption::PaperType, paperType_); });
  onAction(setOrder, [this, option] { option(DeviceOption::PrintOrder, order_); });
  onAction(setRetraction, [this] {
    this->host().submit(buildSetRetractionTime(retraction_->text().toStdString()));
  });
  onAction(setHiding,
           [this] { this->host().submit(buildBluetoothHiding(para::selectedItem(hiding_))); });
  onAction(setPaperSize,
           [this] { this->host().submit(buildSetPaperSize(para::selectedItem(paperSize_))); });
  return hardware;
}

QGroupBox* TabProduct::customDataGroup() {
  using namespace para;
  auto* custom = group("grp_CustomCmd", QStringLiteral("自定义指令"), this);
  data_ = new QPlainTextEdit(custom);
  data_->setObjectName(QStringLiteral("mmo_SendData"));
  data_->setTabChangesFocus(true);
  hex_ = checkBox("chk_HexFlag", QStringLiteral("HEX"), true, custom);
  auto* send = button("btn_SendData", QStringLiteral("发送"), custom);
  auto* clear = button("btn_Clear", QStringLiteral("清空"), custom);
  auto* customRow = new QHBoxLayout(custom);
  customRow->addWidget(data_, 1);
  auto* customButtons = new QVBoxLayout;
  customButtons->addWidget(hex_);
  customButtons->addWidget(send);
  customButtons->addWidget(clear);
  customButtons->addStretch(1);
  customRow->addLayout(customButtons);
  nameBy(data_, custom);

  onAction(send, [this] {
    std::vector<std::string> lines;
    for (const QString& line : memoLines(data_)) lines.push_back(line.toStdString());
    this->host().submit(buildSendCustomData(lines, hex_->isChecked()));
  });
  connect(clear, &QPushButton::clicked, data_, &QPlainTextEdit::clear);
  return custom;
}

std::optional<QString> TabProduct::stepSerialNumber() {
  const int step = minus_->isChecked() ? -1 : plus_->isChecked() ? 1 : 0;
  if (step == 0 || serial_->text().isEmpty()) return std::nullopt;
  const std::string text = serial_->text().toStdString();
  auto value = parseDecimal(text);
  if (!value) return QString::fromStdString(conversionError(text).message);
  // Computed wide: the number after 2147483647 is 2147483648, not a negative one.
  serial_->setText(QString::number(static_cast<long long>(*value) + step));
  return std::nullopt;
}

}  // namespace plenar
