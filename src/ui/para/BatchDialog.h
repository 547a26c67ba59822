// SPDX-License-Identifier: GPL-3.0-or-later
#pragma once

#include <QDialog>
#include <functional>
#include <memory>
#include <string>
#include <vector>

#include "app/ActionDriver.h"
#include "app/ArrivalLooker.h"
#include "profile/BatchRun.h"

class QLabel;
class QLineEdit;
class QPushButton;
class QTreeWidget;

namespace plenar {

class TFrmMain;
class WorkerExecutor;

// The batch bench in the parameter window: a profile, a name pattern and the first serial
// number, then printer after printer as each arrives on the connection window's link (the
// network address is the factory address; a serial port name may be a glob such as
// /dev/ttyUSB*; on USB, each printer the connection window would list, by its own entry), each set
// up with the profile and its own name and serial number. Each printer is listed with its serial
// number, status and time, with a count of done, failed and interrupted; Stop ends the bench
// between printers, or the printer under way as interrupted. The counter and the report are plenar
// batch's: state.json and report.jsonl in the state folder's batch/ folder, so the window and
// plenar batch continue one numbering. Requests go through the parameter window's worker
// (WorkerExecutor); arrivals are watched on a thread of their own, so the window never waits.
// Threads: GUI thread only.
class BatchDialog : public QDialog {
 public:
  BatchDialog(QWidget* parent, TFrmMain& main, WorkerExecutor& executor);
  ~BatchDialog() override;

  // From Start until the bench has ended.
  bool running() const { return run_ != nullptr; }
  // Stops where it is (the window closes).
  void stopBench();
  // Told true at the start of a bench and false at its end (the window's action buttons).
  std::function<void(bool)> onRunning;

 protected:
  // The column titles follow the language in force when the dialog opens.
  void showEvent(QShowEvent* event) override;
  // A running bench keeps the dialog on screen: Close is disabled and the window's close and
  // Escape are refused until Stop (a hidden bench would go on setting up printers unseen).
  void closeEvent(QCloseEvent* event) override;
  void reject() override;

 private:
  void start();
  // Carries the bench out with the driver: requests on the worker, arrivals from the looker.
  void drive();
  std::unique_ptr<ArrivalWatch> watchOf(const LinkSnapshot& link) const;
  std::vector<std::string> usbFilters() const;
  void onGuiThread(unsigned generation, std::function<void()> f);
  void refresh();
  void setColumnTitles();
  void finish();
  void say(const QString& text);

  TFrmMain& main_;
  WorkerExecutor& executor_;
  QLineEdit* profile_ = nullptr;
  QPushButton* browse_ = nullptr;
  QLineEdit* name_ = nullptr;
  QLineEdit* from_ = nullptr;
  QTreeWidget* printers_ = nullptr;
  QLabel* counts_ = nullptr;
  QLabel* activity_ = nullptr;
  QPushButton* start_ = nullptr;
  QPushButton* stop_ = nullptr;
  QPushButton* close_ = nullptr;
  // Words the language file gives: column titles, statuses, the count, the links it runs on.
  QLabel* columnWords_ = nullptr;
  QLabel* statusWords_ = nullptr;
  QLabel* countWords_ = nullptr;
  QLabel* linkWords_ = nullptr;
  QLabel* attachedWords_ = nullptr;
  std::unique_ptr<BatchRun> run_;
  std::unique_ptr<ArrivalLooker> looker_;
  // After run_: it refers to the run. Kept after a bench's end until the next start.
  std::unique_ptr<ActionDriver> driver_;
  unsigned generation_ = 0;  // answers for an earlier bench (or one stopped) are dropped
};

}  // namespace plenar
