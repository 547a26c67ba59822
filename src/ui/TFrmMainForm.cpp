// SPDX-License-Identifier: GPL-3.0-or-later
#include "ui/TFrmMainForm.h"

#include <QComboBox>
#include <QGridLayout>
#include <QGroupBox>
#include <QGuiApplication>
#include <QHBoxLayout>
#include <QLabel>
#include <QLineEdit>
#include <QMainWindow>
#include <QPlainTextEdit>
#include <QPushButton>
#include <QRadioButton>
#include <QScreen>
#include <QStatusBar>
#include <QVBoxLayout>

#include "ui/DropDownComboBox.h"
#include "ui/WindowStyle.h"

namespace plenar {
namespace {

const QStringList kRates = {
    QStringLiteral("1200"),  QStringLiteral("2400"),   QStringLiteral("4800"),
    QStringLiteral("9600"),  QStringLiteral("19200"),  QStringLiteral("38400"),
    QStringLiteral("57600"), QStringLiteral("115200"), QStringLiteral("230400")};

}  // namespace

void TFrmMainForm::setupUi(QMainWindow* window) {
  window->setObjectName(QStringLiteral("FrmMain"));
  window->setWindowTitle(QStringLiteral("Plenar Setting Tool V1.0"));
  applyWindowStyle(window, Qt::Window);

  auto* central = new QWidget(window);
  central->setObjectName(QStringLiteral("qt_central"));
  window->setCentralWidget(central);

  // Controls are created in the order of the window's table, each with its final parent, so a
  // language file sees them in that order.
  buildLinkControls(central);
  buildWindowControls(central);
  buildStatusBar(window);

  // Layout: the link group as a grid, one row per link; then language, link label, buttons.
  layOutLinkGroup();
  layOutWindow(central);
  window->resize(600, 611);
  if (QScreen* screen = QGuiApplication::primaryScreen()) {
    QRect area = screen->availableGeometry();
    window->move(area.center() - QPoint(window->width() / 2, window->height() / 2));
  }
}

void TFrmMainForm::buildLinkControls(QWidget* central) {
  groupBox1 = new QGroupBox(QStringLiteral("选择通讯端口"), central);
  groupBox1->setObjectName(QStringLiteral("GroupBox1"));
  radioSerial = new QRadioButton(QStringLiteral("串口"), groupBox1);
  radioSerial->setObjectName(QStringLiteral("RadioButton1"));
  radioSerial->setChecked(true);
  radioNetwork = new QRadioButton(QStringLiteral("网口"), groupBox1);
  radioNetwork->setObjectName(QStringLiteral("RadioButton2"));
  radioUsb = new QRadioButton(QStringLiteral("USB"), groupBox1);
  radioUsb->setObjectName(QStringLiteral("RadioButton3"));
  radioParallel = new QRadioButton(QStringLiteral("并口"), groupBox1);
  radioParallel->setObjectName(QStringLiteral("RadioButton4"));

  comName = new DropDownComboBox(groupBox1);
  comName->setObjectName(QStringLiteral("cbb_Comname"));
  comName->setEditable(true);
  comName->setInsertPolicy(QComboBox::NoInsert);
  comName->setEditText(QStringLiteral("COM1"));
  comName->setMinimumContentsLength(12);

  label1 = new QLabel(QStringLiteral("波特率"), groupBox1);
  label1->setObjectName(QStringLiteral("Label1"));
  devBauRate = new QComboBox(groupBox1);
  devBauRate->setObjectName(QStringLiteral("cbb_DevBauRate"));
  devBauRate->setEditable(true);
  devBauRate->setInsertPolicy(QComboBox::NoInsert);
  devBauRate->addItems(kRates);
  devBauRate->setCurrentIndex(kRates.indexOf(QStringLiteral("9600")));

  label4 = new QLabel(QStringLiteral("->"), groupBox1);
  label4->setObjectName(QStringLiteral("Label4"));
  tranBauRate = new QComboBox(groupBox1);
  tranBauRate->setObjectName(QStringLiteral("cbb_TranBauRate"));
  tranBauRate->setEditable(true);
  tranBauRate->setInsertPolicy(QComboBox::NoInsert);
  tranBauRate->addItems(kRates);
  tranBauRate->setCurrentIndex(kRates.indexOf(QStringLiteral("115200")));

  label2 = new QLabel(QStringLiteral("校验"), groupBox1);
  label2->setObjectName(QStringLiteral("Label2"));
  check = new QComboBox(groupBox1);
  check->setObjectName(QStringLiteral("cbb_Check"));
  check->addItems({QStringLiteral("NONE"), QStringLiteral("ODD"), QStringLiteral("EVEN")});
  check->setCurrentIndex(0);

  ipAddress = new QLineEdit(QStringLiteral("192.168.1.87"), groupBox1);
  ipAddress->setObjectName(QStringLiteral("edt_Ipaddress"));
  label3 = new QLabel(QStringLiteral("端口"), groupBox1);
  label3->setObjectName(QStringLiteral("Label3"));
  port = new QLineEdit(QStringLiteral("5100"), groupBox1);
  port->setObjectName(QStringLiteral("edt_Port"));

  usbDeviceList = new QComboBox(groupBox1);
  usbDeviceList->setObjectName(QStringLiteral("cbb_UsbDeviceList"));
  usbDeviceList->setMinimumContentsLength(20);
  lpt = new QComboBox(groupBox1);
  lpt->setObjectName(QStringLiteral("cbb_Lpt"));
}

void TFrmMainForm::buildWindowControls(QWidget* central) {
  languageLabel = new QLabel(QStringLiteral("选择语言"), central);
  languageLabel->setObjectName(QStringLiteral("lbl_language"));
  language = new QComboBox(central);
  language->setObjectName(QStringLiteral("cbb_Language"));
  language->addItems({QStringLiteral("中文"), QStringLiteral("English")});
  language->setCurrentIndex(0);

  tranMsg = new QLabel(QStringLiteral("当前选择串口"), central);
  tranMsg->setObjectName(QStringLiteral("lbl_TranMsg"));
  QFont bold = tranMsg->font();
  bold.setBold(true);
  tranMsg->setFont(bold);
  tranMsg->setAlignment(Qt::AlignCenter);

  test = new QPushButton(QStringLiteral("测试通讯"), central);
  test->setObjectName(QStringLiteral("btn_Test"));
  setPara = new QPushButton(QStringLiteral("设置参数"), central);
  setPara->setObjectName(QStringLiteral("btn_SetPara"));
  bootIn = new QPushButton(QStringLiteral("进入BOOT模式"), central);
  bootIn->setObjectName(QStringLiteral("but_bootIn"));
  bootOut = new QPushButton(QStringLiteral("退出BOOT模式"), central);
  bootOut->setObjectName(QStringLiteral("but_bootOut"));

  memo1 = new QPlainTextEdit(central);
  memo1->setObjectName(QStringLiteral("Memo1"));
  memo1->setReadOnly(true);
  memo1->hide();
}

void TFrmMainForm::buildStatusBar(QMainWindow* window) {
  auto* status = new QStatusBar(window);
  status->setObjectName(QStringLiteral("StatusBar1"));
  window->setStatusBar(status);
  status->setSizeGripEnabled(false);
  statusPanel0 = new QLabel(status);
  statusPanel0->setObjectName(QStringLiteral("qt_statusPanel0"));
  statusPanel0->setMinimumWidth(150);
  statusPanel1 = new QLabel(status);
  statusPanel1->setObjectName(QStringLiteral("qt_statusPanel1"));
  statusPanel1->setFixedWidth(50);
  status->addWidget(statusPanel0, 1);
  status->addWidget(statusPanel1);
}

void TFrmMainForm::layOutLinkGroup() {
  auto* grid = new QGridLayout(groupBox1);
  grid->setHorizontalSpacing(8);
  grid->setVerticalSpacing(12);
  grid->addWidget(radioSerial, 0, 0);
  grid->addWidget(comName, 0, 1);
  grid->addWidget(label1, 0, 2, Qt::AlignRight);
  grid->addWidget(devBauRate, 0, 3);
  grid->addWidget(label4, 0, 4, Qt::AlignCenter);
  grid->addWidget(tranBauRate, 0, 5);
  grid->addWidget(label2, 1, 2, Qt::AlignRight);
  grid->addWidget(check, 1, 3);
  grid->addWidget(radioNetwork, 2, 0);
  grid->addWidget(ipAddress, 2, 1);
  grid->addWidget(label3, 2, 2, Qt::AlignRight);
  grid->addWidget(port, 2, 3);
  grid->addWidget(radioUsb, 3, 0);
  grid->addWidget(usbDeviceList, 3, 1, 1, 5);
  grid->addWidget(radioParallel, 4, 0);
  grid->addWidget(lpt, 4, 1);
  grid->setColumnStretch(1, 2);
  grid->setColumnStretch(3, 1);
  grid->setColumnStretch(5, 1);
}

void TFrmMainForm::layOutWindow(QWidget* central) {
  auto* languageRow = new QHBoxLayout;
  languageRow->addStretch(1);
  languageRow->addWidget(languageLabel);
  languageRow->addWidget(language);
  languageRow->addStretch(1);

  auto* buttons = new QGridLayout;
  buttons->setSpacing(12);
  buttons->addWidget(test, 0, 0);
  buttons->addWidget(setPara, 0, 1);
  buttons->addWidget(bootIn, 1, 0);
  buttons->addWidget(bootOut, 1, 1);
  for (QPushButton* b : {test, setPara, bootIn, bootOut}) b->setMinimumHeight(36);

  auto* column = new QVBoxLayout(central);
  column->setContentsMargins(16, 16, 16, 8);
  column->setSpacing(16);
  column->addWidget(groupBox1);
  column->addLayout(languageRow);
  column->addStretch(1);
  column->addWidget(tranMsg);
  column->addStretch(1);
  column->addLayout(buttons);
  column->addWidget(memo1);
  column->addStretch(2);
}

}  // namespace plenar
