// SPDX-License-Identifier: GPL-3.0-or-later
#include "ui/TFrmMain.h"

#include <QApplication>
#include <QCloseEvent>
#include <QComboBox>
#include <QDir>
#include <QGridLayout>
#include <QGroupBox>
#include <QHBoxLayout>
#include <QLabel>
#include <QLineEdit>
#include <QMessageBox>
#include <QPlainTextEdit>
#include <QPushButton>
#include <QRadioButton>
#include <QRegularExpression>
#include <QScreen>
#include <QShowEvent>
#include <QStatusBar>
#include <QTimer>
#include <QVBoxLayout>
#include <algorithm>
#include <cstdio>

#include "app/Engine.h"
#include "app/Language.h"
#include "app/MainDefault.h"
#include "channels/SerialPortList.h"
#include "channels/TLptDeviceBox.h"
#include "engine/TCommThread.h"
#include "platform/IniFile.h"
#include "platform/ProgramPaths.h"
#include "profile/RecordInvalidation.h"
#include "requests/BasicRequests.h"
#include "shared/SharedTexts.h"
#include "ui/DropDownComboBox.h"
#include "ui/FontCoverage.h"
#include "ui/LanguageApplier.h"
#include "ui/QtText.h"
#include "ui/WindowStyle.h"

namespace plenar {

namespace {

constexpr int kEnglishIndex = 1;  // of the language box and the language files
constexpr int kEnterBootCode = 28;
constexpr int kBootTickMs = 1000;
constexpr int kSetParaPauseMs = 50;
constexpr int kSetParaMaxCounter = 20;
constexpr int kDefaultUdpPort = 5100;

const QStringList kRates = {
    QStringLiteral("1200"),  QStringLiteral("2400"),   QStringLiteral("4800"),
    QStringLiteral("9600"),  QStringLiteral("19200"),  QStringLiteral("38400"),
    QStringLiteral("57600"), QStringLiteral("115200"), QStringLiteral("230400")};

// The message for a text that is not a whole number, worded as every field check words it.
QString conversionError(const QString& text) {
  return QStringLiteral("'%1' is not a valid integer value").arg(text);
}

// A decimal number as the link settings accept it (blanks around it allowed), else nullopt.
std::optional<int> decimal(const QString& text) {
  return parseRateText(text.toStdString());
}

}  // namespace

TFrmMain::TFrmMain(Options options, QWidget* parent)
    : QMainWindow(parent),
      options_(std::move(options)),
      report_(this, [this](int msg, std::intptr_t wParam) { handleWorkerMessage(msg, wParam); }) {
  buildUi();
  // Creation handler: the remembered port name, the program folder, MainDefault, the worker,
  // then the serial port list.
  remembered_.serialPort = "COM1";
  remembered_.usbDevice.clear();
  remembered_.lptNumber = 0;
  remembered_.ipAddress.clear();
  remembered_.udpPort = 0;
  paths_ = options_.programDir.empty()
               ? programPaths()
               : ProgramPaths::inFolder(options_.programDir, ProgramPaths::Mode::Chosen);
  paths_.createFolders();
  readSettings();
  createEngine();
  fillSerialPortList();
  fillParallelPortList();
  connectSignals();
}

TFrmMain::~TFrmMain() {
  // A worker blocked in a sent message (a message box still open, or a handler that will never
  // run now) is released first; only then can the engine stop it.
  report_.close();
  engine_.reset();
}

TCommThread& TFrmMain::worker() {
  return engine_->worker();
}

void TFrmMain::buildUi() {
  setObjectName(QStringLiteral("FrmMain"));
  setWindowTitle(QStringLiteral("Plenar Setting Tool V1.0"));
  applyWindowStyle(this, Qt::Window);

  auto* central = new QWidget(this);
  central->setObjectName(QStringLiteral("qt_central"));
  setCentralWidget(central);

  // Controls are created in the order of the window's table, each with its final parent, so a
  // language file sees them in that order.
  buildLinkControls(central);
  buildWindowControls(central);
  buildStatusBar();
  timer1_ = new QTimer(this);
  timer1_->setObjectName(QStringLiteral("Timer1"));
  timer1_->setInterval(kBootTickMs);
  setParaPause_ = new QTimer(this);
  setParaPause_->setInterval(kSetParaPauseMs);
  connect(setParaPause_, &QTimer::timeout, this, [this] { setParaPauseEnded(); });

  // Layout: the link group as a grid, one row per link; then language, link label, buttons.
  layOutLinkGroup();
  layOutWindow(central);
  resize(600, 611);
  if (QScreen* screen = QGuiApplication::primaryScreen()) {
    QRect area = screen->availableGeometry();
    move(area.center() - QPoint(width() / 2, height() / 2));
  }
}

void TFrmMain::buildLinkControls(QWidget* central) {
  groupBox1_ = new QGroupBox(QStringLiteral("选择通讯端口"), central);
  groupBox1_->setObjectName(QStringLiteral("GroupBox1"));
  radioSerial_ = new QRadioButton(QStringLiteral("串口"), groupBox1_);
  radioSerial_->setObjectName(QStringLiteral("RadioButton1"));
  radioSerial_->setChecked(true);
  radioNetwork_ = new QRadioButton(QStringLiteral("网口"), groupBox1_);
  radioNetwork_->setObjectName(QStringLiteral("RadioButton2"));
  radioUsb_ = new QRadioButton(QStringLiteral("USB"), groupBox1_);
  radioUsb_->setObjectName(QStringLiteral("RadioButton3"));
  radioParallel_ = new QRadioButton(QStringLiteral("并口"), groupBox1_);
  radioParallel_->setObjectName(QStringLiteral("RadioButton4"));

  comName_ = new DropDownComboBox(groupBox1_);
  comName_->setObjectName(QStringLiteral("cbb_Comname"));
  comName_->setEditable(true);
  comName_->setInsertPolicy(QComboBox::NoInsert);
  comName_->setEditText(QStringLiteral("COM1"));
  comName_->setMinimumContentsLength(12);

  label1_ = new QLabel(QStringLiteral("波特率"), groupBox1_);
  label1_->setObjectName(QStringLiteral("Label1"));
  devBauRate_ = new QComboBox(groupBox1_);
  devBauRate_->setObjectName(QStringLiteral("cbb_DevBauRate"));
  devBauRate_->setEditable(true);
  devBauRate_->setInsertPolicy(QComboBox::NoInsert);
  devBauRate_->addItems(kRates);
  devBauRate_->setCurrentIndex(kRates.indexOf(QStringLiteral("9600")));

  label4_ = new QLabel(QStringLiteral("->"), groupBox1_);
  label4_->setObjectName(QStringLiteral("Label4"));
  tranBauRate_ = new QComboBox(groupBox1_);
  tranBauRate_->setObjectName(QStringLiteral("cbb_TranBauRate"));
  tranBauRate_->setEditable(true);
  tranBauRate_->setInsertPolicy(QComboBox::NoInsert);
  tranBauRate_->addItems(kRates);
  tranBauRate_->setCurrentIndex(kRates.indexOf(QStringLiteral("115200")));

  label2_ = new QLabel(QStringLiteral("校验"), groupBox1_);
  label2_->setObjectName(QStringLiteral("Label2"));
  check_ = new QComboBox(groupBox1_);
  check_->setObjectName(QStringLiteral("cbb_Check"));
  check_->addItems({QStringLiteral("NONE"), QStringLiteral("ODD"), QStringLiteral("EVEN")});
  check_->setCurrentIndex(0);

  ipAddress_ = new QLineEdit(QStringLiteral("192.168.1.87"), groupBox1_);
  ipAddress_->setObjectName(QStringLiteral("edt_Ipaddress"));
  label3_ = new QLabel(QStringLiteral("端口"), groupBox1_);
  label3_->setObjectName(QStringLiteral("Label3"));
  port_ = new QLineEdit(QStringLiteral("5100"), groupBox1_);
  port_->setObjectName(QStringLiteral("edt_Port"));

  usbDeviceList_ = new QComboBox(groupBox1_);
  usbDeviceList_->setObjectName(QStringLiteral("cbb_UsbDeviceList"));
  usbDeviceList_->setMinimumContentsLength(20);
  lpt_ = new QComboBox(groupBox1_);
  lpt_->setObjectName(QStringLiteral("cbb_Lpt"));
}

void TFrmMain::buildWindowControls(QWidget* central) {
  languageLabel_ = new QLabel(QStringLiteral("选择语言"), central);
  languageLabel_->setObjectName(QStringLiteral("lbl_language"));
  language_ = new QComboBox(central);
  language_->setObjectName(QStringLiteral("cbb_Language"));
  language_->addItems({QStringLiteral("中文"), QStringLiteral("English")});
  language_->setCurrentIndex(0);

  tranMsg_ = new QLabel(QStringLiteral("当前选择串口"), central);
  tranMsg_->setObjectName(QStringLiteral("lbl_TranMsg"));
  QFont bold = tranMsg_->font();
  bold.setBold(true);
  tranMsg_->setFont(bold);
  tranMsg_->setAlignment(Qt::AlignCenter);

  test_ = new QPushButton(QStringLiteral("测试通讯"), central);
  test_->setObjectName(QStringLiteral("btn_Test"));
  setPara_ = new QPushButton(QStringLiteral("设置参数"), central);
  setPara_->setObjectName(QStringLiteral("btn_SetPara"));
  bootIn_ = new QPushButton(QStringLiteral("进入BOOT模式"), central);
  bootIn_->setObjectName(QStringLiteral("but_bootIn"));
  bootOut_ = new QPushButton(QStringLiteral("退出BOOT模式"), central);
  bootOut_->setObjectName(QStringLiteral("but_bootOut"));

  memo1_ = new QPlainTextEdit(central);
  memo1_->setObjectName(QStringLiteral("Memo1"));
  memo1_->setReadOnly(true);
  memo1_->hide();
}

void TFrmMain::buildStatusBar() {
  auto* status = new QStatusBar(this);
  status->setObjectName(QStringLiteral("StatusBar1"));
  setStatusBar(status);
  status->setSizeGripEnabled(false);
  statusPanel0_ = new QLabel(status);
  statusPanel0_->setObjectName(QStringLiteral("qt_statusPanel0"));
  statusPanel0_->setMinimumWidth(150);
  statusPanel1_ = new QLabel(status);
  statusPanel1_->setObjectName(QStringLiteral("qt_statusPanel1"));
  statusPanel1_->setFixedWidth(50);
  status->addWidget(statusPanel0_, 1);
  status->addWidget(statusPanel1_);
}

void TFrmMain::layOutLinkGroup() {
  auto* grid = new QGridLayout(groupBox1_);
  grid->setHorizontalSpacing(8);
  grid->setVerticalSpacing(12);
  grid->addWidget(radioSerial_, 0, 0);
  grid->addWidget(comName_, 0, 1);
  grid->addWidget(label1_, 0, 2, Qt::AlignRight);
  grid->addWidget(devBauRate_, 0, 3);
  grid->addWidget(label4_, 0, 4, Qt::AlignCenter);
  grid->addWidget(tranBauRate_, 0, 5);
  grid->addWidget(label2_, 1, 2, Qt::AlignRight);
  grid->addWidget(check_, 1, 3);
  grid->addWidget(radioNetwork_, 2, 0);
  grid->addWidget(ipAddress_, 2, 1);
  grid->addWidget(label3_, 2, 2, Qt::AlignRight);
  grid->addWidget(port_, 2, 3);
  grid->addWidget(radioUsb_, 3, 0);
  grid->addWidget(usbDeviceList_, 3, 1, 1, 5);
  grid->addWidget(radioParallel_, 4, 0);
  grid->addWidget(lpt_, 4, 1);
  grid->setColumnStretch(1, 2);
  grid->setColumnStretch(3, 1);
  grid->setColumnStretch(5, 1);
}

void TFrmMain::layOutWindow(QWidget* central) {
  auto* languageRow = new QHBoxLayout;
  languageRow->addStretch(1);
  languageRow->addWidget(languageLabel_);
  languageRow->addWidget(language_);
  languageRow->addStretch(1);

  auto* buttons = new QGridLayout;
  buttons->setSpacing(12);
  buttons->addWidget(test_, 0, 0);
  buttons->addWidget(setPara_, 0, 1);
  buttons->addWidget(bootIn_, 1, 0);
  buttons->addWidget(bootOut_, 1, 1);
  for (QPushButton* b : {test_, setPara_, bootIn_, bootOut_}) b->setMinimumHeight(36);

  auto* column = new QVBoxLayout(central);
  column->setContentsMargins(16, 16, 16, 8);
  column->setSpacing(16);
  column->addWidget(groupBox1_);
  column->addLayout(languageRow);
  column->addStretch(1);
  column->addWidget(tranMsg_);
  column->addStretch(1);
  column->addLayout(buttons);
  column->addWidget(memo1_);
  column->addStretch(2);
}

void TFrmMain::connectSignals() {
  connect(comName_, &DropDownComboBox::aboutToDropDown, this, [this] { fillSerialPortList(); });
  // A pick sets the channel's port number (and its I/O base), then the show handler runs.
  connect(lpt_, &QComboBox::activated, this, [this](int index) {
    lptBox_->pick(index);
    runShowHandler();
  });
  connect(language_, &QComboBox::activated, this, [this] { onLanguageChanged(); });
  connect(radioSerial_, &QRadioButton::clicked, this, [this] { onRadioClicked(LinkKind::Serial); });
  connect(radioNetwork_, &QRadioButton::clicked, this,
          [this] { onRadioClicked(LinkKind::Network); });
  connect(radioUsb_, &QRadioButton::clicked, this, [this] { onRadioClicked(LinkKind::Usb); });
  connect(radioParallel_, &QRadioButton::clicked, this,
          [this] { onRadioClicked(LinkKind::Parallel); });
  connect(test_, &QPushButton::clicked, this, [this] { onTestClicked(); });
  connect(setPara_, &QPushButton::clicked, this, [this] { onSetParaClicked(); });
  connect(bootIn_, &QPushButton::clicked, this, [this] { onBootInClicked(); });
  connect(bootOut_, &QPushButton::clicked, this, [this] { onBootOutClicked(); });
  connect(timer1_, &QTimer::timeout, this, [this] { onTimerTick(); });
}

void TFrmMain::readSettings() {
  MainDefault md = readMainDefault(IniFile(paths_.settingsFile()));
  usbFilterList_ = md.usbFilterList;
  ipAddress_->setText(qs(md.ipAddress));
  // An index the list does not have leaves no language selected (Chinese is then applied).
  if (options_.language) md.language = *options_.language;
  language_->setCurrentIndex(md.language >= 0 && md.language < language_->count() ? md.language
                                                                                  : -1);
  fallBackToEnglishWithoutFont(md.language);
  switch (md.tranMode) {
    case 1:
      radioNetwork_->setChecked(true);
      break;
    case 2:
      radioUsb_->setChecked(true);
      break;
    case 3:
      radioParallel_->setChecked(true);
      break;
    default:
      radioSerial_->setChecked(true);
      break;
  }
}

void TFrmMain::fallBackToEnglishWithoutFont(int chosen) {
  if (language_->currentIndex() == kEnglishIndex) return;
  const QString texts = languageFileCharacters(
      pathIn(paths_.languageFolder(languageFileName(0)), languageFileName(0)));
  const QString missing = charactersWithoutFont(texts);
  if (missing.isEmpty()) return;
  // Once, in English: the Chinese texts would be empty boxes, and so would this message.
  std::fprintf(stderr,
               "plenar-setting-tool: no installed font can draw the Chinese texts (%lld of their "
               "characters), so the window starts in English. Install the package "
               "fonts-wqy-microhei (or fonts-noto-cjk) to see it in Chinese.\n",
               static_cast<long long>(missing.size()));
  storedLanguage_ = chosen;
  language_->setCurrentIndex(kEnglishIndex);
}

void TFrmMain::createEngine() {
  engine_ = std::make_unique<Engine>(paths_.stateDir, report_, dispatcher_);
  // The buttons that change the printer make the link's apply record forget what they change.
  engine_->worker().setCommandGate(recordForgettingGate(paths_.stateDir));
  // Code 8 makes the new rate the printer's device rate; the box shows it for the next command.
  worker().setDeviceBaudListener([this](int rate) {
    QString text = QString::number(rate);
    int index = devBauRate_->findText(text);
    if (index >= 0) {
      devBauRate_->setCurrentIndex(index);
    } else {
      devBauRate_->setEditText(text);
    }
  });
  // The USB list: filled once through the filter texts; refilled when a device comes or goes.
  auto toList = [](const std::vector<std::string>& entries) {
    QStringList list;
    for (const auto& e : entries) list << qs(e);
    return list;
  };
  setUsbDevices(toList(engine_->usbDevicesAtStart(usbFilterList_)), false);
  engine_->setUsbListSink(
      [this, toList](const std::vector<std::string>& entries, bool selectFirst) {
        setUsbDevices(toList(entries), selectFirst);
      });
  // Bytes that arrive while no command runs end up in the hidden text area, line by line.
  engine_->setTextAreaSink([this](const std::string& line) { memo1_->appendPlainText(qs(line)); });
}

// ---------------------------------------------------------------------------------------------
// Lists

void TFrmMain::fillSerialPortList() {
  comName_->clear();
  std::vector<std::string> ports =
      options_.serialPorts ? options_.serialPorts() : listSerialPorts();
  if (!ports.empty()) {
    for (const auto& p : ports) comName_->addItem(qs(p));
    comName_->setCurrentIndex(0);
    return;
  }
  for (const auto& p : fallbackSerialPorts()) comName_->addItem(qs(p));
  comName_->setCurrentIndex(-1);
  comName_->setEditText(QString());
}

void TFrmMain::fillParallelPortList() {
  // The ports come from udev and follow ports that appear or disappear while the window is open.
  lptBox_ =
      std::make_unique<TLptDeviceBox>([this](const std::vector<std::string>& lines, int selected) {
        QStringList names;
        for (const auto& line : lines) names << qs(line);
        setParallelPorts(names, selected >= 0 ? names[selected] : QString());
      });
  engine_->showParallelPorts(*lptBox_);
}

void TFrmMain::setParallelPorts(const QStringList& names, const QString& selected) {
  lpt_->clear();
  lpt_->addItems(names);
  lpt_->setCurrentIndex(names.indexOf(selected));
}

void TFrmMain::setUsbDevices(const QStringList& entries, bool selectFirst) {
  usbDeviceList_->clear();
  usbDeviceList_->addItems(entries);
  usbDeviceList_->setCurrentIndex(selectFirst && !entries.isEmpty() ? 0 : -1);
}

// ---------------------------------------------------------------------------------------------
// Show handler, language, radio buttons

void TFrmMain::showEvent(QShowEvent* event) {
  QMainWindow::showEvent(event);
  // A window coming back from minimised is not "shown" in the sense of the show handler.
  if (!event->spontaneous()) runShowHandler();
}

void TFrmMain::runShowHandler() {
  applyLanguage(paths_.languageFolder(languageFileName(language_->currentIndex())),
                language_->currentIndex());
  if (usbDeviceList_->count() > 0) usbDeviceList_->setCurrentIndex(0);
  showTransModeLabel();
}

void TFrmMain::applyLanguageIndex(int index) {
  applyLanguage(paths_.languageFolder(languageFileName(index)), index);
  showTransModeLabel();
}

void TFrmMain::onLanguageChanged() {
  storedLanguage_.reset();
  applyLanguageIndex(language_->currentIndex());
}

void TFrmMain::onRadioClicked(LinkKind kind) {
  connected_ = false;
  tranMsg_->setText(qs(optionEntry(OptionList::TransMode, static_cast<int>(kind))));
}

void TFrmMain::showTransModeLabel() {
  tranMsg_->setText(qs(optionEntry(OptionList::TransMode, chosenLinkIndex())));
}

LinkKind TFrmMain::chosenLink() const {
  if (radioSerial_->isChecked()) return LinkKind::Serial;
  if (radioNetwork_->isChecked()) return LinkKind::Network;
  if (radioUsb_->isChecked()) return LinkKind::Usb;
  return LinkKind::Parallel;
}

int TFrmMain::chosenLinkIndex() const {
  return static_cast<int>(chosenLink());
}

// ---------------------------------------------------------------------------------------------
// Link settings and posting

std::optional<QString> TFrmMain::rememberLinkSettings() {
  switch (chosenLink()) {
    case LinkKind::Serial: {
      remembered_.serialPort = comName_->currentText().toStdString();
      // Only checked here: the worker parses the boxes again from the texts it is handed.
      for (QComboBox* box : {tranBauRate_, devBauRate_}) {
        if (!decimal(box->currentText())) return conversionError(box->currentText());
      }
      break;
    }
    case LinkKind::Network:
      remembered_.ipAddress = ipAddress_->text().toStdString();
      remembered_.udpPort = decimal(port_->text()).value_or(kDefaultUdpPort);
      break;
    case LinkKind::Usb:
      remembered_.usbDevice = usbDeviceList_->currentText().toStdString();
      break;
    case LinkKind::Parallel: {
      QString text = lpt_->currentText();
      if (!text.isEmpty()) remembered_.lptNumber = decimal(text.mid(3)).value_or(1);
      break;
    }
  }
  return std::nullopt;
}

bool TFrmMain::postCommand(int code) {
  CommandRequest request;
  request.code = code;
  return postRequest(std::move(request));
}

bool TFrmMain::postParameterRequest(CommandRequest request) {
  if (remembersLinkSettings(request.code) && rememberLinkSettings()) return false;
  return postRequest(std::move(request));
}

LinkSnapshot TFrmMain::linkSnapshot() const {
  LinkSnapshot link = remembered_;
  link.kind = chosenLink();
  // The rate boxes travel as shown now, typed text included; the worker parses them.
  link.deviceBaudText = devBauRate_->currentText().toStdString();
  link.transferBaudText = tranBauRate_->currentText().toStdString();
  return link;
}

void TFrmMain::followLink(const std::optional<LinkSnapshot>& link) {
  // The link the printer left is closed; the next test opens the new one.
  engine_->forgetLink();
  if (!link) {
    radioSerial_->setChecked(true);
    fillSerialPortList();
    showTransModeLabel();
    return;
  }
  switch (link->kind) {
    case LinkKind::Serial: {
      const QString rate = qs(link->deviceBaudText);
      const int index = devBauRate_->findText(rate);
      if (index >= 0) {
        devBauRate_->setCurrentIndex(index);
      } else {
        devBauRate_->setEditText(rate);
      }
      break;
    }
    case LinkKind::Network:
      ipAddress_->setText(qs(link->ipAddress));
      port_->setText(QString::number(link->udpPort));
      remembered_.ipAddress = link->ipAddress;
      remembered_.udpPort = link->udpPort;
      // Kept as the set-parameters button keeps it: the next start shows where the printer is.
      writeMainDefault(IniFile(paths_.settingsFile()), link->ipAddress,
                       storedLanguage_.value_or(language_->currentIndex()), chosenLinkIndex());
      break;
    case LinkKind::Usb:
      remembered_.usbDevice = link->usbDevice;
      if (const int index = usbDeviceList_->findText(qs(link->usbDevice)); index >= 0) {
        usbDeviceList_->setCurrentIndex(index);
      }
      break;
    case LinkKind::Parallel:
      break;
  }
}

bool TFrmMain::postRequest(CommandRequest request) {
  request.link = linkSnapshot();
  return worker().postCommand(std::move(request));
}

// ---------------------------------------------------------------------------------------------
// Buttons and timer

void TFrmMain::onTestClicked() {
  waitCounter_ = -1;
  connected_ = false;
  // A USB link is opened afresh by the test.
  engine_->forgetLink();
  if (auto error = rememberLinkSettings()) {
    showMessage(QMessageBox::Critical, *error);
    return;
  }
  if (!engine_->linkOpen()) postCommand(kLinkTestCode);
}

void TFrmMain::onSetParaClicked() {
  // A second press while the first still waits would only restart the same wait.
  if (inSetParaWait_) return;
  waitCounter_ = 1;
  if (connected_) {
    openParameterWindow();
    return;
  }
  if (rememberLinkSettings()) return;
  postCommand(kLinkTestCode);
  // The link test's outcome (messages 1024 and 1028) comes while the window waits in pauses of
  // 50 ms, at most about a second, its events handled as ever.
  inSetParaWait_ = true;
  ++waitCounter_;
  setParaPause_->start();
}

void TFrmMain::setParaPauseEnded() {
  if (!connected_ && waitCounter_ <= kSetParaMaxCounter && !closing_) {
    ++waitCounter_;
    return;
  }
  setParaPause_->stop();
  inSetParaWait_ = false;
  if (connected_ && !closing_) openParameterWindow();
}

void TFrmMain::openParameterWindow() {
  if (!writeMainDefault(IniFile(paths_.settingsFile()), ipAddress_->text().toStdString(),
                        storedLanguage_.value_or(language_->currentIndex()), chosenLinkIndex())) {
    return;
  }
  if (!parameterWindowOpener_) return;
  hide();
  parameterWindowOpener_();
}

void TFrmMain::setParameterWindowOpener(std::function<void()> opener) {
  parameterWindowOpener_ = std::move(opener);
}

void TFrmMain::parameterWindowClosed() {
  show();
  connected_ = false;
  engine_->forgetLink();
  worker().setReportWindow(&report_);
}

void TFrmMain::onBootInClicked() {
  if (auto error = rememberLinkSettings()) {
    showMessage(QMessageBox::Critical, *error);
    return;
  }
  setBootControlsEnabled(false);
  timer1_->start();
}

void TFrmMain::setBootControlsEnabled(bool enabled) {
  QWidget* const controls[] = {
      groupBox1_, radioSerial_, radioNetwork_, radioUsb_, radioParallel_, comName_, devBauRate_,
      check_,     tranBauRate_, ipAddress_,    port_,     usbDeviceList_, lpt_,     language_};
  for (QWidget* w : controls) w->setEnabled(enabled);
  // Leaving: the timer stops before the two buttons come back.
  if (enabled) timer1_->stop();
  test_->setEnabled(enabled);
  setPara_->setEnabled(enabled);
}

void TFrmMain::onBootOutClicked() {
  setBootControlsEnabled(true);
  engine_->leaveBootMode();
}

void TFrmMain::onTimerTick() {
  if (!engine_->bootConfirmed()) {
    // Ignored by the worker while an earlier handshake still runs.
    postCommand(kEnterBootCode);
    return;
  }
  // The port belongs to the worker while a command runs; close it at a tick when none does.
  if (worker().isBusy()) return;
  onBootOutClicked();
  engine_->closeAfterBoot();
}

// ---------------------------------------------------------------------------------------------
// Worker messages

void TFrmMain::handleWorkerMessage(int msg, std::intptr_t) {
  switch (msg) {
    case kMsgLinkFound:
      connected_ = true;
      if (waitCounter_ < 0) showMessage(QMessageBox::Information, qs(text(TextId::sConnectOKstr)));
      break;
    case kMsgProgress:
      // Each message shows the text it was posted with, even when later ones came meanwhile.
      statusPanel0_->setText(qs(worker().takePostedProgress()));
      break;
    case kMsgLinkNotFound:
      connected_ = false;
      showMessage(QMessageBox::Warning, qs(text(TextId::sConnectErrorstr)),
                  qs(worker().mainTexts().errorDetail()));
      break;
    default:  // 1026 and 1027 are not shown here
      break;
  }
}

void TFrmMain::showMessage(int icon, const QString& message, const QString& detail) {
  QMessageBox box(static_cast<QMessageBox::Icon>(icon), windowTitle(), message, QMessageBox::Ok,
                  isVisible() ? this : nullptr);
  if (!detail.isEmpty()) box.setDetailedText(detail);
  box.exec();
}

void TFrmMain::closeEvent(QCloseEvent* event) {
  // Nothing is saved on close. A set-parameters wait in progress ends at its next pause.
  closing_ = true;
  timer1_->stop();
  QMainWindow::closeEvent(event);
}

}  // namespace plenar
