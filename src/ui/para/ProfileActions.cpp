// SPDX-License-Identifier: GPL-3.0-or-later
#include "ui/para/ProfileActions.h"

#include <sys/stat.h>

#include <QApplication>
#include <QFileDialog>
#include <QMessageBox>
#include <QStatusBar>
#include <QTimer>
#include <QToolButton>
#include <cerrno>
#include <cstring>

#include "app/Engine.h"
#include "app/Language.h"
#include "engine/TCommThread.h"
#include "platform/IniFile.h"
#include "platform/ProgramPaths.h"
#include "profile/ApplyPlan.h"
#include "profile/ApplyRecord.h"
#include "profile/Profile.h"
#include "profile/ProfileGroups.h"
#include "ui/QtText.h"
#include "ui/TFrmMain.h"
#include "ui/para/ApplyProgressDialog.h"
#include "ui/para/BatchDialog.h"
#include "ui/para/ParaDefault.h"
#include "ui/para/ParaTab.h"
#include "ui/para/ProfileGroupsDialog.h"

namespace plenar {

namespace {

// A file replaced in place keeps its mode: one that others may read is made the owner's alone
// before the passwords go in.
void restrictToOwner(const std::string& path) {
  struct stat st {};
  if (::stat(path.c_str(), &st) == 0 && S_ISREG(st.st_mode) && (st.st_mode & 077) != 0) {
    ::chmod(path.c_str(), 0600);
  }
}

QToolButton* toolButton(const char* name, const QString& text, const QString& hint,
                        QWidget* parent) {
  auto* b = new QToolButton(parent);
  b->setObjectName(QString::fromLatin1(name));
  b->setText(text);
  b->setToolTip(hint);
  b->setToolButtonStyle(Qt::ToolButtonTextOnly);
  b->setFocusPolicy(Qt::StrongFocus);
  return b;
}

// "应用配置..." titles its dialogs "应用配置".
QString titleOf(const QAbstractButton* button) {
  QString title = captionOf(button);
  while (title.endsWith(QLatin1Char('.'))) title.chop(1);
  return title;
}

QFileDialog* profileDialog(const char* name, QFileDialog::AcceptMode mode, QWidget* parent) {
  auto* d = new QFileDialog(parent);
  d->setObjectName(QString::fromLatin1(name));
  d->setOption(QFileDialog::DontUseNativeDialog);
  d->setAcceptMode(mode);
  d->setFileMode(mode == QFileDialog::AcceptSave ? QFileDialog::AnyFile
                                                 : QFileDialog::ExistingFile);
  d->setNameFilter(QStringLiteral("INI File(*.INI) (*.ini)"));
  d->setDefaultSuffix(QStringLiteral("ini"));
  return d;
}

}  // namespace

ProfileActions::ProfileActions(QWidget& window, TFrmMain& main, QStatusBar& statusBar, Hooks hooks)
    : QObject(&window), window_(window), main_(main), hooks_(std::move(hooks)), executor_(main) {
  save_ = toolButton("btn_SaveProfile", QStringLiteral("保存配置..."),
                     QStringLiteral("把各页的参数另存为配置文件，可在此处或用 plenar apply 应用"),
                     &statusBar);
  apply_ =
      toolButton("btn_ApplyProfile", QStringLiteral("应用配置..."),
                 QStringLiteral("把配置文件中的参数设置到打印机，并列出每一步的结果"), &statusBar);
  statusBar.addPermanentWidget(save_);
  statusBar.addPermanentWidget(apply_);
  connect(save_, &QAbstractButton::clicked, this, [this] { saveProfile(); });
  connect(apply_, &QAbstractButton::clicked, this, [this] { applyProfile(); });

  saveDialog_ = profileDialog("SaveProfileDialog", QFileDialog::AcceptSave, &window);
  openDialog_ = profileDialog("OpenProfileDialog", QFileDialog::AcceptOpen, &window);
  progress_ = new ApplyProgressDialog(&window);
  groupsDialog_ = new ProfileGroupsDialog(&window);

  batch_ = toolButton("btn_Batch", QStringLiteral("批量配置..."),
                      QStringLiteral("一台接一台地配置打印机：同一配置文件，各自的名称和序列号"),
                      &statusBar);
  statusBar.addPermanentWidget(batch_);
  batchDialog_ = new BatchDialog(&window, main_, executor_);
  batchDialog_->onRunning = [this](bool running) { hooks_.setRunning(running); };
  connect(batch_, &QAbstractButton::clicked, this, [this] {
    batchDialog_->setWindowTitle(titleOf(batch_));
    batchDialog_->show();
    batchDialog_->raise();
    batchDialog_->activateWindow();
  });
}

ProfileActions::~ProfileActions() {
  // The bench's answers go through executor_: it ends first.
  delete batchDialog_;
}

bool ProfileActions::applying() const {
  return run_ != nullptr || (batchDialog_ != nullptr && batchDialog_->running());
}

void ProfileActions::setApplyEnabled(bool enabled) {
  apply_->setEnabled(enabled);
}

QString ProfileActions::chooseFile(QFileDialog* dialog, const QAbstractButton* button) {
  dialog->setWindowTitle(titleOf(button));
  if (dialog->exec() != QDialog::Accepted) return {};
  const QStringList files = dialog->selectedFiles();
  return files.isEmpty() ? QString() : files.first();
}

void ProfileActions::message(const QString& text) {
  QMessageBox box(QMessageBox::Warning, window_.windowTitle(), text, QMessageBox::Ok,
                  window_.isVisible() ? &window_ : nullptr);
  box.exec();
}

// ---------------------------------------------------------------------------------------------
// Save

void ProfileActions::saveProfile() {
  // The groups first, then where: a profile for a fleet leaves out what differs per printer.
  const std::set<std::string> groups = groupsDialog_->choose(titleOf(save_));
  if (groups.empty()) return;
  const QString chosen = chooseFile(saveDialog_, save_);
  if (chosen.isEmpty()) return;
  const std::string path = chosen.toStdString();
  // The window writes GBK, and says so: a profile whose text reads as UTF-8 too is otherwise
  // refused as ambiguous.
  IniDocument doc = IniDocument::parse("; encoding: GBK\r\n");
  saveParaDefault(&window_, doc, [&](std::string_view key) { return isKeyOfGroups(key, groups); });
  restrictToOwner(path);
  const IniFile file(path, 0600);
  if (!file.save(doc)) {
    const int error = errno;
    message(QStringLiteral("%1: %2").arg(chosen, qs(std::strerror(error))));
    return;
  }
  // Said now, at the bench, rather than at the next printer.
  try {
    (void)buildProfileGroups(loadProfile(path), profileVocabulary(main_.paths()), std::nullopt);
  } catch (const ProfileError& e) {
    message(QStringLiteral("%1\nplenar apply: %2").arg(chosen, qs(e.what())));
  }
}

// ---------------------------------------------------------------------------------------------
// Apply

void ProfileActions::applyProfile() {
  if (applying() || main_.worker().isBusy()) {
    QApplication::beep();
    return;
  }
  const QString chosen = chooseFile(openDialog_, apply_);
  if (chosen.isEmpty()) return;
  const ProgramPaths& paths = main_.paths();
  const LinkSnapshot link = main_.linkSnapshot();
  try {
    const Profile profile = loadProfile(chosen.toStdString());
    ProfileGroups groups = buildProfileGroups(profile, profileVocabulary(paths), std::nullopt);
    ApplyOptions options;
    options.link = link;
    given_ = link;
    options.recordPath = defaultRecordPath(paths.stateDir, link);
    options.stateDir = paths.stateDir;
    // The window never waits for another apply to the same printer: it says so at once.
    options.lockWaitSeconds = 0;
    run_ = std::make_unique<ApplyRun>(profile, std::move(groups), std::move(options));
  } catch (const std::exception& e) {
    // Refused as plenar apply refuses it (a ProfileError names key and line); nothing is sent.
    message(QStringLiteral("%1\n%2").arg(chosen, qs(e.what())));
    return;
  }
  hooks_.setRunning(true);
  progress_->begin(titleOf(apply_), chosen, *run_);
  ActionDriver::Hooks hooks;
  hooks.starting = [this](const RunAction& a) {
    const QString description = qs(a.description);
    progress_->update(*run_, a.kind == RunAction::Kind::Send ? a.group : std::string(),
                      description);
    hooks_.showStatus(description);
  };
  hooks.reported = [this](const RunAction&, const RunOutcome&) {
    progress_->update(*run_, {}, {});
  };
  hooks.finished = [this] { finish(); };
  driver_ = std::make_unique<ActionDriver>(
      *run_,
      [this](const RunAction& a, ActionDriver::Done done) {
        executor_.execute(a, std::move(done));
      },
      [this](std::chrono::milliseconds t, std::function<void()> done) {
        QTimer::singleShot(t, this, std::move(done));
      },
      std::move(hooks));
  driver_->start();
}

void ProfileActions::workerIdle() {
  executor_.workerIdle();
}

void ProfileActions::finish() {
  followLink();
  const QString summary = progress_->finish(*run_);
  run_.reset();
  hooks_.showStatus(summary);
  hooks_.setRunning(false);
}

void ProfileActions::followLink() {
  // Where the printer answers now: the link the run reached it on, moved by each group it took
  // that changes that link (as the record's link_after).
  std::optional<LinkSnapshot> link = run_->linkUsed();
  if (!link) return;
  for (const ApplyRun::StepReport& step : run_->steps()) {
    if (step.status != ApplyRun::StepStatus::Done || !step.group->request) continue;
    link = linkAfterRequest(step.group->role, *step.group->request, *link);
    if (!link) break;
  }
  if (!link || !sameLink(*link, given_)) main_.followLink(link);
}

void ProfileActions::abandon() {
  batchDialog_->stopBench();
  if (!run_) return;
  driver_->stop();
  executor_.drop();
  run_.reset();
  progress_->hide();
}

}  // namespace plenar
