// SPDX-License-Identifier: GPL-3.0-or-later
#include "ui/TFrmMain.h"

#include <QApplication>
#include <QCloseEvent>
#include <QComboBox>
#include <QDir>
#include <QGroupBox>
#include <QLabel>
#include <QLineEdit>
#include <QMessageBox>
#include <QPlainTextEdit>
#include <QPointer>
#include <QPushButton>
#include <QRadioButton>
#include <QRegularExpression>
#include <QShowEvent>
#include <QTimer>
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

namespace plenar {

namespace {

constexpr int kEnglishIndex = 1;  // of the language box and the language files
constexpr int kBootTickMs = 1000;
constexpr int kSetParaPauseMs = 50;
constexpr int kSetParaMaxCounter = 20;
constexpr int kDefaultUdpPort = 5100;

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
  // The controls, then the window's timers after them (a language file sees them in that order).
  form_.setupUi(this);
  createTimers();
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

void TFrmMain::createTimers() {
  timer1_ = new QTimer(this);
  timer1_->setObjectName(QStringLiteral("Timer1"));
  timer1_->setInterval(kBootTickMs);
  setParaPause_ = new QTimer(this);
  setParaPause_->setInterval(kSetParaPauseMs);
  connect(setParaPause_, &QTimer::timeout, this, [this] { setParaPauseEnded(); });
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

bool TFrmMain::postCommand(int code, CommandCompletion done) {
  CommandRequest request;
  request.code = code;
  return postRequest(std::move(request), std::move(done));
}

bool TFrmMain::postParameterRequest(CommandRequest request, CommandCompletion done) {
  if (remembersLinkSettings(request.code) && rememberLinkSettings()) return false;
  return postRequest(std::move(request), std::move(done));
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

bool TFrmMain::postRequest(CommandRequest request, CommandCompletion done) {
  request.link = linkSnapshot();
  return worker().postCommand(std::move(request), std::move(done));
}

void TFrmMain::postLinkTest() {
  QPointer<TFrmMain> self = this;
  postCommand(kLinkTestCode, [self](const CommandResult& result) {
    if (self) self->linkTested(result);
  });
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
  if (!engine_->linkOpen()) postLinkTest();
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
  postLinkTest();
  // The link test's result comes while the window waits in pauses of 50 ms, at most about a
  // second, its events handled as ever.
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
  // Each message shows the text it was posted with, even when later ones came meanwhile.
  if (msg == kMsgProgress) statusPanel0_->setText(qs(worker().takePostedProgress()));
}

void TFrmMain::linkTested(const CommandResult& result) {
  connected_ = result.ok;
  if (result.ok) {
    if (waitCounter_ < 0) showMessage(QMessageBox::Information, qs(text(TextId::ConnectOk)));
    return;
  }
  // Why a port would not open, as the message box's detail.
  showMessage(QMessageBox::Warning, qs(text(TextId::ConnectFailed)), qs(result.detail));
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
