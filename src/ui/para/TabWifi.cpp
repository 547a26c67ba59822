// SPDX-License-Identifier: GPL-3.0-or-later
#include "ui/para/TabWifi.h"

#include <QGridLayout>
#include <QGroupBox>
#include <QLabel>
#include <QLineEdit>
#include <QPushButton>
#include <QRadioButton>
#include <QVBoxLayout>

#include "requests/WirelessRequests.h"
#include "ui/para/ParaHost.h"
#include "ui/para/ParaWidgets.h"

namespace plenar {

TabWifi::TabWifi(ParaHost& host, QWidget* parent) : ParaTab("ts_Wifi", host, parent) {
  auto* ap = accessPointGroup();
  auto* sta = stationGroup();
  auto* wifiOff = para::button("btn_CloseWifi", QStringLiteral("关闭WIFI"), this);
  auto* column = new QVBoxLayout(this);
  column->addWidget(ap);
  column->addWidget(sta);
  column->addWidget(wifiOff, 0, Qt::AlignHCenter);
  column->addStretch(1);
  onAction(wifiOff, [this] { this->host().submit(buildWifiOff()); });
}

QGroupBox* TabWifi::accessPointGroup() {
  using namespace para;
  auto* ap = group("grp_APMode", QStringLiteral("AP-模式"), this);
  broadcastName_ = edit("edt_GuangboName", {}, field::kWifiChars, ap);
  auto* broadcastLabel = label("lbl_GuangboName", QStringLiteral("广播名"), ap, broadcastName_);
  apPassword_ = edit("edt_APPsw", {}, field::kWifiChars, ap);
  apPassword_->setEchoMode(QLineEdit::Password);
  auto* apPasswordLabel = label("lbl_APPsw", QStringLiteral("密码"), ap, apPassword_);
  auto* setAp = button("btn_SetAPMode", QStringLiteral("设置"), ap);

  auto* apGrid = new QGridLayout(ap);
  apGrid->addWidget(broadcastLabel, 0, 0, Qt::AlignRight);
  apGrid->addWidget(broadcastName_, 0, 1);
  apGrid->addWidget(apPasswordLabel, 1, 0, Qt::AlignRight);
  apGrid->addWidget(apPassword_, 1, 1);
  apGrid->addWidget(setAp, 1, 2);
  apGrid->setColumnStretch(1, 1);

  describeBy(setAp, {ap});
  onAction(setAp, [this] {
    this->host().submit(buildWifiAccessPoint(broadcastName_->text().toStdString(),
                                             apPassword_->text().toStdString()));
  });
  return ap;
}

QGroupBox* TabWifi::stationGroup() {
  using namespace para;
  auto* sta = group("grp_STAMode", QStringLiteral("STA-模式"), this);
  ssid_ = edit("edt_SSID", {}, field::kWifiChars, sta);
  auto* ssidLabel = label("lbl_SSID", QStringLiteral("SSID"), sta, ssid_);
  staPassword_ = edit("edt_StaModePsw", {}, field::kWifiChars, sta);
  staPassword_->setEchoMode(QLineEdit::Password);
  auto* staPasswordLabel = label("lbl_StaModePsw", QStringLiteral("密码"), sta, staPassword_);
  dynamic_ = radio("rb_AutoIp", QStringLiteral("动态IP"), false, sta);
  static_ = radio("rb_StaticIP", QStringLiteral("静态IP"), true, sta);
  ip_ = edit("edt_IPaddress", QStringLiteral("192.168.1.87"), field::kAddressChars, sta);
  auto* ipLabel = label("lbl_IPaddress", QStringLiteral("IP 地址"), sta, ip_);
  mask_ = edit("edt_Mask", QStringLiteral("255.255.255.0"), field::kAddressChars, sta);
  auto* maskLabel = label("lbl_Mask", QStringLiteral("子网掩码"), sta, mask_);
  gateway_ = edit("edt_Gateway", QStringLiteral("192.168.1.1"), field::kAddressChars, sta);
  auto* gatewayLabel = label("lbl_Gateway", QStringLiteral("网关"), sta, gateway_);
  for (QLineEdit* e : {ip_, mask_, gateway_}) {
    acceptOnly(e, FieldFilter::Dotted);
    e->setEnabled(false);
  }
  port_ = edit("edt_Port", QStringLiteral("9100"), 0, sta);
  acceptOnly(port_, FieldFilter::Digits);
  auto* portLabel = label("lbl_Port", QStringLiteral("端口"), sta, port_);
  auto* setSta = button("btn_SetSTAMode", QStringLiteral("设置"), sta);

  auto* staGrid = new QGridLayout(sta);
  int row = 0;
  staGrid->addWidget(ssidLabel, row, 0, Qt::AlignRight);
  staGrid->addWidget(ssid_, row++, 1);
  staGrid->addWidget(staPasswordLabel, row, 0, Qt::AlignRight);
  staGrid->addWidget(staPassword_, row++, 1);
  auto* radios = new QHBoxLayout;
  radios->addWidget(dynamic_);
  radios->addWidget(static_);
  radios->addStretch(1);
  staGrid->addLayout(radios, row++, 1);
  for (auto [l, e] : {std::pair<QLabel*, QLineEdit*>{ipLabel, ip_},
                      {maskLabel, mask_},
                      {gatewayLabel, gateway_},
                      {portLabel, port_}}) {
    staGrid->addWidget(l, row, 0, Qt::AlignRight);
    staGrid->addWidget(e, row++, 1);
  }
  staGrid->addWidget(setSta, row - 1, 2);
  staGrid->setColumnStretch(1, 1);

  describeBy(setSta, {sta});
  checkAddressOnLeave(ip_, AddressField::StationIp);
  checkAddressOnLeave(mask_, AddressField::StationMask);
  checkAddressOnLeave(gateway_, AddressField::StationGateway);
  connect(dynamic_, &QRadioButton::clicked, this, [this] { followAddressing(); });
  connect(static_, &QRadioButton::clicked, this, [this] { followAddressing(); });
  onAction(setSta, [this] { this->host().submit(buildWifiStation(stationFields())); });
  return sta;
}

StationFields TabWifi::stationFields() const {
  StationFields f;
  f.ssid = ssid_->text().toStdString();
  f.password = staPassword_->text().toStdString();
  f.addressing = static_->isChecked()    ? StationAddressing::Static
                 : dynamic_->isChecked() ? StationAddressing::Dynamic
                                         : StationAddressing::None;
  f.ip = ip_->text().toStdString();
  f.mask = mask_->text().toStdString();
  f.gateway = gateway_->text().toStdString();
  f.port = port_->text().toStdString();
  return f;
}

void TabWifi::refresh() {
  ParaTab::refresh();
  followAddressing();
}

void TabWifi::followAddressing() {
  const bool isStatic = static_->isChecked();
  for (QLineEdit* e : {ip_, mask_, gateway_}) e->setEnabled(isStatic);
}

}  // namespace plenar
