// SPDX-License-Identifier: GPL-3.0-or-later
#include "ui/para/TabBasic.h"

#include <QCheckBox>
#include <QComboBox>
#include <QGridLayout>
#include <QGroupBox>
#include <QLabel>
#include <QPushButton>
#include <QSpinBox>
#include <QVBoxLayout>

#include "requests/BasicRequests.h"
#include "requests/OptionLists.h"
#include "shared/SharedTexts.h"
#include "ui/para/ParaHost.h"
#include "ui/para/ParaWidgets.h"
#include "ui/para/TabKeyFields.h"

namespace plenar {

namespace {

// A captioned row: the caption right-aligned, the field over two columns, then its button.
void addRow(QGridLayout* grid, int row, QLabel* caption, QWidget* field, QWidget* action) {
  grid->addWidget(caption, row, 0, Qt::AlignRight);
  grid->addWidget(field, row, 1, 1, 2);
  if (action) grid->addWidget(action, row, 3);
}

}  // namespace

TabBasic::TabBasic(ParaHost& host, QWidget* parent) : ParaTab("ts_Basic", host, parent) {
  using namespace para;
  auto* basic = group("grp_BasicPara", QStringLiteral("基本参数"), this);
  auto* grid = new QGridLayout(basic);
  addLinkRows(basic, grid);
  addSwitchRows(basic, grid);
  addTimeRows(basic, grid);
  grid->setColumnStretch(1, 1);

  auto* resetGroup = group("grp_Reset", QStringLiteral("恢复默认设置"), this);
  auto* reset = button("btn_SetReset", QStringLiteral("恢复默认设置"), resetGroup);
  auto* resetLayout = new QVBoxLayout(resetGroup);
  resetLayout->addWidget(reset);
  auto* column = new QVBoxLayout(this);
  column->addWidget(basic);
  column->addWidget(resetGroup);
  column->addStretch(1);
  onAction(reset, [this] { this->host().submit(buildRestoreDefaults()); });
}

void TabBasic::addLinkRows(QWidget* basic, QGridLayout* grid) {
  using namespace para;
  baudRate_ = list("cbb_BauRate", texts(kBaudRateItems), 3, basic);
  auto* baudLabel = label("lbl_BauRate", QStringLiteral("波特率："), basic, baudRate_);
  auto* setBaud = button("btn_SetBauRate", QStringLiteral("设置"), basic);

  flowControl_ = list("cbb_Flowcontrol", optionTexts(OptionList::FlowControl), -1, basic);
  flowControl_->setEditText(QStringLiteral("软件流控"));
  auto* flowLabel = label("lbl_Flowcontrol", QStringLiteral("流控"), basic, flowControl_);
  auto* setFlow = button("btn_flowcontrol", QStringLiteral("设置"), basic);

  codePage_ = list("cbb_Codepage", texts(kCodePageItems), kDefaultCodePageItem, basic);
  auto* codePageLabel = label("lbl_Codepage", QStringLiteral("设置语言:"), basic, codePage_);
  auto* setCodePage = button("btn_SetCodepage", QStringLiteral("设置"), basic);

  addRow(grid, 0, baudLabel, baudRate_, setBaud);
  addRow(grid, 1, flowLabel, flowControl_, setFlow);
  addRow(grid, 2, codePageLabel, codePage_, setCodePage);
  describeBy(setBaud, {baudLabel});
  describeBy(setFlow, {flowLabel});
  describeBy(setCodePage, {codePageLabel});
  onAction(setBaud,
           [this] { this->host().submit(buildSetBaudRate(para::selectedItem(baudRate_))); });
  onAction(setFlow,
           [this] { this->host().submit(buildSetFlowControl(para::selectedItem(flowControl_))); });
  onAction(setCodePage,
           [this] { this->host().submit(buildSetCodePage(para::selectedItem(codePage_))); });
}

void TabBasic::addSwitchRows(QWidget* basic, QGridLayout* grid) {
  using namespace para;
  font_ = list("cbb_FontValue", texts(kFontItems), 1, basic);
  auto* fontLabel = label("lbl_FontValue", QStringLiteral("字体设置:"), basic, font_);
  dark_ = list("cbb_Dark", optionTexts(OptionList::DarkDescription), 1, basic);
  auto* darkLabel = label("lbl_Dark", QStringLiteral("打印浓度:"), basic, dark_);
  feed_ = list("cbb_Forcepaper", texts(kFeedItems), 0, basic);
  auto* feedLabel = label("lbl_Forcepaper", QStringLiteral("进纸:"), basic, feed_);
  buzzer_ = checkBox("chk_buzzer", QStringLiteral("蜂鸣器"), true, basic);
  auto* drawer = checkBox("chk_Drawer", QStringLiteral("钱箱"), false, basic);
  drawer->setEnabled(false);
  cutter_ = checkBox("chk_CutPaper", QStringLiteral("切刀"), true, basic);
  auto* autoPrint = checkBox("chk_AutoprintLast", QStringLiteral("自动打印最后一单"), false, basic);
  autoPrint->setEnabled(false);
  auto* setSwitches = button("btn_SetForcepaper", QStringLiteral("设置"), basic);

  addRow(grid, 3, fontLabel, font_, nullptr);
  addRow(grid, 4, darkLabel, dark_, nullptr);
  addRow(grid, 5, feedLabel, feed_, nullptr);
  grid->addWidget(buzzer_, 6, 1);
  grid->addWidget(drawer, 6, 2);
  grid->addWidget(cutter_, 7, 1);
  grid->addWidget(autoPrint, 7, 2);
  grid->addWidget(setSwitches, 7, 3);
  describeBy(setSwitches, {fontLabel, darkLabel, feedLabel, buzzer_, cutter_});
  onAction(setSwitches, [this] { this->host().submit(buildSetSwitches(switchFields())); });
}

void TabBasic::addTimeRows(QWidget* basic, QGridLayout* grid) {
  using namespace para;
  sleepTime_ = keySpin("sleepTime", "edt_sleepTime", 60, basic);
  auto* sleepLabel = label("lbl_sleepTime", QStringLiteral("休眠时间:"), basic, sleepTime_);
  auto* sleepUnit = label("lbl_sleepTimeUnit", QStringLiteral("秒"), basic);
  powerOffTime_ = keySpin("poweroffTime", "edt_poweroffTime", 7200, basic);
  auto* powerOffLabel =
      label("lbl_poweroffTime", QStringLiteral("关机时间:"), basic, powerOffTime_);
  auto* powerOffUnit = label("lbl_poweroffTimeUnit", QStringLiteral("秒"), basic);
  auto* setTimes = button("btn_SetpoweroffTime", QStringLiteral("设置"), basic);
  auto* setAll = button("btn_SetAllPara", QStringLiteral("设置全部参数"), basic);

  grid->addWidget(sleepLabel, 8, 0, Qt::AlignRight);
  grid->addWidget(sleepTime_, 8, 1);
  grid->addWidget(sleepUnit, 8, 2);
  grid->addWidget(powerOffLabel, 9, 0, Qt::AlignRight);
  grid->addWidget(powerOffTime_, 9, 1);
  grid->addWidget(powerOffUnit, 9, 2);
  grid->addWidget(setTimes, 9, 3);
  grid->addWidget(setAll, 10, 1, 1, 3);
  describeBy(setTimes, {sleepLabel, powerOffLabel});
  onAction(setTimes, [this] {
    this->host().submit(
        buildSetTimes(sleepTime_->text().toStdString(), powerOffTime_->text().toStdString()));
  });
  onAction(setAll, [this] {
    this->host().submit(buildSetAllParameters(
        para::selectedItem(codePage_), para::selectedItem(baudRate_), switchFields(),
        sleepTime_->text().toStdString(), powerOffTime_->text().toStdString()));
  });
}

SwitchFields TabBasic::switchFields() const {
  SwitchFields f;
  f.densityItem = para::selectedItem(dark_);
  f.fontItem = para::selectedItem(font_);
  f.feedItem = para::selectedItem(feed_);
  f.cutter = cutter_->isChecked();
  f.buzzer = buzzer_->isChecked();
  return f;
}

}  // namespace plenar
