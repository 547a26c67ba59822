// SPDX-License-Identifier: GPL-3.0-or-later
#include "ui/TFrmPara.h"

#include <QApplication>
#include <QComboBox>
#include <QGroupBox>
#include <QLabel>
#include <QMessageBox>
#include <QProgressBar>
#include <QPushButton>
#include <QShowEvent>
#include <QStatusBar>
#include <QTabWidget>
#include <QVBoxLayout>
#include <cerrno>
#include <cstring>
#include <variant>

#include "app/Engine.h"
#include "engine/TCommThread.h"
#include "platform/IniFile.h"
#include "platform/ProgramPaths.h"
#include "platform/SafeFiles.h"
#include "profile/ApplyPlan.h"
#include "profile/LinkJson.h"
#include "shared/SharedTexts.h"
#include "ui/QtText.h"
#include "ui/TFrmMain.h"
#include "ui/WindowStyle.h"
#include "ui/para/ParaDefault.h"
#include "ui/para/ParaWidgets.h"
#include "ui/para/ProfileActions.h"
#include "ui/para/TabBasic.h"
#include "ui/para/TabBlackMark.h"
#include "ui/para/TabBluetooth.h"
#include "ui/para/TabInfrared.h"
#include "ui/para/TabNetwork.h"
#include "ui/para/TabProduct.h"
#include "ui/para/TabProgram.h"
#include "ui/para/TabWifi.h"

namespace plenar {

namespace {

constexpr int kProgressScale = 1000;

// The lists whose texts come from the language at every show.
struct LanguageList {
  const char* control;
  OptionList list;
};
constexpr LanguageList kLanguageLists[] = {
    {"cbb_Dark", OptionList::DarkDescription},
    {"rg_lyMode", OptionList::BluetoothMode},
    {"rg_lyPswcheck", OptionList::BluetoothPswCheck},
    {"cbb_lyWorkMode", OptionList::BluetoothWorkMode},
    {"cbb_irdaProtecl", OptionList::IrdaProtocol},
    {"cbb_UsbDeviceTpe", OptionList::UsbDeviceType},
    {"cbb_PaperType", OptionList::PaperType},
    {"cbb_Flowcontrol", OptionList::FlowControl},
    {"Cbx_Bluetooth", OptionList::BluetoothSeek},
    {"cbb_PrinterOrder", OptionList::PrinterOrder},
    {"cbb_PaperSize", OptionList::PaperSizeType},
};

}  // namespace

TFrmPara::TFrmPara(TFrmMain& main)
    : QDialog(nullptr),
      main_(main),
      report_(this, [this](int msg, std::intptr_t) { handleWorkerMessage(msg); }) {
  buildUi();
  // Panel 1 follows the file a transfer is about while the worker sends it.
  QPointer<QLabel> panel = panel1_;
  worker().setParaStatusPanel([panel](const std::string& text) {
    if (panel) panel->setText(qs(text));
  });
  QPointer<TFrmPara> self = this;
  worker().setIdleListener([self] {
    if (self) self->workerIdle();
  });
}

TFrmPara::~TFrmPara() {
  report_.close();
  worker().setIdleListener(nullptr);
  worker().setParaStatusPanel(nullptr);
  worker().setReportWindow(&main_.reportWindow());
}

TCommThread& TFrmPara::worker() {
  return main_.worker();
}

void TFrmPara::buildUi() {
  setObjectName(QStringLiteral("FrmPara"));
  setWindowTitle(QStringLiteral("Plenar Setting Tool"));
  applyWindowStyle(this, Qt::Dialog);

  tabs_ = new QTabWidget(this);
  tabs_->setObjectName(QStringLiteral("PageControl1"));
  // Every page caption in view, whole, in every language: the window is at least as wide as the
  // eight captions side by side (English ones need more than the Chinese).
  tabs_->setUsesScrollButtons(false);
  tabs_->setElideMode(Qt::ElideNone);
  ParaHost& host = *this;
  auto add = [&](ParaTab* tab, const QString& title) {
    pages_.push_back(tab);
    tabs_->addTab(tab, title);
  };
  add(new TabBasic(host, tabs_), QStringLiteral("基础设置"));
  add(new TabBluetooth(host, tabs_), QStringLiteral("蓝牙设置"));
  add(new TabWifi(host, tabs_), QStringLiteral("WIFI设置"));
  add(new TabNetwork(host, tabs_), QStringLiteral("网络设置"));
  add(new TabInfrared(host, tabs_), QStringLiteral("红外设置"));
  add(programTab_ = new TabProgram(host, tabs_), QStringLiteral("程序下载"));
  add(new TabBlackMark(host, tabs_), QStringLiteral("黑标"));
  add(productTab_ = new TabProduct(host, tabs_), QStringLiteral("产品设置"));

  auto* status = new QStatusBar(this);
  status->setObjectName(QStringLiteral("StatusBar1"));
  status->setSizeGripEnabled(false);
  panel0_ = new QLabel(status);
  panel0_->setObjectName(QStringLiteral("qt_statusPanel0"));
  panel0_->setMinimumWidth(250);
  panel1_ = new QLabel(status);
  panel1_->setObjectName(QStringLiteral("qt_statusPanel1"));
  progress_ = new QProgressBar(status);
  progress_->setObjectName(QStringLiteral("qt_transferProgress"));
  progress_->setRange(0, kProgressScale);
  progress_->setMaximumWidth(120);
  progress_->setTextVisible(false);
  progress_->hide();
  status->addWidget(panel0_);
  status->addWidget(panel1_, 1);
  status->addPermanentWidget(progress_);
  profileActions_ = new ProfileActions(*this, main_, *status,
                                       {[this](bool running) {
                                          if (running) progress_->hide();
                                          setRunning(running);
                                        },
                                        [this](const QString& text) { panel0_->setText(text); }});

  auto* column = new QVBoxLayout(this);
  column->setContentsMargins(4, 4, 4, 0);
  column->addWidget(tabs_, 1);
  column->addWidget(status);

  openDialog_ = new QFileDialog(this);
  openDialog_->setObjectName(QStringLiteral("OpenDialog1"));
  openDialog_->setOption(QFileDialog::DontUseNativeDialog);
  openDialog_->setNameFilters({QStringLiteral("Binary File(*.HEX,*.BIN) (*.hex *.bin)"),
                               QStringLiteral("BMP FILE(*.BMP) (*bmp)")});
  saveDialog_ = new QFileDialog(this);
  saveDialog_->setObjectName(QStringLiteral("SaveDialog1"));
  saveDialog_->setOption(QFileDialog::DontUseNativeDialog);
  saveDialog_->setAcceptMode(QFileDialog::AcceptSave);
  saveDialog_->setNameFilter(QStringLiteral("HEX File(*.HEX) (*.hex)"));

  resize(588, 611);
}

void TFrmPara::showModal() {
  setWindowModality(Qt::ApplicationModal);
  const QRect owner = main_.frameGeometry();
  if (owner.isValid()) move(owner.center() - QPoint(width() / 2, height() / 2));
  show();
  raise();
  activateWindow();
}

// ---------------------------------------------------------------------------------------------
// Show and close

void TFrmPara::showEvent(QShowEvent* event) {
  QDialog::showEvent(event);
  if (!event->spontaneous() && closed_) formShow();
}

void TFrmPara::formShow() {
  closed_ = false;
  replaceListTexts();

  IniDocument doc;
  mayWriteSettings_ = true;
  const std::string path = main_.paths().settingsFile();
  try {
    doc = IniDocument::parse(readInputFile(path, kMaxIniFileBytes));
  } catch (const InputFileError& e) {
    // Missing: the defaults. Anything else is kept as it is on disk.
    if (e.problem() != InputFileError::Kind::Missing) mayWriteSettings_ = false;
  }
  loadParaDefault(this, doc);
  if (auto* firmware = findChild<QPushButton*>(QStringLiteral("bt_firmware"))) firmware->hide();
  if (auto* update = findChild<QPushButton*>(QStringLiteral("btn_UpdatePrg"))) update->show();

  panel0_->clear();
  worker().setReportWindow(&report_);
  for (ParaTab* tab : pages_) tab->refresh();
  tabs_->setCurrentIndex(0);
  setRunning(worker().isBusy());
}

void TFrmPara::done(int result) {
  if (!closed_) formClose();
  QDialog::done(result);
}

void TFrmPara::formClose() {
  closed_ = true;
  profileActions_->abandon();
  if (mayWriteSettings_) {
    const IniFile ini(main_.paths().settingsFile());
    IniDocument doc = ini.load();
    saveParaDefault(this, doc);
    if (!ini.save(doc)) {
      const int error = errno;
      showMessage(QStringLiteral("%1: %2").arg(qs(ini.path()), qs(std::strerror(error))));
    }
  }
  // Boot mode's waits without acknowledgement end with this window: a later command to a printer
  // that does not answer must fail, not report success.
  main_.engine().endQuietBootWait();
  main_.parameterWindowClosed();
}

void TFrmPara::replaceListTexts() {
  for (const auto& entry : kLanguageLists) {
    const QString name = QString::fromLatin1(entry.control);
    const QStringList texts = para::optionTexts(entry.list);
    if (auto* box = findChild<QComboBox*>(name)) {
      para::replaceItemTexts(box, texts);
    } else if (auto* group = findChild<QGroupBox*>(name)) {
      para::setItemTexts(group, texts);
    }
  }
}

// ---------------------------------------------------------------------------------------------
// Requests and worker messages

void TFrmPara::submit(const BuildResult& result) {
  if (const auto* refusal = std::get_if<Refusal>(&result)) {
    showRefusal(qs(refusal->message), qs(refusal->field));
    return;
  }
  const auto* request = std::get_if<CommandRequest>(&result);
  if (!request) return;  // an empty list: the button does nothing
  QPointer<TFrmPara> self = this;
  if (!main_.postParameterRequest(*request, [self](const CommandResult& r) {
        if (self) self->commandFinished(r);
      })) {
    QApplication::beep();
    return;
  }
  // The link it went over: the connection window's, as the post took it.
  posted_ = {*request, main_.linkSnapshot()};
  progress_->hide();
  setRunning(true);
}

void TFrmPara::handleWorkerMessage(int msg) {
  if (msg != kMsgProgress) return;
  // The text this message was posted with: a later one may already be waiting.
  TCommThread::PostedProgress entry = worker().takePostedProgressEntry();
  panel0_->setText(qs(entry.text));
  showProgress(entry.done, entry.total);
}

void TFrmPara::commandFinished(const CommandResult& result) {
  if (result.ok) {
    // The printer took the device parameters: the next printer of a run gets the next number.
    if (posted_ && posted_->request.code == kDeviceParametersCode) {
      if (auto error = productTab_->stepSerialNumber()) showMessage(*error);
    }
    followPostedRequest();
  } else {
    posted_.reset();
    // The failure text takes the status panel; the status shown before it is done with.
    if (!result.message.empty()) panel0_->setText(qs(result.message));
    worker().paraTexts().setStatusText({});
  }
  // Another window may have posted in between: the buttons then come back at its idle notice.
  if (!worker().isBusy()) setRunning(false);
}

void TFrmPara::followPostedRequest() {
  if (!posted_) return;
  const auto [request, before] = std::move(*posted_);
  posted_.reset();
  const LinkRole role = linkRoleOfRequest(request);
  if (!changesLink(role, before.kind)) return;
  const std::optional<LinkSnapshot> after = linkAfterRequest(role, request, before);
  if (!after || !sameLink(*after, before)) main_.followLink(after);
}

void TFrmPara::showProgress(long long done, long long total) {
  if (total <= 0) return;
  const long long scaled = std::min<long long>(done, total) * kProgressScale / total;
  progress_->setValue(static_cast<int>(scaled));
  progress_->show();
}

void TFrmPara::setRunning(bool running) {
  running_ = running;
  for (ParaTab* tab : pages_) {
    for (QAbstractButton* b : tab->actionButtons()) b->setEnabled(!running);
  }
  profileActions_->setApplyEnabled(!running);
}

void TFrmPara::workerIdle() {
  // An apply's next command goes out now.
  profileActions_->workerIdle();
  // The buttons come back here when the outcome came while the worker was still busy, or went
  // to another window. An apply of a profile runs several commands: they stay disabled between
  // them.
  if (running_ && !worker().isBusy() && !profileActions_->applying()) setRunning(false);
}

// ---------------------------------------------------------------------------------------------
// Dialogs and panels

void TFrmPara::showMessage(const QString& message) {
  QMessageBox box(QMessageBox::Warning, windowTitle(), message, QMessageBox::Ok,
                  isVisible() ? this : nullptr);
  box.exec();
}

void TFrmPara::showRefusal(const QString& text, const QString& fieldName) {
  QWidget* field = fieldName.isEmpty() ? nullptr : findChild<QWidget*>(fieldName);
  if (field) {
    for (ParaTab* tab : pages_) {
      if (tab->isAncestorOf(field)) tabs_->setCurrentWidget(tab);
    }
    field->setFocus(Qt::OtherFocusReason);
  }
  showMessage(text);
  // The box hands the focus back to the window; it belongs in the field.
  if (field) field->setFocus(Qt::OtherFocusReason);
}

QStringList TFrmPara::chooseFilesToOpen(int filterIndex, const QString* title, bool several) {
  const QStringList filters = openDialog_->nameFilters();
  if (filterIndex >= 0 && filterIndex < filters.size()) {
    openDialog_->selectNameFilter(filters[filterIndex]);
  }
  if (title) openDialog_->setWindowTitle(*title);
  openDialog_->setFileMode(several ? QFileDialog::ExistingFiles : QFileDialog::ExistingFile);
  if (openDialog_->exec() != QDialog::Accepted) return {};
  return openDialog_->selectedFiles();
}

QString TFrmPara::chooseFileToSave() {
  if (saveDialog_->exec() != QDialog::Accepted) return {};
  const QStringList files = saveDialog_->selectedFiles();
  return files.isEmpty() ? QString() : files.first();
}

void TFrmPara::setFilePanel(const QString& text) {
  panel1_->setText(text);
}

std::string TFrmPara::programDir() const {
  // Where 1.bin and 2.bin are built: beside debug.log (the program folder when portable).
  return main_.paths().stateDir;
}

}  // namespace plenar
