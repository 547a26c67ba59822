// SPDX-License-Identifier: GPL-3.0-or-later
#include "ui/para/BatchDialog.h"

#include <QApplication>
#include <QCloseEvent>
#include <QFileDialog>
#include <QGridLayout>
#include <QHBoxLayout>
#include <QHeaderView>
#include <QLabel>
#include <QLineEdit>
#include <QPushButton>
#include <QTimer>
#include <QTreeWidget>
#include <filesystem>

#include "app/Language.h"
#include "app/MainDefault.h"
#include "app/UsbArrivalWatch.h"
#include "engine/TCommThread.h"
#include "platform/IniFile.h"
#include "platform/ProgramPaths.h"
#include "profile/Profile.h"
#include "profile/ProfileGroups.h"
#include "ui/QtText.h"
#include "ui/TFrmMain.h"
#include "ui/para/WorkerExecutor.h"

namespace plenar {
namespace {

QLabel* label(const char* name, const QString& text, QWidget* parent, QWidget* buddy = nullptr) {
  auto* l = new QLabel(text, parent);
  l->setObjectName(QString::fromLatin1(name));
  if (buddy) l->setBuddy(buddy);
  return l;
}

// Words the language file gives as one caption with "|" between them.
QLabel* words(const char* name, const QString& text, QWidget* parent) {
  QLabel* l = label(name, text, parent);
  l->hide();
  return l;
}

QString word(const QLabel* words, int index) {
  const QStringList list = words->text().split(QLatin1Char('|'));
  return index < list.size() ? list[index] : QString();
}

// The status words of lbl_BatchStatus: done, failed, interrupted, running.
constexpr int kRunningWord = 3;
int statusWord(BatchOutcome outcome) {
  switch (outcome) {
    case BatchOutcome::Done:
      return 0;
    case BatchOutcome::Failed:
      return 1;
    case BatchOutcome::Interrupted:
      return 2;
  }
  return 1;
}

template <typename W>
W* named(const char* name, QWidget* parent) {
  auto* w = new W(parent);
  w->setObjectName(QString::fromLatin1(name));
  return w;
}

}  // namespace

BatchDialog::BatchDialog(QWidget* parent, TFrmMain& main, WorkerExecutor& executor)
    : QDialog(parent), main_(main), executor_(executor) {
  setObjectName(QStringLiteral("FrmBatch"));
  setWindowTitle(QStringLiteral("批量配置"));
  profile_ = named<QLineEdit>("edt_BatchProfile", this);
  browse_ = named<QPushButton>("btn_BatchBrowse", this);
  browse_->setText(QStringLiteral("浏览..."));
  name_ = named<QLineEdit>("edt_BatchName", this);
  name_->setText(QStringLiteral("{n}"));
  from_ = named<QLineEdit>("edt_BatchFrom", this);
  printers_ = named<QTreeWidget>("lv_BatchPrinters", this);
  printers_->setRootIsDecorated(false);
  printers_->setColumnCount(4);
  counts_ = label("lbl_BatchCounts", QString(), this);
  activity_ = label("lbl_BatchActivity", QString(), this);
  activity_->setWordWrap(true);
  start_ = named<QPushButton>("btn_BatchStart", this);
  start_->setText(QStringLiteral("开始"));
  stop_ = named<QPushButton>("btn_BatchStop", this);
  stop_->setText(QStringLiteral("停止"));
  stop_->setEnabled(false);
  auto* close = close_ = named<QPushButton>("btn_BatchClose", this);
  close->setText(QStringLiteral("关闭"));

  auto* grid = new QGridLayout;
  grid->addWidget(label("lbl_BatchProfile", QStringLiteral("配置文件："), this, profile_), 0, 0);
  grid->addWidget(profile_, 0, 1);
  grid->addWidget(browse_, 0, 2);
  grid->addWidget(label("lbl_BatchName", QStringLiteral("名称格式："), this, name_), 1, 0);
  grid->addWidget(name_, 1, 1, 1, 2);
  grid->addWidget(label("lbl_BatchFrom", QStringLiteral("起始序列号："), this, from_), 2, 0);
  grid->addWidget(from_, 2, 1, 1, 2);
  auto* buttons = new QHBoxLayout;
  buttons->addWidget(counts_, 1);
  buttons->addWidget(start_);
  buttons->addWidget(stop_);
  buttons->addWidget(close);
  auto* column = new QVBoxLayout(this);
  column->addLayout(grid);
  column->addWidget(label("lbl_BatchPrinters", QStringLiteral("打印机："), this, printers_));
  column->addWidget(printers_, 1);
  column->addWidget(activity_);
  column->addLayout(buttons);
  columnWords_ = words("lbl_BatchColumns", QStringLiteral("序列号|名称|状态|时间 (ms)"), this);
  statusWords_ = words("lbl_BatchStatus", QStringLiteral("完成|失败|中断|进行中"), this);
  countWords_ = words("lbl_BatchOutcomeCounts", QStringLiteral("完成 %1，失败 %2，中断 %3"), this);
  attachedWords_ =
      words("lbl_BatchAttached",
            QStringLiteral("已连接的打印机不作配置（可能是上一批的）：请接入下一台"), this);
  linkWords_ =
      words("lbl_BatchLinkWords",
            QStringLiteral("批量配置经由网络（出厂地址）、串口（可用 * 通配）或 USB"), this);
  QWidget* order[] = {profile_, browse_, name_, from_, printers_, start_, stop_, close};
  for (std::size_t i = 1; i < std::size(order); ++i) setTabOrder(order[i - 1], order[i]);
  resize(560, 420);

  connect(browse_, &QPushButton::clicked, this, [this] {
    const QString file = QFileDialog::getOpenFileName(this, windowTitle(), profile_->text(),
                                                      QStringLiteral("INI File(*.INI) (*.ini)"),
                                                      nullptr, QFileDialog::DontUseNativeDialog);
    if (!file.isEmpty()) profile_->setText(file);
  });
  connect(start_, &QPushButton::clicked, this, [this] { start(); });
  connect(stop_, &QPushButton::clicked, this, [this] { stopBench(); });
  connect(close, &QPushButton::clicked, this, [this] { hide(); });
}

BatchDialog::~BatchDialog() {
  ++generation_;
  looker_.reset();
}

void BatchDialog::say(const QString& text) {
  activity_->setText(text);
}

std::unique_ptr<ArrivalWatch> BatchDialog::watchOf(const LinkSnapshot& link) const {
  if (link.kind == LinkKind::Network) return factoryAddressWatch(link);
  if (link.kind == LinkKind::Serial) return serialGlobWatch(link.serialPort, link);
  // USB: the printers the connection window lists (its filter texts), each by its own entry.
  if (link.kind == LinkKind::Usb) return usbArrivalWatch(usbFilters());
  return nullptr;
}

std::vector<std::string> BatchDialog::usbFilters() const {
  return readMainDefault(IniFile(main_.paths().settingsFile())).usbFilterList;
}

void BatchDialog::start() {
  if (running() || main_.worker().isBusy()) {
    QApplication::beep();
    return;
  }
  const ProgramPaths& paths = main_.paths();
  const LinkSnapshot link = main_.linkSnapshot();
  std::unique_ptr<ArrivalWatch> watch = watchOf(link);
  if (!watch) {
    say(linkWords_->text());
    return;
  }
  try {
    // The same counter as plenar batch without --state: one numbering for both.
    const std::string folder = pathIn(paths.stateDir, "batch");
    BatchOptions options;
    options.link = link;
    options.statePath = pathIn(folder, "state.json");
    options.recordDir = pathIn(folder, "state.records");
    options.reportPath = pathIn(folder, "report.jsonl");
    options.stateDir = paths.stateDir;
    options.name = NamePattern::parse(name_->text().toStdString());
    const std::string from = from_->text().trimmed().toStdString();
    if (from.empty() && !std::filesystem::exists(options.statePath)) {
      from_->setFocus();
      QApplication::beep();
      return;
    }
    options.numbering = parseNumbering(from.empty() ? "0" : from, 1);
    options.firstGiven = !from.empty();
    const Profile profile = loadProfile(profile_->text().toStdString());
    ProfileGroups groups = buildProfileGroups(profile, profileVocabulary(paths), std::nullopt);
    run_ = std::make_unique<BatchRun>(profile, std::move(groups), std::move(options));
  } catch (const std::exception& e) {
    // Refused as plenar batch refuses it; nothing is sent.
    say(qs(e.what()));
    return;
  }
  driver_.reset();  // the last bench's, done
  const unsigned next = generation_ + 1;
  looker_ = std::make_unique<ArrivalLooker>(std::move(watch), [this, next](std::size_t attached) {
    if (attached == 0) return;
    // It may be the last printer of an earlier bench, already set up: it keeps its number.
    onGuiThread(next, [this] { say(attachedWords_->text()); });
  });
  ++generation_;
  start_->setEnabled(false);
  stop_->setEnabled(true);
  close_->setEnabled(false);
  if (onRunning) onRunning(true);
  drive();
}

void BatchDialog::drive() {
  const unsigned generation = generation_;
  ActionDriver::Hooks hooks;
  hooks.starting = [this](const RunAction& a) {
    refresh();
    say(qs(a.description));
  };
  hooks.finished = [this] {
    refresh();
    finish();
  };
  hooks.arrival = [this, generation](const RunAction&, ActionDriver::Arrived done) {
    looker_->awaitArrival([this, generation, done](const LinkSnapshot& link) {
      onGuiThread(generation, [done, link] { done(link); });
    });
  };
  hooks.departure = [this, generation](const RunAction& a, ActionDriver::Departed done) {
    looker_->awaitDeparture(
        a.link, [this, generation, done] { onGuiThread(generation, [done] { done(true); }); });
  };
  // The bench asks for no waits; one would run on the window's timer.
  auto wait = [this](std::chrono::milliseconds time, std::function<void()> done) {
    QTimer::singleShot(time, this, std::move(done));
  };
  driver_ = std::make_unique<ActionDriver>(
      *run_, [this](const RunAction& a, ActionDriver::Done done) { executor_.execute(a, done); },
      wait, std::move(hooks));
  driver_->start();
}

void BatchDialog::onGuiThread(unsigned generation, std::function<void()> f) {
  // The looker's thread hands over; the bench it was asked for must still be the one running.
  QMetaObject::invokeMethod(
      this,
      [this, generation, f = std::move(f)] {
        if (generation == generation_ && run_) f();
      },
      Qt::QueuedConnection);
}

void BatchDialog::stopBench() {
  if (!running()) return;
  ++generation_;
  looker_->cancel();
  executor_.drop();
  driver_->stop();
  run_->stop("stopped in the window");
  refresh();
  finish();
}

void BatchDialog::closeEvent(QCloseEvent* event) {
  if (running()) {
    QApplication::beep();
    event->ignore();
    return;
  }
  QDialog::closeEvent(event);
}

void BatchDialog::reject() {
  if (running()) {
    QApplication::beep();
    return;
  }
  QDialog::reject();
}

void BatchDialog::showEvent(QShowEvent* event) {
  setColumnTitles();
  QDialog::showEvent(event);
}

void BatchDialog::setColumnTitles() {
  printers_->setHeaderLabels(
      {word(columnWords_, 0), word(columnWords_, 1), word(columnWords_, 2), word(columnWords_, 3)});
}

void BatchDialog::refresh() {
  setColumnTitles();
  printers_->clear();
  auto row = [this](const BatchPrinter& p, int status) {
    auto* item = new QTreeWidgetItem(printers_);
    item->setText(0, qs(p.line.serial));
    item->setText(1, qs(p.line.name));
    item->setText(2, word(statusWords_, status));
    item->setText(3, status == kRunningWord ? QString() : QString::number(p.ms));
    if (!p.line.error.empty()) item->setToolTip(2, qs(p.line.error));
  };
  for (const BatchPrinter& p : run_->printers()) row(p, statusWord(p.line.outcome));
  if (const BatchPrinter* now = run_->current()) row(*now, kRunningWord);
  printers_->scrollToBottom();
  counts_->setText(countWords_->text()
                       .arg(run_->count(BatchOutcome::Done))
                       .arg(run_->count(BatchOutcome::Failed))
                       .arg(run_->count(BatchOutcome::Interrupted)));
}

void BatchDialog::finish() {
  looker_.reset();
  start_->setEnabled(true);
  stop_->setEnabled(false);
  close_->setEnabled(true);
  if (const auto& e = run_->error()) say(qs(e->what()));
  // The driver may be the caller (its finished hook): it goes at the next start or with the
  // dialog, never from inside its own call.
  run_.reset();
  if (onRunning) onRunning(false);
}

}  // namespace plenar
