// SPDX-License-Identifier: GPL-3.0-or-later
#pragma once

#include <QObject>
#include <QString>
#include <functional>
#include <memory>
#include <string>

#include "app/ActionDriver.h"
#include "profile/ApplyRun.h"
#include "ui/para/WorkerExecutor.h"

class QAbstractButton;
class QFileDialog;
class QStatusBar;
class QTimer;
class QWidget;

namespace plenar {

class ApplyProgressDialog;
class BatchDialog;
class ProfileGroupsDialog;
class TFrmMain;

// The parameter window's "Save as profile..." and "Apply profile..." buttons, at the right of its
// status bar (the tabs keep their layout): a technician sets up one printer by hand, saves the
// profile, and whoever sets up the rest applies it, here or with plenar apply.
//
// Save asks which groups to write (those that differ per printer start unchecked), then writes
// their fields as the window stores them in sysconfig.ini, as section ParaDefault of a new INI
// file readable by its owner only (it may hold Wi-Fi and Bluetooth passwords): a profile plenar
// apply takes as it is. Values it would refuse (both Wi-Fi modes named, say) are said at
// once, naming key and line, rather than at the next printer.
//
// Apply reads and checks the profile (a refusal names key and line; nothing is sent), then
// carries out the run's actions one at a time on the worker, over the link the connection window
// tested, with the record in the state folder. The GUI thread never waits: each outcome comes
// back as the worker's result to the post's completion, and the next action is posted then. The progress dialog lists the steps and their outcome.
// At the end the connection window shows the link the printer answers on (a new address or rate,
// or the link the last apply left it on), so that its next test finds the printer.
// Threads: GUI thread only.
class ProfileActions : public QObject {
 public:
  struct Hooks {
    std::function<void(bool running)> setRunning;    // the window's action buttons
    std::function<void(const QString&)> showStatus;  // status panel 0
  };
  ProfileActions(QWidget& window, TFrmMain& main, QStatusBar& statusBar, Hooks hooks);
  ~ProfileActions() override;

  void saveProfile();
  void applyProfile();
  // True from an accepted apply (or the start of a batch bench) until its end: the worker's
  // reports are the run's.
  bool applying() const;
  // The worker is idle again: the next action goes out.
  void workerIdle();
  // The window closes: the apply ends where it is (the record holds every group that was done;
  // the command under way finishes and reports to the connection window).
  void abandon();
  // The apply button follows the window's other action buttons.
  void setApplyEnabled(bool enabled);

 private:
  QString chooseFile(QFileDialog* dialog, const QAbstractButton* button);
  void message(const QString& text);
  void finish();
  // The connection window shows the link the printer answers on after the run.
  void followLink();

  QWidget& window_;
  TFrmMain& main_;
  Hooks hooks_;
  QAbstractButton* save_ = nullptr;
  QAbstractButton* apply_ = nullptr;
  QFileDialog* saveDialog_ = nullptr;
  QFileDialog* openDialog_ = nullptr;
  ApplyProgressDialog* progress_ = nullptr;
  ProfileGroupsDialog* groupsDialog_ = nullptr;
  QAbstractButton* batch_ = nullptr;
  BatchDialog* batchDialog_ = nullptr;

  WorkerExecutor executor_;
  std::unique_ptr<ApplyRun> run_;
  std::unique_ptr<ActionDriver> driver_;
  LinkSnapshot given_;  // the connection window's link when the apply began
};

}  // namespace plenar
