// SPDX-License-Identifier: GPL-3.0-or-later
#include "ui/para/TabNetwork.h"

#include <QGridLayout>
#include <QHBoxLayout>
#include <QLabel>
#include <QLineEdit>
#include <QPushButton>
#include <QVBoxLayout>

#include "requests/NetworkRequests.h"
#include "ui/para/ParaHost.h"
#include "ui/para/ParaWidgets.h"

namespace plenar {

TabNetwork::TabNetwork(ParaHost& host, QWidget* parent) : ParaTab("ts_Network", host, parent) {
  auto* grid = new QGridLayout;
  int row = 0;
  addAddressRows(grid, row);
  addMacRow(grid, row);
  addPortRow(grid, row);
  grid->setColumnStretch(1, 1);

  auto* open = para::button("btn_OpenEthernet", QStringLiteral("打开网口"), this);
  auto* close = para::button("btn_CloseEthernet", QStringLiteral("关闭网口"), this);
  auto* column = new QVBoxLayout(this);
  column->addLayout(grid);
  column->addWidget(open);
  column->addWidget(close);
  column->addStretch(1);
  onAction(open, [this] { this->host().submit(buildEthernetSwitch(true)); });
  onAction(close, [this] { this->host().submit(buildEthernetSwitch(false)); });
}

QPushButton* TabNetwork::addressRow(QGridLayout* grid, int& row, const AddressRow& spec,
                                    QLineEdit*& field) {
  using namespace para;
  field = edit(spec.editName, spec.text, field::kAddressChars, this);
  acceptOnly(field, FieldFilter::Dotted);
  auto* l = label(spec.labelName, spec.caption, this, field);
  auto* b = button(spec.buttonName, QStringLiteral("设置"), this);
  grid->addWidget(l, row, 0, Qt::AlignRight);
  grid->addWidget(field, row, 1);
  grid->addWidget(b, row++, 2);
  describeBy(b, {l});
  return b;
}

void TabNetwork::addAddressRows(QGridLayout* grid, int& row) {
  auto* setAddress = addressRow(grid, row,
                                {"edt_NetIPAddress", QStringLiteral("192.168.1.87"),
                                 "lbl_NetIPAddress", QStringLiteral("IP 地址"), "btn_NetWorkSetIP"},
                                address_);
  // Stored and restored only; it lies hidden under the first button.
  auto* hiddenPort = para::edit("edt_NetWorkPort", QStringLiteral("12345678"), 8, this);
  hiddenPort->hide();
  auto* setMask = addressRow(grid, row,
                             {"edt_Subnetmask", QStringLiteral("255.255.255.0"), "lbl_Subnetmask",
                              QStringLiteral("子网掩码"), "btn_Subnetmask"},
                             mask_);
  auto* setGateway = addressRow(grid, row,
                                {"edt_gatewayt", QStringLiteral("192.168.1.1"), "lbl_gatewayt",
                                 QStringLiteral("网关"), "btn_gatewayt"},
                                gateway_);
  checkAddressOnLeave(address_, AddressField::NetworkIp);
  checkAddressOnLeave(mask_, AddressField::NetworkMask);

  onAction(setAddress,
           [this] { this->host().submit(buildNetworkAddress(address_->text().toStdString())); });
  onAction(setMask, [this] { this->host().submit(buildNetworkMask(mask_->text().toStdString())); });
  onAction(setGateway,
           [this] { this->host().submit(buildNetworkGateway(gateway_->text().toStdString())); });
}

void TabNetwork::addMacRow(QGridLayout* grid, int& row) {
  using namespace para;
  const char* macNames[] = {"Edit3",       "Edit5",        "edt_macaddo",
                            "edt_macaddt", "edt_macaddfr", "edt_macaddfor"};
  const char* macTexts[] = {"AB", "CD", "65", "66", "67", "68"};
  auto* macRow = new QHBoxLayout;
  for (std::size_t i = 0; i < mac_.size(); ++i) {
    mac_[i] = edit(macNames[i], QString::fromLatin1(macTexts[i]), field::kMacBoxChars, this);
    // The first two bytes belong to the maker and are not sent.
    mac_[i]->setReadOnly(i < 2);
    mac_[i]->setMaximumWidth(40);
    macRow->addWidget(mac_[i]);
  }
  auto* macLabel = label("lbl_Mac", QStringLiteral("MAC"), this, mac_[0]);
  auto* setMac = button("btn_netgatewayt", QStringLiteral("设置"), this);
  grid->addWidget(macLabel, row, 0, Qt::AlignRight);
  grid->addLayout(macRow, row, 1);
  grid->addWidget(setMac, row++, 2);
  describeBy(setMac, {macLabel});
  for (std::size_t i = 1; i < mac_.size(); ++i) {
    nameBy(mac_[i], macLabel, QString::number(i + 1));
  }
  onAction(setMac, [this] {
    this->host().submit(
        buildNetworkMac({mac_[2]->text().toStdString(), mac_[3]->text().toStdString(),
                         mac_[4]->text().toStdString(), mac_[5]->text().toStdString()}));
  });
}

void TabNetwork::addPortRow(QGridLayout* grid, int& row) {
  using namespace para;
  port_ = edit("edt_Netport", QStringLiteral("9100"), field::kNetPortChars, this);
  acceptOnly(port_, FieldFilter::Digits);
  auto* portLabel = label("lbl_Netport", QStringLiteral("端口"), this, port_);
  auto* setPort = button("btn_Netport", QStringLiteral("设置"), this);
  grid->addWidget(portLabel, row, 0, Qt::AlignRight);
  grid->addWidget(port_, row, 1);
  grid->addWidget(setPort, row++, 2);
  describeBy(setPort, {portLabel});
  onAction(setPort, [this] { this->host().submit(buildNetworkPort(port_->text().toStdString())); });
}

}  // namespace plenar
