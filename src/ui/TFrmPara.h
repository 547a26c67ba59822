// SPDX-License-Identifier: GPL-3.0-or-later
#pragma once

#include <QDialog>
#include <QFileDialog>
#include <QPointer>
#include <optional>
#include <vector>

#include "engine/CommandRequest.h"
#include "engine/CommandResult.h"
#include "ui/QtReportWindow.h"
#include "ui/para/ParaHost.h"

class QLabel;
class QProgressBar;
class QTabWidget;

namespace plenar {

class ParaTab;
class ProfileActions;
class TabProduct;
class TabProgram;
class TCommThread;
class TFrmMain;

// The parameter window "Plenar Setting Tool": eight tabs of printer settings, opened modally by
// the connection window once the printer has answered. It owns the tabs, the status bar (the
// worker's texts in panel 0, the file of a transfer in panel 1, a progress bar for transfers),
// the two file dialogs and the worker connection while it is shown; the tabs build the requests.
// The status bar also holds the profile buttons (save the fields as a profile, apply one).
// Shown: the stored fields are loaded from sysconfig.ini and the worker reports here. Closed: the
// fields are saved, the worker reports to the connection window again, boot mode's quiet waits
// end and the connection window comes back.
// While a command runs the action buttons are disabled: the worker would ignore a second one.
// A setting that moves the printer's own link (its rate, network address or USB type) moves the
// connection window's with it once the printer took it.
// Threads: GUI thread only; the worker reaches it through its QtReportWindow.
class TFrmPara : public QDialog, private ParaHost {
  Q_OBJECT

 public:
  explicit TFrmPara(TFrmMain& main);
  ~TFrmPara() override;

  // Shows the window over the (hidden) connection window, modal to the application; returns at
  // once.
  void showModal();
  // True from an accepted request until the worker has reported its outcome.
  bool commandRunning() const { return running_; }
  TabProgram& programTab() { return *programTab_; }

 protected:
  void showEvent(QShowEvent* event) override;
  // Every way of closing the window (its close box, Escape) ends here.
  void done(int result) override;

 private:
  // ParaHost
  void submit(const BuildResult& result) override;
  void showMessage(const QString& text) override;
  void showRefusal(const QString& text, const QString& field) override;
  QStringList chooseFilesToOpen(int filterIndex, const QString* title, bool several) override;
  QString chooseFileToSave() override;
  void setFilePanel(const QString& text) override;
  std::string programDir() const override;

  void buildUi();
  void formShow();
  void formClose();
  void replaceListTexts();
  // The worker's progress view (message 1025).
  void handleWorkerMessage(int msg);
  // A setting the printer took may have moved its link (rate, address, USB type): the
  // connection window follows it.
  void followPostedRequest();
  void showProgress(long long done, long long total);
  void setRunning(bool running);
  // The worker's result of a button's command.
  void commandFinished(const CommandResult& result);
  // The worker went idle: an outcome reported elsewhere (the command ran on while the window was
  // closed and opened again) no longer keeps the buttons disabled.
  void workerIdle();
  TCommThread& worker();

  TFrmMain& main_;
  QTabWidget* tabs_ = nullptr;
  std::vector<ParaTab*> pages_;
  TabProgram* programTab_ = nullptr;
  TabProduct* productTab_ = nullptr;
  ProfileActions* profileActions_ = nullptr;
  QLabel* panel0_ = nullptr;
  QLabel* panel1_ = nullptr;
  QProgressBar* progress_ = nullptr;
  QFileDialog* openDialog_ = nullptr;
  QFileDialog* saveDialog_ = nullptr;
  // The request of a "set" button while it runs, and the link it went over.
  struct Posted {
    CommandRequest request;
    LinkSnapshot link;
  };
  std::optional<Posted> posted_;
  bool running_ = false;
  bool closed_ = true;
  // False when sysconfig.ini exists but could not be read: closing then must not replace it with
  // only what this window holds.
  bool mayWriteSettings_ = true;
  QtReportWindow report_;
};

}  // namespace plenar
