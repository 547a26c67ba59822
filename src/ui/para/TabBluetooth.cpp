// SPDX-License-Identifier: GPL-3.0-or-later
#include "ui/para/TabBluetooth.h"

#include <QComboBox>
#include <QGridLayout>
#include <QGroupBox>
#include <QLabel>
#include <QLineEdit>
#include <QPlainTextEdit>
#include <QPushButton>
#include <QVBoxLayout>

#include "requests/WirelessRequests.h"
#include "ui/para/ParaHost.h"
#include "ui/para/ParaWidgets.h"

namespace plenar {

QStringList memoLines(const QPlainTextEdit* memo) {
  return memo->toPlainText().split(QLatin1Char('\n'));
}

TabBluetooth::TabBluetooth(ParaHost& host, QWidget* parent)
    : ParaTab("ts_Bluetooth", host, parent) {
  auto* settings = settingsGroup();
  auto* work = workModeGroup();
  auto* talk = commandGroup();
  auto* column = new QVBoxLayout(this);
  column->addWidget(settings);
  column->addWidget(work);
  column->addWidget(talk, 1);
}

QGroupBox* TabBluetooth::settingsGroup() {
  using namespace para;
  auto* settings = group("grp_Bluetooth", QStringLiteral("蓝牙设置"), this);
  name_ = edit("edt_lyName", {}, field::kNameChars, settings);
  auto* nameLabel = label("lbl_lyName", QStringLiteral("蓝牙名称"), settings, name_);
  dualName_ = edit("edt_smlyName", {}, field::kNameChars, settings);
  auto* dualLabel = label("lbl_smlyName", QStringLiteral("双模蓝牙名称"), settings, dualName_);
  password_ = edit("edt_lyPsw", {}, field::kBluetoothPswChars, settings);
  password_->setEchoMode(QLineEdit::Password);
  auto* passwordLabel = label("lbl_lyPsw", QStringLiteral("蓝牙密码"), settings, password_);
  model_ = edit("edt_lyType", QStringLiteral("1"), 0, settings);
  acceptOnly(model_, FieldFilter::Digits);
  auto* modelLabel = label("lbl_lyType", QStringLiteral("蓝牙型号"), settings, model_);
  mode_ = radioGroup(
      "rg_lyMode", QStringLiteral("蓝牙模式"),
      {QStringLiteral("未安装蓝牙"), QStringLiteral("单模蓝牙"), QStringLiteral("双模蓝牙")}, 1, 3,
      settings);
  auth_ = radioGroup("rg_lyPswcheck", QStringLiteral("密码鉴权"),
                     {QStringLiteral("需要密码鉴权"), QStringLiteral("需要密码鉴权（****）"),
                      QStringLiteral("不需要密码鉴权")},
                     0, 3, settings);
  auto* setBluetooth = button("btn_SetlyPara", QStringLiteral("设置"), settings);

  auto* grid = new QGridLayout(settings);
  int row = 0;
  for (auto [l, e] : {std::pair<QLabel*, QWidget*>{nameLabel, name_},
                      {dualLabel, dualName_},
                      {passwordLabel, password_},
                      {modelLabel, model_}}) {
    grid->addWidget(l, row, 0, Qt::AlignRight);
    grid->addWidget(e, row, 1);
    ++row;
  }
  grid->addWidget(mode_, row++, 0, 1, 3);
  grid->addWidget(auth_, row++, 0, 1, 3);
  grid->addWidget(setBluetooth, row, 2);
  grid->setColumnStretch(1, 1);

  describeBy(setBluetooth, {settings});
  onAction(setBluetooth, [this] {
    BluetoothFields f;
    f.name = name_->text().toStdString();
    f.dualName = dualName_->text().toStdString();
    f.password = password_->text().toStdString();
    f.model = model_->text().toStdString();
    f.modeItem = para::checkedItem(mode_);
    f.authItem = para::checkedItem(auth_);
    this->host().submit(buildSetBluetooth(f));
  });
  return settings;
}

QGroupBox* TabBluetooth::workModeGroup() {
  using namespace para;
  auto* work = group("grp_WorkMode", QStringLiteral("工作模式"), this);
  workMode_ = list("cbb_lyWorkMode", optionTexts(OptionList::BluetoothWorkMode), 1, work);
  auto* workLabel = label("lbl_lyWorkMode", QStringLiteral("蓝牙工作模式"), work, workMode_);
  auto* setWork = button("btn_lyWorkMode", QStringLiteral("设置"), work);

  auto* workRow = new QHBoxLayout(work);
  workRow->addWidget(workLabel);
  workRow->addWidget(workMode_, 1);
  workRow->addWidget(setWork);

  describeBy(setWork, {workLabel});
  onAction(setWork,
           [this] { this->host().submit(buildBluetoothWorkMode(para::selectedItem(workMode_))); });
  return work;
}

QGroupBox* TabBluetooth::commandGroup() {
  auto* talk = para::group("grp_BluetoothCmd", QStringLiteral("蓝牙通讯"), this);
  commands_ = new QPlainTextEdit(talk);
  commands_->setObjectName(QStringLiteral("mmo_1"));
  commands_->setVerticalScrollBarPolicy(Qt::ScrollBarAlwaysOn);
  commands_->setTabChangesFocus(true);
  auto* send = para::button("btn_SendLYTxt", QStringLiteral("发送蓝牙控制指令"), talk);

  auto* talkColumn = new QVBoxLayout(talk);
  talkColumn->addWidget(commands_);
  talkColumn->addWidget(send, 0, Qt::AlignRight);

  nameBy(commands_, talk);
  onAction(send, [this] {
    std::vector<std::string> lines;
    for (const QString& line : memoLines(commands_)) lines.push_back(line.toStdString());
    this->host().submit(buildBluetoothCommands(lines));
  });
  return talk;
}

}  // namespace plenar
